// Inf parser and writer: any input must read without faults, and a tree
// that was written once must write the same bytes after being read back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "adm_pi_internal.h"

namespace {

std::string scratch(const char* what)
{
    // tmpfs when there is one: the writer syncs every file it replaces.
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(base) + "/fuzz_inf." + std::to_string(static_cast<long>(getpid())) + "." +
           what;
}

std::string slurp(const std::string& path)
{
    std::string out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}

const std::string& path(int which)
{
    static const std::string paths[3] = {scratch("in"), scratch("1"), scratch("2")};
    return paths[which];
}

void removeScratch()
{
    for (int i = 0; i < 3; ++i)
        unlink(path(i).c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& in = path(0);
    const std::string& first = path(1);
    const std::string& second = path(2);
    if (size < 1)
        return 0;
    int format = data[0] % 3;
    FILE* f = fopen(in.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data + 1, 1, size - 1, f);
    fclose(f);

    ADM_piTree* tree = ADM_pi_init(in.c_str(), format);
    ADM_piTree* copy = ADM_pi_init(nullptr, format);
    ADM_pi_copy(copy, tree);
    if (ADM_pi_write(tree, first.c_str()) == 0) {
        ADM_piTree* back = ADM_pi_init(first.c_str(), format);
        if (ADM_pi_write(back, second.c_str()) != 0 || slurp(first) != slurp(second))
            abort();
        ADM_pi_done(back);
    }
    // Lazy list splitting of every value, then a write of the changed copy.
    for (int i = copy->valueCount - 1; i >= 0; --i)
        ADM_pi_2List(copy, copy->valueNames[i]);
    ADM_pi_write(copy, second.c_str());
    ADM_pi_done(copy);
    ADM_pi_done(tree);
    // Removed after every input: libFuzzer ends without running exit handlers.
    removeScratch();
    return 0;
}

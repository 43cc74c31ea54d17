// Bundle parser on arbitrary file content: the input becomes the default
// file and a language file, every key found is looked up, and the escape
// decoder must never grow a text.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "resbundle.h"
#include "setup_bundle.h"

namespace {

std::string& dirName()
{
    static std::string dir;
    return dir;
}

void removeBundleDir()
{
    const std::string& dir = dirName();
    unlink((dir + "/ui.properties").c_str());
    unlink((dir + "/ui_fr.properties").c_str());
    rmdir(dir.c_str());
}

const std::string& bundleDir()
{
    std::string& dir = dirName();
    if (dir.empty()) {
        // Memory-backed when possible: a disk-backed /tmp slows each run.
        char tmpl[64];
        snprintf(tmpl, sizeof tmpl, "%s/fuzz_bundle.XXXXXX",
                 access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        if (!mkdtemp(tmpl))
            abort();
        dir = tmpl;
        atexit(removeBundleDir);
    }
    return dir;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        abort();
    if (size)
        fwrite(data, 1, size, f);
    fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string plain = text.c_str();
    char* decoded = decode_ascii(plain.c_str());
    if (decoded && strlen(decoded) > plain.size())
        abort();
    free(decoded);

    const std::string& dir = bundleDir();
    writeFile(dir + "/ui.properties", data, size);
    writeFile(dir + "/ui_fr.properties", data, size / 2);
    CoreResource* r = core_res_init_resource(dir.c_str(), "ui");
    if (!r)
        abort();
    // Look up every key-like prefix of each line, in several languages.
    size_t start = 0;
    while (start < plain.size()) {
        size_t end = plain.find('\n', start);
        if (end == std::string::npos)
            end = plain.size();
        std::string line = plain.substr(start, end - start);
        size_t eq = line.find('=');
        std::string key = line.substr(0, eq == std::string::npos ? line.size() : eq);
        core_res_getstring(r, key.c_str(), nullptr);
        core_res_getstring(r, key.c_str(), "fr");
        core_res_getstring(r, key.c_str(), key.c_str());
        start = end + 1;
    }
    core_res_destroy_resource(r);
    return 0;
}

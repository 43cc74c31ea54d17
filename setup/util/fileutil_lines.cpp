// Rewriting the keyed lines of a configuration file.
#include "atomic_file.h"
#include "c_boundary.h"
#include "setup_util.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>
#include <sys/types.h>
#include <vector>

namespace {

int writeText(FILE* out, void* context)
{
    const std::string* text = static_cast<const std::string*>(context);
    fwrite(text->data(), 1, text->size(), out);
    return 0;
}

// Index of the first key the line begins with (without case), or -1. An
// empty key would match every line and is taken to match none.
long matchingKey(const char* line, const char** keys, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        size_t length = strlen(keys[i]);
        if (length > 0 && strncasecmp(line, keys[i], length) == 0)
            return static_cast<long>(i);
    }
    return -1;
}

// Builds the new contents from the file as it is; 0, or the function's
// failure code. Lines are read whole, however long.
int buildFromFile(FILE* in, const char** keys, const char** lines, size_t count,
                  std::vector<bool>& used, std::string& out)
{
    // Released however the loop ends, a failed append included.
    struct LineBuffer {
        char* text = nullptr;
        ~LineBuffer() { free(text); }
    } line;
    size_t capacity = 0;
    int result = 0;
    for (;;) {
        errno = 0;
        ssize_t length = getline(&line.text, &capacity, in);
        const char* buffer = line.text;
        if (length < 0) {
            if (errno == ENOMEM)
                result = 3;
            else if (ferror(in))
                result = 1;
            break;
        }
        long key = matchingKey(buffer, keys, count);
        if (key >= 0) {
            out.append(lines[key]).append("\n");
            used[static_cast<size_t>(key)] = true;
        } else {
            out.append(buffer, static_cast<size_t>(length));
        }
    }
    return result;
}

int updateLines(const char** keys, const char** lines, size_t count, const char* path)
{
    std::vector<bool> used(count, false);
    std::string out;
    FILE* in = fopen(path, "r");
    if (in == nullptr) {
        if (errno != ENOENT)
            return 1;
    } else {
        int result;
        try {
            result = buildFromFile(in, keys, lines, count, used, out);
        } catch (...) {
            fclose(in);
            throw;
        }
        fclose(in);
        // A read cut short must never be written back over the file.
        if (result != 0)
            return result;
    }
    for (size_t i = 0; i < count; ++i) {
        if (used[i])
            continue;
        // An added line starts on its own line even when the file's
        // last line has no newline.
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        out.append(lines[i]).append("\n");
    }
    return cvWriteFileAtomic(path, writeText, &out) == 0 ? 0 : 2;
}

} // namespace

extern "C" int setupFileUpdateLines(const char** keys, const char** lines, const char* path)
{
    if (keys == nullptr || lines == nullptr || path == nullptr)
        return 2;
    size_t count = 0;
    while (keys[count] != nullptr && lines[count] != nullptr)
        ++count;
    return cvGuard(3, [&] { return updateLines(keys, lines, count, path); });
}

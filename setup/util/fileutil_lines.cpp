// Rewriting the keyed lines of a configuration file.
#include "atomic_file.h"
#include "c_boundary.h"
#include "fileutil_internal.h"
#include "regular_file.h"
#include "setup_util.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

// Index of the first key the line (of size bytes) begins with, without
// case, or -1. An empty key would match every line and is taken to match
// none.
long matchingKey(const char* line, size_t size, const char** keys, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        size_t length = strlen(keys[i]);
        if (length > 0 && length <= size && strncasecmp(line, keys[i], length) == 0)
            return static_cast<long>(i);
    }
    return -1;
}

int updateLines(const char** keys, const char** lines, size_t count, const char* path)
{
    std::string text;
    // A missing file is created; one that cannot be read whole (or is no
    // regular file) is never written over.
    int error = cvReadRegularFile(path, &text);
    if (error != 0 && error != ENOENT)
        return 1;
    std::string out = cvReplaceKeyedLines(text, keys, lines, count);
    return cvWriteFileAtomic(path, cvWriteString, &out) == 0 ? 0 : 2;
}

} // namespace

std::string cvReplaceKeyedLines(const std::string& text, const char** keys, const char** lines,
                                size_t count)
{
    std::vector<bool> used(count, false);
    std::string out;
    out.reserve(text.size());
    for (size_t start = 0; start < text.size();) {
        size_t newline = text.find('\n', start);
        size_t end = newline == std::string::npos ? text.size() : newline + 1;
        long key = matchingKey(text.c_str() + start, end - start, keys, count);
        if (key >= 0) {
            out.append(lines[key]).append("\n");
            used[static_cast<size_t>(key)] = true;
        } else {
            out.append(text, start, end - start);
        }
        start = end;
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
    return out;
}

extern "C" int setupFileUpdateLines(const char** keys, const char** lines, const char* path)
{
    if (keys == nullptr || lines == nullptr || path == nullptr)
        return 2;
    size_t count = 0;
    while (keys[count] != nullptr && lines[count] != nullptr)
        ++count;
    return cvGuard(3, [&] { return updateLines(keys, lines, count, path); });
}

// Reading the text files setup steps are given (LDIF and schema files): one
// line at a time, from a file that is known to be a regular file.
#ifndef CV_READ_LINE_H
#define CV_READ_LINE_H

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/types.h>

// One line of a stream without its '\n', of any length; a NUL byte stays in
// the line. False at the end of the stream with nothing read.
inline bool cvReadLine(FILE* file, std::string* line)
{
    char* text = nullptr;
    size_t size = 0;
    ssize_t n = getline(&text, &size, file);
    if (n > 0 && text[n - 1] == '\n')
        --n;
    try {
        line->assign(text ? text : "", n > 0 ? static_cast<size_t>(n) : 0);
    } catch (...) {
        free(text);
        throw;
    }
    free(text);
    return n >= 0;
}

#endif

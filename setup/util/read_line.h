// Reading the text files setup steps are given (LDIF and schema files): one
// line at a time, from a file that is known to be a regular file.
#ifndef CV_READ_LINE_H
#define CV_READ_LINE_H

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// path opened for reading, or null with errno set. Only a regular file is
// read: a fifo would hold the open (and every read) until some writer came,
// and a device may act when it is opened. So the path is looked at first,
// the open does not wait (O_NONBLOCK), and what was opened is looked at
// again (it may have been swapped since); anything else gives EINVAL. Links
// are followed.
inline FILE* cvOpenRegularFile(const char* path)
{
    struct stat st;
    if (stat(path, &st) != 0)
        return nullptr;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return nullptr;
    }
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    int flags = fstat(fd, &st) == 0 ? fcntl(fd, F_GETFL) : -1;
    if (flags >= 0 && !S_ISREG(st.st_mode)) {
        flags = -1;
        errno = EINVAL;
    }
    FILE* file = flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? fdopen(fd, "rb") : nullptr;
    if (!file) {
        int saved = errno;
        close(fd);
        errno = saved;
    }
    return file;
}

#endif

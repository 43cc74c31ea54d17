#include "regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* cvOpenRegularFile(const char* path)
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
    // O_NONBLOCK means nothing to a regular file, so it may stay set.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    FILE* in = fdopen(fd, "r");
    if (!in) {
        int saved = errno;
        close(fd);
        errno = saved;
    }
    return in;
}

int cvReadRegularFile(const char* path, std::string* text)
{
    FILE* in = cvOpenRegularFile(path);
    if (!in)
        return errno != 0 ? errno : EIO;
    text->clear();
    char buffer[8192];
    size_t got;
    int result = 0;
    try {
        while ((got = fread(buffer, 1, sizeof buffer, in)) > 0)
            text->append(buffer, got);
    } catch (...) {
        fclose(in);
        throw;
    }
    if (ferror(in))
        result = EIO;
    fclose(in);
    return result;
}

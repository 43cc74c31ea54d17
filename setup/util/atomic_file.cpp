#include "atomic_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A link is replaced at its target, not turned into a plain file.
std::string resolveTarget(const char* path)
{
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = realpath(path, nullptr);
        if (real) {
            std::string out(real);
            free(real);
            return out;
        }
    }
    return std::string(path);
}

int openTemporary(const std::string& target, std::string& tmpName)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpName = target + ".tmp." + std::to_string(static_cast<long>(getpid())) + "." +
                  std::to_string(++counter);
        // O_EXCL: never write through a file or link someone else placed.
        int fd = open(tmpName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

int cvWriteFileAtomic(const char* path, cvFileWriter writer, void* context)
{
    if (!path || !*path || !writer)
        return -1;
    std::string target = resolveTarget(path);
    struct stat orig;
    bool existed = stat(target.c_str(), &orig) == 0;
    if (existed && !S_ISREG(orig.st_mode))
        return -1;

    std::string tmpName;
    int fd = openTemporary(target, tmpName);
    if (fd < 0)
        return -1;
    if (existed && fchmod(fd, orig.st_mode & 07777) != 0) {
        close(fd);
        unlink(tmpName.c_str());
        return -1;
    }
    FILE* out = fdopen(fd, "w");
    if (!out) {
        close(fd);
        unlink(tmpName.c_str());
        return -1;
    }
    int rc = writer(out, context);
    if (fflush(out) != 0 || ferror(out))
        rc = -1;
    if (rc == 0 && fsync(fileno(out)) != 0)
        rc = -1;
    if (fclose(out) != 0)
        rc = -1;
    if (rc == 0 && rename(tmpName.c_str(), target.c_str()) != 0)
        rc = -1;
    if (rc != 0) {
        unlink(tmpName.c_str());
        return -1;
    }
    return 0;
}

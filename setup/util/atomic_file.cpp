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

int openTemporary(const std::string& target, mode_t mode, std::string& tmpName)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpName = target + ".tmp." + std::to_string(static_cast<long>(getpid())) + "." +
                  std::to_string(++counter);
        // O_EXCL: never write through a file or link someone else placed.
        int fd = open(tmpName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The replaced file's owner, group and mode on the new one. The owner goes
// first: changing it clears set-id bits, which the mode then restores. Run
// as root, a rewrite must not hand a file to root that its server's user
// has to read.
int keepOwnership(int fd, const struct stat& orig)
{
    struct stat now;
    if (fstat(fd, &now) != 0)
        return -1;
    if ((now.st_uid != orig.st_uid || now.st_gid != orig.st_gid) &&
        fchown(fd, orig.st_uid, orig.st_gid) != 0)
        return -1;
    return fchmod(fd, orig.st_mode & 07777);
}

} // namespace

int cvWriteString(FILE* out, void* context)
{
    const std::string* text = static_cast<const std::string*>(context);
    fwrite(text->data(), 1, text->size(), out);
    return 0;
}

bool cvRewriteTarget(const char* path, std::string* target)
{
    struct stat st;
    if (lstat(path, &st) != 0 || !S_ISLNK(st.st_mode)) {
        *target = path;
        return true;
    }
    char* real = realpath(path, nullptr);
    if (!real) {
        // A link that leads nowhere has no file to replace: replacing the
        // link itself would put a new plain file where a link was.
        errno = ENOENT;
        return false;
    }
    *target = real;
    free(real);
    return true;
}

CvStagedFile::~CvStagedFile()
{
    if (!temporary_.empty())
        unlink(temporary_.c_str());
}

CvStagedFile::CvStagedFile(CvStagedFile&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::move(other.temporary_))
{
    other.temporary_.clear();
}

int CvStagedFile::stage(const std::string& target, cvFileWriter writer, void* context,
                        mode_t newFileMode)
{
    if (!temporary_.empty() || target.empty() || !writer) {
        errno = EINVAL;
        return -1;
    }
    struct stat orig;
    bool existed = stat(target.c_str(), &orig) == 0;
    if (existed && !S_ISREG(orig.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    // Until it has the replaced file's mode, the temporary is its writer's
    // alone: the old contents may be secret.
    std::string tmpName;
    int fd = openTemporary(target, existed ? 0600 : newFileMode, tmpName);
    if (fd < 0)
        return -1;
    FILE* out = fdopen(fd, "w");
    if (!out) {
        int saved = errno;
        close(fd);
        unlink(tmpName.c_str());
        errno = saved;
        return -1;
    }
    errno = 0;
    int rc = writer(out, context);
    if (fflush(out) != 0 || ferror(out))
        rc = -1;
    if (rc == 0 && fsync(fileno(out)) != 0)
        rc = -1;
    if (rc == 0 && existed && keepOwnership(fileno(out), orig) != 0)
        rc = -1;
    int saved = errno;
    if (fclose(out) != 0 && rc == 0) {
        rc = -1;
        saved = errno;
    }
    if (rc != 0) {
        unlink(tmpName.c_str());
        errno = saved != 0 ? saved : EIO;
        return -1;
    }
    target_ = target;
    temporary_ = tmpName;
    return 0;
}

int CvStagedFile::commit()
{
    if (temporary_.empty()) {
        errno = EINVAL;
        return -1;
    }
    if (rename(temporary_.c_str(), target_.c_str()) != 0)
        return -1;
    temporary_.clear();
    return 0;
}

int cvWriteFileAtomic(const char* path, cvFileWriter writer, void* context)
{
    if (!path || !*path || !writer)
        return -1;
    std::string target;
    if (!cvRewriteTarget(path, &target))
        return -1;
    CvStagedFile file;
    if (file.stage(target, writer, context, 0666) != 0)
        return -1;
    return file.commit() == 0 ? 0 : -1;
}

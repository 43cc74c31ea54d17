#include "tree_walk.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

cvEntryKind cvGetEntryKind(const char* path)
{
    struct stat st;
    if (path == nullptr || lstat(path, &st) != 0)
        return CV_ENTRY_MISSING;
    return S_ISDIR(st.st_mode) ? CV_ENTRY_DIRECTORY : CV_ENTRY_OTHER;
}

void cvFreeNameList(char** names)
{
    if (names == nullptr)
        return;
    for (char** p = names; *p != nullptr; ++p)
        free(*p);
    free(names);
}

namespace {

bool isDotEntry(const char* n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

// Reads every name of dir but "." and ".." into a null-terminated malloc'd
// array; types, when given, receives each name's d_type in the same order.
// Null with errno set when the directory cannot be read whole: a listing
// cut short would let a caller believe a directory is emptier than it is.
char** readNames(DIR* dir, std::vector<unsigned char>* types)
{
    size_t count = 0;
    size_t capacity = 16;
    char** names = static_cast<char**>(malloc(capacity * sizeof(char*)));
    if (names == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    names[0] = nullptr;
    try {
        for (;;) {
            errno = 0;
            struct dirent* ent = readdir(dir);
            if (ent == nullptr) {
                if (errno == 0)
                    return names;
                break;
            }
            if (isDotEntry(ent->d_name))
                continue;
            if (count + 1 >= capacity) {
                char** grown = static_cast<char**>(realloc(names, 2 * capacity * sizeof(char*)));
                if (grown == nullptr) {
                    errno = ENOMEM;
                    break;
                }
                names = grown;
                capacity *= 2;
            }
            if (types != nullptr)
                types->push_back(ent->d_type);
            names[count] = strdup(ent->d_name);
            if (names[count] == nullptr) {
                errno = ENOMEM;
                break;
            }
            names[++count] = nullptr;
        }
    } catch (...) {
        cvFreeNameList(names);
        throw;
    }
    int error = errno;
    cvFreeNameList(names);
    errno = error;
    return nullptr;
}

} // namespace

char** cvListDirectoryAt(int dirFd)
{
    // The listing reads through a descriptor of its own, so the caller's
    // stays open and usable for the *at calls that act on the names.
    int readFd = dirFd >= 0 ? openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (readFd < 0)
        return nullptr;
    DIR* dir = fdopendir(readFd);
    if (dir == nullptr) {
        int saved = errno;
        close(readFd);
        errno = saved;
        return nullptr;
    }
    char** names = readNames(dir, nullptr);
    int saved = errno;
    closedir(dir);
    errno = saved;
    return names;
}

char** cvListDirectory(const char* path)
{
    if (path == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    char** names = cvListDirectoryAt(fd);
    int saved = errno;
    close(fd);
    errno = saved;
    return names;
}

namespace {

// Directories the walk keeps open at most. Deeper levels close the
// descriptors of their oldest ancestors, and returning to such an ancestor
// reopens it through "..", checked against the device and inode recorded on
// the way down: a tree of any depth is removed with a bounded number of
// descriptors, and an ancestor moved away meanwhile is never mistaken for
// the one the walk left.
const size_t kMaxOpenLevels = 32;

struct Level {
    DIR* dir = nullptr; // the stream the names were read from, while open
    int fd = -1;        // dirfd(dir), or the descriptor regained through ".."
    dev_t dev = 0;
    ino_t ino = 0;
    char** names = nullptr;
    std::vector<unsigned char> types; // d_type of each name
    size_t next = 0;
    size_t pathLength = 0; // of the report path naming this directory
    std::string name;      // in its parent
};

void closeLevel(Level& level)
{
    if (level.dir != nullptr)
        closedir(level.dir);
    else if (level.fd >= 0)
        close(level.fd);
    level.dir = nullptr;
    level.fd = -1;
}

class TreeRemoval {
public:
    TreeRemoval(const char* path, cvRemoveFailure onFailure, void* context)
        : path_(path), onFailure_(onFailure), context_(context)
    {
    }
    ~TreeRemoval()
    {
        for (Level& level : levels_) {
            closeLevel(level);
            cvFreeNameList(level.names);
        }
    }

    void run()
    {
        if (!enter(AT_FDCWD, path_.c_str(), nullptr))
            return;
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.names[level.next] != nullptr) {
                const size_t i = level.next++;
                removeEntry(level, level.names[i], level.types[i]);
            } else if (!leave()) {
                return;
            }
        }
    }

private:
    void report(int error)
    {
        if (onFailure_ != nullptr)
            onFailure_(path_.c_str(), error, context_);
    }

    // Opens the directory name (relative to parentFd; path_ names it) without
    // following links, reads all its names and their types from that one
    // descriptor before anything is removed (not every file system promises
    // a complete listing of a directory that changes under readdir) and
    // makes it the current level. When notDirectory is given, a name that
    // turned out not to be a directory (or to be a link) sets it instead of
    // being reported.
    bool enter(int parentFd, const char* name, bool* notDirectory)
    {
        int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            if (notDirectory != nullptr && (errno == ENOTDIR || errno == ELOOP)) {
                *notDirectory = true;
            } else if (notDirectory == nullptr || errno != ENOENT) {
                report(errno);
            }
            return false;
        }
        Level level;
        struct stat st;
        if (fstat(fd, &st) != 0 || (level.dir = fdopendir(fd)) == nullptr) {
            report(errno);
            close(fd);
            return false;
        }
        level.fd = fd;
        level.dev = st.st_dev;
        level.ino = st.st_ino;
        level.pathLength = path_.size();
        try {
            level.names = readNames(level.dir, &level.types);
            if (level.names == nullptr) {
                report(errno);
                closeLevel(level);
                return false;
            }
            level.name = name;
            levels_.push_back(std::move(level));
        } catch (...) {
            closeLevel(level);
            cvFreeNameList(level.names);
            throw;
        }
        if (levels_.size() - firstOpen_ > kMaxOpenLevels) {
            closeLevel(levels_[firstOpen_]);
            ++firstOpen_;
        }
        return true;
    }

    void removeEntry(Level& level, const char* name, unsigned char type)
    {
        path_.resize(level.pathLength);
        path_ += '/';
        path_ += name;
        const int dirFd = level.fd;
        // A name the listing calls a directory is entered at once; the open
        // refuses links and anything that is no longer a directory, which
        // then goes the way of a file.
        if (type == DT_DIR) {
            bool notDirectory = false;
            // enter() may grow levels_: level must not be used afterwards.
            if (enter(dirFd, name, &notDirectory) || !notDirectory)
                return;
        }
        // Unlinking first settles files and links, the most common entries,
        // in one call; only a directory needs a second look.
        if (unlinkat(dirFd, name, 0) == 0 || errno == ENOENT)
            return;
        int unlinkError = errno;
        struct stat st;
        if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                report(errno);
        } else if (S_ISDIR(st.st_mode) && type != DT_DIR) {
            enter(dirFd, name, nullptr);
        } else {
            report(unlinkError);
        }
    }

    // The current directory is done: back to its parent, which removes it.
    // False when the walk cannot go on (the parent could not be regained).
    bool leave()
    {
        Level done = std::move(levels_.back());
        levels_.pop_back();
        cvFreeNameList(done.names);
        done.names = nullptr;
        path_.resize(done.pathLength);
        if (levels_.empty()) {
            closeLevel(done);
            if (unlinkat(AT_FDCWD, path_.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
                report(errno);
            return true;
        }
        Level& parent = levels_.back();
        if (parent.fd < 0 && !reopen(parent, done.fd)) {
            closeLevel(done);
            return false;
        }
        closeLevel(done);
        if (firstOpen_ > levels_.size() - 1)
            firstOpen_ = levels_.size() - 1;
        if (unlinkat(parent.fd, done.name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
            report(errno);
        return true;
    }

    bool reopen(Level& parent, int childFd)
    {
        int fd = openat(childFd, "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0 || st.st_dev != parent.dev || st.st_ino != parent.ino) {
            int error = fd < 0 ? errno : ESTALE;
            if (fd >= 0)
                close(fd);
            path_.resize(parent.pathLength);
            report(error);
            return false;
        }
        parent.fd = fd;
        return true;
    }

    std::string path_;
    cvRemoveFailure onFailure_;
    void* context_;
    std::vector<Level> levels_;
    size_t firstOpen_ = 0; // levels below this index have their fd closed
};

} // namespace

int cvRemoveTree(const char* path, cvRemoveFailure onFailure, void* context)
{
    if (path == nullptr)
        return -1;
    struct stat st;
    if (lstat(path, &st) != 0)
        return errno == ENOENT ? 0 : -1;
    if (S_ISDIR(st.st_mode)) {
        TreeRemoval(path, onFailure, context).run();
    } else if (unlink(path) != 0 && errno != ENOENT) {
        if (onFailure != nullptr)
            onFailure(path, errno, context);
    }
    if (lstat(path, &st) == 0)
        return -1;
    return errno == ENOENT ? 0 : -1;
}

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

char** cvListDirectory(const char* path)
{
    if (path == nullptr)
        return nullptr;
    DIR* dir = opendir(path);
    if (dir == nullptr)
        return nullptr;
    size_t count = 0;
    size_t capacity = 16;
    char** names = static_cast<char**>(malloc(capacity * sizeof(char*)));
    if (names == nullptr) {
        closedir(dir);
        return nullptr;
    }
    names[0] = nullptr;
    for (;;) {
        errno = 0;
        struct dirent* ent = readdir(dir);
        if (ent == nullptr) {
            if (errno != 0) {
                // A listing cut short would let a caller believe a directory
                // is emptier than it is; report it as unreadable instead.
                int saved = errno;
                cvFreeNameList(names);
                closedir(dir);
                errno = saved;
                return nullptr;
            }
            break;
        }
        const char* n = ent->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        if (count + 1 >= capacity) {
            capacity *= 2;
            char** grown = static_cast<char**>(realloc(names, capacity * sizeof(char*)));
            if (grown == nullptr) {
                cvFreeNameList(names);
                closedir(dir);
                errno = ENOMEM;
                return nullptr;
            }
            names = grown;
        }
        names[count] = strdup(n);
        if (names[count] == nullptr) {
            cvFreeNameList(names);
            closedir(dir);
            errno = ENOMEM;
            return nullptr;
        }
        names[++count] = nullptr;
    }
    closedir(dir);
    return names;
}

namespace {

void reportFailure(cvRemoveFailure onFailure, void* context, const std::string& path, int error)
{
    if (onFailure != nullptr)
        onFailure(path.c_str(), error, context);
}

// Removes everything below the directory name (relative to parentFd), then
// the directory itself. Each level is opened without following links and
// every entry is handled relative to it, so a directory swapped for a link
// while the walk runs cannot lead the walk out of the tree, and an entry
// costs one short lookup instead of a walk down its whole path. path names
// the directory in failure reports; one buffer serves the whole walk.
void removeDirectory(std::string& path, int parentFd, const char* name,
                     cvRemoveFailure onFailure, void* context)
{
    int dirFd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* dir = dirFd >= 0 ? fdopendir(dirFd) : nullptr;
    if (dir == nullptr) {
        reportFailure(onFailure, context, path, errno);
        if (dirFd >= 0)
            close(dirFd);
        return;
    }
    // All names are read before anything is removed: not every file system
    // promises a complete listing of a directory that changes under readdir.
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        struct dirent* ent = readdir(dir);
        if (ent == nullptr)
            break;
        const char* n = ent->d_name;
        if (!(n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))))
            names.emplace_back(n);
    }
    if (errno != 0)
        reportFailure(onFailure, context, path, errno);
    const size_t base = path.size();
    for (const std::string& n : names) {
        path.resize(base);
        path += '/';
        path += n;
        // Unlinking first settles files and links, the most common entries,
        // in one call; only a directory needs a second look.
        if (unlinkat(dirFd, n.c_str(), 0) == 0 || errno == ENOENT)
            continue;
        int unlinkError = errno;
        struct stat st;
        if (fstatat(dirFd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                reportFailure(onFailure, context, path, errno);
        } else if (S_ISDIR(st.st_mode)) {
            removeDirectory(path, dirFd, n.c_str(), onFailure, context);
        } else {
            reportFailure(onFailure, context, path, unlinkError);
        }
    }
    path.resize(base);
    closedir(dir);
    if (unlinkat(parentFd, name, AT_REMOVEDIR) != 0 && errno != ENOENT)
        reportFailure(onFailure, context, path, errno);
}

} // namespace

int cvRemoveTree(const char* path, cvRemoveFailure onFailure, void* context)
{
    if (path == nullptr)
        return -1;
    struct stat st;
    if (lstat(path, &st) != 0)
        return errno == ENOENT ? 0 : -1;
    std::string walk(path);
    if (S_ISDIR(st.st_mode))
        removeDirectory(walk, AT_FDCWD, path, onFailure, context);
    else if (unlink(path) != 0 && errno != ENOENT)
        reportFailure(onFailure, context, walk, errno);
    if (lstat(path, &st) == 0)
        return -1;
    return errno == ENOENT ? 0 : -1;
}

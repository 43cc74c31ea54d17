#include "removal.h"

#include "admtask.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <prio.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void warnLeft(const std::string& path, int error)
{
    fprintf(stderr, "Warning: could not remove %s: %s\n", path.c_str(), strerror(error));
}

// Removes what lies below the directory that path names and that dirFd holds
// open, then the directory itself (name, relative to parentFd).
//
// Every step is taken relative to an open directory that was opened without
// following links: if a directory is swapped for a link while the walk runs,
// the open fails instead of leading the walk out of the tree, and each entry
// costs one short lookup instead of a walk down the whole path. path is one
// buffer for the whole walk, extended by each level and cut back afterwards;
// it names entries in warnings and for the listing.
void removeDirectory(std::string& path, int parentFd, const char* name)
{
    int dirFd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    char** names = dirFd >= 0 ? ds_get_file_list(path.c_str()) : nullptr;
    if (names == nullptr) {
        warnLeft(path, errno);
        if (dirFd >= 0)
            close(dirFd);
        return;
    }
    const size_t base = path.size();
    for (char** p = names; *p != nullptr; ++p) {
        path.resize(base);
        path += '/';
        path += *p;
        struct stat st;
        if (fstatat(dirFd, *p, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) // vanished since the listing: nothing left
                warnLeft(path, errno);
            continue;
        }
        // The no-follow status decides first: a link, even one to a
        // directory, is only unlinked, so nothing outside the tree is reached.
        if (S_ISDIR(st.st_mode) && isDirectory(path.c_str()))
            removeDirectory(path, dirFd, *p);
        else if (unlinkat(dirFd, *p, 0) != 0 && errno != ENOENT)
            warnLeft(path, errno);
    }
    path.resize(base);
    ds_free_file_list(names);
    close(dirFd);
    if (unlinkat(parentFd, name, AT_REMOVEDIR) != 0 && errno != ENOENT)
        warnLeft(path, errno);
}

} // namespace

int isDirectory(const char* path)
{
    PRFileInfo info;
    if (path == nullptr || PR_GetFileInfo(path, &info) != PR_SUCCESS)
        return 0;
    return info.type == PR_FILE_DIRECTORY ? 1 : 0;
}

void _remove_directory(const char* path)
{
    struct stat st;
    if (path == nullptr || lstat(path, &st) != 0)
        return;
    if (S_ISLNK(st.st_mode)) {
        // The tree's own name is a link: it goes, its target stays.
        if (isDirectory(path)) {
            if (unlink(path) != 0 && errno != ENOENT)
                warnLeft(path, errno);
        } else {
            warnLeft(path, ENOTDIR);
        }
        return;
    }
    if (!S_ISDIR(st.st_mode) || !isDirectory(path)) {
        warnLeft(path, ENOTDIR);
        return;
    }
    std::string walk(path);
    removeDirectory(walk, AT_FDCWD, path);
}

#include "removal.h"

#include "tree_walk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <prio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void warnLeft(const char* path, int error, void* /*context*/)
{
    fprintf(stderr, "Warning: could not remove %s: %s\n", path, strerror(error));
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
                warnLeft(path, errno, nullptr);
        } else {
            warnLeft(path, ENOTDIR, nullptr);
        }
        return;
    }
    if (!S_ISDIR(st.st_mode) || !isDirectory(path)) {
        warnLeft(path, ENOTDIR, nullptr);
        return;
    }
    // The one walk of the library: relative to directories opened without
    // following links, listed from the descriptor it opened, at any depth.
    cvRemoveTree(path, warnLeft, nullptr);
}

#include "removal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <prio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cvsetup/tree_walk.h>

namespace {

void warnLeft(const char* path, int error, const char* /*why*/, void* /*context*/)
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

int cvWalkInstanceTree(const char* path, cvTreeMode mode, cvTreeStay onStay, void* context,
                       cvTreeCounts* counts)
{
    struct stat st;
    if (path == nullptr || lstat(path, &st) != 0)
        return 0;
    const bool plan = mode == CV_TREE_PLAN;
    if (S_ISLNK(st.st_mode) && isDirectory(path)) {
        // The tree's own name is a link: it goes, its target stays.
        return cvWalkTree(path, mode, onStay, context, counts);
    }
    if (!S_ISDIR(st.st_mode) || !isDirectory(path)) {
        if (S_ISLNK(st.st_mode) && counts != nullptr)
            ++counts->links;
        else if (counts != nullptr)
            ++counts->files;
        if (onStay != nullptr)
            onStay(path, ENOTDIR, plan ? "not a directory: the removal leaves it" : nullptr,
                   context);
        return -1;
    }
    // The one walk of the library: relative to directories opened without
    // following links, listed from the descriptor it opened, at any depth.
    return cvWalkTree(path, mode, onStay, context, counts);
}

void _remove_directory(const char* path)
{
    cvWalkInstanceTree(path, CV_TREE_REMOVE, warnLeft, nullptr, nullptr);
}

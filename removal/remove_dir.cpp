#include "removal.h"

#include "admtask.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <prio.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void warnLeft(const std::string& path, int error)
{
    fprintf(stderr, "Warning: could not remove %s: %s\n", path.c_str(), strerror(error));
}

// path names a real directory. It is one buffer for the whole walk, extended
// by each level and cut back afterwards, so no child path is allocated anew.
void removeContents(std::string& path)
{
    char** names = ds_get_file_list(path.c_str());
    if (names == nullptr) {
        warnLeft(path, errno);
        return;
    }
    const size_t base = path.size();
    for (char** p = names; *p != nullptr; ++p) {
        path.resize(base);
        path += '/';
        path += *p;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) // vanished since the listing: nothing left
                warnLeft(path, errno);
            continue;
        }
        // lstat decides first: a link, even one to a directory, is only
        // unlinked, so nothing outside the tree is ever reached.
        if (S_ISDIR(st.st_mode) && isDirectory(path.c_str())) {
            removeContents(path);
        } else if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            warnLeft(path, errno);
        }
    }
    path.resize(base);
    ds_free_file_list(names);
    if (rmdir(path.c_str()) != 0 && errno != ENOENT)
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
    removeContents(walk);
}

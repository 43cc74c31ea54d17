// Creating and deleting directory trees.
#include "setup_util.h"
#include "tree_walk.h"

#include "c_boundary.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 0 when prefix is (or now is) a directory, -2 when it is something else,
// -1 when it cannot be made. Links to directories count as directories here:
// creating below them is what the caller asked for.
int ensureDirectory(const char* prefix, int mode)
{
    struct stat st;
    if (stat(prefix, &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : -2;
    return mkdir(prefix, static_cast<mode_t>(mode)) == 0 ? 0 : -1;
}

} // namespace

extern "C" int setupCreateDir(const char* path, int mode)
{
    if (path == nullptr || path[0] == '\0')
        return -1;
    char* prefix = strdup(path);
    if (prefix == nullptr)
        return -1;
    int result = 0;
    // A leading '/' is the root, not a separator.
    for (char* slash = strchr(prefix + 1, '/'); slash != nullptr && result == 0;
         slash = strchr(slash + 1, '/')) {
        *slash = '\0';
        result = ensureDirectory(prefix, mode);
        *slash = '/';
    }
    if (result == 0)
        result = ensureDirectory(prefix, mode);
    free(prefix);
    if (result != 0)
        return result;
    return access(path, W_OK) == 0 ? 0 : -3;
}

extern "C" int setupDeleteDir(const char* path)
{
    if (path == nullptr)
        return -1;
    // Anything but a real directory, a link to one included, is unlinked
    // itself: the tree ends at its links.
    if (cvGetEntryKind(path) != CV_ENTRY_DIRECTORY)
        return unlink(path) == 0 ? 0 : -1;
    int probe = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (probe < 0)
        return unlink(path) == 0 ? 0 : -1;
    close(probe);
    return cvGuard(-1, [&] { return cvRemoveTree(path, nullptr, nullptr) == 0 ? 0 : -1; });
}

// Directory walks and file-type tests.
#include "setup_util.h"
#include "tree_walk.h"

#include "c_boundary.h"

#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

// One walk per kind, kept between calls: the names are read whole when the
// walk starts (by the library's one lister) and handed out one per call.
struct Walk {
    char** names = nullptr;
    size_t next = 0;
    std::string dir;

    void start(const char* path)
    {
        cvFreeNameList(names);
        names = nullptr;
        next = 0;
        dir.clear();
        if (path != nullptr) {
            dir = path;
            names = cvListDirectory(path);
        }
    }
    // The next name; null (and the walk closed) at its end.
    const char* nextName()
    {
        if (names != nullptr && names[next] != nullptr)
            return names[next++];
        start(nullptr);
        return nullptr;
    }
};

Walk fileWalk;
Walk subDirWalk;

int nextFile(int next, const char* dir, char* name)
{
    if (next == 0)
        fileWalk.start(dir);
    const char* entry = fileWalk.nextName();
    if (entry == nullptr || name == nullptr)
        return 0;
    strcpy(name, entry);
    return 1;
}

int nextSubDirectory(int next, const char* dir, char* name, const char* prefix)
{
    // The walk keeps the directory's path for later calls, where the caller
    // may pass another (or no) dir.
    if (next == 0)
        subDirWalk.start(dir);
    const size_t prefixLength = prefix != nullptr ? strlen(prefix) : 0;
    std::string child;
    for (const char* entry = subDirWalk.nextName(); entry != nullptr;
         entry = subDirWalk.nextName()) {
        if (prefix != nullptr && strncmp(entry, prefix, prefixLength) != 0)
            continue;
        child.assign(subDirWalk.dir).append("/").append(entry);
        if (cvGetEntryKind(child.c_str()) != CV_ENTRY_DIRECTORY)
            continue;
        if (name == nullptr)
            return 0;
        strcpy(name, entry);
        return 1;
    }
    return 0;
}

} // namespace

extern "C" int setupGetNextFileInDirectory(int next, const char* dir, char* name)
{
    return cvGuard(0, [&] { return nextFile(next, dir, name); });
}

extern "C" int setupGetNextSubDirectory(int next, const char* dir, char* name, const char* prefix)
{
    return cvGuard(0, [&] { return nextSubDirectory(next, dir, name, prefix); });
}

extern "C" int setupIsDirEmpty(const char* dir)
{
    return cvDirectoryIsEmpty(dir) == 1 ? 1 : 0;
}

// lstat, as every tree walk of the library: a link is judged as itself.
extern "C" int setupFileExists(const char* path)
{
    struct stat st;
    if (path == nullptr || lstat(path, &st) != 0)
        return 0;
    return (st.st_mode & 0x4000) == 0 ? 1 : 0;
}

extern "C" int setupDirExists(const char* path)
{
    struct stat st;
    if (path == nullptr || lstat(path, &st) != 0)
        return 0;
    return (st.st_mode & 0xF000) == 0x4000 ? 1 : 0;
}

extern "C" int setupIsWindowsNT(void)
{
    return 0;
}

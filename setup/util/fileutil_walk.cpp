// Directory walks and file-type tests.
#include "setup_util.h"
#include "tree_walk.h"

#include "c_boundary.h"

#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>

namespace {

// One open directory per kind of walk, kept between calls.
DIR* fileWalk = nullptr;
DIR* subDirWalk = nullptr;
std::string subDirPath;

bool isDotEntry(const char* n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

void closeWalk(DIR*& walk)
{
    if (walk != nullptr)
        closedir(walk);
    walk = nullptr;
}

// The next entry other than "." and ".."; closes the walk at its end.
const char* nextEntry(DIR*& walk)
{
    while (walk != nullptr) {
        struct dirent* ent = readdir(walk);
        if (ent == nullptr) {
            closeWalk(walk);
            return nullptr;
        }
        if (!isDotEntry(ent->d_name))
            return ent->d_name;
    }
    return nullptr;
}

} // namespace

extern "C" int setupGetNextFileInDirectory(int next, const char* dir, char* name)
{
    if (next == 0) {
        closeWalk(fileWalk);
        if (dir != nullptr)
            fileWalk = opendir(dir);
    }
    const char* entry = nextEntry(fileWalk);
    if (entry == nullptr || name == nullptr)
        return 0;
    strcpy(name, entry);
    return 1;
}

namespace {

int nextSubDirectory(int next, const char* dir, char* name, const char* prefix)
{
    if (next == 0) {
        closeWalk(subDirWalk);
        subDirPath.clear();
        if (dir != nullptr) {
            // The walk needs the directory's path on later calls, where the
            // caller may pass another (or no) dir.
            subDirPath = dir;
            subDirWalk = opendir(dir);
        }
    }
    const size_t prefixLength = prefix != nullptr ? strlen(prefix) : 0;
    std::string child;
    for (const char* entry = nextEntry(subDirWalk); entry != nullptr; entry = nextEntry(subDirWalk)) {
        if (prefix != nullptr && strncmp(entry, prefix, prefixLength) != 0)
            continue;
        child.assign(subDirPath).append("/").append(entry);
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

extern "C" int setupGetNextSubDirectory(int next, const char* dir, char* name, const char* prefix)
{
    return cvGuard(0, [&] { return nextSubDirectory(next, dir, name, prefix); });
}

extern "C" int setupIsDirEmpty(const char* dir)
{
    if (dir == nullptr)
        return 0;
    DIR* walk = opendir(dir);
    if (walk == nullptr)
        return 0;
    const char* entry = nextEntry(walk);
    int empty = entry == nullptr ? 1 : 0;
    closeWalk(walk);
    return empty;
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

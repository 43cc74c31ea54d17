#include "tree_walk.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// The path buffer is shared by the whole walk and grows and shrinks with the
// depth, so a deep tree costs one allocation, not one per entry.
void removeBelow(std::string& path, cvRemoveFailure onFailure, void* context)
{
    char** names = cvListDirectory(path.c_str());
    if (names == nullptr) {
        reportFailure(onFailure, context, path, errno);
        return;
    }
    const size_t base = path.size();
    for (char** p = names; *p != nullptr; ++p) {
        path.resize(base);
        path += '/';
        path += *p;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT)
                reportFailure(onFailure, context, path, errno);
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            removeBelow(path, onFailure, context);
            if (rmdir(path.c_str()) != 0 && errno != ENOENT)
                reportFailure(onFailure, context, path, errno);
        } else if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            reportFailure(onFailure, context, path, errno);
        }
    }
    path.resize(base);
    cvFreeNameList(names);
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
    if (S_ISDIR(st.st_mode)) {
        removeBelow(walk, onFailure, context);
        if (rmdir(path) != 0 && errno != ENOENT)
            reportFailure(onFailure, context, walk, errno);
    } else if (unlink(path) != 0 && errno != ENOENT) {
        reportFailure(onFailure, context, walk, errno);
    }
    if (lstat(path, &st) == 0)
        return -1;
    return errno == ENOENT ? 0 : -1;
}

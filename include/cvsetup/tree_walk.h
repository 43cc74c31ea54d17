/*
 * The one tree-walk rule of the whole system: entries are classified with
 * lstat, so a symbolic link (to a file or to a directory) is an entry of its
 * own that is unlinked, never descended into, and files outside the tree are
 * never touched. A link loop therefore cannot make a walk recurse.
 *
 * Directory listing, the emptiness test, tree removal and the removal's plan
 * for callers that delete trees (the removal tool among them). C++ only.
 */
#ifndef CV_TREE_WALK_H
#define CV_TREE_WALK_H

// A function interface for C++: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include "setup_common.h"

SETUP_BEGIN_EXPORTS

enum cvEntryKind {
    CV_ENTRY_MISSING = 0,   // lstat failed
    CV_ENTRY_DIRECTORY = 1, // a real directory (never a link to one)
    CV_ENTRY_OTHER = 2      // file, symbolic link, device, socket, fifo
};

cvEntryKind cvGetEntryKind(const char* path);

// Names of a directory's entries without "." and "..", as a null-terminated
// malloc'd array of malloc'd names; null (errno set) when the directory
// cannot be read whole. Release with cvFreeNameList. The one lister of the
// system: the walk, ds_get_file_list and the file utilities use it.
char** cvListDirectory(const char* path);
// The same for a directory the caller holds open; dirFd stays open.
char** cvListDirectoryAt(int dirFd);
void cvFreeNameList(char** names);

// Called once for each path that could not be removed, with the errno.
typedef void (*cvRemoveFailure)(const char* path, int error, void* context);

// Removes path and, when it is a real directory, everything below it, depth
// first. Entries that cannot be removed stay and the walk goes on. Each
// directory is opened without following links and its entries are handled
// relative to it; trees of any depth are removed with a bounded number of
// open descriptors. A mount point below path (another file system, or a
// bind mount, which shares the device) is neither entered nor removed and is
// reported with EBUSY. Returns 0 when path no longer exists afterwards, -1
// otherwise.
int cvRemoveTree(const char* path, cvRemoveFailure onFailure, void* context);

enum cvTreeMode {
    CV_TREE_REMOVE = 0, // remove, reporting what the system refused
    CV_TREE_PLAN = 1    // change nothing, reporting what removing would leave
};

// What a plan found (removing counts nothing): directories (the top
// included, mount points too), symbolic links (never followed), the other
// entries, and the sizes of everything but directories.
struct cvTreeCounts {
    unsigned long long files = 0;
    unsigned long long directories = 0;
    unsigned long long links = 0;
    unsigned long long bytes = 0;
};

// Called once for each path that stays: error is the errno the system gave
// (removing) or would give (planning); why says it in words when planning
// ("immutable", "a mount point: neither entered nor removed", ...) and is
// null when removing.
typedef void (*cvTreeStay)(const char* path, int error, const char* why, void* context);

// The one tree walk: cvRemoveTree is its removing mode. In CV_TREE_PLAN mode
// it walks the same way (names in byte order, so a tree always gives the
// same plan), opens directories read-only without touching their access
// times where it may, changes nothing, and reports each path the removal
// would leave, judged by the system's rules: an entry goes when its
// directory is writable and neither immutable nor append-only, the entry is
// neither, the sticky bit allows it, and it is no mount point; the top is
// judged by the directory that holds it. A directory holding a path that
// stays stays too and is not reported. Returns 0 when nothing stays (or
// would stay), -1 otherwise; counts, when given, receives the plan's counts.
int cvWalkTree(const char* path, cvTreeMode mode, cvTreeStay onStay, void* context,
               cvTreeCounts* counts);

// 1 when the directory holds no entry but "." and "..", 0 when it holds
// one, -1 (errno set) when it cannot be read. Reads no further than the
// first entry.
int cvDirectoryIsEmpty(const char* path);

SETUP_END_EXPORTS

#endif // __cplusplus

#endif

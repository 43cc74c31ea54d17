/*
 * The one tree-walk rule of the whole system: entries are classified with
 * lstat, so a symbolic link (to a file or to a directory) is an entry of its
 * own that is unlinked, never descended into, and files outside the tree are
 * never touched. A link loop therefore cannot make a walk recurse.
 */
#ifndef CV_TREE_WALK_H
#define CV_TREE_WALK_H

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

#endif

/*
 * Replacing a file's contents without ever leaving it half written.
 *
 * Every rewrite of an existing file in this library goes through here: the
 * new contents go to a temporary file in the same directory (so the rename
 * stays on one file system), every write, the flush, fsync and close are
 * checked, the original's permission bits are kept, and only then is the
 * temporary renamed over the target. On any failure the temporary is
 * removed and the original stays byte-identical.
 */
#ifndef CV_ATOMIC_FILE_H
#define CV_ATOMIC_FILE_H

#include <cstdio>

// Writes the new contents to out; returns 0 on success, non-zero to abort.
// Writers need not check each fprintf: the stream's error flag is checked
// after the writer returns.
typedef int (*cvFileWriter)(FILE* out, void* context);

// 0 when path now holds what writer wrote; -1 on any failure (path untouched).
// A file that does not exist yet is created with mode 0666 less the umask.
int cvWriteFileAtomic(const char* path, cvFileWriter writer, void* context);

#endif

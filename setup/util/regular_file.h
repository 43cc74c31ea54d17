/*
 * Reading configuration files that must be regular files. A fifo put where
 * a file is expected would block its reader forever, and opening a device
 * may itself act, so the type is looked at before the file is opened (links
 * followed), the open never blocks, and the type is checked once more on
 * the descriptor, in case something else was swapped in between.
 */
#ifndef CV_REGULAR_FILE_H
#define CV_REGULAR_FILE_H

#include <cstdio>
#include <string>

// A stream reading path, or null with errno: ENOENT when there is no such
// file, EINVAL when it is not a regular file (a fifo, a device, a socket, a
// directory), otherwise what the open reported.
FILE* cvOpenRegularFile(const char* path);

// The whole contents of the regular file path into text: 0, or an errno
// value as above (EIO when reading failed part way).
int cvReadRegularFile(const char* path, std::string* text);

#endif

/*
 * Replacing a file's contents without ever leaving it half written.
 *
 * Every rewrite of an existing file in this library goes through here: the
 * new contents go to a temporary file in the same directory (so the rename
 * stays on one file system), every write, the flush, fsync and close are
 * checked, the original's owner, group and permission bits are kept, and
 * only then is the temporary renamed over the target. On any failure the
 * temporary is removed and the original stays byte-identical.
 *
 * Several files that must change together are each staged first (written
 * and synced beside their targets) and put in place only once every one of
 * them is staged: a full file system or any other write failure leaves all
 * of them as they were.
 */
#ifndef CV_ATOMIC_FILE_H
#define CV_ATOMIC_FILE_H

#include <cstdio>
#include <string>
#include <sys/types.h>

// Writes the new contents to out; returns 0 on success, non-zero to abort.
// Writers need not check each fprintf: the stream's error flag is checked
// after the writer returns.
typedef int (*cvFileWriter)(FILE* out, void* context);

// A writer of the std::string that context points to, whole.
int cvWriteString(FILE* out, void* context);

// Where a rewrite of path lands: path itself, or the file a symbolic link
// at path leads to (a link is replaced at its target, never turned into a
// plain file). False for a link that leads nowhere.
bool cvRewriteTarget(const char* path, std::string* target);

// A new version of one file, written and synced beside its target but not
// yet in place. The destructor removes a temporary that was not put in place.
class CvStagedFile {
public:
    CvStagedFile() = default;
    ~CvStagedFile();
    CvStagedFile(const CvStagedFile&) = delete;
    CvStagedFile& operator=(const CvStagedFile&) = delete;
    CvStagedFile(CvStagedFile&& other) noexcept;
    CvStagedFile& operator=(CvStagedFile&&) = delete;

    // Writes what writer writes to a temporary beside target (a path from
    // cvRewriteTarget), with the owner, group and mode of the file it will
    // replace, or newFileMode less the umask when target does not exist.
    // 0, or -1 when target is not a regular file or anything failed (errno
    // tells what; nothing is left behind).
    int stage(const std::string& target, cvFileWriter writer, void* context, mode_t newFileMode);
    // Renames the staged temporary over the target: 0, or -1.
    int commit();

private:
    std::string target_;
    std::string temporary_;
};

// 0 when path now holds what writer wrote; -1 on any failure (path untouched).
// A file that does not exist yet is created with mode 0666 less the umask.
int cvWriteFileAtomic(const char* path, cvFileWriter writer, void* context);

#endif

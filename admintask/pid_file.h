// Reading an instance's pid file, and the process it names. Internal to
// the admin task layer.
#ifndef CV_ADMTASK_PID_FILE_H
#define CV_ADMTASK_PID_FILE_H

#include <string>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace admtask {

// A descriptor with one owner, closed on every path.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = fd;
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// Outcome of reading the pid file.
enum class PidFile { Absent, Read, Link, NotRegular, Unreadable };

// Reads <root>/logs/pid without following any link and without blocking:
// the instance directory, then "logs", then "pid", each opened relative to
// the one before with O_NOFOLLOW, so a link swapped in at any level is
// refused rather than followed. text and mtime are set for Read; error for
// Unreadable.
PidFile readPidFile(const std::string& root, std::string* text, struct timespec* mtime, int* error);

// Fields 3 and on of /proc/<pid>/stat (the state first); false when the
// process cannot be read.
bool procStatFields(pid_t pid, std::vector<std::string>* fields);

// True when pid is the parent of this process, or its parent's parent, and
// so on up to init: a process the removal runs inside of.
bool isOwnAncestor(pid_t pid);

// True when process pid started clearly after written (the pid file's
// modification time): the number now belongs to another program.
bool startedAfter(pid_t pid, const struct timespec& written);

} // namespace admtask

#endif

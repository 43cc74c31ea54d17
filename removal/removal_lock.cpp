#include "removal_lock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "admtask.h"

const char kRemovalLockName[] = ".remove-instance.lock";

namespace {

const long kPollMillis = 100;

void sleepMillis(long ms)
{
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int refuse(const std::string& path, int type, const std::string& message)
{
    ds_report_error(type, path.c_str(), message.c_str());
    return 1;
}

} // namespace

RemovalLock::~RemovalLock()
{
    if (fd_ >= 0)
        close(fd_);
}

int cvLockServerRoot(const std::string& serverRoot, int waitSeconds, RemovalLock& lock)
{
    const std::string path = (serverRoot == "/" ? "" : serverRoot) + "/" + kRemovalLockName;
    // Never through a link, never blocking on a FIFO planted in its place.
    int fd =
        open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        std::string why = fd < 0 ? (errno == ELOOP ? "it is a symbolic link" : strerror(errno))
                                 : "it is not a regular file";
        if (fd >= 0)
            close(fd);
        return refuse(path, DS_ERR_FILE,
                      "The removal lock of this server root cannot be used (" + why +
                          "); nothing was stopped, unregistered or removed.");
    }
    const long limit = static_cast<long>(waitSeconds) * 1000;
    for (long waited = 0;; waited += kPollMillis) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            lock.fd_ = fd;
            return 0;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            std::string why = strerror(errno);
            close(fd);
            return refuse(path, DS_ERR_FILE,
                          "The removal lock of this server root cannot be taken (" + why +
                              "); nothing was stopped, unregistered or removed.");
        }
        if (waited >= limit)
            break;
        if (waited == 0) {
            fprintf(stderr,
                    "Warning: another removal in this server root holds %s; waiting up to %d "
                    "seconds for it to finish\n",
                    path.c_str(), waitSeconds);
            fflush(stderr);
        }
        sleepMillis(kPollMillis);
    }
    close(fd);
    return refuse(path, DS_ERR_BUSY,
                  "Another removal in this server root still holds this lock after " +
                      std::to_string(waitSeconds) +
                      " seconds; nothing was stopped, unregistered or removed. Run the removal "
                      "again once it has finished.");
}

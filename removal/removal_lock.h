/*
 * One removal at a time per server root. Every remove-instance run takes an
 * exclusive flock(2) on "<server root>/.remove-instance.lock" before it
 * signals, unregisters or deletes anything, and holds it until it exits; the
 * kernel drops the lock when the holder ends in any way (kill -9 included),
 * so a killed run never blocks the next one. A second run for the same
 * server root (the same instance, or another one, which may share its
 * product entry) waits for the first, telling so on the standard error
 * stream, and then goes on and finds what the first left; after
 * kRemovalLockWaitSeconds it refuses instead (status DS_ERR_BUSY). The file
 * is created on first use (mode 0600) and left in place: removing a lock
 * file would let two runs hold locks on two different files.
 */
#ifndef CV_REMOVAL_LOCK_H
#define CV_REMOVAL_LOCK_H

#include <string>

const int kRemovalLockWaitSeconds = 120;

// The file name of the lock below the server root.
extern const char kRemovalLockName[];

// The held lock: the open descriptor, closed (released) with the object.
class RemovalLock {
public:
    RemovalLock() = default;
    ~RemovalLock();
    RemovalLock(const RemovalLock&) = delete;
    RemovalLock& operator=(const RemovalLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    friend int cvLockServerRoot(const std::string&, int, RemovalLock&);
    int fd_ = -1;
};

// Takes the lock of serverRoot, waiting up to waitSeconds for another
// holder. 0 when held; otherwise 1 after a report (DS_ERR_FILE: the lock
// file cannot be opened, is a link or no regular file; DS_ERR_BUSY: still
// held by another removal after the wait), with nothing else done.
int cvLockServerRoot(const std::string& serverRoot, int waitSeconds, RemovalLock& lock);

#endif

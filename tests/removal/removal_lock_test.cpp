// One removal at a time per server root: a second run waits for the lock
// that the first holds, and never works beside it.
#include "removal_fixture.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "removal_lock.h"

namespace {

class RemovalLockTest : public RemovalRun {
protected:
    std::string lockPath() const { return serverRoot() + "/" + kRemovalLockName; }

    // Holds the lock as another removal would; released with the object.
    struct Holder {
        explicit Holder(const std::string& path)
            : fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
        {
            locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
        }
        ~Holder() { release(); }
        void release()
        {
            if (fd >= 0)
                close(fd);
            fd = -1;
        }
        int fd;
        bool locked = false;
    };
};

TEST_F(RemovalLockTest, SecondRemovalWaitsUntilTheFirstReleasesTheLock)
{
    makeInstance("inst1");
    cvtest::BackgroundProcess server("sleep", {"1000"});
    writePid("inst1", server.pid());
    Holder first(lockPath());
    ASSERT_TRUE(first.locked);

    auto env = cgiEnv("GET", "InstanceName=inst1");
    cvtest::BackgroundProcess second("/bin/sh",
                                     {"-c", "exec \"$0\" >\"$1\" 2>\"$2\"", CV_REMOVE_INSTANCE,
                                      tmp.file("out"), tmp.file("err")},
                                     env);
    // While the lock is held nothing is signalled or deleted.
    EXPECT_FALSE(second.waitForExit(1.0));
    EXPECT_TRUE(server.running());
    EXPECT_TRUE(tmp.exists("srv/inst1/config/dse.ldif"));

    first.release();
    ASSERT_TRUE(second.waitForExit(10));
    EXPECT_EQ(second.status(), 0);
    EXPECT_EQ(tmp.read("err"), "Warning: another removal in this server root holds " + lockPath() +
                                   "; waiting up to 120 seconds for it to finish\n");
    EXPECT_EQ(tmp.read("out"), std::string(kHeader) + success("inst1"));
    EXPECT_FALSE(server.running());
    EXPECT_FALSE(tmp.exists("srv/inst1"));
    EXPECT_TRUE(tmp.exists("srv/" + std::string(kRemovalLockName)));
}

TEST_F(RemovalLockTest, LockStillHeldAfterTheWaitRefusesWithNothingDone)
{
    makeInstance("inst1");
    Holder first(lockPath());
    ASSERT_TRUE(first.locked);
    RemovalLock lock;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(cvLockServerRoot(serverRoot(), 1, lock), 1);
    std::string out = testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(lock.held());
    EXPECT_EQ(out, "TPX_ErrInfo: Busy: " + lockPath() +
                       ": Another removal in this server root still holds this lock after 1 "
                       "seconds; nothing was stopped, unregistered or removed. Run the removal "
                       "again once it has finished.\nTPX_STATUS: 8\n");

    first.release();
    EXPECT_EQ(cvLockServerRoot(serverRoot(), 1, lock), 0);
    EXPECT_TRUE(lock.held());
}

TEST_F(RemovalLockTest, LockFileThatIsALinkIsRefusedAndItsTargetKept)
{
    makeInstance("inst1");
    makeOutside();
    tmp.symlink(tmp.file("outside/keep.txt"), "srv/" + std::string(kRemovalLockName));
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(kHeader) + "TPX_ErrInfo: File error: " + lockPath() +
                         ": The removal lock of this server root cannot be used (it is a symbolic "
                         "link); nothing was stopped, unregistered or removed.\nTPX_STATUS: 3\n");
    EXPECT_EQ(tmp.read("outside/keep.txt"), "keep\n");
    EXPECT_TRUE(tmp.exists("srv/inst1/config/dse.ldif"));
}

} // namespace

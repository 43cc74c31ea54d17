// Stopping the instance and deleting its tree, seen from outside the tool.
#include "removal_fixture.h"

#include <csignal>
#include <cstdlib>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class InstanceRemoval : public RemovalRun {
protected:
    std::string refusalFor(const std::string& shownName, const std::string& message) const
    {
        return std::string(kHeader) + "TPX_ErrInfo: Request error: " + shownName + ": " + message +
               "\nTPX_STATUS: 2\n";
    }
    static constexpr const char* kUnsafe =
        "This is not a valid server instance name (it must be one path segment, not \".\" or "
        "\"..\"); nothing was removed.";
};

TEST_F(InstanceRemoval, StopsTheRunningServerBeforeDeletingItsTree)
{
    makeInstance("inst1");
    cvtest::BackgroundProcess server("sleep", {"1000"});
    writePid("inst1", server.pid());
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.out, std::string(kHeader) + success("inst1"));
    EXPECT_EQ(r.status, 0);
    ASSERT_TRUE(server.waitForExit(5));
    EXPECT_EQ(server.status(), 128 + SIGTERM);
    EXPECT_FALSE(tmp.exists("srv/inst1"));
}

// A database tree deeper than any path the system can name, under a small
// descriptor limit: the removal (and the rerun it would advise) must not
// stop part way down.
TEST_F(InstanceRemoval, RemovesTreesDeeperThanAnyPathWithFewDescriptors)
{
    makeInstance("inst1");
    tmp.mkdeep("srv/inst1/db/nested", 10000);
    auto env = cgiEnv("GET", "InstanceName=inst1");
    auto r = cvtest::runProcess(
        "/bin/sh", {"-c", "ulimit -n 256 && exec \"$0\"", CV_REMOVE_INSTANCE}, env, "", 90);
    EXPECT_EQ(r.out, std::string(kHeader) + success("inst1"));
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(tmp.exists("srv/inst1"));
    EXPECT_TRUE(tmp.exists("srv"));
}

TEST_F(InstanceRemoval, StalePidFileCountsAsNotRunning)
{
    makeInstance("inst1");
    pid_t gone;
    {
        cvtest::BackgroundProcess child("true", {});
        ASSERT_TRUE(child.waitForExit(5));
        gone = child.pid();
    }
    tmp.write("srv/inst1/logs/pid", std::to_string(gone));
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.out, std::string(kHeader) + success("inst1"));
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(tmp.exists("srv/inst1"));
}

TEST_F(InstanceRemoval, RefusedStopDeletesNothing)
{
    makeInstance("inst1");
    tmp.write("srv/inst1/logs/pid", "not a pid\n");
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.out, std::string(kHeader) +
                         "TPX_ErrInfo: File error: " + tmp.file("srv/inst1/logs/pid") +
                         ": The pid file does not hold a usable process id; the server was not "
                         "stopped and nothing was removed. Remove the file if the server is not "
                         "running.\nTPX_STATUS: 3\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp.exists("srv/inst1/config/dse.ldif"));
}

TEST_F(InstanceRemoval, PidOfInitIsNeverSignalled)
{
    makeInstance("inst1");
    tmp.write("srv/inst1/logs/pid", "1\n");
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp.exists("srv/inst1/config/dse.ldif"));
}

TEST_F(InstanceRemoval, UnsafeNamesNeverBecomePaths)
{
    makeInstance("inst1");
    makeOutside();
    tmp.write("srv/a/b/keep.txt", "keep\n");
    const size_t before = tmp.countEntries();
    struct Case {
        std::string query, shown;
    };
    for (const Case& c :
         {Case{"InstanceName=../outside", "../outside"}, Case{"InstanceName=a%2Fb", "a/b"},
          Case{"InstanceName=..", ".."}, Case{"InstanceName=.", "."},
          Case{"InstanceName=inst1%0ATPX_STATUS:+0", "inst1?TPX_STATUS: 0"}}) {
        auto r = removeByQuery(c.query);
        EXPECT_EQ(r.out, refusalFor(c.shown, kUnsafe)) << c.query;
        EXPECT_EQ(r.status, 1) << c.query;
    }
    EXPECT_EQ(tmp.countEntries(), before);
}

TEST_F(InstanceRemoval, EmptyInstanceNameIsRefused)
{
    makeInstance("inst1");
    const size_t before = tmp.countEntries();
    auto r = removeByQuery("InstanceName=");
    EXPECT_EQ(r.out, std::string(kHeader) + "TPX_ErrInfo: Request error: " + kUnsafe +
                         "\nTPX_STATUS: 2\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(tmp.countEntries(), before);
}

TEST_F(InstanceRemoval, RequestWithoutAnyInstanceIsRefused)
{
    makeInstance("inst1");
    auto r = run({}, cgiEnv("GET"));
    EXPECT_EQ(r.out, std::string(kHeader) +
                         "TPX_ErrInfo: Request error: The request names no server instance (no "
                         "InstanceName and no server in SCRIPT_NAME); nothing was removed.\n"
                         "TPX_STATUS: 2\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp.exists("srv/inst1"));
}

TEST_F(InstanceRemoval, MissingOrRelativeServerRootIsRefused)
{
    makeInstance("inst1");
    const std::string why =
        "The directory of this server instance cannot be determined (WAYPOST_ROOT must be the "
        "absolute path of the server root and the instance directory must lie below it); "
        "nothing was removed.";
    for (const std::string& root :
         {std::string(), std::string("srv"), std::string("/no/such/root")}) {
        auto env = cvtest::cgiEnvironment("GET", root, "InstanceName=inst1");
        auto r = cvtest::runProcess(CV_REMOVE_INSTANCE, {}, env, "", 60);
        EXPECT_EQ(r.out, refusalFor("inst1", why)) << root;
        EXPECT_EQ(r.status, 1) << root;
    }
    EXPECT_TRUE(tmp.exists("srv/inst1/config/dse.ldif"));
}

TEST_F(InstanceRemoval, InstanceLinkLeadingOutOfTheServerRootIsRefused)
{
    makeOutside();
    tmp.mkdirs("srv");
    tmp.symlink(tmp.file("outside"), "srv/inst1");
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp.exists("srv/inst1"));
    EXPECT_TRUE(tmp.exists("outside/deep/keep2.txt"));
}

TEST_F(InstanceRemoval, RemovesTreeButNotLinkTargets)
{
    makeInstance("inst1");
    makeOutside();
    tmp.symlink(tmp.file("outside"), "srv/inst1/db/link-to-dir");
    tmp.symlink(tmp.file("outside/keep.txt"), "srv/inst1/config/link-to-file");
    tmp.symlink(tmp.file("nowhere"), "srv/inst1/dangling");
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.out, std::string(kHeader) + success("inst1"));
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(tmp.exists("srv/inst1"));
    EXPECT_EQ(tmp.read("outside/keep.txt"), "keep\n");
    EXPECT_EQ(tmp.read("outside/deep/keep2.txt"), "keep\n");
}

// Already gone is no failure: the run says what it found absent.
TEST_F(InstanceRemoval, AlreadyRemovedInstanceReportsSuccessAndWhatWasAbsent)
{
    tmp.mkdirs("srv");
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.out, std::string(kHeader) + "Server inst1 was successfully removed\n"
                                            "TPX_SuccessInfo: Already gone: no directory\n"
                                            "TPX_STATUS: 0\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(tmp.exists("srv"));
}

// Root may delete anything, so the stuck file is made real with an immutable
// flag or, where the file system has none, a read-only bind mount.
class StuckEntry {
public:
    explicit StuckEntry(const cvtest::TempDir& tmp)
    {
        tmp.write("srv/inst1/db/stuck/locked.db", "data\n");
        std::string file = tmp.file("srv/inst1/db/stuck/locked.db");
        if (std::system(("chattr +i '" + file + "' 2>/dev/null").c_str()) == 0) {
            immutable_ = file;
            stuck_ = file;
            return;
        }
        std::string dir = tmp.file("srv/inst1/db/stuck");
        if (mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0) {
            mounted_ = dir;
            if (mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) ==
                0)
                stuck_ = file;
        }
    }
    ~StuckEntry() { release(); }
    void release()
    {
        if (!immutable_.empty())
            std::system(("chattr -i '" + immutable_ + "'").c_str());
        if (!mounted_.empty())
            umount2(mounted_.c_str(), MNT_DETACH);
        immutable_.clear();
        mounted_.clear();
    }
    // The path that cannot be removed; empty when neither way works here.
    const std::string& path() const { return stuck_; }
    bool byMount() const { return !mounted_.empty(); }

private:
    std::string immutable_, mounted_, stuck_;
};

TEST_F(InstanceRemoval, EntryThatCannotBeRemovedFailsTheRunAndRerunFinishes)
{
    makeInstance("inst1");
    StuckEntry stuck(tmp);
    if (stuck.path().empty())
        GTEST_SKIP() << "neither chattr +i nor a read-only bind mount works here";
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(kHeader) +
                         "TPX_ErrInfo: Removal incomplete: " + tmp.file("srv/inst1") +
                         ": Server inst1 is stopped but its directory could not be removed "
                         "completely; what was left is listed in the warnings on the standard "
                         "error stream. Remove the cause and run the removal again.\n"
                         "TPX_STATUS: 5\n");
    std::string reason = stuck.byMount() ? "Read-only file system" : "Operation not permitted";
    std::string expectedErr =
        "Warning: could not remove " + stuck.path() + ": " + reason + "\n" +
        "Warning: could not remove " + tmp.file("srv/inst1/db/stuck") +
        (stuck.byMount() ? ": Device or resource busy\n" : ": Directory not empty\n") +
        "Warning: could not remove " + tmp.file("srv/inst1/db") + ": Directory not empty\n" +
        "Warning: could not remove " + tmp.file("srv/inst1") + ": Directory not empty\n";
    EXPECT_EQ(r.err, expectedErr);
    EXPECT_TRUE(tmp.exists("srv/inst1/db/stuck/locked.db"));
    EXPECT_FALSE(tmp.exists("srv/inst1/config"));
    EXPECT_FALSE(tmp.exists("srv/inst1/db/userRoot"));

    stuck.release();
    auto again = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(again.out, std::string(kHeader) + success("inst1"));
    EXPECT_EQ(again.err, "");
    EXPECT_EQ(again.status, 0);
    EXPECT_FALSE(tmp.exists("srv/inst1"));
}

} // namespace

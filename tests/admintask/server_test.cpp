// Install root and server stop of the admin task layer, with real processes.
#include "admtask.h"
#include "instance_fixture.h"
#include "subprocess.h"
#include "tempdir.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class InstanceControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        cvtest::clearCgiVariables();
        setenv("WAYPOST_ROOT", tmp.file("srv").c_str(), 1);
        tmp.mkdirs("srv/inst1/logs");
        select("inst1");
    }
    void TearDown() override
    {
        cvtest::clearCgiVariables();
        ADMUTIL_Init();
        ds_set_stop_timeout(0);
    }
    static void select(const std::string& name)
    {
        ADMUTIL_Init();
        ds_get_begin(("InstanceName=" + name).c_str());
    }
    static std::string root()
    {
        const char* r = ds_get_install_root();
        return r != nullptr ? r : "<null>";
    }
    int stop(std::string* out = nullptr)
    {
        ::testing::internal::CaptureStdout();
        int r = ds_bring_down_server();
        std::string text = ::testing::internal::GetCapturedStdout();
        if (out != nullptr)
            *out = text;
        return r;
    }
    void writePid(pid_t pid) const { cvtest::writePidFile(tmp, "srv/inst1", pid); }

    cvtest::TempDir tmp{"cvctl"};
};

TEST_F(InstanceControl, InstallRootIsServerRootAndName)
{
    EXPECT_EQ(root(), tmp.file("srv/inst1"));
    setenv("WAYPOST_ROOT", (tmp.file("srv") + "//").c_str(), 1);
    EXPECT_EQ(root(), tmp.file("srv/inst1"));
    select("not-there-yet");
    EXPECT_EQ(root(), tmp.file("srv/not-there-yet"));
}

TEST_F(InstanceControl, InstallRootFromScriptNameWhenRequestHasNoName)
{
    ADMUTIL_Init();
    setenv("SCRIPT_NAME", "/inst1/Tasks/Operation/Remove", 1);
    EXPECT_EQ(root(), tmp.file("srv/inst1"));
    unsetenv("SCRIPT_NAME");
    EXPECT_EQ(root(), "<null>");
}

TEST_F(InstanceControl, NoInstallRootWithoutAUsableServerRoot)
{
    for (const char* bad : {"", "srv", "relative/path", "/no/such/server/root"}) {
        setenv("WAYPOST_ROOT", bad, 1);
        EXPECT_EQ(root(), "<null>") << bad;
    }
    unsetenv("WAYPOST_ROOT");
    EXPECT_EQ(root(), "<null>");
}

TEST_F(InstanceControl, NoInstallRootOutsideTheServerRoot)
{
    tmp.mkdirs("outside");
    tmp.symlink(tmp.file("outside"), "srv/away");
    tmp.symlink(".", "srv/self");
    tmp.symlink("inst1", "srv/alias");
    tmp.symlink(tmp.file("missing"), "srv/dangling");
    // A link is refused even when it leads below the root: it is not known
    // to be the instance it names.
    for (const char* name : {"away", "self", "dangling", "alias", "..", ".", "a/b", ""}) {
        select(name);
        EXPECT_EQ(root(), "<null>") << name;
    }
}

TEST_F(InstanceControl, NoPidFileMeansNotRunning)
{
    std::string out;
    EXPECT_EQ(stop(&out), DS_SERVER_NOT_RUNNING);
    EXPECT_EQ(out, "");
}

TEST_F(InstanceControl, StopsARunningProcessAndWaitsForIt)
{
    cvtest::BackgroundProcess server("sleep", {"1000"});
    writePid(server.pid());
    EXPECT_EQ(stop(), DS_SERVER_STOPPED);
    ASSERT_TRUE(server.waitForExit(1));
    EXPECT_EQ(server.status(), 128 + SIGTERM);
}

TEST_F(InstanceControl, ExitedButUnreapedProcessIsNotRunning)
{
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(0);
    // Wait until it is a zombie, without reaping it.
    siginfo_t info;
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    writePid(child);
    EXPECT_EQ(stop(), DS_SERVER_NOT_RUNNING);
    waitpid(child, nullptr, 0);
}

TEST_F(InstanceControl, ProcessIgnoringTheStopIsReportedAfterTheTimeout)
{
    cvtest::BackgroundProcess server("sh", {"-c", "trap '' TERM; exec sleep 1000"});
    usleep(200000); // let the shell install the trap before it execs
    writePid(server.pid());
    ds_set_stop_timeout(1);
    std::string out;
    EXPECT_EQ(stop(&out), DS_SERVER_NOT_STOPPED);
    EXPECT_EQ(out, "TPX_ErrInfo: Server error: inst1: The server process " +
                       std::to_string(server.pid()) +
                       " did not stop within 1 seconds; nothing was removed.\nTPX_STATUS: 4\n");
    EXPECT_TRUE(server.running());
}

TEST_F(InstanceControl, UnusablePidFilesAreRefusedWithoutSignalling)
{
    for (const std::string& text : {std::string(""), std::string("abc\n"), std::string("0\n"),
                                    std::string("1\n"), std::string("-5\n"), std::string("12 34\n"),
                                    std::to_string(getpid()), std::string(100, '7')}) {
        tmp.write("srv/inst1/logs/pid", text);
        std::string out;
        EXPECT_EQ(stop(&out), DS_SERVER_NOT_STOPPED) << text;
        EXPECT_EQ(out, "TPX_ErrInfo: File error: " + tmp.file("srv/inst1/logs/pid") +
                           ": The pid file does not hold a usable process id; the server was not "
                           "stopped and nothing was removed. Remove the file if the server is not "
                           "running.\nTPX_STATUS: 3\n")
            << text;
    }
}

TEST_F(InstanceControl, StopIsRefusedWithoutAUsableInstance)
{
    std::string out;
    ADMUTIL_Init();
    EXPECT_EQ(stop(&out), DS_SERVER_REFUSED);
    EXPECT_EQ(out, "TPX_ErrInfo: Request error: The request names no server instance (no "
                   "InstanceName and no server in SCRIPT_NAME); nothing was removed.\n"
                   "TPX_STATUS: 2\n");
    select("../inst1");
    EXPECT_EQ(stop(&out), DS_SERVER_REFUSED);
    EXPECT_NE(out.find("Request error: ../inst1: This is not a valid server instance name"),
              std::string::npos);
    select("inst1");
    unsetenv("WAYPOST_ROOT");
    EXPECT_EQ(stop(&out), DS_SERVER_REFUSED);
    EXPECT_NE(out.find("Request error: inst1: The directory of this server instance cannot be "
                       "determined"),
              std::string::npos);
}

// The refusal comes back as the report's lines, for the tool to write and
// remove-instance-plan to show: the check itself writes nothing.
TEST_F(InstanceControl, CheckReturnsItsRefusalWithoutWritingIt)
{
    writePid(getpid());
    std::string refusal;
    long pid = 0;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(ds_check_server_reply(&pid, nullptr, refusal), DS_SERVER_NOT_STOPPED);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    std::string written;
    EXPECT_EQ(stop(&written), DS_SERVER_NOT_STOPPED);
    EXPECT_EQ(refusal, written);
    EXPECT_EQ(refusal.rfind("TPX_ErrInfo: File error: " + tmp.file("srv/inst1/logs/pid"), 0), 0u);

    unlink(tmp.file("srv/inst1/logs/pid").c_str());
    EXPECT_EQ(ds_check_server_reply(&pid, nullptr, refusal), DS_SERVER_NOT_RUNNING);
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(pid, 0);
}

} // namespace

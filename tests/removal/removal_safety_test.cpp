// Only the named instance is ever signalled or deleted, and the CGI reply
// shows outside texts as text.
#include "removal_fixture.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

class OnlyThisInstance : public RemovalRun {
protected:
    std::string pidPath(const std::string& instance) const
    {
        return tmp.file("srv/" + instance + "/logs/pid");
    }
    std::string fileRefusal(const std::string& instance, const std::string& message) const
    {
        return std::string(kHeader) + "TPX_ErrInfo: File error: " + pidPath(instance) + ": " +
               message + "\nTPX_STATUS: 3\n";
    }
    // A sibling whose server must outlive every refused removal.
    void makeSibling()
    {
        makeInstance("sibling");
        writePid("sibling", sibling.pid());
    }
    bool siblingUntouched()
    {
        return sibling.running() && tmp.exists("srv/sibling/config/dse.ldif") &&
               tmp.exists("srv/sibling/logs/pid");
    }

    static constexpr const char* kLinked =
        "The pid file, its directory or the instance directory is a symbolic link, which is not "
        "followed; no signal was sent and nothing was removed.";
    static constexpr const char* kUnusable =
        "The pid file does not hold a usable process id; the server was not stopped and nothing "
        "was removed. Remove the file if the server is not running.";

    cvtest::BackgroundProcess sibling{"sleep", {"1000"}};
};

TEST_F(OnlyThisInstance, LinkedLogsOrPidFileSendsNoSignal)
{
    makeSibling();
    tmp.write("srv/linked-logs/config/dse.ldif", "dn: cn=config\n");
    tmp.symlink("../sibling/logs", "srv/linked-logs/logs");
    tmp.write("srv/linked-pid/config/dse.ldif", "dn: cn=config\n");
    tmp.mkdirs("srv/linked-pid/logs");
    tmp.symlink(pidPath("sibling"), "srv/linked-pid/logs/pid");
    for (const std::string name : {"linked-logs", "linked-pid"}) {
        auto r = removeByQuery("InstanceName=" + name);
        EXPECT_EQ(r.out, fileRefusal(name, kLinked)) << name;
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(tmp.exists("srv/" + name + "/config/dse.ldif")) << name;
    }
    EXPECT_TRUE(siblingUntouched());
}

TEST_F(OnlyThisInstance, InstancePathThatIsALinkIsRefusedWhole)
{
    makeSibling();
    tmp.symlink("sibling", "srv/inst1");
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.out, std::string(kHeader) +
                         "TPX_ErrInfo: Request error: inst1: The directory of this server "
                         "instance is a symbolic link, which is not followed; nothing was "
                         "stopped, unregistered or removed.\nTPX_STATUS: 2\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp.exists("srv/inst1"));
    EXPECT_TRUE(siblingUntouched());
}

TEST_F(OnlyThisInstance, PidFileThatIsNoRegularFileIsRefusedWithoutBlocking)
{
    makeInstance("fifo");
    ASSERT_EQ(mkfifo(pidPath("fifo").c_str(), 0600), 0);
    std::vector<std::string> names = {"fifo"};
    makeInstance("device");
    // A character device needs privileges; /dev/null's numbers are fixed.
    if (mknod(pidPath("device").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        names.push_back("device");
    for (const std::string& name : names) {
        const auto start = std::chrono::steady_clock::now();
        auto r = cvtest::runProcess(CV_REMOVE_INSTANCE, {}, cgiEnv("GET", "InstanceName=" + name),
                                    "", 10);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  5.0);
        EXPECT_FALSE(r.timedOut) << name;
        EXPECT_EQ(r.out, fileRefusal(name, "The pid file is not a regular file; it was not read, "
                                           "no signal was sent and nothing was removed."))
            << name;
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(tmp.exists("srv/" + name + "/config/dse.ldif")) << name;
    }
}

// The pid file names the tool itself (a shell that execs it), its parent
// (a shell that waits for it and then reports), its grandparent (an
// administration server that runs the task through a wrapper), or the
// leader of its process group: none of them is signalled.
TEST_F(OnlyThisInstance, NeverSignalsItselfAnyOfItsAncestorsOrItsGroup)
{
    makeInstance("inst1");
    auto env = cgiEnv("GET", "InstanceName=inst1");
    const std::string script[] = {
        "echo $$ > \"$1\"; exec \"$0\"",
        "echo $$ > \"$1\"; \"$0\"; echo \"parent alive, status $?\"",
        "echo $$ > \"$1\"; /bin/sh -c '\"$0\"; exit $?' \"$0\"; echo \"grandparent alive, status "
        "$?\"",
    };
    auto self = cvtest::runProcess(
        "/bin/sh", {"-c", script[0], CV_REMOVE_INSTANCE, pidPath("inst1")}, env, "", 60);
    EXPECT_EQ(self.out, fileRefusal("inst1", kUnusable));
    EXPECT_EQ(self.status, 1);
    auto parent = cvtest::runProcess(
        "/bin/sh", {"-c", script[1], CV_REMOVE_INSTANCE, pidPath("inst1")}, env, "", 60);
    EXPECT_EQ(parent.out, fileRefusal("inst1", kUnusable) + "parent alive, status 1\n");
    auto grandparent = cvtest::runProcess(
        "/bin/sh", {"-c", script[2], CV_REMOVE_INSTANCE, pidPath("inst1")}, env, "", 60);
    EXPECT_EQ(grandparent.out, fileRefusal("inst1", kUnusable) + "grandparent alive, status 1\n");
    writePid("inst1", getpgrp());
    auto group = run({}, env);
    EXPECT_EQ(group.out, fileRefusal("inst1", kUnusable));
    EXPECT_EQ(group.status, 1);
    EXPECT_TRUE(tmp.exists("srv/inst1/config/dse.ldif"));
}

// The number in an old pid file now belongs to a process started later.
TEST_F(OnlyThisInstance, ReusedPidIsNotSignalledAndCountsAsNotRunning)
{
    makeInstance("inst1");
    makeSibling();
    writePid("inst1", sibling.pid());
    struct timespec times[2];
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 3600;
    times[1] = times[0];
    ASSERT_EQ(utimensat(AT_FDCWD, pidPath("inst1").c_str(), times, 0), 0);
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.out, std::string(kHeader) + success("inst1"));
    EXPECT_EQ(r.err, "Warning: process " + std::to_string(sibling.pid()) + " named in " +
                         pidPath("inst1") +
                         " started after that file was last written: it is another program "
                         "that reuses the number, it was not signalled, and the server counts "
                         "as not running\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(tmp.exists("srv/inst1"));
    EXPECT_TRUE(siblingUntouched());
}

class HtmlReply : public RemovalRun {};

TEST_F(HtmlReply, TextsFromTheRequestAndTheFileSystemAreEscaped)
{
    tmp.mkdirs("srv");
    auto r = removeByQuery("InstanceName=%3Cimg+src%3Dx+onerror%3Dalert(1)%3E");
    EXPECT_EQ(r.out, std::string(kHeader) +
                         "Server &lt;img src=x onerror=alert(1)&gt; was successfully removed\n"
                         "TPX_SuccessInfo: Already gone: no directory\nTPX_STATUS: 0\n");
    EXPECT_EQ(r.status, 0);

    makeInstance("a&\"b\"");
    tmp.write("srv/a&\"b\"/logs/pid", "garbage\n");
    r = removeByQuery("InstanceName=a%26%22b%22");
    EXPECT_EQ(r.out, std::string(kHeader) + "TPX_ErrInfo: File error: " + tmp.file("srv") +
                         "/a&amp;&quot;b&quot;/logs/pid: The pid file does not hold a usable "
                         "process id; the server was not stopped and nothing was removed. Remove "
                         "the file if the server is not running.\nTPX_STATUS: 3\n");

    makeInstance("x<y");
    r = removeByQuery("InstanceName=x%3Cy");
    EXPECT_EQ(r.out, std::string(kHeader) + success("x&lt;y"));

    auto env = cgiEnv("<script>");
    r = run({}, env);
    EXPECT_EQ(r.out, std::string(kHeader) +
                         "TPX_ErrInfo: ErrorString: REQUEST_METHOD=&lt;script&gt;,QUERY_STRING="
                         "<undefined>\n\nTPX_STATUS: 7\n");
}

} // namespace

// The test slapd leaves nothing behind: not on a normal stop, and not when
// the test process dies without running any destructor.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "slapd.h"

namespace {

// A zombie waiting for a reaper counts as gone.
bool alive(pid_t pid)
{
    if (kill(pid, 0) != 0)
        return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidField, name, state;
    stat >> pidField >> name >> state;
    return state != "Z";
}

bool waitGone(pid_t pid)
{
    for (int i = 0; i < 500 && alive(pid); ++i)
        usleep(10000);
    return !alive(pid);
}

bool isDir(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(TestSlapd, StopEndsTheServerAndRemovesItsDirectory)
{
    cvtest::Slapd server;
    ASSERT_TRUE(server.start()) << server.error();
    pid_t pid = server.pid();
    std::string dir = server.dir();
    EXPECT_TRUE(isDir(dir));
    EXPECT_TRUE(server.exists("o=CorvidRoot"));
    server.stop();
    EXPECT_FALSE(server.running());
    EXPECT_FALSE(alive(pid));
    EXPECT_FALSE(isDir(dir));
    server.stop();
}

TEST(TestSlapd, ServerDiesWithACrashedTestProcess)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        cvtest::Slapd* server = new cvtest::Slapd();
        pid_t pid = server->start() ? server->pid() : -1;
        std::string dir = server->dir();
        if (write(fds[1], &pid, sizeof pid) != sizeof pid ||
            write(fds[1], dir.c_str(), dir.size()) != static_cast<ssize_t>(dir.size()))
            _exit(2);
        // No destructor, no exit handlers: like a crash.
        _exit(0);
    }
    close(fds[1]);
    pid_t pid = -1;
    ASSERT_EQ(read(fds[0], &pid, sizeof pid), static_cast<ssize_t>(sizeof pid));
    std::string dir;
    char buf[256];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        dir.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(waitGone(pid));
    // The crashed process could not remove its directory; do it here.
    if (!dir.empty())
        std::filesystem::remove_all(dir);
}

} // namespace

// Silent removals that must not touch another instance, must not lose a
// registration to a stop that did not happen, and must end in bounded time.

#include "e2e_fixture.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace cvtest;
using namespace cvtest::reg;

namespace {

// A directory server that never answers: the kernel completes each
// connection into the listen backlog, and nothing ever reads or replies.
class SilentListener {
public:
    SilentListener()
    {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            listen(fd_, 16) == 0 && getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port_ = ntohs(addr.sin_port);
    }
    ~SilentListener() { close(fd_); }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

} // namespace

class SilentSafetyTest : public EndToEndSuite<SilentSafetyTest> {
protected:
    bool untouched(const std::string& instance)
    {
        return treeExists(instance) && dir_.exists("servers/" + instance + "/config/dse.ldif") &&
               servers_[instance]->running();
    }
    std::string pidFile(const std::string& instance) const
    {
        return dir_.file("servers/" + instance + "/logs/pid");
    }
};

// The registration goes only after the stop: a pid file that refuses the
// stop leaves registration, files and process as they were.
TEST_F(SilentSafetyTest, RefusedStopLeavesTheRegistration)
{
    dir_.write("servers/slapd-east/logs/pid", "garbage\n");
    ProcessResult r = silent("slapd-east");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "TPX_ErrInfo: File error: " + pidFile("slapd-east") +
                         ": The pid file does not hold a usable process id; the server was not "
                         "stopped and nothing was removed. Remove the file if the server is not "
                         "running.\nTPX_STATUS: 3\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(untouched("slapd-east"));
    EXPECT_TRUE(untouched("slapd-west"));
}

// Takes the tool's full stop timeout (30 s): there is no switch to shorten it.
TEST_F(SilentSafetyTest, ServerIgnoringTheStopKeepsItsRegistration)
{
    servers_["slapd-east"].reset(
        new BackgroundProcess("sh", {"-c", "trap '' TERM; exec sleep 1000"}));
    usleep(200000); // let the shell install the trap before it execs
    const pid_t pid = servers_["slapd-east"]->pid();
    writePidFile(dir_, "servers/slapd-east", pid);
    ProcessResult r = silent("slapd-east");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "TPX_ErrInfo: Server error: slapd-east: The server process " +
                         std::to_string(pid) +
                         " did not stop within 30 seconds; nothing was removed.\nTPX_STATUS: 4\n");
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(untouched("slapd-east"));
    EXPECT_TRUE(untouched("slapd-west"));
}

// An instance path that is a link is refused whole: the sibling it leads to
// keeps its process and files, and nothing is unregistered.
TEST_F(SilentSafetyTest, InstancePathThatIsALinkIsRefusedWhole)
{
    ASSERT_EQ(std::rename(dir_.file("servers/slapd-east").c_str(), dir_.file("east-away").c_str()),
              0);
    dir_.symlink("slapd-west", "servers/slapd-east");
    ProcessResult r = silent("slapd-east");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "TPX_ErrInfo: Request error: slapd-east: The directory of this server "
                     "instance is a symbolic link, which is not followed; nothing was stopped, "
                     "unregistered or removed.\nTPX_STATUS: 2\n");
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(dir_.exists("servers/slapd-east"));
    EXPECT_TRUE(untouched("slapd-west"));
    EXPECT_TRUE(servers_["slapd-east"]->running());
}

// The directory matches cn without regard to case; the removal must not:
// SLAPD-WEST is not registered and has no directory.
TEST_F(SilentSafetyTest, NameDifferingOnlyInCaseKeepsTheSiblingsRegistration)
{
    ProcessResult r = silent("SLAPD-WEST");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "Server SLAPD-WEST was successfully removed\n"
              "TPX_SuccessInfo: Already gone: not registered, no directory\nTPX_STATUS: 0\n");
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(untouched("slapd-west"));
    EXPECT_TRUE(untouched("slapd-east"));
}

// With the adapter's real timeouts: the server accepts, so the connect is
// quick and the 30 s operation timeout ends the bind.
TEST_F(SilentSafetyTest, DirectoryThatNeverAnswersEndsWithTheConnectionDiagnostic)
{
    SilentListener listener;
    ASSERT_NE(listener.port(), 0);
    std::string inf = infFor("slapd-east", Slapd::kRootPassword);
    inf = replaceAll(inf, "LDAPPort= " + std::to_string(slapd().port()),
                     "LDAPPort= " + std::to_string(listener.port()));
    const auto start = std::chrono::steady_clock::now();
    ProcessResult r = silentInf(inf);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string silentUrl =
        "ldap://127.0.0.1:" + std::to_string(listener.port()) + "/o=CorvidRoot";
    EXPECT_FALSE(r.timedOut);
    EXPECT_GE(seconds, 29.0);
    EXPECT_LT(seconds, 45.0);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: could not connect to the configuration directory " + silentUrl +
                         " (ldap://127.0.0.1:" + std::to_string(listener.port()) +
                         ": Timed out): error = 151\n");
    EXPECT_EQ(r.out, "TPX_ErrInfo: Registration error: " + silentUrl +
                         ": The files of server slapd-east were removed, but its registration "
                         "was not removed from the configuration directory (error = 151).\n"
                         "TPX_STATUS: 6\n");
    EXPECT_TRUE(stopped("slapd-east"));
    EXPECT_FALSE(treeExists("slapd-east"));
    EXPECT_TRUE(untouched("slapd-west"));
}

TEST_F(SilentSafetyTest, ConfigurationUrlWithoutAPortMeansPort389)
{
    ProcessResult r =
        silentInf("[uninstall]\nServerIdentifier= slapd-east\nServerRoot= " + roots_.alpha +
                  "\nFullMachineName= alpha.example.com\n"
                  "ConfigDirectoryLdapURL= ldap://127.0.0.1/o=CorvidRoot\n");
    const std::string prefix = "Error: could not connect to the configuration directory "
                               "ldap://127.0.0.1:389/o=CorvidRoot (ldap://127.0.0.1:389: ";
    EXPECT_EQ(r.err.compare(0, prefix.size(), prefix), 0) << r.err;
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(removed().empty());
}

// An unescaped name stays unescaped in silent mode, which no browser reads.
TEST_F(SilentSafetyTest, SilentReplyIsPlainText)
{
    ProcessResult r = silent("a<b>&\"c\"");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Server a<b>&\"c\" was successfully removed\n"
              "TPX_SuccessInfo: Already gone: not registered, no directory\nTPX_STATUS: 0\n");
}

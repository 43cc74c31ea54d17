// The remove-instance executable from end to end: a real slapd holding the
// fixture registry, a server root on disk with instance trees, and running
// stand-in server processes whose pids are in <instance>/logs/pid.

#include "e2e_fixture.h"

using namespace cvtest;
using namespace cvtest::reg;

class EndToEndTest : public EndToEndSuite<EndToEndTest> {};

TEST_F(EndToEndTest, SilentModeUnregistersStopsAndDeletesOneInstance)
{
    ProcessResult r = silent("slapd-east");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Server slapd-east was successfully removed\nTPX_STATUS: 0\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig}));
    EXPECT_TRUE(stopped("slapd-east"));
    EXPECT_FALSE(treeExists("slapd-east"));
    // The sibling keeps its registration, its files and its process.
    EXPECT_TRUE(treeExists("slapd-west"));
    EXPECT_TRUE(servers_["slapd-west"]->running());
    EXPECT_TRUE(dir_.exists("servers/shared/config/ds.conf"));
}

TEST_F(EndToEndTest, SilentModeRemovingTheLastInstanceTakesTheProductEntry)
{
    ASSERT_EQ(silent("slapd-east").status, 0);
    ProcessResult r = silent("slapd-west");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Server slapd-west was successfully removed\nTPX_STATUS: 0\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig, kWest, kAlphaDS}));
    EXPECT_TRUE(slapd().exists(kAlphaGroup));

    // Run again: everything is already gone, and that is no failure.
    r = silent("slapd-west");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Server slapd-west was successfully removed\n"
              "TPX_SuccessInfo: Already gone: not registered, no directory\nTPX_STATUS: 0\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig, kWest, kAlphaDS}));
    EXPECT_TRUE(stopped("slapd-west"));
    EXPECT_FALSE(treeExists("slapd-west"));
    EXPECT_TRUE(dir_.exists("servers/shared/config/ds.conf"));
}

TEST_F(EndToEndTest, SilentModeWithAWrongPasswordRemovesTheFilesAndFailsTheRun)
{
    ProcessResult r = silent("slapd-east", "not-the-password");
    // Files removed, registration not: the last lines say so, and the run
    // is no success.
    const std::string url = "ldap://127.0.0.1:" + std::to_string(slapd().port()) + "/o=CorvidRoot";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "TPX_ErrInfo: Registration error: " + url +
                         ": The files of server slapd-east were removed, but its registration "
                         "was not removed from the configuration directory (error = 146).\n"
                         "TPX_STATUS: 6\n");
    EXPECT_EQ(r.err,
              "Error: could not connect to the configuration directory " + url + ": error = 146\n");
    EXPECT_EQ(r.err.find("not-the-password"), std::string::npos);
    EXPECT_EQ(r.out.find("not-the-password"), std::string::npos);
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(stopped("slapd-east"));
    EXPECT_FALSE(treeExists("slapd-east"));
}

// "*" names no instance: it is not registered and has no directory, which
// the run says plainly.
TEST_F(EndToEndTest, SilentModeWildcardNameTouchesNoOtherInstance)
{
    ProcessResult r = silent("*");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Server * was successfully removed\n"
              "TPX_SuccessInfo: Already gone: not registered, no directory\nTPX_STATUS: 0\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(treeExists("slapd-east"));
    EXPECT_TRUE(treeExists("slapd-west"));
    EXPECT_TRUE(servers_["slapd-east"]->running());
    EXPECT_TRUE(servers_["slapd-west"]->running());
}

TEST_F(EndToEndTest, CgiGetStopsAndDeletesWithoutTouchingTheRegistry)
{
    std::vector<std::string> env = cgiEnvironment("GET", roots_.alpha, "InstanceName=slapd-west");
    ProcessResult r = runProcess(CV_REMOVE_INSTANCE, {}, env);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        "Content-type: text/html\n\nServer slapd-west was successfully removed\nTPX_STATUS: 0\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(stopped("slapd-west"));
    EXPECT_FALSE(treeExists("slapd-west"));
    EXPECT_TRUE(treeExists("slapd-east"));
}

TEST_F(EndToEndTest, CgiPostReadsTheInstanceFromTheBody)
{
    const std::string body = "InstanceName=slapd-east";
    std::vector<std::string> env = cgiEnvironment("POST", roots_.alpha);
    env.push_back("CONTENT_LENGTH=" + std::to_string(body.size()));
    ProcessResult r = runProcess(CV_REMOVE_INSTANCE, {}, env, body);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        "Content-type: text/html\n\nServer slapd-east was successfully removed\nTPX_STATUS: 0\n");
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(stopped("slapd-east"));
    EXPECT_FALSE(treeExists("slapd-east"));
    EXPECT_TRUE(treeExists("slapd-west"));
}

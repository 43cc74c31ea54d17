// How the tool is started and how it answers a request before anything is
// stopped or deleted.
#include "removal_fixture.h"

#include <fcntl.h>

namespace {

const std::string kRefusalUndefined =
    "TPX_ErrInfo: ErrorString: REQUEST_METHOD=<undefined>,QUERY_STRING=<undefined>\n\n"
    "TPX_STATUS: 7\n";

class RequestHandling : public RemovalRun {};

TEST_F(RequestHandling, MissingMethodIsRefusedWithHeaderAndStatusSeven)
{
    makeInstance("inst1");
    auto r = run({}, cvtest::cgiEnvironment("", serverRoot(), "InstanceName=inst1"));
    EXPECT_EQ(r.out, std::string(kHeader) + kRefusalUndefined);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp.exists("srv/inst1/config/dse.ldif"));
}

TEST_F(RequestHandling, OtherMethodShowsItButNeverTheQueryString)
{
    makeInstance("inst1");
    auto env = cgiEnv("PUT", "InstanceName=inst1");
    auto r = run({}, env);
    EXPECT_EQ(r.out, std::string(kHeader) +
                         "TPX_ErrInfo: ErrorString: REQUEST_METHOD=PUT,QUERY_STRING=<undefined>\n\n"
                         "TPX_STATUS: 7\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp.exists("srv/inst1"));
}

TEST_F(RequestHandling, MethodNamesAreCaseSensitive)
{
    makeInstance("inst1");
    auto env = cgiEnv("get", "InstanceName=inst1");
    auto r = run({}, env);
    EXPECT_EQ(r.out, std::string(kHeader) +
                         "TPX_ErrInfo: ErrorString: REQUEST_METHOD=get,QUERY_STRING=<undefined>\n\n"
                         "TPX_STATUS: 7\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp.exists("srv/inst1"));
}

// A reader takes the first status line it sees: a method holding a line
// break must not put one before the real status.
TEST_F(RequestHandling, MethodWithLineBreakCannotForgeAStatusLine)
{
    makeInstance("inst1");
    auto r = run({}, cgiEnv("PUT\nTPX_STATUS: 0\r"));
    EXPECT_EQ(r.out, std::string(kHeader) +
                         "TPX_ErrInfo: ErrorString: REQUEST_METHOD=PUT?TPX_STATUS: "
                         "0?,QUERY_STRING=<undefined>\n\n"
                         "TPX_STATUS: 7\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp.exists("srv/inst1"));
}

TEST_F(RequestHandling, VeryLongMethodIsReportedWhole)
{
    std::string method(20000, 'M');
    auto r = run({}, cgiEnv(method));
    EXPECT_EQ(r.out, std::string(kHeader) + "TPX_ErrInfo: ErrorString: REQUEST_METHOD=" + method +
                         ",QUERY_STRING=<undefined>\n\nTPX_STATUS: 7\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(RequestHandling, GetRemovesTheNamedInstanceOnly)
{
    makeInstance("inst1");
    makeInstance("inst2");
    auto r = removeByQuery("InstanceName=inst1");
    EXPECT_EQ(r.out, std::string(kHeader) + success("inst1"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(tmp.exists("srv/inst1"));
    EXPECT_TRUE(tmp.exists("srv/inst2/db/userRoot/id2entry.db"));
}

TEST_F(RequestHandling, GetWithEmptyQueryTakesTheNameFromScriptName)
{
    makeInstance("inst1");
    auto env = cgiEnv("GET", "");
    env.push_back("SCRIPT_NAME=/inst1/Tasks/Operation/Remove");
    auto r = run({}, env);
    EXPECT_EQ(r.out, std::string(kHeader) + success("inst1"));
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(tmp.exists("srv/inst1"));
}

TEST_F(RequestHandling, InstanceNameWinsOverScriptName)
{
    makeInstance("inst1");
    makeInstance("inst2");
    auto env = cgiEnv("GET", "InstanceName=inst2");
    env.push_back("SCRIPT_NAME=/inst1/Tasks/Operation/Remove");
    auto r = run({}, env);
    EXPECT_EQ(r.out, std::string(kHeader) + success("inst2"));
    EXPECT_TRUE(tmp.exists("srv/inst1"));
    EXPECT_FALSE(tmp.exists("srv/inst2"));
}

TEST_F(RequestHandling, PostBodyIsDecodedFromStandardInput)
{
    makeInstance("inst-1 a");
    std::string body = "Other=1&InstanceName=inst%2D1+a";
    auto env = cgiEnv("POST");
    env.push_back("CONTENT_LENGTH=" + std::to_string(body.size()));
    auto r = run({}, env, body);
    EXPECT_EQ(r.out, std::string(kHeader) + success("inst-1 a"));
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(tmp.exists("srv/inst-1 a"));
}

// A refused body never falls back to SCRIPT_NAME, which names another
// instance than the one posted.
TEST_F(RequestHandling, RefusedPostBodyIsRefusedWithoutFallingBackToScriptName)
{
    makeInstance("inst1");
    makeInstance("inst10");
    makeInstance("other");
    for (const char* length : {"19", "x", "99999999"}) {
        auto env = cgiEnv("POST");
        env.push_back(std::string("CONTENT_LENGTH=") + length);
        env.push_back("SCRIPT_NAME=/other/Tasks/Operation/Remove");
        auto r = run({}, env, "InstanceName=inst1");
        EXPECT_EQ(r.out, std::string(kHeader) +
                             "TPX_ErrInfo: Request error: The request body could not be read "
                             "whole (it is shorter than CONTENT_LENGTH, CONTENT_LENGTH is not a "
                             "decimal number, or the body is larger than 1 MiB); nothing was "
                             "removed.\nTPX_STATUS: 2\n")
            << length;
        EXPECT_EQ(r.status, 1);
    }
    EXPECT_TRUE(tmp.exists("srv/inst1/config/dse.ldif"));
    EXPECT_TRUE(tmp.exists("srv/inst10/config/dse.ldif"));
    EXPECT_TRUE(tmp.exists("srv/other/config/dse.ldif"));
}

TEST_F(RequestHandling, FlagAloneRunsInCgiMode)
{
    makeInstance("inst1");
    auto env = cgiEnv("GET", "InstanceName=inst1");
    auto r = run({"-f"}, env);
    EXPECT_EQ(r.out, std::string(kHeader) + success("inst1"));
    EXPECT_EQ(r.status, 0);
}

TEST_F(RequestHandling, FlagWithMissingFileReportsAFileErrorWithoutHeader)
{
    makeInstance("inst1");
    std::string inf = tmp.file("missing.inf");
    auto env = cgiEnv("GET", "InstanceName=inst1");
    auto r = run({"-f", inf}, env);
    EXPECT_EQ(r.out, "TPX_ErrInfo: File error: " + inf +
                         ": This file could not be opened.  A valid file must be given.\n"
                         "TPX_STATUS: 3\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp.exists("srv/inst1"));
}

TEST_F(RequestHandling, LongerFlagWithReadableFileRunsInSilentMode)
{
    makeInstance("inst1");
    tmp.write("remove.inf", "[General]\nServerRoot = " + serverRoot() + "\n");
    auto env = cgiEnv("GET", "InstanceName=inst1");
    auto r = run({"-fx", tmp.file("remove.inf"), "ignored"}, env);
    // No configuration directory is named, so the files go and the
    // registration cannot.
    EXPECT_EQ(r.out, "TPX_ErrInfo: Registration error: ldap://:/: The files of server inst1 were "
                     "removed, but its registration was not removed from the configuration "
                     "directory (error = 145).\nTPX_STATUS: 6\n");
    EXPECT_EQ(r.err, "Error: could not connect to the configuration directory ldap://:/: error = "
                     "145\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(tmp.exists("srv/inst1"));
}

TEST_F(RequestHandling, OtherFirstArgumentRunsInCgiMode)
{
    tmp.write("remove.inf", "\n");
    auto r = run({"-x", tmp.file("remove.inf")}, cvtest::baseEnvironment());
    EXPECT_EQ(r.out, std::string(kHeader) + kRefusalUndefined);
    EXPECT_EQ(r.status, 1);
}

} // namespace

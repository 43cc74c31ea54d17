// Refusals: the plan answers a bad request with the removal's own words and
// exit status, and plans nothing further.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "instance_fixture.h"
#include "plan_fixture.h"
#include "subprocess.h"
#include "tempdir.h"

using namespace cvtest;

namespace {

const std::string kRefusedLine =
    "plan: removal would be incomplete: the request would be refused and nothing would be done\n";

struct Case {
    std::vector<std::string> args;
    std::vector<std::string> env;
    std::string stdinText;
};

} // namespace

TEST(PlanRefusalTest, SameRepliesAndStatusesAsTheRemoval)
{
    TempDir dir("planrefuse");
    dir.write("root/linked-target/logs/x", "");
    dir.symlink(dir.file("root/linked-target"), "root/linked");
    dir.write("root/garbage/logs/pid", "not a pid\n");
    dir.mkdirs("root/fifo/logs");
    ASSERT_EQ(mkfifo(dir.file("root/fifo/logs/pid").c_str(), 0644), 0);
    auto cgi = [&](const std::string& method, const std::string& query) {
        return cgiEnvironment(method, dir.file("root"), query);
    };
    std::vector<Case> cases = {
        {{}, cgi("", ""), ""},
        {{}, cgi("PUT", "InstanceName=x"), ""},
        {{"-f", dir.file("missing.inf")}, baseEnvironment(), ""},
        {{}, cgi("GET", "InstanceName=.."), ""},
        {{}, cgi("GET", ""), ""},
        {{}, cgi("GET", "InstanceName=linked"), ""},
        {{}, cgi("GET", "InstanceName=garbage"), ""},
        {{}, cgi("GET", "InstanceName=fifo"), ""},
    };
    auto post = cgi("POST", "");
    post.push_back("CONTENT_LENGTH=100");
    cases.push_back({{}, post, "InstanceName=short"});

    for (const Case& c : cases) {
        ProcessResult removal = runProcess(CV_REMOVE_INSTANCE, c.args, c.env, c.stdinText);
        ProcessResult plan = plantest::runPlan(c.args, c.env, c.stdinText);
        SCOPED_TRACE(removal.out);
        EXPECT_EQ(removal.status, 1);
        EXPECT_EQ(plan.status, removal.status);
        EXPECT_EQ(plan.out, removal.out + kRefusedLine);

        auto jsonArgs = c.args;
        jsonArgs.push_back("--json");
        plantest::json j = plantest::parse(plantest::runPlan(jsonArgs, c.env, c.stdinText));
        EXPECT_EQ(j["refused"], true);
        EXPECT_EQ(j["reply"], removal.out);
        EXPECT_EQ(j["exitStatus"], 1);
    }
    // The refusals touched nothing.
    EXPECT_EQ(dir.read("root/garbage/logs/pid"), "not a pid\n");
    EXPECT_TRUE(dir.exists("root/linked-target/logs/x"));
}

// The plan of an instance tree with links, an immutable file and a bind
// mount: the counts, the paths that would stay, and what the removal then
// really leaves.

#include <gtest/gtest.h>

#include "instance_fixture.h"
#include "plan_fixture.h"
#include "plan_tree.h"
#include "subprocess.h"
#include "tempdir.h"

using namespace cvtest;
using plantest::json;

class PlanTreeTest : public ::testing::Test {
protected:
    std::vector<std::string> env() const
    {
        return cgiEnvironment("GET", dir_.file("root"), "InstanceName=inst");
    }
    TempDir dir_{"plantree"};
    plantest::Cleanup cleanup_;
};

TEST_F(PlanTreeTest, CountsLinksWithoutFollowingThem)
{
    dir_.write("root/inst/a/f1", "12345");
    dir_.write("root/inst/a/b/f2", "xy");
    dir_.write("outside/big", std::string(1000, 'o'));
    dir_.symlink(dir_.file("outside"), "root/inst/a/dirlink");
    dir_.symlink("f1", "root/inst/a/filelink");
    TreePlan t = cvPlanTree(dir_.file("root/inst"));
    EXPECT_TRUE(t.exists);
    EXPECT_EQ(t.files, 2u);
    EXPECT_EQ(t.directories, 3u);
    EXPECT_EQ(t.links, 2u);
    EXPECT_EQ(t.bytes, 5u + 2u + dir_.file("outside").size() + 2u);
    EXPECT_EQ(t.blockedCount, 0u);

    EXPECT_FALSE(cvPlanTree(dir_.file("root/none")).exists);
}

TEST_F(PlanTreeTest, ImmutableFileAndBindMountStayInThePlanAndInTheRemoval)
{
    dir_.write("root/inst/db/data.db", "data");
    dir_.write("root/inst/db/locked.db", "locked");
    dir_.write("root/inst/logs/errors", "e\n");
    dir_.mkdirs("root/inst/mnt");
    dir_.write("elsewhere/precious", "keep me");
    dir_.symlink(dir_.file("elsewhere"), "root/inst/link-out");
    if (!cleanup_.immutable(dir_.file("root/inst/db/locked.db")))
        GTEST_SKIP() << "immutable flag not supported here";
    if (!cleanup_.bind(dir_.file("elsewhere"), dir_.file("root/inst/mnt")))
        GTEST_SKIP() << "bind mounts not permitted here";

    const auto before = plantest::snapshot(dir_.path());
    // (Listed in name order.)
    ProcessResult p = plantest::runPlan({"--json"}, env());
    json j = plantest::parse(p);
    ASSERT_FALSE(j.is_discarded()) << p.out;
    EXPECT_EQ(p.status, 1);
    const std::string inst = dir_.file("root/inst");
    EXPECT_EQ(j["tree"]["wouldStay"],
              json::array({{{"path", inst + "/db/locked.db"}, {"why", "immutable"}},
                           {{"path", inst + "/mnt"},
                            {"why", "a mount point: neither entered nor removed"}}}))
        << j["tree"].dump();
    EXPECT_EQ(j["tree"]["links"], 1);
    EXPECT_EQ(j["tree"]["files"], 3);
    EXPECT_EQ(j["summary"],
              "plan: removal would be incomplete: 2 paths would stay behind in the tree");
    // Nothing changed, not even an access time.
    EXPECT_EQ(plantest::snapshot(dir_.path()), before);

    ProcessResult r = runProcess(CV_REMOVE_INSTANCE, {}, env());
    EXPECT_EQ(r.status, p.status);
    // Left: the two planned paths and the directories that hold them.
    EXPECT_TRUE(dir_.exists("root/inst/db/locked.db"));
    EXPECT_TRUE(dir_.exists("root/inst/mnt"));
    EXPECT_FALSE(dir_.exists("root/inst/db/data.db"));
    EXPECT_FALSE(dir_.exists("root/inst/logs"));
    EXPECT_FALSE(dir_.exists("root/inst/link-out"));
    EXPECT_EQ(dir_.countEntries("root/inst"), 3u + 1u); // db, db/locked.db, mnt, mnt/precious
    EXPECT_EQ(dir_.read("elsewhere/precious"), "keep me");
}

TEST_F(PlanTreeTest, ListsTwentyPathsAndCountsTheRest)
{
    for (int i = 0; i < 25; ++i)
        dir_.write("root/inst/frozen/f" + std::to_string(i), "x");
    if (!cleanup_.immutable(dir_.file("root/inst/frozen")))
        GTEST_SKIP() << "immutable flag not supported here";
    ProcessResult p = plantest::runPlan({}, env());
    EXPECT_EQ(p.status, 1);
    std::vector<std::string> l = plantest::lines(p.out);
    size_t stay = 0;
    for (const std::string& line : l)
        stay += line.rfind("would stay: ", 0) == 0 && line.find(" more") == std::string::npos;
    EXPECT_EQ(stay, 20u);
    EXPECT_NE(p.out.find("would stay: " + dir_.file("root/inst/frozen") + ": immutable\n"),
              std::string::npos);
    EXPECT_NE(p.out.find(": its directory is immutable\n"), std::string::npos);
    EXPECT_NE(p.out.find("would stay: and 6 more\n"), std::string::npos) << p.out;
    EXPECT_EQ(l.back(),
              "plan: removal would be incomplete: 26 paths would stay behind in the tree");
}

// The plan walked trees its own recursive way: 15,000 levels overflowed its
// stack and 1,100 levels ran out of descriptors under "ulimit -n 1024",
// where the removal removes both. It now runs the removal's walk.
TEST_F(PlanTreeTest, DeepTreeUnderADescriptorLimitGetsTheRemovalsVerdict)
{
    dir_.mkdeep("root/inst", 15000);
    auto limited = [](const std::string& program) {
        return std::vector<std::string>{"-c", "ulimit -n 1024 && exec " + program};
    };
    ProcessResult p = runProcess("/bin/sh", limited(CV_REMOVE_INSTANCE_PLAN), env());
    EXPECT_EQ(p.status, 0) << p.err;
    std::vector<std::string> l = plantest::lines(p.out);
    ASSERT_FALSE(l.empty());
    EXPECT_NE(p.out.find(": 1 files, 15001 directories, 0 links, 0 bytes\n"), std::string::npos);
    EXPECT_EQ(l.back(), "plan: removal would succeed");

    ProcessResult r = runProcess("/bin/sh", limited(CV_REMOVE_INSTANCE), env());
    EXPECT_EQ(r.status, p.status) << r.out << r.err;
    EXPECT_FALSE(dir_.exists("root/inst"));
}

// A file bind-mounted over an entry of the tree cannot be unlinked (EBUSY):
// the plan used to call the removal a success that then ended incomplete.
TEST_F(PlanTreeTest, FileMountedInTheTreeStaysInThePlanAndInTheRemoval)
{
    dir_.write("root/inst/config/settings", "mine");
    dir_.write("root/inst/logs/errors", "e\n");
    dir_.write("elsewhere/shared", "keep me");
    if (!cleanup_.bind(dir_.file("elsewhere/shared"), dir_.file("root/inst/config/settings")))
        GTEST_SKIP() << "bind mounts not permitted here";

    ProcessResult p = plantest::runPlan({"--json"}, env());
    json j = plantest::parse(p);
    ASSERT_FALSE(j.is_discarded()) << p.out;
    EXPECT_EQ(p.status, 1);
    const std::string settings = dir_.file("root/inst/config/settings");
    EXPECT_EQ(
        j["tree"]["wouldStay"],
        json::array({{{"path", settings}, {"why", "a mount point: neither entered nor removed"}}}));

    ProcessResult r = runProcess(CV_REMOVE_INSTANCE, {}, env());
    EXPECT_EQ(r.status, p.status);
    EXPECT_NE(r.err.find("Warning: could not remove " + settings + ": Device or resource busy\n"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(dir_.exists("root/inst/logs"));
    EXPECT_EQ(dir_.read("elsewhere/shared"), "keep me");
}

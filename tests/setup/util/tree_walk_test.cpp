// The shared lstat rule of every tree walk.
#include "child.h"
#include "tempdir.h"
#include <cvsetup/setup_util.h>
#include <cvsetup/tree_walk.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class TreeWalk : public ::testing::Test {
protected:
    cvtest::TempDir tmp{"cvwalk"};
};

void collect(const char* path, int error, void* context)
{
    static_cast<std::vector<std::string>*>(context)->push_back(std::string(path) + ": " +
                                                               strerror(error));
}

TEST_F(TreeWalk, ClassifiesLinksAsEntriesOfTheirOwn)
{
    tmp.mkdirs("dir");
    tmp.write("file", "x");
    tmp.symlink(tmp.file("dir"), "link");
    EXPECT_EQ(cvGetEntryKind(tmp.file("dir").c_str()), CV_ENTRY_DIRECTORY);
    EXPECT_EQ(cvGetEntryKind(tmp.file("link").c_str()), CV_ENTRY_OTHER);
    EXPECT_EQ(cvGetEntryKind(tmp.file("file").c_str()), CV_ENTRY_OTHER);
    EXPECT_EQ(cvGetEntryKind(tmp.file("none").c_str()), CV_ENTRY_MISSING);
    EXPECT_EQ(cvGetEntryKind(nullptr), CV_ENTRY_MISSING);
}

TEST_F(TreeWalk, ListsNamesWithoutDotEntries)
{
    for (int i = 0; i < 40; ++i)
        tmp.write("d/f" + std::to_string(i), "");
    char** names = cvListDirectory(tmp.file("d").c_str());
    ASSERT_NE(names, nullptr);
    std::vector<std::string> got;
    for (char** p = names; *p != nullptr; ++p)
        got.push_back(*p);
    cvFreeNameList(names);
    EXPECT_EQ(got.size(), 40u);
    EXPECT_EQ(std::count(got.begin(), got.end(), "."), 0);
    EXPECT_EQ(std::count(got.begin(), got.end(), "f7"), 1);
    EXPECT_EQ(cvListDirectory(tmp.file("missing").c_str()), nullptr);
    EXPECT_EQ(cvListDirectory(tmp.file("d/f1").c_str()), nullptr);
}

TEST_F(TreeWalk, RemovesTreeButNotLinkTargets)
{
    tmp.write("outside/keep", "k");
    tmp.write("tree/a/b/file", "x");
    tmp.symlink(tmp.file("outside"), "tree/a/out");
    std::vector<std::string> failures;
    EXPECT_EQ(cvRemoveTree(tmp.file("tree").c_str(), collect, &failures), 0);
    EXPECT_TRUE(failures.empty());
    EXPECT_FALSE(tmp.exists("tree"));
    EXPECT_EQ(tmp.read("outside/keep"), "k");
}

TEST_F(TreeWalk, RemovesAFileOrLinkGivenAtTheTop)
{
    tmp.write("file", "x");
    tmp.write("target/keep", "k");
    tmp.symlink(tmp.file("target"), "link");
    EXPECT_EQ(cvRemoveTree(tmp.file("file").c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(cvRemoveTree(tmp.file("link").c_str(), nullptr, nullptr), 0);
    EXPECT_FALSE(tmp.exists("file"));
    EXPECT_FALSE(tmp.exists("link"));
    EXPECT_TRUE(tmp.exists("target/keep"));
    EXPECT_EQ(cvRemoveTree(tmp.file("missing").c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(cvRemoveTree(nullptr, nullptr, nullptr), -1);
}

TEST_F(TreeWalk, ReportsEachPathLeftBehind)
{
    tmp.write("tree/keep/locked", "x");
    tmp.write("tree/gone", "x");
    std::string locked = tmp.file("tree/keep/locked");
    if (std::system(("chattr +i '" + locked + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "chattr +i does not work on this file system";
    std::vector<std::string> failures;
    int result = cvRemoveTree(tmp.file("tree").c_str(), collect, &failures);
    std::system(("chattr -i '" + locked + "'").c_str());
    EXPECT_EQ(result, -1);
    EXPECT_EQ(failures, (std::vector<std::string>{locked + ": Operation not permitted",
                                                  tmp.file("tree/keep") + ": Directory not empty",
                                                  tmp.file("tree") + ": Directory not empty"}));
    EXPECT_FALSE(tmp.exists("tree/gone"));
}

// Each level used to hold a descriptor (and to be named by its full path):
// such a tree stopped the walk about 2,000 levels down, and a rerun failed
// the same way. rm -rf removes it; so must we, with few descriptors.
TEST_F(TreeWalk, RemovesTreesOfAnyDepthUnderASmallDescriptorLimit)
{
    tmp.mkdeep("deep", 10000);
    tmp.mkdeep("deeper", 10000);
    int status = utiltest::runInChild([&] {
        // The soft limit alone: memory checkers keep descriptors of their own
        // above it and refuse a lower hard limit.
        struct rlimit limit;
        if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
            return 2;
        limit.rlim_cur = 256;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
            return 2;
        std::vector<std::string> failures;
        if (cvRemoveTree(tmp.file("deep").c_str(), collect, &failures) != 0 || !failures.empty())
            return 3;
        return setupDeleteDir(tmp.file("deeper").c_str()) == 0 ? 0 : 4;
    });
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(tmp.exists("deep"));
    EXPECT_FALSE(tmp.exists("deeper"));
}

} // namespace

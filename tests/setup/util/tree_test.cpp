#include "child.h"
#include "tempdir.h"
#include <cvsetup/setup_util.h>

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TreeTest : public ::testing::Test {
protected:
    cvtest::TempDir dir{"cvtree"};
    cvtest::TempDir outside{"cvoutside"};
};

TEST_F(TreeTest, CreateDirMakesEveryMissingLevel)
{
    std::string path = dir.file("a/b/c");
    EXPECT_EQ(setupCreateDir(path.c_str(), 0755), 0);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(setupCreateDir(path.c_str(), 0755), 0);
    EXPECT_EQ(dir.countEntries(), 3u);
}

TEST_F(TreeTest, CreateDirStopsAtFileInThePath)
{
    dir.write("a/file", "keep");
    EXPECT_EQ(setupCreateDir(dir.file("a/file/b/c").c_str(), 0755), -2);
    EXPECT_EQ(dir.read("a/file"), "keep");
    EXPECT_EQ(setupCreateDir(dir.file("a/file").c_str(), 0755), -2);
}

TEST_F(TreeTest, CreateDirReportsMkdirFailure)
{
    dir.mkdirs("ro");
    chmod(dir.path().c_str(), 0755);
    chmod(dir.file("ro").c_str(), 0555);
    std::string path = dir.file("ro/x/y");
    EXPECT_EQ(utiltest::runUnprivileged([&] { return setupCreateDir(path.c_str(), 0755) + 10; }),
              9);
    EXPECT_FALSE(dir.exists("ro/x"));
}

TEST_F(TreeTest, CreateDirOnUnwritableDirectoryGivesMinusThree)
{
    dir.mkdirs("ro");
    chmod(dir.path().c_str(), 0755);
    chmod(dir.file("ro").c_str(), 0555);
    std::string path = dir.file("ro");
    EXPECT_EQ(utiltest::runUnprivileged([&] { return setupCreateDir(path.c_str(), 0755) + 10; }),
              7);
}

TEST_F(TreeTest, DeleteDirRemovesTreeButNotLinkTargets)
{
    outside.write("precious/keep.txt", "mine");
    outside.write("lone.txt", "mine too");
    dir.write("inst/logs/errors", "e");
    dir.write("inst/config/dse.ldif", "d");
    dir.mkdirs("inst/empty/deeper");
    dir.symlink(outside.file("precious"), "inst/logs/varlog");
    dir.symlink(outside.file("lone.txt"), "inst/config/link.txt");
    EXPECT_EQ(setupDeleteDir(dir.file("inst").c_str()), 0);
    EXPECT_FALSE(dir.exists("inst"));
    EXPECT_EQ(outside.read("precious/keep.txt"), "mine");
    EXPECT_EQ(outside.read("lone.txt"), "mine too");
}

TEST_F(TreeTest, DeleteDirEndsOnLinkLoop)
{
    dir.mkdirs("inst/a");
    dir.symlink(dir.file("inst"), "inst/a/up");
    dir.symlink("loop2", "inst/loop1");
    dir.symlink("loop1", "inst/loop2");
    EXPECT_EQ(setupDeleteDir(dir.file("inst").c_str()), 0);
    EXPECT_FALSE(dir.exists("inst"));
}

TEST_F(TreeTest, DeleteDirOnLinkToDirectoryUnlinksOnlyTheLink)
{
    outside.write("tree/file", "x");
    dir.symlink(outside.file("tree"), "link");
    EXPECT_EQ(setupDeleteDir(dir.file("link").c_str()), 0);
    EXPECT_FALSE(dir.exists("link"));
    EXPECT_EQ(outside.read("tree/file"), "x");
}

TEST_F(TreeTest, DeleteDirOnFileUnlinksIt)
{
    dir.write("file", "x");
    EXPECT_EQ(setupDeleteDir(dir.file("file").c_str()), 0);
    EXPECT_FALSE(dir.exists("file"));
    EXPECT_EQ(setupDeleteDir(dir.file("file").c_str()), -1);
    EXPECT_EQ(setupDeleteDir(nullptr), -1);
}

TEST_F(TreeTest, DeleteDirGoesOnPastWhatStays)
{
    dir.write("inst/locked/file", "x");
    dir.write("inst/free/file", "y");
    chmod(dir.path().c_str(), 0755);
    chmod(dir.file("inst").c_str(), 0777);
    chmod(dir.file("inst/free").c_str(), 0777);
    chmod(dir.file("inst/locked").c_str(), 0555);
    std::string path = dir.file("inst");
    EXPECT_EQ(utiltest::runUnprivileged([&] { return setupDeleteDir(path.c_str()) + 10; }), 9);
    EXPECT_TRUE(dir.exists("inst/locked/file"));
    EXPECT_FALSE(dir.exists("inst/free"));
}

} // namespace

// The depth-first tree removal, called directly.
#include "removal.h"
#include "tempdir.h"

#include <gtest/gtest.h>

namespace {

class RemoveDirectory : public ::testing::Test {
protected:
    // Runs the removal and returns what it wrote to the standard error stream.
    std::string remove(const std::string& rel)
    {
        ::testing::internal::CaptureStderr();
        _remove_directory(tmp.file(rel).c_str());
        return ::testing::internal::GetCapturedStderr();
    }
    cvtest::TempDir tmp{"cvrmdir"};
};

TEST_F(RemoveDirectory, MissingPathIsLeftAloneSilently)
{
    EXPECT_EQ(remove("nothing/here"), "");
    ::testing::internal::CaptureStderr();
    _remove_directory(nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(RemoveDirectory, PlainFileAtTheTopStaysWithAWarning)
{
    tmp.write("file.txt", "x");
    EXPECT_EQ(remove("file.txt"),
              "Warning: could not remove " + tmp.file("file.txt") + ": Not a directory\n");
    EXPECT_EQ(tmp.read("file.txt"), "x");
}

TEST_F(RemoveDirectory, EmptyDirectoryIsRemoved)
{
    tmp.mkdirs("empty");
    EXPECT_EQ(remove("empty"), "");
    EXPECT_FALSE(tmp.exists("empty"));
}

TEST_F(RemoveDirectory, NestedTreeIsRemovedCompletely)
{
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            tmp.write("tree/d" + std::to_string(i) + "/e" + std::to_string(j) + "/f.txt", "x");
    tmp.write("tree/top.txt", "x");
    tmp.write("tree/.hidden", "x");
    EXPECT_EQ(remove("tree"), "");
    EXPECT_FALSE(tmp.exists("tree"));
    EXPECT_EQ(tmp.countEntries(), 0u);
}

TEST_F(RemoveDirectory, LinksAreUnlinkedAndTheirTargetsKept)
{
    tmp.write("outside/deep/keep.txt", "keep");
    tmp.write("outside/file.txt", "keep");
    tmp.symlink(tmp.file("outside"), "tree/sub/to-dir");
    tmp.symlink(tmp.file("outside/file.txt"), "tree/to-file");
    tmp.symlink("../tree", "tree/loop");
    tmp.symlink(tmp.file("missing"), "tree/dangling");
    EXPECT_EQ(remove("tree"), "");
    EXPECT_FALSE(tmp.exists("tree"));
    EXPECT_EQ(tmp.read("outside/deep/keep.txt"), "keep");
    EXPECT_EQ(tmp.read("outside/file.txt"), "keep");
}

TEST_F(RemoveDirectory, LinkAtTheTopIsUnlinkedNotDescended)
{
    tmp.write("real/keep.txt", "keep");
    tmp.symlink(tmp.file("real"), "alias");
    EXPECT_EQ(remove("alias"), "");
    EXPECT_FALSE(tmp.exists("alias"));
    EXPECT_EQ(tmp.read("real/keep.txt"), "keep");
}

TEST_F(RemoveDirectory, DeepTreeDoesNotExhaustAnything)
{
    std::string rel = "deep";
    for (int i = 0; i < 200; ++i)
        rel += "/level";
    tmp.write(rel + "/f", "x");
    EXPECT_EQ(remove("deep"), "");
    EXPECT_FALSE(tmp.exists("deep"));
}

TEST_F(RemoveDirectory, IsDirectoryFollowsLinks)
{
    tmp.mkdirs("dir");
    tmp.write("file", "x");
    tmp.symlink(tmp.file("dir"), "link");
    EXPECT_EQ(isDirectory(tmp.file("dir").c_str()), 1);
    EXPECT_EQ(isDirectory(tmp.file("link").c_str()), 1);
    EXPECT_EQ(isDirectory(tmp.file("file").c_str()), 0);
    EXPECT_EQ(isDirectory(tmp.file("none").c_str()), 0);
}

} // namespace

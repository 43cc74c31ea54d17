#include "tempdir.h"
#include <cvsetup/setup_util.h>

#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

class WalkTest : public ::testing::Test {
protected:
    cvtest::TempDir dir{"cvwalk"};
    char name[NAME_MAX + 1] = {};

    std::vector<std::string> allFiles(const std::string& path)
    {
        std::vector<std::string> names;
        for (int next = 0; setupGetNextFileInDirectory(next, path.c_str(), name); next = 1)
            names.push_back(name);
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> allSubDirs(const std::string& path, const char* prefix)
    {
        std::vector<std::string> names;
        for (int next = 0; setupGetNextSubDirectory(next, path.c_str(), name, prefix); next = 1)
            names.push_back(name);
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(WalkTest, FileWalkReturnsEveryEntryButDotsThenEnds)
{
    dir.write("d/file", "x");
    dir.mkdirs("d/sub");
    EXPECT_EQ(allFiles(dir.file("d")), (std::vector<std::string>{"file", "sub"}));
    EXPECT_EQ(setupGetNextFileInDirectory(1, dir.file("d").c_str(), name), 0);
}

TEST_F(WalkTest, FileWalkOfMissingDirectoryReturnsNothing)
{
    EXPECT_EQ(setupGetNextFileInDirectory(0, dir.file("none").c_str(), name), 0);
    EXPECT_EQ(setupGetNextFileInDirectory(1, nullptr, name), 0);
}

TEST_F(WalkTest, NewWalkReplacesOneUnderWay)
{
    dir.write("a/one", "");
    dir.write("a/two", "");
    dir.write("b/only", "");
    ASSERT_EQ(setupGetNextFileInDirectory(0, dir.file("a").c_str(), name), 1);
    ASSERT_EQ(setupGetNextFileInDirectory(0, dir.file("b").c_str(), name), 1);
    EXPECT_STREQ(name, "only");
    EXPECT_EQ(setupGetNextFileInDirectory(1, nullptr, name), 0);
}

TEST_F(WalkTest, SubDirWalkKeepsPrefixedRealDirectoriesOnly)
{
    dir.mkdirs("d/slapd-one");
    dir.mkdirs("d/slapd-two");
    dir.mkdirs("d/Slapd-upper");
    dir.mkdirs("d/admin-serv");
    dir.write("d/slapd-file", "");
    dir.symlink(dir.file("d/slapd-one"), "d/slapd-link");
    EXPECT_EQ(allSubDirs(dir.file("d"), "slapd-"),
              (std::vector<std::string>{"slapd-one", "slapd-two"}));
    EXPECT_EQ(allSubDirs(dir.file("d"), nullptr),
              (std::vector<std::string>{"Slapd-upper", "admin-serv", "slapd-one", "slapd-two"}));
}

TEST_F(WalkTest, WalksOfTheTwoKindsDoNotDisturbEachOther)
{
    dir.mkdirs("s/x");
    dir.mkdirs("s/y");
    dir.write("f/a", "");
    dir.write("f/b", "");
    std::vector<std::string> files, subs;
    char sub[NAME_MAX + 1];
    int more = setupGetNextSubDirectory(0, dir.file("s").c_str(), sub, nullptr);
    for (int next = 0; setupGetNextFileInDirectory(next, dir.file("f").c_str(), name); next = 1) {
        files.push_back(name);
        if (more) {
            subs.push_back(sub);
            more = setupGetNextSubDirectory(1, nullptr, sub, nullptr);
        }
    }
    std::sort(files.begin(), files.end());
    std::sort(subs.begin(), subs.end());
    EXPECT_EQ(files, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(subs, (std::vector<std::string>{"x", "y"}));
}

TEST_F(WalkTest, EmptyDirectoryTest)
{
    dir.mkdirs("empty");
    dir.write("full/f", "");
    EXPECT_EQ(setupIsDirEmpty(dir.file("empty").c_str()), 1);
    EXPECT_EQ(setupIsDirEmpty(dir.file("full").c_str()), 0);
    EXPECT_EQ(setupIsDirEmpty(dir.file("none").c_str()), 0);
    EXPECT_EQ(setupIsDirEmpty(dir.file("full/f").c_str()), 0);
}

class FileTypeTest : public ::testing::Test {
protected:
    cvtest::TempDir dir{"cvtype"};
};

TEST_F(FileTypeTest, FilesAndDirectoriesAreTold)
{
    dir.write("file", "x");
    dir.mkdirs("dir");
    EXPECT_EQ(setupFileExists(dir.file("file").c_str()), 1);
    EXPECT_EQ(setupDirExists(dir.file("file").c_str()), 0);
    EXPECT_EQ(setupFileExists(dir.file("dir").c_str()), 0);
    EXPECT_EQ(setupDirExists(dir.file("dir").c_str()), 1);
    EXPECT_EQ(setupFileExists(dir.file("none").c_str()), 0);
    EXPECT_EQ(setupDirExists(dir.file("none").c_str()), 0);
    EXPECT_EQ(setupFileExists(nullptr), 0);
    EXPECT_EQ(setupIsWindowsNT(), 0);
}

TEST_F(FileTypeTest, LinksAreJudgedThemselves)
{
    dir.mkdirs("dir");
    dir.symlink(dir.file("dir"), "dirlink");
    dir.symlink(dir.file("gone"), "dangling");
    EXPECT_EQ(setupDirExists(dir.file("dirlink").c_str()), 0);
    EXPECT_EQ(setupFileExists(dir.file("dirlink").c_str()), 1);
    EXPECT_EQ(setupFileExists(dir.file("dangling").c_str()), 1);
}

TEST_F(FileTypeTest, SocketIsNeitherFileNorDirectory)
{
    std::string path = dir.file("sock");
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof addr.sun_path);
    path.copy(addr.sun_path, path.size());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(setupFileExists(path.c_str()), 0);
    EXPECT_EQ(setupDirExists(path.c_str()), 0);
    close(fd);
}

} // namespace

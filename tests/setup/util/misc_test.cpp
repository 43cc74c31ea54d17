#include "c_text.h"
#include "child.h"
#include "scratch_mount.h"
#include "tempdir.h"
#include <cvsetup/setup_compat.h>
#include <cvsetup/setup_util.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

TEST(PathSlashesTest, ConvertsBothWaysWithoutTerminating)
{
    char to[32];
    memset(to, 0, sizeof to);
    EXPECT_EQ(setupConvertPathSlashes("a\\b/c\\d", to, 0), 1);
    EXPECT_STREQ(to, "a/b/c/d");
    memset(to, 'z', sizeof to);
    EXPECT_EQ(setupConvertPathSlashes("a/b\\c", to, 1), 1);
    EXPECT_EQ(std::string(to, 6), "a\\b\\cz");
    EXPECT_EQ(setupConvertPathSlashes(nullptr, to, 1), 0);
}

TEST(NameListTest, FindsNamesWithoutCaseWithOrWithoutQualifier)
{
    EXPECT_EQ(setupFindNameInList("a, b/2,c", "B"), 1);
    EXPECT_EQ(setupFindNameInList("a, b/2,c", "b/2"), 1);
    EXPECT_EQ(setupFindNameInList("a, b/2,c", "C"), 1);
    EXPECT_EQ(setupFindNameInList("a, b/2,c", "2"), 0);
    EXPECT_EQ(setupFindNameInList("ab,c", "a"), 0);
    EXPECT_EQ(setupFindNameInList(nullptr, "a"), 0);
    EXPECT_EQ(setupFindNameInList("a", nullptr), 0);
}

TEST(NameListTest, AddsOnlyNamesNotPresent)
{
    auto added = [](const char* list, const char* name) {
        return cvtest::taken(setupAddNameToList(list, name));
    };
    EXPECT_EQ(added("a,b", "c"), "a,b,c");
    EXPECT_EQ(added("a,b", "A"), "a,b");
    EXPECT_EQ(added(nullptr, "c"), "c");
    EXPECT_EQ(added("", "c"), "c");
    EXPECT_EQ(added("a,b", nullptr), "a,b");
}

TEST(MemoryTest, HelpersAllocateCopyAndFree)
{
    void* p = setupMalloc(16);
    ASSERT_NE(p, nullptr);
    setupFree(p);
    char* copy = setupStrdup("text");
    EXPECT_STREQ(copy, "text");
    cvSetupFree(copy);
    EXPECT_EQ(setupStrdup(nullptr), nullptr);
    setupFree(nullptr);
    cvSetupFree(nullptr);
}

TEST(DiskSpaceTest, MatchesStatvfsOfTheFileSystem)
{
    cvtest::TempDir dir("cvdisk");
    dir.mkdirs("mnt");
    utiltest::ScratchMount mnt(dir.file("mnt"), "size=1m");
    if (!mnt.available())
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    EXPECT_EQ(setupGetDiskFreeSpace(dir.file("mnt").c_str()), 1024u);
}

TEST(DiskSpaceTest, HugeFileSystemIsClampedAndFailureGivesZero)
{
    cvtest::TempDir dir("cvdisk");
    dir.mkdirs("mnt");
    utiltest::ScratchMount mnt(dir.file("mnt"), "size=8t");
    if (!mnt.available())
        GTEST_SKIP() << "needs root to mount a tmpfs";
    EXPECT_EQ(setupGetDiskFreeSpace(dir.file("mnt").c_str()), 4294967295u);
    EXPECT_EQ(setupGetDiskFreeSpace(dir.file("none").c_str()), 0u);
    EXPECT_EQ(setupGetDiskFreeSpace(nullptr), 0u);
}

class ExecProgramTest : public ::testing::Test {
protected:
    cvtest::TempDir dir{"cvexec"};
};

TEST_F(ExecProgramTest, RunsInDirectoryAndComesBack)
{
    dir.mkdirs("work");
    char* before = getcwd(nullptr, 0);
    int status = setupExecProgram("/bin/sh -c 'pwd > here.txt; exit 3'", dir.file("work").c_str());
    char* after = getcwd(nullptr, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_STREQ(before, after);
    free(before);
    free(after);
    char* real = realpath(dir.file("work").c_str(), nullptr);
    EXPECT_EQ(dir.read("work/here.txt"), std::string(real) + "\n");
    free(real);
}

TEST_F(ExecProgramTest, NullCommandRunsNothing)
{
    EXPECT_EQ(setupExecProgram(nullptr, nullptr), 0);
}

TEST_F(ExecProgramTest, LogsProgramNameButNeverItsArguments)
{
    std::string log = dir.file("setup.log");
    EXPECT_EQ(utiltest::runInChild([&] {
                  setupSetLogFile(log.c_str());
                  setupExecProgram("/no/such/tool -w s3cret --bind cn=admin", nullptr);
                  setupExecProgram(nullptr, nullptr);
                  return 0;
              }),
              0);
    std::string text = dir.read("setup.log");
    EXPECT_NE(
        text.find("[setup] info setupExecProgram called with invalid program /no/such/tool\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("[setup] info setupExecProgram called with no program\n"),
              std::string::npos);
    EXPECT_EQ(text.find("s3cret"), std::string::npos);
}

TEST_F(ExecProgramTest, ExistingProgramWithArgumentsIsNotCalledInvalid)
{
    std::string log = dir.file("setup.log");
    EXPECT_EQ(utiltest::runInChild([&] {
                  setupSetLogFile(log.c_str());
                  return WEXITSTATUS(setupExecProgram("/bin/sh -c 'exit 0'", nullptr));
              }),
              0);
    EXPECT_EQ(dir.read("setup.log"), "\n");
}

} // namespace

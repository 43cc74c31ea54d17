#include "scratch_mount.h"
#include "tempdir.h"
#include <cvsetup/setup_util.h>

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {

class UpdateLinesTest : public ::testing::Test {
protected:
    cvtest::TempDir dir{"cvlines"};
    std::string path = dir.file("ldap.conf");

    int update(const char* key, const char* line)
    {
        const char* keys[] = {key, nullptr};
        const char* lines[] = {line, nullptr};
        return setupFileUpdateLines(keys, lines, path.c_str());
    }
};

TEST_F(UpdateLinesTest, ReplacesTheKeyedLineInPlace)
{
    dir.write("ldap.conf", "url: ldap://a/\nadmnm: old\nother: 1\n");
    EXPECT_EQ(update("admnm", "admnm: new"), 0);
    EXPECT_EQ(dir.read("ldap.conf"), "url: ldap://a/\nadmnm: new\nother: 1\n");
}

TEST_F(UpdateLinesTest, KeyMatchesWithoutCaseAndEveryMatchingLineIsReplaced)
{
    dir.write("ldap.conf", "ADMNM: one\nx\nAdmnm: two\n");
    EXPECT_EQ(update("admnm", "admnm: new"), 0);
    EXPECT_EQ(dir.read("ldap.conf"), "admnm: new\nx\nadmnm: new\n");
}

TEST_F(UpdateLinesTest, AbsentKeyIsAppended)
{
    dir.write("ldap.conf", "url: ldap://a/\n");
    EXPECT_EQ(update("admnm", "admnm: new"), 0);
    EXPECT_EQ(dir.read("ldap.conf"), "url: ldap://a/\nadmnm: new\n");
}

TEST_F(UpdateLinesTest, AppendedLineStartsOnItsOwnLineAfterMissingNewline)
{
    dir.write("ldap.conf", "url: ldap://a/");
    EXPECT_EQ(update("admnm", "admnm: new"), 0);
    EXPECT_EQ(dir.read("ldap.conf"), "url: ldap://a/\nadmnm: new\n");
}

TEST_F(UpdateLinesTest, LastLineWithoutNewlineIsReplacedWhole)
{
    dir.write("ldap.conf", "a\nadmnm: old");
    EXPECT_EQ(update("admnm", "admnm: new"), 0);
    EXPECT_EQ(dir.read("ldap.conf"), "a\nadmnm: new\n");
}

TEST_F(UpdateLinesTest, LongMatchingLineIsReplacedWithoutStrayTail)
{
    std::string longLine = "admnm: " + std::string(1500, 'v');
    std::string longOther = "keep: " + std::string(1200, 'k') + "admnm: inside";
    dir.write("ldap.conf", "first\n" + longLine + "\n" + longOther + "\nlast\n");
    EXPECT_EQ(update("admnm", "admnm: short"), 0);
    EXPECT_EQ(dir.read("ldap.conf"), "first\nadmnm: short\n" + longOther + "\nlast\n");
}

TEST_F(UpdateLinesTest, MissingFileIsCreatedWithTheLineAlone)
{
    EXPECT_EQ(update("admnm", "admnm: new"), 0);
    EXPECT_EQ(dir.read("ldap.conf"), "admnm: new\n");
}

TEST_F(UpdateLinesTest, SeveralKeysReplaceTheirLinesAndAppendTheRest)
{
    dir.write("ldap.conf", "b: old\nkeep\na: old\n");
    const char* keys[] = {"a:", "b:", "c:", nullptr};
    const char* lines[] = {"a: 1", "b: 2", "c: 3", nullptr};
    EXPECT_EQ(setupFileUpdateLines(keys, lines, path.c_str()), 0);
    EXPECT_EQ(dir.read("ldap.conf"), "b: 2\nkeep\na: 1\nc: 3\n");
}

TEST_F(UpdateLinesTest, FileModeIsKept)
{
    dir.write("ldap.conf", "admnm: old\n");
    chmod(path.c_str(), 0640);
    EXPECT_EQ(update("admnm", "admnm: new"), 0);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(UpdateLinesTest, UnreadableFileIsLeftAlone)
{
    dir.mkdirs("ldap.conf");
    EXPECT_EQ(update("admnm", "admnm: new"), 1);
    EXPECT_EQ(dir.countEntries("ldap.conf"), 0u);
}

TEST_F(UpdateLinesTest, NullArgumentsWriteNothing)
{
    const char* keys[] = {"a", nullptr};
    EXPECT_EQ(setupFileUpdateLines(keys, nullptr, path.c_str()), 2);
    EXPECT_EQ(setupFileUpdateLines(nullptr, keys, path.c_str()), 2);
    EXPECT_EQ(setupFileUpdateLines(keys, keys, nullptr), 2);
    EXPECT_FALSE(dir.exists("ldap.conf"));
}

class FailedWriteTest : public ::testing::Test {
protected:
    cvtest::TempDir dir{"cvfull"};
};

TEST_F(FailedWriteTest, FullFileSystemLeavesOriginalByteIdentical)
{
    dir.mkdirs("mnt");
    utiltest::ScratchMount mnt(dir.file("mnt"), "size=64k");
    if (!mnt.available())
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    std::string original = "admnm: old\n" + std::string(40000, 'p') + "\n";
    dir.write("mnt/ldap.conf", original);
    std::string path = dir.file("mnt/ldap.conf");
    const char* keys[] = {"admnm", nullptr};
    const char* lines[] = {"admnm: new", nullptr};
    EXPECT_EQ(setupFileUpdateLines(keys, lines, path.c_str()), 2);
    EXPECT_EQ(dir.read("mnt/ldap.conf"), original);
    EXPECT_EQ(dir.countEntries("mnt"), 1u);
}

TEST_F(FailedWriteTest, ReadOnlyFileSystemLeavesOriginalByteIdentical)
{
    dir.mkdirs("mnt");
    utiltest::ScratchMount mnt(dir.file("mnt"), "size=64k");
    if (!mnt.available())
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    dir.write("mnt/ldap.conf", "admnm: old\nx\n");
    ASSERT_TRUE(mnt.makeReadOnly());
    std::string path = dir.file("mnt/ldap.conf");
    const char* keys[] = {"admnm", nullptr};
    const char* lines[] = {"admnm: new", nullptr};
    EXPECT_EQ(setupFileUpdateLines(keys, lines, path.c_str()), 2);
    EXPECT_EQ(dir.read("mnt/ldap.conf"), "admnm: old\nx\n");
}

} // namespace

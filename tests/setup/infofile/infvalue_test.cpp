#include "c_text.h"
#include "child.h"
#include "scratch_mount.h"
#include "tempdir.h"
#include <cvsetup/setup_infvalues.h>
#include <cvsetup/setup_util.h>

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

extern "C" int cCallerReadsPort(const char* path);

namespace {

const char* const kInstall = "# answers\n"
                             "[General]\n"
                             "FullMachineName= host.example.com\n"
                             "ConfigDirectoryLdapURL= ldap://host:389/o=CorvidRoot\n"
                             "[slapd]\n"
                             "ServerPort= 389\n"
                             "ServerIdentifier= one\n";

class InfValueTest : public ::testing::Test {
protected:
    cvtest::TempDir dir{"cvinf"};
    std::string path = dir.file("install.inf");

    std::string value(const char* section, const char* name, const char* defaultValue)
    {
        return cvtest::taken(setupGetInfString(section, name, defaultValue, path.c_str()));
    }
};

TEST_F(InfValueTest, ReadsValuesOfGeneralAndOfSections)
{
    dir.write("install.inf", kInstall);
    EXPECT_EQ(value("General", "fullmachinename", "d"), "host.example.com");
    EXPECT_EQ(value("General", "ConfigDirectoryLdapURL", "d"), "ldap://host:389/o=CorvidRoot");
    EXPECT_EQ(value("SLAPD", "ServerIdentifier", "d"), "one");
    EXPECT_EQ(setupGetInfInt("slapd", "ServerPort", 0, path.c_str()), 389);
    EXPECT_EQ(setupGetInfInt("slapd", "ServerIdentifier", 7, path.c_str()), 0);
}

TEST_F(InfValueTest, OnlyTheExactSpellingGeneralReadsTheTopForStrings)
{
    dir.write("install.inf", kInstall);
    EXPECT_EQ(value("general", "FullMachineName", "dflt"), "dflt");
    dir.write("install.inf", "[General]\nPort= 390\n");
    EXPECT_EQ(setupGetInfInt("general", "Port", 0, path.c_str()), 390);
}

TEST_F(InfValueTest, MissingFileSectionOrNameGivesTheDefault)
{
    EXPECT_EQ(value("General", "x", "dflt"), "dflt");
    EXPECT_EQ(value("General", "x", nullptr), "(null)");
    EXPECT_EQ(setupGetInfInt("slapd", "ServerPort", 42, path.c_str()), 42);
    dir.write("install.inf", kInstall);
    EXPECT_EQ(value("admin", "ServerPort", "dflt"), "dflt");
    EXPECT_EQ(value("slapd", "Missing", nullptr), "(null)");
    EXPECT_EQ(setupGetInfInt("slapd", "Missing", -3, path.c_str()), -3);
    EXPECT_EQ(value(nullptr, "ServerPort", "dflt"), "dflt");
}

TEST_F(InfValueTest, PlainCCallerSeesTheSameFunctions)
{
    dir.write("install.inf", kInstall);
    EXPECT_EQ(cCallerReadsPort(path.c_str()), 1);
}

TEST_F(InfValueTest, WritingGeneralCreatesMissingFile)
{
    EXPECT_EQ(setupWriteInfString("General", "SuiteSpotUserID", "nobody", path.c_str()), 1);
    EXPECT_EQ(dir.read("install.inf"), "[General]\nSuiteSpotUserID=   nobody\n");
}

TEST_F(InfValueTest, WritingSectionCreatesMissingFile)
{
    EXPECT_EQ(setupWriteInfInt("slapd", "ServerPort", 389, path.c_str()), 1);
    EXPECT_EQ(dir.read("install.inf"), "\n[slapd]\nServerPort=   389\n");
}

TEST_F(InfValueTest, WritingReplacesValueAndDropsComments)
{
    dir.write("install.inf", kInstall);
    EXPECT_EQ(setupWriteInfInt("slapd", "serverport", -1, path.c_str()), 1);
    EXPECT_EQ(dir.read("install.inf"), "[General]\n"
                                       "FullMachineName=   host.example.com\n"
                                       "ConfigDirectoryLdapURL=   ldap://host:389/o=CorvidRoot\n"
                                       "\n[slapd]\n"
                                       "ServerPort=   -1\n"
                                       "ServerIdentifier=   one\n");
    EXPECT_EQ(value("General", "ConfigDirectoryLdapURL", nullptr), "ldap://host:389/o=CorvidRoot");
}

TEST_F(InfValueTest, WritingKeepsTheFileMode)
{
    dir.write("install.inf", kInstall);
    chmod(path.c_str(), 0600);
    EXPECT_EQ(setupWriteInfString("General", "A", "b", path.c_str()), 1);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(InfValueTest, NothingToSetLeavesFileUntouched)
{
    dir.write("install.inf", kInstall);
    EXPECT_EQ(setupWriteInfString("slapd", "ServerPort", nullptr, path.c_str()), 0);
    EXPECT_EQ(setupWriteInfString(nullptr, "ServerPort", "1", path.c_str()), 0);
    EXPECT_EQ(setupWriteInfString("slapd", "", "1", path.c_str()), 0);
    EXPECT_EQ(dir.read("install.inf"), kInstall);
}

TEST_F(InfValueTest, ReadEndingAtSecondStampIsNotWrittenBack)
{
    const std::string original =
        "[Mon Jan  5 10:00:00 2026]\nA= 1\n[Tue Jan  6 10:00:00 2026]\nB= 2\n";
    dir.write("install.inf", original);
    EXPECT_EQ(setupWriteInfString("General", "C", "3", path.c_str()), 0);
    EXPECT_EQ(dir.read("install.inf"), original);
}

TEST_F(InfValueTest, UnreadableFileIsNotReplaced)
{
    dir.mkdirs("install.inf/inside");
    EXPECT_EQ(setupWriteInfString("General", "C", "3", path.c_str()), 0);
    EXPECT_TRUE(dir.exists("install.inf/inside"));
}

TEST_F(InfValueTest, UnreadableForTheCallerIsNotReplaced)
{
    dir.write("install.inf", kInstall);
    chmod(dir.path().c_str(), 0777);
    chmod(path.c_str(), 0222);
    std::string file = path;
    EXPECT_EQ(utiltest::runUnprivileged(
                  [&] { return setupWriteInfString("General", "C", "3", file.c_str()); }),
              0);
    chmod(path.c_str(), 0644);
    EXPECT_EQ(dir.read("install.inf"), kInstall);
}

TEST_F(InfValueTest, FailedWriteReportsFailureAndKeepsOriginal)
{
    dir.mkdirs("mnt");
    utiltest::ScratchMount mnt(dir.file("mnt"), "size=64k");
    if (!mnt.available())
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    dir.write("mnt/install.inf", kInstall);
    ASSERT_TRUE(mnt.makeReadOnly());
    std::string file = dir.file("mnt/install.inf");
    EXPECT_EQ(setupWriteInfString("slapd", "ServerPort", "1", file.c_str()), 0);
    EXPECT_EQ(dir.read("mnt/install.inf"), kInstall);
}

} // namespace

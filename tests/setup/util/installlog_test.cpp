#include "child.h"
#include "tempdir.h"
#include <cvsetup/installlog.h>
#include <cvsetup/setup_compat.h>
#include <cvsetup/setup_util.h>

#include <cctype>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// True when line starts with "[yy/mm/dd:HH:MM:SS] - ".
bool hasStamp(const std::string& line)
{
    const std::string shape = "[00/00/00:00:00:00] - ";
    if (line.size() < shape.size())
        return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        bool ok = shape[i] == '0' ? isdigit(static_cast<unsigned char>(line[i])) != 0
                                  : line[i] == shape[i];
        if (!ok)
            return false;
    }
    return true;
}

// The file's lines with their time stamps taken off; a line that should
// carry one and does not is marked "NO STAMP: ". Empty lines stay empty.
// A missing final newline shows as a last line "NO NEWLINE".
std::vector<std::string> unstamped(const std::string& text)
{
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.empty())
            out.push_back("");
        else if (hasStamp(line))
            out.push_back(line.substr(22));
        else
            out.push_back("NO STAMP: " + line);
        if (end == std::string::npos) {
            out.push_back("NO NEWLINE");
            break;
        }
        at = end + 1;
    }
    return out;
}

using Lines = std::vector<std::string>;

class InstallLogTest : public ::testing::Test {
protected:
    cvtest::TempDir dir{"cvlog"};
    std::string logPath = dir.file("setup.log");

    std::string log() const { return dir.read("setup.log"); }
    Lines logLines() const { return unstamped(log()); }
};

TEST_F(InstallLogTest, OpeningWritesOneEmptyLineFirst)
{
    InstallLog install(logPath.c_str());
    EXPECT_TRUE(install.isValid());
    EXPECT_EQ(log(), "\n");
}

TEST_F(InstallLogTest, LineCarriesStampComponentLevelAndMessage)
{
    InstallLog install(logPath.c_str());
    install.logMessage(SETUP_LOG_FATAL, "schema", "cannot read %s", "99user.ldif");
    EXPECT_EQ(logLines(), (Lines{"", "[schema] Fatal cannot read 99user.ldif"}));
}

TEST_F(InstallLogTest, TagFollowsWhichOfLevelAndComponentAreGiven)
{
    InstallLog install(logPath.c_str());
    install.logMessage(SETUP_LOG_WARN, nullptr, "one");
    install.logMessage(nullptr, "ldif", "two");
    install.logMessage(nullptr, nullptr, "three");
    EXPECT_EQ(logLines(), (Lines{"", "Warning one", "[ldif] two", "three"}));
}

TEST_F(InstallLogTest, LevelNamesAreTheDocumentedTexts)
{
    EXPECT_STREQ(SETUP_LOG_FATAL, "Fatal");
    EXPECT_STREQ(SETUP_LOG_START, "Start");
    EXPECT_STREQ(SETUP_LOG_SUCCESS, "Success");
    EXPECT_STREQ(SETUP_LOG_WARN, "Warning");
    EXPECT_STREQ(SETUP_LOG_INFO, "Info");
    EXPECT_STREQ(INFO, "Info");
}

TEST_F(InstallLogTest, LongMessageIsWrittenWhole)
{
    InstallLog install(logPath.c_str());
    std::string big(10000, 'x');
    install.logMessage(SETUP_LOG_INFO, "setup", "%s|end", big.c_str());
    const std::string text = log();
    const std::string tail = "[setup] Info " + big + "|end\n";
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_TRUE(hasStamp(text.substr(1)));
    EXPECT_EQ(text.size(), 1 + 22 + tail.size());
}

TEST_F(InstallLogTest, LogTimeWritesCtimeWithoutItsNewline)
{
    InstallLog install(logPath.c_str());
    install.logTime("setup");
    Lines lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    // "Log starts " and ctime's "Www Mmm dd hh:mm:ss yyyy" without its newline.
    const std::string prefix = "[setup] Info Log starts ";
    ASSERT_EQ(lines[1].substr(0, prefix.size()), prefix);
    std::string when = lines[1].substr(prefix.size());
    ASSERT_EQ(when.size(), 24u) << when;
    EXPECT_EQ(when[3], ' ');
    EXPECT_EQ(when[13], ':');
    EXPECT_EQ(when[16], ':');
    EXPECT_TRUE(isdigit(static_cast<unsigned char>(when[23])));
}

TEST_F(InstallLogTest, SecondLogKeepsFirstPathAndItsDeathLeavesLogWorking)
{
    InstallLog first(logPath.c_str());
    {
        InstallLog second(dir.file("other.log").c_str());
        EXPECT_FALSE(second.isValid());
        second.logMessage(nullptr, nullptr, "through second");
    }
    first.logMessage(nullptr, nullptr, "after second");
    EXPECT_FALSE(dir.exists("other.log"));
    EXPECT_EQ(logLines(), (Lines{"", "through second", "after second"}));
}

TEST_F(InstallLogTest, DestroyingTheOpenerEndsLogging)
{
    {
        InstallLog first(logPath.c_str());
    }
    InstallLog later(dir.file("later.log").c_str());
    EXPECT_TRUE(later.isValid());
    later.logMessage(nullptr, nullptr, "x");
    EXPECT_EQ(log(), "\n");
}

TEST_F(InstallLogTest, UnopenablePathLeavesLogClosed)
{
    InstallLog install(dir.file("missing/setup.log").c_str());
    EXPECT_FALSE(install.isValid());
    install.logMessage(nullptr, nullptr, "lost");
    EXPECT_FALSE(dir.exists("missing"));
}

TEST_F(InstallLogTest, StaticLogWritesStampAndTextOnly)
{
    InstallLog::log(logPath.c_str(), "100% plain");
    EXPECT_EQ(logLines(), (Lines{"100% plain"}));
}

TEST_F(InstallLogTest, SetLogFileOnGoodPathAddsEmptyLine)
{
    EXPECT_EQ(utiltest::runInChild([&] {
                  int opened = setupSetLogFile(logPath.c_str());
                  int logged = setupLogMessage(SETUP_LOG_START, "setup", "100%% of %d", 3);
                  return opened == 1 && logged == 1 ? 0 : 1;
              }),
              0);
    EXPECT_EQ(logLines(), (Lines{"", "[setup] Start 100% of 3"}));
}

TEST_F(InstallLogTest, FirstFailedSetLogFileIsKept)
{
    EXPECT_EQ(utiltest::runInChild([&] {
                  int bad = setupSetLogFile(dir.file("missing/setup.log").c_str());
                  int good = setupSetLogFile(logPath.c_str());
                  int logged = setupLogMessage(SETUP_LOG_INFO, "setup", "x");
                  return bad == 0 && good == 0 && logged == 1 ? 0 : 1;
              }),
              0);
    EXPECT_FALSE(dir.exists("setup.log"));
}

TEST_F(InstallLogTest, MessageBeforeAnyLogFileWritesNothing)
{
    EXPECT_EQ(utiltest::runInChild(
                  [&] { return setupLogMessage(SETUP_LOG_INFO, "setup", "x") == 0 ? 0 : 1; }),
              0);
    EXPECT_EQ(dir.countEntries(), 0u);
}

TEST_F(InstallLogTest, SetupLogWritesTextAsItStands)
{
    EXPECT_EQ(utiltest::runInChild([&] {
                  setupSetLogFile(logPath.c_str());
                  int a = setupLog(nullptr, "50% to the process log");
                  int b = setupLog(dir.file("own.log").c_str(), "to its own %s file");
                  return a == 1 && b == 1 ? 0 : 1;
              }),
              0);
    EXPECT_EQ(logLines(), (Lines{"", "50% to the process log"}));
    EXPECT_EQ(unstamped(dir.read("own.log")), (Lines{"to its own %s file"}));
}

TEST_F(InstallLogTest, SetupLogWithoutAnyLogStillSucceeds)
{
    EXPECT_EQ(utiltest::runInChild([] { return setupLog(nullptr, "nowhere"); }), 1);
}

} // namespace

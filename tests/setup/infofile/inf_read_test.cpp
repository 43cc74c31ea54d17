#include <gtest/gtest.h>

#include <random>
#include <string>

#include "adm_pi.h"
#include "infotest.h"

namespace {

class InfReadTest : public ::testing::Test {
protected:
    ADM_piTree* parse(const std::string& content, int format = 0)
    {
        std::string path = dir.file("in.inf");
        inftest::writeFile(path, content);
        ADM_pi_done(tree);
        tree = ADM_pi_init(path.c_str(), format);
        return tree;
    }
    void TearDown() override { ADM_pi_done(tree); }

    inftest::Dir dir;
    ADM_piTree* tree = nullptr;
};

TEST_F(InfReadTest, ReadsEachLayoutIntoTheExpectedTree)
{
    const struct {
        const char* name;
        int format;
    } layouts[] = {{"native", 0}, {"equals", 1}, {"colon", 2}};
    for (const auto& l : layouts) {
        ADM_piTree* t =
            ADM_pi_init(inftest::dataFile(std::string(l.name) + ".inf").c_str(), l.format);
        EXPECT_EQ(inftest::dump(t),
                  inftest::readFile(inftest::dataFile(std::string(l.name) + ".tree")))
            << l.name;
        ADM_pi_done(t);
    }
}

TEST_F(InfReadTest, MissingFileOrNullPathGivesAnEmptyTreeOfTheFormat)
{
    ADM_piTree* missing = ADM_pi_init(dir.file("absent.inf").c_str(), 2);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->format, 2);
    EXPECT_EQ(inftest::dump(missing), "");
    ADM_pi_done(missing);
    ADM_piTree* none = ADM_pi_init(nullptr);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->format, 0);
    ADM_pi_done(none);
}

TEST_F(InfReadTest, CrLfLineEndsAndAMissingFinalNewlineReadLikePlainLines)
{
    std::string plain = inftest::dump(parse("a   1\n[s]\nb = two words\nflag ? true\n"));
    EXPECT_EQ(inftest::dump(parse("a   1\r\n[s]\r\nb = two words\r\nflag ? true\r\n")), plain);
    EXPECT_EQ(inftest::dump(parse("a   1\n[s]\nb = two words\nflag ? true")), plain);
}

TEST_F(InfReadTest, NativeSeparatorsAllGiveTheRestOfTheLine)
{
    parse("a=x y\nb:x y\nc   =   x y\nd   x y\ne\n");
    for (const char* n : {"a", "b", "c", "d"})
        EXPECT_STREQ(ADM_pi_value(tree, n), "x y") << n;
    EXPECT_STREQ(ADM_pi_value(tree, "E"), "");
}

TEST_F(InfReadTest, InnerBlanksStayAndTrailingBlanksGo)
{
    parse("Text   one  two   three   \t\n");
    EXPECT_STREQ(ADM_pi_value(tree, "text"), "one  two   three");
}

TEST_F(InfReadTest, OnlyAFirstColumnHashIsAComment)
{
    parse("# comment = 1\n  # not a comment\n");
    EXPECT_EQ(ADM_pi_value(tree, "comment"), nullptr);
    EXPECT_STREQ(ADM_pi_value(tree, "#"), "not a comment");
}

TEST_F(InfReadTest, QuestionMarkMakesBooleansOnlyInTheNativeLayout)
{
    parse("On ? TRUE\nOff ? yes\n");
    EXPECT_EQ(ADM_pi_canDo(tree, "on", nullptr), 1);
    EXPECT_EQ(ADM_pi_canDo(tree, "off", nullptr), 0);
    EXPECT_EQ(ADM_pi_canDo(tree, "missing", nullptr), -1);
    parse("On ?= true\n", 1);
    EXPECT_EQ(ADM_pi_canDo(tree, "on", nullptr), -1);
    EXPECT_STREQ(ADM_pi_value(tree, "On ?"), "true");
}

TEST_F(InfReadTest, EqualsAndColonLinesWithoutSeparatorAreNamesWithEmptyText)
{
    parse("just a line\n", 1);
    EXPECT_STREQ(ADM_pi_value(tree, "just a line"), "");
    parse("k=v\n", 2);
    EXPECT_STREQ(ADM_pi_value(tree, "k=v"), "");
}

TEST_F(InfReadTest, DuplicateNamesAreKeptAndTheFirstAnswers)
{
    parse("Port 1\nport 2\n");
    EXPECT_EQ(tree->valueCount, 2);
    EXPECT_STREQ(ADM_pi_value(tree, "PORT"), "1");
    ADM_pi_delValue(tree, "Port");
    EXPECT_STREQ(ADM_pi_value(tree, "PORT"), "2");
}

TEST_F(InfReadTest, HeadersOpenSectionsOfTheRootAndGeneralIsTheRoot)
{
    parse("a 1\n[ slapd ]\nb 2\n[gEnErAl]\nc 3\n[SLAPD]\nd 4\n[admin]\n[nested]\ne 5\n");
    EXPECT_STREQ(ADM_pi_value(tree, "c"), "3");
    ASSERT_EQ(tree->sectionCount, 4);
    EXPECT_STREQ(ADM_pi_sectName(tree, 0), "slapd");
    EXPECT_STREQ(ADM_pi_value(ADM_pi_nsection(tree, 0), "b"), "2");
    // Of two sections of one name, a lookup in any case finds the later.
    EXPECT_STREQ(ADM_pi_value(ADM_pi_section(tree, "Slapd"), "d"), "4");
    EXPECT_EQ(ADM_pi_nsection(ADM_pi_section(tree, "admin"), 0), nullptr);
    EXPECT_STREQ(ADM_pi_value(ADM_pi_section(tree, "nested"), "e"), "5");
    EXPECT_EQ(ADM_pi_nsection(tree, -1), nullptr);
    EXPECT_EQ(ADM_pi_nsection(tree, 4), nullptr);
    EXPECT_EQ(ADM_pi_sectName(tree, 4), nullptr);
    EXPECT_EQ(ADM_pi_section(tree, "none"), nullptr);
}

TEST_F(InfReadTest, LatestInstallationDateHeaderChangesNothing)
{
    parse("[slapd]\na 1\n[(Latest-Installation-Date)]\nb 2\n");
    ASSERT_EQ(tree->sectionCount, 1);
    EXPECT_STREQ(ADM_pi_value(ADM_pi_nsection(tree, 0), "b"), "2");
}

TEST_F(InfReadTest, FiveWordHeaderIsTheStampAndASecondOneEndsTheReading)
{
    parse("[Tue Dec 8 04:00:00 2026]\na 1\n[slapd]\n[Wed Dec 9 04:00:00 2026]\nb 2\n"
          "[Thu Dec 10 04:00:00 2026]\nc 3\n[late]\n");
    EXPECT_STREQ(ADM_pi_when(tree), "Tue Dec 8 04:00:00 2026");
    ADM_piTree* s = ADM_pi_section(tree, "slapd");
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(ADM_pi_when(s), "Wed Dec 9 04:00:00 2026");
    EXPECT_STREQ(ADM_pi_value(s, "b"), "2");
    EXPECT_EQ(ADM_pi_value(s, "c"), nullptr);
    EXPECT_EQ(ADM_pi_section(tree, "late"), nullptr);
}

TEST_F(InfReadTest, ReadStatusTellsAWholeReadFromAMissingFileAndAnEarlyEnd)
{
    int status = -1;
    std::string path = dir.file("status.inf");
    ADM_pi_done(ADM_pi_init(path.c_str(), 0, &status));
    EXPECT_EQ(status, ADM_PI_READ_NO_FILE);

    inftest::writeFile(path, "a 1\n[s]\nb 2\n");
    ADM_pi_done(ADM_pi_init(path.c_str(), 0, &status));
    EXPECT_EQ(status, ADM_PI_READ_COMPLETE);

    inftest::writeFile(path, "[Tue Dec 8 04:00:00 2026]\n[Wed Dec 9 04:00:00 2026]\nlost 1\n");
    ADM_pi_done(ADM_pi_init(path.c_str(), 0, &status));
    EXPECT_EQ(status, ADM_PI_READ_STOPPED);

    ADM_pi_done(ADM_pi_init(dir.path().c_str(), 0, &status)); // a directory cannot be read
    EXPECT_EQ(status, ADM_PI_READ_ERROR);
}

TEST_F(InfReadTest, HeaderWithoutClosingBracketKeepsNoLineEndInItsName)
{
    parse("[slapd\r\nport 389\n");
    ASSERT_EQ(tree->sectionCount, 1);
    EXPECT_STREQ(ADM_pi_sectName(tree, 0), "slapd");
    EXPECT_STREQ(ADM_pi_value(ADM_pi_nsection(tree, 0), "port"), "389");
}

TEST_F(InfReadTest, VeryLongLinesAndNamesAreKeptWhole)
{
    std::string longText(1536 * 1024, 'v');
    std::string longName(3000, 'n');
    parse("short 1\nbig   " + longText + "\n" + longName + "   x\n[" + longName + "]\nafter 2\n");
    ASSERT_NE(ADM_pi_value(tree, "big"), nullptr);
    EXPECT_EQ(std::string(ADM_pi_value(tree, "big")), longText);
    EXPECT_STREQ(ADM_pi_value(tree, longName.c_str()), "x");
    EXPECT_STREQ(ADM_pi_value(ADM_pi_section(tree, longName.c_str()), "after"), "2");
}

TEST_F(InfReadTest, ListSplittingDropsEmptyPiecesAndDuplicates)
{
    parse("L a, b,,c\nU A,a\nE\n");
    ADM_pi_2List(tree, "l");
    char** items = nullptr;
    ASSERT_EQ(ADM_pi_list(tree, "L", &items), 3);
    EXPECT_STREQ(items[0], "a");
    EXPECT_STREQ(items[1], "b");
    EXPECT_STREQ(items[2], "c");
    EXPECT_EQ(ADM_pi_value(tree, "L"), nullptr);
    ADM_pi_2List(tree, "u");
    ASSERT_EQ(ADM_pi_list(tree, "u", &items), 1);
    EXPECT_STREQ(items[0], "A");
    ADM_pi_2List(tree, "e");
    EXPECT_EQ(ADM_pi_value(tree, "e"), nullptr);
    EXPECT_EQ(ADM_pi_list(tree, "e", &items), -1);
    EXPECT_EQ(ADM_pi_canDo(tree, "L", "B"), 1);
    EXPECT_EQ(ADM_pi_canDo(tree, "L", "d"), 0);
    EXPECT_EQ(ADM_pi_canDo(tree, "none", "a"), -1);
}

TEST_F(InfReadTest, BinaryGarbageNeverBreaksTheReader)
{
    std::mt19937 rng(4);
    for (int round = 0; round < 50; ++round) {
        std::string junk(4096 + round * 97, '\0');
        for (char& c : junk) {
            unsigned r = rng() % 20;
            c = r == 0   ? '\n'
                : r == 1 ? '['
                : r == 2 ? ']'
                : r == 3 ? '\0'
                : r == 4 ? '\r'
                         : char(rng());
        }
        ADM_piTree* t = parse(junk, round % 3);
        ASSERT_NE(t, nullptr);
        // Whatever was read can be written and read again.
        std::string out = dir.file("garbage.out");
        if (ADM_pi_write(t, out.c_str()) == 0) {
            ADM_piTree* again = ADM_pi_init(out.c_str(), round % 3);
            ADM_pi_done(again);
        }
    }
}

} // namespace

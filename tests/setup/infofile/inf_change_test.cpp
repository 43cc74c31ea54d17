#include <gtest/gtest.h>

#include <string>

#include "adm_pi.h"
#include "infotest.h"

namespace {

class InfChangeTest : public ::testing::Test {
protected:
    void TearDown() override { ADM_pi_done(tree); }
    ADM_piTree* tree = ADM_pi_init(nullptr);
};

TEST_F(InfChangeTest, SetValueReplacesTheFirstAndKeepsItsSpelling)
{
    ADM_pi_setValue(tree, "ServerPort", "389");
    ADM_pi_setValue(tree, "serverport", "636");
    EXPECT_EQ(tree->valueCount, 1);
    EXPECT_STREQ(tree->valueNames[0], "ServerPort");
    EXPECT_STREQ(ADM_pi_value(tree, "SERVERPORT"), "636");
    // Its own text, and a pointer into it, are safe to set.
    ADM_pi_setValue(tree, "ServerPort", ADM_pi_value(tree, "ServerPort"));
    ADM_pi_setValue(tree, "ServerPort", ADM_pi_value(tree, "ServerPort") + 1);
    EXPECT_STREQ(ADM_pi_value(tree, "ServerPort"), "36");
    ADM_pi_setValue(tree, nullptr, "x");
    ADM_pi_setValue(tree, "n", nullptr);
    ADM_pi_setValue(tree, "", "x");
    EXPECT_EQ(tree->valueCount, 1);
}

TEST_F(InfChangeTest, BooleansAcceptOnlyTrueOrFalse)
{
    ADM_pi_setBoolean(tree, "b", "yes");
    EXPECT_EQ(ADM_pi_canDo(tree, "b", nullptr), -1);
    ADM_pi_setBoolean(tree, "b", "TRUE");
    EXPECT_EQ(ADM_pi_canDo(tree, "B", nullptr), 1);
    ADM_pi_setBoolean(tree, "B", "False");
    EXPECT_EQ(ADM_pi_canDo(tree, "b", nullptr), 0);
    EXPECT_EQ(tree->booleanCount, 1);
}

TEST_F(InfChangeTest, ListItemsAreUniqueAndAnEmptiedListStays)
{
    ADM_pi_setCapability(tree, "l", "one");
    ADM_pi_setCapability(tree, "L", "ONE");
    ADM_pi_setCapability(tree, "l", "two");
    char** items = nullptr;
    ASSERT_EQ(ADM_pi_list(tree, "l", &items), 2);
    ADM_pi_delCapability(tree, "l", "One");
    ASSERT_EQ(ADM_pi_list(tree, "l", &items), 1);
    EXPECT_STREQ(items[0], "two");
    ADM_pi_delCapability(tree, "l", "two");
    EXPECT_EQ(ADM_pi_list(tree, "l", &items), 0);
    ADM_pi_delList(tree, "L");
    EXPECT_EQ(ADM_pi_list(tree, "l", &items), -1);
}

TEST_F(InfChangeTest, RenameTakesAValueFirstThenABooleanElseListsAndSections)
{
    ADM_pi_setValue(tree, "x", "v");
    ADM_pi_setBoolean(tree, "x", "true");
    ADM_pi_setCapability(tree, "x", "i");
    ADM_pi_addSection(tree, "x");
    ADM_pi_rename(tree, "X", "y");
    EXPECT_STREQ(ADM_pi_value(tree, "y"), "v");
    EXPECT_EQ(ADM_pi_canDo(tree, "x", nullptr), 1);
    ADM_pi_rename(tree, "x", "z");
    EXPECT_EQ(ADM_pi_canDo(tree, "z", nullptr), 1);
    EXPECT_EQ(ADM_pi_canDo(tree, "x", "i"), 1);
    ADM_pi_rename(tree, "x", "w");
    EXPECT_EQ(ADM_pi_canDo(tree, "w", "i"), 1);
    EXPECT_NE(ADM_pi_section(tree, "w"), nullptr);
    EXPECT_EQ(ADM_pi_section(tree, "x"), nullptr);
}

TEST_F(InfChangeTest, DelSectionRemovesTheFirstAndSectionLookupFindsTheLast)
{
    ADM_pi_setValue(ADM_pi_addSection(tree, "s"), "n", "1");
    ADM_pi_setValue(ADM_pi_addSection(tree, "S"), "n", "2");
    EXPECT_STREQ(ADM_pi_value(ADM_pi_section(tree, "s"), "n"), "2");
    ADM_pi_delSection(tree, "s");
    ASSERT_EQ(tree->sectionCount, 1);
    EXPECT_STREQ(ADM_pi_value(ADM_pi_section(tree, "s"), "n"), "2");
}

TEST_F(InfChangeTest, LatinOneFileConvertsToUtf8AndBackInTheCLocale)
{
    setenv("LC_ALL", "C", 1);
    ADM_pi_done(tree);
    tree = ADM_pi_init(inftest::dataFile("latin1.inf").c_str());
    ADM_piTree* utf8 = ADM_pi_init(inftest::dataFile("utf8.inf").c_str());
    ADM_pi_2List(ADM_pi_section(tree, "slapd"), "Hosts");
    ADM_pi_2List(ADM_pi_section(utf8, "slapd"), "Hosts");
    ADM_pi_convertEncoding(tree, nullptr, 1);
    EXPECT_EQ(inftest::dump(tree), inftest::dump(utf8));
    ADM_pi_convertEncoding(tree, nullptr, 0);
    ADM_piTree* latin = ADM_pi_init(inftest::dataFile("latin1.inf").c_str());
    ADM_pi_2List(ADM_pi_section(latin, "slapd"), "Hosts");
    EXPECT_EQ(inftest::dump(tree), inftest::dump(latin));
    // By name: only that value, or every item of that list, at this level.
    ADM_pi_convertEncoding(tree, "City", 1);
    EXPECT_STREQ(ADM_pi_value(tree, "city"), "K\xc3\xb6ln");
    EXPECT_STREQ(ADM_pi_value(tree, "Organization"), "Soci\xe9t\xe9 G\xe9n\xe9rale");
    ADM_pi_convertEncoding(tree, "Hosts", 1);
    EXPECT_EQ(ADM_pi_canDo(ADM_pi_section(tree, "slapd"), "hosts", "M\xfcnchen"), 1);
    ADM_pi_convertEncoding(ADM_pi_section(tree, "slapd"), "Hosts", 1);
    EXPECT_EQ(ADM_pi_canDo(ADM_pi_section(tree, "slapd"), "hosts", "M\xc3\xbcnchen"), 1);
    EXPECT_EQ(ADM_pi_canDo(ADM_pi_section(tree, "slapd"), "hosts", "Z\xc3\xbcrich"), 1);
    ADM_pi_done(utf8);
    ADM_pi_done(latin);
    unsetenv("LC_ALL");
}

} // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "infotest.h"
#include "nvpair.h"
#include "setup_infofile.h"

namespace {

class NVPairTest : public ::testing::Test {
protected:
    std::string file(const std::string& content)
    {
        std::string path = dir.file("nv.inf");
        inftest::writeFile(path, content);
        return path;
    }
    inftest::Dir dir;
};

TEST_F(NVPairTest, MissingFileIsEmptyAndAnswersNothing)
{
    NVPair nv(dir.file("absent.inf").c_str());
    EXPECT_TRUE(nv.isEmpty());
    EXPECT_EQ(nv.get("x"), nullptr);
    EXPECT_EQ(nv.getSection("uninstall"), nullptr);
    EXPECT_EQ(nv.getSection(0), nullptr);
    EXPECT_EQ(nv.numName(), 0);
    EXPECT_EQ(nv.name(0), nullptr);
}

TEST_F(NVPairTest, AFileWithOnlyAStampIsNotEmpty)
{
    NVPair nv(file("[Tue Dec 8 04:00:00 2026]\n").c_str());
    EXPECT_FALSE(nv.isEmpty());
    EXPECT_STREQ(nv.timeStamp(), "Tue Dec 8 04:00:00 2026");
}

TEST_F(NVPairTest, ValueListsTurnIntoListsOnTheFirstListOperation)
{
    NVPair nv(file("Hosts   a, b\n").c_str());
    EXPECT_FALSE(nv.listExists("hosts"));
    EXPECT_STREQ(nv.get("hosts"), "a, b");
    EXPECT_EQ(nv.numListItems("HOSTS"), 2); // the list takes the spelling asked for
    EXPECT_TRUE(nv.listExists("hosts"));
    EXPECT_EQ(nv.get("hosts"), nullptr);
    EXPECT_STREQ(nv.getListItem("hosts", 1), "b");
    EXPECT_EQ(nv.getListItem("hosts", 2), nullptr);
    EXPECT_EQ(nv.getListItem("hosts", -1), nullptr);
    EXPECT_TRUE(nv.inList("hosts", "A"));
    EXPECT_FALSE(nv.inList("hosts", "c"));
    EXPECT_EQ(nv.numList(), 1);
    EXPECT_STREQ(nv.list(0), "HOSTS");
    EXPECT_EQ(nv.list(1), nullptr);
}

TEST_F(NVPairTest, ListItemsComeAsAFreshNullTerminatedCopy)
{
    NVPair nv;
    const char* items[] = {"x", "y", "X", nullptr};
    nv.add("l", items);
    nv.add("l", CVString());
    nv.add("l", static_cast<const char**>(nullptr));
    char** got = nv.getListItems("l");
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got[0], "x");
    EXPECT_STREQ(got[1], "y");
    EXPECT_EQ(got[2], nullptr);
    EXPECT_NE(got[0], nv.getListItem("l", 0));
    NVPair::freeListItems(got);
    NVPair::freeListItems(nullptr);
    nv.delListItem("l", "X");
    nv.delListItem("l", "y");
    EXPECT_EQ(nv.getListItems("l"), nullptr);
    EXPECT_FALSE(nv.listExists("l"));
    EXPECT_EQ(nv.getListItems("missing"), nullptr);
    nv.add("l", "z");
    nv.delList("L");
    EXPECT_EQ(nv.numListItems("l"), 0);
}

TEST_F(NVPairTest, NumbersAreStoredAsTheirDecimalText)
{
    NVPair nv;
    nv.set("port", 389L);
    nv.set("max", 4294967295UL);
    nv.set("neg", -7);
    nv.set("u", 4000000000u);
    EXPECT_STREQ(nv.get("port"), "389");
    EXPECT_STREQ(nv.get("max"), "4294967295");
    EXPECT_STREQ(nv.get("neg"), "-7");
    EXPECT_STREQ(nv.get("u"), "4000000000");
    nv.set("slapd", "port", 389L);
    NVPair* s = nv.getSection("slapd");
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->get("port"), "389");
    delete s;
}

TEST_F(NVPairTest, EmptyOrNullArgumentsChangeNothing)
{
    NVPair nv;
    nv.set("a", CVString());
    nv.set(nullptr, "x");
    nv.set("a", static_cast<const char*>(nullptr));
    nv.set(static_cast<const char*>(nullptr), "n", "v");
    nv.add(static_cast<const char*>(nullptr), "l", "i");
    EXPECT_TRUE(nv.isEmpty());
    EXPECT_FALSE(nv.inList(nullptr, "x"));
    EXPECT_EQ(nv.createSection(nullptr), nullptr);
    nv.addSection("s", nullptr);
    EXPECT_EQ(nv.numSections(), 0);
}

TEST_F(NVPairTest, SectionViewsShareTheParentTree)
{
    std::string path = file("[uninstall]\nServerIdentifier   old\n");
    NVPair nv(path.c_str());
    NVPair* view = nv.getSection("UNINSTALL");
    ASSERT_NE(view, nullptr);
    EXPECT_STREQ(view->id(), "UNINSTALL");
    view->set("ServerIdentifier", "new");
    view->add("Hosts", "h1");
    delete view;
    NVPair* again = nv.getSection(0);
    ASSERT_NE(again, nullptr);
    EXPECT_STREQ(again->id(), "uninstall");
    EXPECT_STREQ(again->get("serveridentifier"), "new");
    delete again;
    ASSERT_EQ(nv.write(), 0);
    EXPECT_EQ(inftest::readFile(path), "\n[uninstall]\nServerIdentifier   new\nHosts:   h1\n");
}

TEST_F(NVPairTest, CreateSectionAddsOnceAndSetCreatesWhenAbsent)
{
    NVPair nv;
    NVPair* a = nv.createSection("admin");
    NVPair* b = nv.createSection("ADMIN");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->tree(), b->tree());
    EXPECT_TRUE(a->isEmpty());
    delete a;
    delete b;
    nv.set("admin", "port", "33389");
    nv.set("admin", "name", CVString("adm"));
    nv.add("admin", "list", "x");
    nv.add("admin", "list", CVString("y"));
    const char* more[] = {"z", nullptr};
    nv.add("other", "list", more);
    EXPECT_EQ(nv.numSections(), 2);
    NVPair* s = nv.getSection("admin");
    EXPECT_STREQ(s->get("port"), "33389");
    EXPECT_STREQ(s->get("name"), "adm");
    EXPECT_EQ(s->numListItems("list"), 2);
    delete s;
}

TEST_F(NVPairTest, AddSectionByNameReplacesEvenFromItsOwnView)
{
    NVPair nv;
    nv.set("s", "k", "1");
    nv.set("t", "k", "2");
    NVPair* view = nv.getSection("s");
    view->set("k2", "x");
    nv.addSection("s", view); // the view's tree is the section replaced
    delete view;
    ASSERT_EQ(nv.numSections(), 2);
    EXPECT_STREQ(ADM_pi_sectName(nv.tree(), 1), "s");
    NVPair* s = nv.getSection("s");
    EXPECT_STREQ(s->get("k"), "1");
    EXPECT_STREQ(s->get("k2"), "x");
    delete s;
}

TEST_F(NVPairTest, AddSectionWithoutNameMergesValuesAndListsOnly)
{
    NVPair source(file("v   first\nV   second\nL   a,b\nflag ? true\n[sub]\nx 1\n").c_str());
    source.numListItems("L");
    NVPair target;
    target.set("keep", "1");
    target.addSection(nullptr, &source);
    EXPECT_STREQ(target.get("keep"), "1");
    EXPECT_STREQ(target.get("v"), "first");
    EXPECT_EQ(target.numName(), 2);
    EXPECT_EQ(target.numListItems("l"), 2);
    EXPECT_EQ(ADM_pi_canDo(target.tree(), "flag", nullptr), -1);
    EXPECT_EQ(target.numSections(), 0);
    target.addSection(nullptr, &target);
    EXPECT_EQ(target.numName(), 2);
}

TEST_F(NVPairTest, CopiesAreDeepAndAssignmentDropsTheFileName)
{
    std::string path = file("a   1\n[s]\nb 2\n");
    NVPair nv(path.c_str());
    nv.id("root");
    NVPair copy(nv);
    copy.set("a", "changed");
    EXPECT_STREQ(nv.get("a"), "1");
    EXPECT_STREQ(copy.id(), "root");
    ASSERT_EQ(copy.write(), 0); // the copy keeps the file name
    EXPECT_EQ(inftest::readFile(path), "a   changed\n\n[s]\nb   2\n");
    NVPair assigned;
    assigned = nv;
    EXPECT_STREQ(assigned.get("a"), "1");
    EXPECT_STREQ(assigned.id(), "root");
    inftest::StdoutCapture out(dir.file("stdout"));
    EXPECT_EQ(assigned.write(), 0); // no file name: standard output
    EXPECT_EQ(out.text(), "a   1\n\n[s]\nb   2\n");
    NVPair* view = nv.getSection("s");
    nv = *view; // a view of our own tree
    delete view;
    EXPECT_STREQ(nv.get("b"), "2");
    EXPECT_EQ(nv.numSections(), 0);
}

TEST_F(NVPairTest, ReadKeepsTheFormatAndClearResetsIt)
{
    std::string path = file("[slapd]\nport=389\nname = a b\n");
    NVPair nv;
    nv.setFormat(1);
    nv.read(path.c_str());
    NVPair* s = nv.getSection("slapd");
    EXPECT_STREQ(s->get("name"), "a b");
    delete s;
    nv.read(path.c_str());
    EXPECT_EQ(nv.numSections(), 1);
    nv.clear();
    EXPECT_TRUE(nv.isEmpty());
    EXPECT_EQ(nv.tree()->format, 0);
}

TEST_F(NVPairTest, TheStampSurvivesAWriteAndARead)
{
    std::string path = dir.file("stamp.inf");
    NVPair nv;
    nv.set("a", "1");
    nv.stampTime();
    ASSERT_NE(nv.timeStamp(), nullptr);
    EXPECT_EQ(strlen(nv.timeStamp()), 15u);
    EXPECT_EQ(nv.timeStamp()[14], 'Z');
    ASSERT_EQ(nv.write(path.c_str()), 0);
    NVPair back(path.c_str());
    EXPECT_STREQ(back.timeStamp(), nv.timeStamp());
    EXPECT_STREQ(back.get("a"), "1");
    EXPECT_EQ(back.numSections(), 0);
    char buffer[16];
    setupGetGmtime(buffer, sizeof buffer);
    EXPECT_EQ(strlen(buffer), 15u);
    char tiny[4] = "xyz";
    get_gmtime(tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "");
}

TEST_F(NVPairTest, RenameRemoveAndNamesByIndex)
{
    NVPair nv;
    nv.set("one", "1");
    nv.set("two", "2");
    nv.rename("ONE", "first");
    EXPECT_STREQ(nv.name(0), "first");
    nv.remove("first");
    EXPECT_EQ(nv.numName(), 1);
    EXPECT_STREQ(nv.name(0), "two");
    EXPECT_EQ(nv.name(-1), nullptr);
}

} // namespace

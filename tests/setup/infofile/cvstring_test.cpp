#include <gtest/gtest.h>

#include <cstring>
#include <ldap.h>
#include <string>

#include "cvstring.h"
#include "infotest.h"
#include "ldaperror.h"

namespace {

TEST(CVStringTest, EmptyTextsGiveTheOneEmptyStringConvertingToNull)
{
    CVString fromEmpty("");
    CVString fromNull(static_cast<const char*>(nullptr));
    CVString fromZeroMax("abc", 0);
    CVString assigned("x");
    assigned = "";
    for (const CVString* s : {&fromEmpty, &fromNull, &fromZeroMax, &assigned}) {
        EXPECT_EQ(static_cast<const char*>(*s), nullptr);
        EXPECT_EQ(s->length(), 0);
        EXPECT_EQ(s->rep(), nullptr);
    }
}

TEST(CVStringTest, MaximumLengthCutsAndNeverReadsPastIt)
{
    CVString cut("abcdef", 3);
    EXPECT_STREQ(cut, "abc");
    EXPECT_EQ(cut.length(), 3);
    CVString shorter("ab", 10);
    EXPECT_STREQ(shorter, "ab");
    EXPECT_EQ(shorter.length(), 2);
    // Four bytes without a terminator: only the first three may be read.
    char raw[4] = {'w', 'x', 'y', 'z'};
    CVString bounded(raw, 3);
    EXPECT_STREQ(bounded, "wxy");
}

TEST(CVStringTest, CopiesShareOneRepresentationUntilTheLastGoes)
{
    CVString a("shared");
    CVString b;
    b = a;
    ASSERT_EQ(a.rep(), b.rep());
    EXPECT_EQ(a.rep()->refCount, 2);
    EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(b));
    a.clear();
    EXPECT_EQ(static_cast<const char*>(a), nullptr);
    EXPECT_STREQ(b, "shared");
    EXPECT_EQ(b.rep()->refCount, 1);
    CVString c(b);
    EXPECT_EQ(c.rep(), b.rep());
    EXPECT_EQ(c.rep()->refCount, 2);
}

TEST(CVStringTest, SelfAssignmentKeepsTheText)
{
    CVString a("same");
    const CVStringRep* rep = a.rep();
    CVString& ref = a;
    a = ref;
    a = static_cast<const char*>(a);
    EXPECT_EQ(a.rep(), rep);
    EXPECT_STREQ(a, "same");
}

TEST(CVStringTest, AssigningAPointerIntoItsOwnTextCopiesBeforeReleasing)
{
    CVString a("hello world");
    a = static_cast<const char*>(a) + 6;
    EXPECT_STREQ(a, "world");
    EXPECT_EQ(a.length(), 5);
}

TEST(CVStringTest, ComparisonIsExactAndTreatsEmptyAsNullAndBlank)
{
    CVString empty;
    EXPECT_TRUE(empty == static_cast<const char*>(nullptr));
    EXPECT_TRUE(empty == "");
    EXPECT_TRUE(empty != "x");
    EXPECT_TRUE(CVString("Abc") != "abc");
    EXPECT_TRUE(CVString("abc") == "abc");
    EXPECT_FALSE(CVString("abc") == static_cast<const char*>(nullptr));
    EXPECT_FALSE(CVString("abc") == "abcd");
    EXPECT_TRUE(CVString() == CVString(""));
    EXPECT_TRUE(CVString("x") != CVString());
    EXPECT_TRUE(CVString("x") == CVString("x"));
}

TEST(CVStringTest, ConcatenationJoinsAndTreatsNullAsEmpty)
{
    CVString ab = CVString("ab") + static_cast<const char*>(nullptr);
    EXPECT_STREQ(ab, "ab");
    EXPECT_EQ(ab.length(), 2);
    CVString none = CVString() + "";
    EXPECT_EQ(none.rep(), nullptr);
    CVString joined = "dc=" + CVString("example") + ", " + CVString("dc=com");
    EXPECT_STREQ(joined, "dc=example, dc=com");
    EXPECT_EQ(joined.length(), static_cast<int>(strlen("dc=example, dc=com")));
    EXPECT_EQ(joined.rep()->size, joined.length() + 1);
    EXPECT_EQ(joined.rep()->refCount, 1);
}

TEST(LdapErrorTest, DefaultValueIsSuccessAndPrintsNothing)
{
    inftest::Dir dir;
    LdapError e;
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(static_cast<const char*>(e.message), nullptr);
    inftest::StdoutCapture out(dir.file("out"));
    e.print(std::cout);
    EXPECT_EQ(out.text(), "");
}

TEST(LdapErrorTest, ConstructorAppendsDotAndDetailAssignmentDoesNot)
{
    LdapError e(32, "");
    EXPECT_EQ(e.code, 32);
    EXPECT_EQ(std::string(e.message), std::string(ldap_err2string(32)) + ".");
    e = 32;
    EXPECT_EQ(std::string(e.message), std::string(ldap_err2string(32)));
    LdapError d(49, "cn=admin");
    EXPECT_EQ(std::string(d.message), std::string(ldap_err2string(49)) + ".cn=admin");
    LdapError copy;
    copy = d;
    EXPECT_EQ(copy.code, 49);
    EXPECT_EQ(copy.message.rep(), d.message.rep());
    LdapError& self = copy;
    copy = self;
    EXPECT_EQ(copy.code, 49);
    EXPECT_STREQ(copy.message, d.message);
}

TEST(LdapErrorTest, PrintWritesThreeLinesToStandardOutput)
{
    inftest::Dir dir;
    LdapError e(SETUP_LDAP_NO_ENTRIES, "nothing");
    std::string expected = "-------- Ldap Error Information --------\n Error Code:       153\n Error Message:    " +
                           std::string(e.message) + "\n";
    inftest::StdoutCapture out(dir.file("out"));
    e.print(std::cerr);
    EXPECT_EQ(out.text(), expected);
}

TEST(LdapErrorTest, OwnCodesReadAsWhatTheyMeanAndLdapCodesAsTheLibrarySaysThem)
{
    EXPECT_EQ(std::string(LdapError(SETUP_LDAP_CONNECT_FAILED, "").message),
              "Could not connect to the directory server.");
    LdapError e;
    e = SETUP_LDAP_NO_ENTRIES;
    EXPECT_STREQ(e.message, "No matching entry was found");
    for (int code = SETUP_LDAP_BAD_ARGUMENT; code <= SETUP_LDAP_NO_PARENT; ++code) {
        ASSERT_NE(setupErrorString(code), nullptr);
        EXPECT_STRNE(setupErrorString(code), ldap_err2string(code)) << "code " << code;
    }
    EXPECT_STREQ(setupErrorString(152), "Unknown setup library error");
    for (int code : {0, 32, 49, 68, 80, -1, 200})
        EXPECT_STREQ(setupErrorString(code), ldap_err2string(code)) << "code " << code;
}

TEST(LdapErrorTest, MappingFoldsClientFailuresReferralsAndRefusals)
{
    // "Could not connect" (151) is what the client side made up: negative
    // codes and 81 to 95. 80 is LDAP_OTHER, an answer from the server.
    const struct {
        int in, out;
    } table[] = {
        {0, 0},     {80, 80},  {81, 151},  {85, 151},  {91, 151},  {95, 151},  {96, 96},   {97, 97},
        {9, 150},   {10, 150},  {32, 147},  {8, 146},   {48, 146},  {49, 146},  {50, 146},  {68, 68},
        {1, 1},     {53, 53},   {144, 144}, {145, 145}, {150, 150}, {151, 151}, {153, 153}, {159, 159},
        {-1, 151},  {-5, 151},  {-11, 151}, {-7, 151},  {-17, 151},
    };
    for (const auto& row : table)
        EXPECT_EQ(ldapErrorMapCode(row.in), row.out) << "code " << row.in;
    for (int c = 0; c < 200; ++c)
        EXPECT_EQ(ldapErrorMapCode(ldapErrorMapCode(c)), ldapErrorMapCode(c)) << "code " << c;
}

} // namespace

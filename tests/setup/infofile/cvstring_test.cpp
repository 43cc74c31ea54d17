#include <gtest/gtest.h>

#include <cstring>
#include <ldap.h>
#include <string>
#include <vector>

#include "c_boundary.h"
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
    std::string expected =
        "-------- Ldap Error Information --------\n Error Code:       153\n Error Message:    " +
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
        {0, 0},     {80, 80},   {81, 151},  {85, 151},  {91, 151},  {95, 151},
        {96, 96},   {97, 97},   {9, 150},   {10, 150},  {32, 147},  {8, 146},
        {48, 146},  {49, 146},  {50, 146},  {68, 68},   {1, 1},     {53, 53},
        {144, 144}, {145, 145}, {150, 150}, {151, 151}, {153, 153}, {159, 159},
        {-1, 151},  {-5, 151},  {-11, 151}, {-7, 151},  {-17, 151},
    };
    for (const auto& row : table)
        EXPECT_EQ(ldapErrorMapCode(row.in), row.out) << "code " << row.in;
    for (int c = 0; c < 200; ++c)
        EXPECT_EQ(ldapErrorMapCode(ldapErrorMapCode(c)), ldapErrorMapCode(c)) << "code " << c;
}

// The one fold of the codes a function of the project passes on: the client
// library's own failures become 151, its out of memory 90, the rest stays.
TEST(LdapErrorTest, ResultFoldLeavesOnlyServerAnswersAndLibraryCodes)
{
    const struct {
        int in, out;
    } table[] = {
        {-10, 90}, {90, 90},   {-1, 151},  {-5, 151},  {-11, 151}, {-17, 151}, {81, 151},
        {85, 151}, {95, 151},  {80, 80},   {96, 96},   {0, 0},     {10, 10},   {32, 32},
        {68, 68},  {144, 144}, {151, 151}, {153, 153}, {159, 159},
    };
    for (const auto& row : table)
        EXPECT_EQ(cvResultCode(row.in), row.out) << "code " << row.in;
    for (int c = -30; c < 200; ++c) {
        EXPECT_GE(cvResultCode(c), 0) << "code " << c;
        EXPECT_EQ(cvResultCode(cvResultCode(c)), cvResultCode(c)) << "code " << c;
    }
}

// Every code a function of the library can return reads as what it means:
// its own codes, out of memory, whatever the fold makes of a client-side
// failure, and the result codes a server answers (RFC 4511, and the cancel,
// assertion and sync codes of later RFCs).
TEST(LdapErrorTest, EveryCodeTheLibraryReturnsHasItsOwnText)
{
    std::vector<int> codes = {SETUP_LDAP_BAD_ARGUMENT,
                              SETUP_LDAP_BAD_URL,
                              SETUP_LDAP_AUTH_FAILED,
                              SETUP_LDAP_NO_SUCH_OBJECT,
                              SETUP_LDAP_INCOMPLETE_ENTRY,
                              SETUP_LDAP_NO_CONFIG_ROOT,
                              SETUP_LDAP_ENTRY_MISSING,
                              SETUP_LDAP_CONNECT_FAILED,
                              SETUP_LDAP_NO_ENTRIES,
                              SETUP_LDAP_BAD_SERVER_ENTRY,
                              SETUP_LDAP_NO_ADMIN_DOMAIN,
                              SETUP_LDAP_NO_PARENT,
                              kCvNoMemory};
    for (int c = -20; c < 0; ++c)
        codes.push_back(cvResultCode(c));
    for (int c = 81; c <= 95; ++c)
        codes.push_back(cvResultCode(c));
    for (int c : {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,   10,  11,  12,  13,  14,  16,
                  17, 18, 19, 20, 21, 32, 33, 34, 35, 36,  48,  49,  50,  51,  52,  53,
                  54, 64, 65, 66, 67, 68, 69, 71, 80, 118, 119, 120, 121, 122, 123, 4096})
        codes.push_back(c);
    const std::string unknownOwn = setupErrorString(152);
    const std::string unknown = setupErrorString(1000);
    for (int code : codes) {
        const char* text = setupErrorString(code);
        ASSERT_NE(text, nullptr) << "code " << code;
        EXPECT_NE(text, unknownOwn) << "code " << code;
        EXPECT_NE(text, unknown) << "code " << code;
    }
    EXPECT_STREQ(setupErrorString(kCvNoMemory), ldap_err2string(-10));
}

} // namespace

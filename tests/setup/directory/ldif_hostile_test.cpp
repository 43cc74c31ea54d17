// The LDIF loader against hostile and unlucky files, and against a server
// that stops answering.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "ldapentry_internal.h"
#include "ldif_fixture.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Occurrences of what in text.
size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++n;
    return n;
}

} // namespace

class LdifHostileTest : public LdifLoadTest {};

TEST_F(LdifHostileTest, DnsWithNulOrAnEscapedSeparatorAreRefusedAndNothingOutsideTheSuffixChanges)
{
    ASSERT_TRUE(slapd().add(
        "dn: cn=victim,o=LdifOurs\nobjectclass: cvTestEntry\ncn: victim\ndescription: keep\n"));
    // "Y249...cnMA" is "cn=victim,o=LdifOurs" and a NUL byte.
    std::string f = file(
        "nul.ldif", std::string("objectclass: organizationalUnit\nou: T\n\n"
                                "dn:: Y249dmljdGltLG89TGRpZk91cnMA\nobjectclass: cvTestEntry\n\n"
                                "dn: cn=victim,o=LdifOurs") +
                        std::string(1, '\0') +
                        "\nobjectclass: cvTestEntry\n\n"
                        "dn: ou=escaped\\\nobjectclass: organizationalUnit\n\n"
                        "dn: cn=a+\nobjectclass: cvTestEntry\n\n"
                        "dn: cn=ok\nobjectclass: cvTestEntry\n");
    EXPECT_EQ(setupReplaceLdifEntries(ldap_, "ou=T,o=LdifOurs", f.c_str(), nullptr),
              SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(slapd().values("cn=victim,o=LdifOurs", "description"),
              std::vector<std::string>{"keep"});
    EXPECT_EQ(slapd().count("o=LdifOurs", "(objectclass=*)", "one"), 2); // ou=T and cn=victim
    EXPECT_TRUE(slapd().exists("cn=ok,ou=T,o=LdifOurs"));
    std::string log = newLog();
    EXPECT_EQ(count(log, "error 144 (the DN holds a NUL byte (record at line "), 2u) << log;
    EXPECT_NE(log.find("updating dn: cn=victim,o=LdifOurs\\00: error 144"), std::string::npos)
        << log;
    EXPECT_NE(log.find("error 144 (the DN \"ou=escaped\\\" does not parse (record at line 10)"),
              std::string::npos);
    EXPECT_NE(log.find("the DN \"cn=a+\" does not parse"), std::string::npos);
    EXPECT_NE(log.find("4 of 6 records not written"), std::string::npos) << log;
    slapd().remove("cn=victim,o=LdifOurs");
}

TEST_F(LdifHostileTest, UnreadableRecordsAreRefusedAndLoggedAndALeadingByteOrderMarkIsSkipped)
{
    std::string f =
        file("bad.ldif", "\xEF\xBB\xBF"
                         "dn: ou=T\nobjectclass: organizationalUnit\n\n"
                         " dn: cn=indented,ou=T\nobjectclass: cvTestEntry\n\n"
                         "dn:\nobjectclass: cvTestEntry\ndescription: would land on the suffix\n\n"
                         "dn: cn=folded,ou=T\nobjectcl\n ass: cvTestEntry\n\n"
                         "dn: cn=good,ou=T\nobjectclass: cvTestEntry\n");
    EXPECT_EQ(setupUpdateLdifEntries(ldap_, "o=LdifOurs", f.c_str(), nullptr),
              SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_TRUE(slapd().exists("ou=T,o=LdifOurs"));
    EXPECT_TRUE(slapd().exists("cn=good,ou=T,o=LdifOurs"));
    EXPECT_EQ(slapd().count("ou=T,o=LdifOurs"), 2);
    EXPECT_TRUE(slapd().values("o=LdifOurs", "description").empty());
    std::string log = newLog();
    EXPECT_NE(log.find("updating dn: (unknown): error 144 (line 4 is no \"name: value\" line and "
                       "continues none "
                       "(record at line 4))"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("updating dn: (unknown): error 144 (empty DN (record at line 7))"),
              std::string::npos);
    EXPECT_NE(
        log.find("updating dn: cn=folded,ou=T: error 144 (line 12 is no \"name: value\" line"),
        std::string::npos);
    EXPECT_NE(log.find("3 of 5 records not written"), std::string::npos);
}

TEST_F(LdifHostileTest, UpdateSkipsValuesTheServerHoldsInAnotherSpellingAndMergesTheRest)
{
    ASSERT_TRUE(slapd().add(
        "dn: ou=T,o=LdifOurs\nobjectclass: organizationalUnit\nobjectclass: top\nou: T\n"
        "ou: T2\ndescription: old\n"));
    std::string f =
        file("u.ldif", "dn: ou=T\nobjectclass: organizationalunit\nobjectclass: TOP\nou: t2\n"
                       "description: new\nbusinessCategory: added\n");
    EXPECT_EQ(setupUpdateLdifEntries(ldap_, "o=LdifOurs", f.c_str(), nullptr), 0) << newLog();
    EXPECT_EQ(slapd().values("ou=T,o=LdifOurs", "description"),
              (std::vector<std::string>{"old", "new"}));
    EXPECT_EQ(slapd().values("ou=T,o=LdifOurs", "businessCategory"),
              std::vector<std::string>{"added"});
    EXPECT_EQ(slapd().values("ou=T,o=LdifOurs", "ou"), (std::vector<std::string>{"T", "T2"}));
    EXPECT_EQ(slapd().values("ou=T,o=LdifOurs", "objectclass"),
              (std::vector<std::string>{"organizationalUnit", "top"}));
}

TEST_F(LdifHostileTest, ChildrenListedBeforeTheirParentAreNeverWrittenInAnyRun)
{
    std::string text = "dn: ou=T\nobjectclass: organizationalUnit\n\n";
    for (int i = 0; i < 200; ++i)
        text += "dn: cn=c" + std::to_string(i) + ",ou=P,ou=T\nobjectclass: cvTestEntry\n\n";
    text += "dn: ou=P,ou=T\nobjectclass: organizationalUnit\n\n";
    std::string f = file("order.ldif", text);
    for (int run = 0; run < 3; ++run) {
        EXPECT_EQ(setupUpdateLdifEntries(ldap_, "o=LdifOurs", f.c_str(), nullptr),
                  LDAP_NO_SUCH_OBJECT);
        EXPECT_TRUE(slapd().exists("ou=P,ou=T,o=LdifOurs"));
        EXPECT_EQ(slapd().count("ou=P,ou=T,o=LdifOurs", "(objectclass=*)", "one"), 0)
            << "run " << run;
        slapd().remove("ou=T,o=LdifOurs", true);
    }
    EXPECT_NE(newLog().find("200 of 202 records not written"), std::string::npos);
}

TEST_F(LdifHostileTest, AServerThatStopsAnsweringEndsLdifAndSchemaLoadsPromptlyWith151)
{
    cvtest::Slapd server;
    ASSERT_TRUE(server.start()) << server.error();
    Ldap* ldap = nullptr;
    ASSERT_EQ(setupCreateLdap(&ldap, server.url().c_str(), cvtest::Slapd::kRootDN,
                              cvtest::Slapd::kRootPassword, nullptr, nullptr),
              0);
    // The connection's operation timeout, shortened so that the test waits
    // seconds where a user waits half a minute.
    struct timeval two = {2, 0};
    ASSERT_EQ(ldap_set_option(LdapEntryAccess::handle(ldap), LDAP_OPT_TIMEOUT, &two),
              LDAP_OPT_SUCCESS);
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "dn: cn=e" + std::to_string(i) + "\nobjectclass: cvTestEntry\n\n";
    std::string f = file("many.ldif", text);
    std::string schema = file("s.schema", "attribute corvidSetupColor 1.3.6.1.4.1.99999.9.1 cis\n");

    ASSERT_TRUE(server.pause());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(setupUpdateLdifEntries(ldap, cvtest::Slapd::kBase, f.c_str(), nullptr),
              SETUP_LDAP_CONNECT_FAILED);
    // One timeout, not one per window of requests in flight (250 of them).
    EXPECT_LT(secondsSince(start), 8.0);
    std::string log = newLog();
    EXPECT_NE(log.find("the server stopped answering (error -5: "), std::string::npos)
        << log.substr(0, 2000);
    EXPECT_NE(log.find("updating dn: cn=e0, o=CorvidRoot: error -5 (not confirmed, the server "
                       "stopped answering)"),
              std::string::npos)
        << log.substr(0, 2000);
    EXPECT_NE(log.find("updating dn: cn=e1999, o=CorvidRoot: error -5 (not written, the server "
                       "stopped answering)"),
              std::string::npos);
    EXPECT_NE(log.find("2000 of 2000 records not written"), std::string::npos)
        << log.substr(log.size() > 2000 ? log.size() - 2000 : 0);

    start = std::chrono::steady_clock::now();
    EXPECT_EQ(insertSchemaEntries(ldap, schema.c_str()), SETUP_LDAP_CONNECT_FAILED);
    EXPECT_LT(secondsSince(start), 8.0);
    setupDestroyLdap(ldap);
}

TEST_F(LdifHostileTest, ATwoHundredThousandValueRecordLoadsAndMergesInLinearTime)
{
    std::string text =
        "dn: ou=T\nobjectclass: organizationalUnit\n\ndn: cn=big,ou=T\nobjectclass: cvTestEntry\n";
    for (int i = 0; i < 200000; ++i)
        text += "description: v" + std::to_string(i) + "\n";
    std::string f = file("big.ldif", text);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(setupUpdateLdifEntries(ldap_, "o=LdifOurs", f.c_str(), nullptr), 0) << newLog();
    // The merge finds its one new value among 200,000 held ones.
    std::string more = file("more.ldif", text + "description: new\n");
    EXPECT_EQ(setupUpdateLdifEntries(ldap_, "o=LdifOurs", more.c_str(), nullptr), 0) << newLog();
    // Comparing every value with every other took minutes; linear takes
    // seconds, and up to half a minute in a sanitizer build on a busy machine.
    EXPECT_LT(secondsSince(start), 60.0);
    std::vector<std::string> values = slapd().values("cn=big,ou=T,o=LdifOurs", "description");
    ASSERT_EQ(values.size(), 200001u);
    EXPECT_EQ(values.back(), "new");
}

TEST_F(LdifHostileTest, FifosAndDevicesAreRefusedWithoutBlocking)
{
    ASSERT_EQ(mkfifo(dir_.file("fifo").c_str(), 0600), 0);
    auto loads = std::async(std::launch::async, [&] {
        return std::vector<int>{
            setupUpdateLdifEntries(ldap_, "o=LdifOurs", dir_.file("fifo").c_str(), nullptr),
            appendSchemaEntries(ldap_, dir_.file("fifo").c_str()),
            setupUpdateLdifEntries(ldap_, "o=LdifOurs", "/dev/null", nullptr),
            setupUpdateLdifEntries(ldap_, "o=LdifOurs", dir_.path().c_str(), nullptr)};
    });
    if (loads.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Lets the blocked open go, so the test can end.
        int fd = open(dir_.file("fifo").c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            close(fd);
        FAIL() << "a load waited for a writer of the fifo";
    }
    EXPECT_EQ(loads.get(), (std::vector<int>{SETUP_LDAP_BAD_ARGUMENT, 1, SETUP_LDAP_BAD_ARGUMENT,
                                             SETUP_LDAP_BAD_ARGUMENT}));
    std::string log = newLog();
    EXPECT_NE(log.find("[ldif] Fatal cannot read " + dir_.file("fifo") + ": not a regular file"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[schema] Fatal cannot read " + dir_.file("fifo") + ": not a regular file"),
              std::string::npos);
    EXPECT_NE(log.find("cannot read /dev/null: not a regular file"), std::string::npos);
}

TEST_F(LdifHostileTest, KeywordsMatchWithoutRegardToCase)
{
    std::string f = file(
        "case.ldif", "VERSION: 1\nDN: ou=T\nChangeType: ADD\nobjectclass: organizationalUnit\n\n"
                     "Dn: cn=mixed,ou=T\nchangetype: Add\nobjectclass: cvTestEntry\n\n"
                     "dn: cn=modify,ou=T\nCHANGETYPE: Modify\nreplace: cn\ncn: x\n");
    EXPECT_EQ(setupUpdateLdifEntries(ldap_, "o=LdifOurs", f.c_str(), nullptr),
              SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_TRUE(slapd().exists("cn=mixed,ou=T,o=LdifOurs"));
    EXPECT_FALSE(slapd().exists("cn=modify,ou=T,o=LdifOurs"));
    EXPECT_TRUE(slapd().values("ou=T,o=LdifOurs", "version").empty());
    EXPECT_NE(newLog().find("unsupported change type \"Modify\""), std::string::npos) << newLog();
    EXPECT_NE(newLog().find("1 of 3 records not written"), std::string::npos);
}

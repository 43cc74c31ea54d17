// LdapEntry as result cursor and attribute store, against a real slapd.

#include "c_text.h"
#include "entry_fixture.h"
#include "tempdir.h"

namespace {

using cvtest::Slapd;
using Strings = std::vector<std::string>;

class EntryReading : public cvtest::EntrySuite<EntryReading> {
public:
    static void SetUpTestSuite()
    {
        SlapdSuite::SetUpTestSuite();
        if (slapd().running())
            slapd().add("dn: ou=Read, o=CorvidRoot\nobjectclass: organizationalUnit\nou: Read\n\n"
                        "dn: cn=e1, ou=Read, o=CorvidRoot\nobjectclass: cvTestEntry\ncn: "
                        "e1\ndescription: one\n\n"
                        "dn: cn=e2, ou=Read, o=CorvidRoot\nobjectclass: cvTestEntry\ncn: "
                        "e2\ndescription: two\n\n"
                        "dn: cn=e3, ou=Read, o=CorvidRoot\nobjectclass: cvTestEntry\ncn: "
                        "e3\ndescription: three\n"
                        "userPassword: e3-secret\ncvBindPassword: e3-bind-secret\n");
    }
};

TEST_F(EntryReading, WalksThreeMatchesAndStaysOnTheLast)
{
    LdapEntry entry(ldap_.get());
    LdapError err = entry.retrieve("(objectclass=cvTestEntry)", 2, "ou=Read, o=CorvidRoot");
    ASSERT_EQ(err.code, 0) << err.message;
    EXPECT_EQ(entry.numEntries(), 3);
    EXPECT_STREQ(entry.entryDN(), "cn=e1,ou=Read,o=CorvidRoot");
    EXPECT_EQ(cvtest::taken(entry.getAttribute("description")), "one");
    EXPECT_EQ(entry.next().code, 0);
    EXPECT_EQ(cvtest::taken(entry.getAttribute("DESCRIPTION")), "two");
    EXPECT_EQ(entry.next().code, 0);
    EXPECT_STREQ(entry.entryDN(), "cn=e3,ou=Read,o=CorvidRoot");
    EXPECT_EQ(entry.next().code, SETUP_LDAP_NO_ENTRIES);
    EXPECT_STREQ(entry.entryDN(), "cn=e3,ou=Read,o=CorvidRoot");
    EXPECT_EQ(cvtest::taken(entry.getAttribute("description")), "three");
}

TEST_F(EntryReading, SingleMatchHasNoNext)
{
    LdapEntry entry(ldap_.get());
    ASSERT_EQ(entry.retrieve("cn=e2, ou=Read, o=CorvidRoot").code, 0);
    EXPECT_EQ(entry.numEntries(), 1);
    EXPECT_EQ(entry.next().code, SETUP_LDAP_NO_ENTRIES);
    LdapEntry fresh(ldap_.get());
    EXPECT_EQ(fresh.next().code, SETUP_LDAP_NO_ENTRIES);
}

TEST_F(EntryReading, FailedRetrieveKeepsTheEarlierAttributes)
{
    LdapEntry entry(ldap_.get());
    ASSERT_EQ(entry.retrieve("cn=e1, ou=Read, o=CorvidRoot").code, 0);
    EXPECT_EQ(entry.retrieve("cn=none, ou=Read, o=CorvidRoot").code, SETUP_LDAP_NO_ENTRIES);
    EXPECT_EQ(entry.numEntries(), 0);
    EXPECT_EQ(cvtest::taken(entry.getAttribute("description")), "one");
    EXPECT_EQ(entry.retrieve("(cn=nothing-matches)", 2, "ou=Read, o=CorvidRoot").code,
              SETUP_LDAP_NO_ENTRIES);
    EXPECT_EQ(entry.retrieve("cn=x, ou=NoSuchBranch, o=CorvidRoot").code, SETUP_LDAP_NO_ENTRIES);
    EXPECT_EQ(entry.retrieve("(objectclass=*", 2, "o=CorvidRoot").code, LDAP_FILTER_ERROR);
    EXPECT_STREQ(entry.entryDN(), "cn=e1,ou=Read,o=CorvidRoot");
}

TEST_F(EntryReading, ExistsSetsOnlyTheEntryDn)
{
    LdapEntry entry(ldap_.get());
    entry.addAttribute("description", "kept");
    EXPECT_TRUE(entry.exists("cn=e2, ou=Read, o=CorvidRoot"));
    EXPECT_STREQ(entry.entryDN(), "cn=e2,ou=Read,o=CorvidRoot");
    EXPECT_EQ(entry.numEntries(), 0);
    EXPECT_EQ(cvtest::taken(entry.getAttribute("description")), "kept");
    EXPECT_FALSE(entry.exists("cn=e9, ou=Read, o=CorvidRoot"));
    EXPECT_FALSE(entry.exists(nullptr));
}

TEST_F(EntryReading, StoreMatchesNamesAndValuesWithoutCase)
{
    LdapEntry entry(ldap_.get());
    entry.addAttribute("Description", "Alpha");
    entry.addAttribute("description", "ALPHA");
    entry.addAttribute("DESCRIPTION", "beta");
    EXPECT_EQ(list(entry, entry.getAttributes("description")), (Strings{"Alpha", "beta"}));
    EXPECT_TRUE(entry.checkAttribute("description", "BETA"));
    EXPECT_FALSE(entry.checkAttribute("description", "gamma"));
    entry.setAttribute("description", "only");
    EXPECT_EQ(list(entry, entry.getAttributes("Description")), (Strings{"only"}));
    entry.addAttribute("cn", "x");
    char** names = entry.getAttributeNames();
    ASSERT_NE(names, nullptr);
    // setAttribute made the attribute anew, in its own spelling.
    EXPECT_STREQ(names[0], "description");
    EXPECT_STREQ(names[1], "cn");
    EXPECT_EQ(names[2], nullptr);
    entry.freeAttributeNames(names);
    entry.deleteAttribute("CN");
    EXPECT_EQ(entry.getAttribute("cn"), nullptr);
    EXPECT_EQ(entry.getAttributes("cn"), nullptr);
    EXPECT_EQ(entry.getAttribute(nullptr), nullptr);
    entry.deleteAttribute("description");
    EXPECT_EQ(entry.getAttributeNames(), nullptr);
}

TEST_F(EntryReading, AddAttributesStopsAfterFiveHundred)
{
    std::vector<std::string> texts;
    for (int i = 0; i < 600; ++i)
        texts.push_back("v" + std::to_string(i));
    std::vector<const char*> values;
    for (const auto& t : texts)
        values.push_back(t.c_str());
    values.push_back(nullptr);
    LdapEntry entry(ldap_.get());
    entry.addAttributes("description", values.data());
    Strings got = list(entry, entry.getAttributes("description"));
    ASSERT_EQ(got.size(), 500u);
    EXPECT_EQ(got.back(), "v499");
    const char* none[] = {nullptr};
    entry.addAttributes("cn", none);
    entry.addAttributes(nullptr, values.data());
    EXPECT_EQ(entry.getAttribute("cn"), nullptr);
}

TEST_F(EntryReading, PrintWritesTheStoreWithoutSecrets)
{
    LdapEntry entry(ldap_.get());
    ASSERT_EQ(entry.retrieve("cn=e3, ou=Read, o=CorvidRoot").code, 0);
    std::string path = slapd().dir() + "/printed.inf";
    entry.printEntry(path.c_str());
    std::string printed = cvtest::readFile(path);
    EXPECT_NE(printed.find("three"), std::string::npos) << printed;
    EXPECT_NE(printed.find("cvTestEntry"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("e3-secret"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("e3-bind-secret"), std::string::npos) << printed;
    // The store itself still holds them.
    EXPECT_EQ(cvtest::taken(entry.getAttribute("userPassword")), "e3-secret");
}

TEST_F(EntryReading, RequestedOperationalAttributesArriveWithTheEntry)
{
    const char* names[] = {"aci",
                           "passwordExpirationTime",
                           "passwordExpWarned",
                           "passwordRetryCount",
                           "retryCountResetTime",
                           "accountUnlockTime",
                           "passwordHistory",
                           "passwordAllowChangeTime",
                           "cvUniqueId",
                           "cvLookthroughLimit",
                           "cvSizeLimit",
                           "cvTimeLimit",
                           "cvIdleTimeout",
                           "cvRole",
                           "cvRoleDN",
                           "cvAccountLock"};
    std::string ldif = "dn: cn=full, ou=Read, o=CorvidRoot\nobjectclass: cvTestEntry\ncn: full\n";
    for (const char* n : names)
        ldif += std::string(n) + ": value of " + n + "\n";
    slapd().remove("cn=full,ou=Read,o=CorvidRoot");
    ASSERT_TRUE(slapd().add(ldif));
    LdapEntry entry(ldap_.get());
    ASSERT_EQ(entry.retrieve("cn=full, ou=Read, o=CorvidRoot").code, 0);
    for (const char* n : names)
        EXPECT_EQ(cvtest::taken(entry.getAttribute(n)), std::string("value of ") + n);
}

} // namespace

// LdapEntry writes: insert, update, replace, rename and drop, with the
// result codes the callers test for, read back from the server.
#include <algorithm>

#include "entry_fixture.h"

namespace {

using cvtest::Slapd;
using Strings = std::vector<std::string>;

Strings sorted(Strings v)
{
    for (auto& s : v)
        std::transform(s.begin(), s.end(), s.begin(), ::tolower);
    std::sort(v.begin(), v.end());
    return v;
}

class EntryWriting : public cvtest::EntrySuite<EntryWriting> {};

TEST_F(EntryWriting, EmptyStoreIsIncompleteAndSendsNothing)
{
    std::string base = container("Empty");
    LdapEntry entry(ldap_.get());
    EXPECT_EQ(entry.insert(("cn=a, " + base).c_str()).code, SETUP_LDAP_INCOMPLETE_ENTRY);
    EXPECT_EQ(entry.update(base.c_str()).code, SETUP_LDAP_INCOMPLETE_ENTRY);
    EXPECT_EQ(entry.replace(base.c_str()).code, SETUP_LDAP_INCOMPLETE_ENTRY);
    EXPECT_EQ(entry.getAttribute("objectclass"), nullptr);
    EXPECT_EQ(slapd().count("ou=Empty,o=CorvidRoot"), 1);
}

TEST_F(EntryWriting, InsertAddsTopOnce)
{
    std::string base = container("Insert");
    LdapEntry entry(ldap_.get());
    entry.addAttribute("objectclass", "cvTestEntry");
    entry.addAttribute("cn", "a");
    std::string dn = "cn=a, " + base;
    ASSERT_EQ(entry.insert(dn.c_str()).code, 0);
    EXPECT_STREQ(entry.entryDN(), dn.c_str());
    EXPECT_EQ(entry.numEntries(), 1);
    EXPECT_TRUE(entry.checkAttribute("objectclass", "top"));
    EXPECT_EQ(sorted(values("cn=a,ou=Insert,o=CorvidRoot", "objectClass")),
              (Strings{"cvtestentry", "top"}));

    LdapEntry shouting(ldap_.get());
    shouting.addAttribute("objectclass", "TOP");
    shouting.addAttribute("objectclass", "cvTestEntry");
    shouting.addAttribute("cn", "b");
    ASSERT_EQ(shouting.insert(("cn=b, " + base).c_str()).code, 0);
    EXPECT_EQ(list(shouting, shouting.getAttributes("objectclass")),
              (Strings{"TOP", "cvTestEntry"}));
    EXPECT_EQ(values("cn=b,ou=Insert,o=CorvidRoot", "objectClass").size(), 2u);

    EXPECT_EQ(entry.insert(dn.c_str()).code, LDAP_ALREADY_EXISTS);
    EXPECT_EQ(entry.insert(("cn=c, ou=Nowhere, " + base).c_str()).code, LDAP_NO_SUCH_OBJECT);
}

TEST_F(EntryWriting, InsertAddsTheNamingValuesSlapdWouldRefuseWithout)
{
    std::string base = container("Naming");
    LdapEntry entry(ldap_.get());
    entry.addAttribute("objectclass", "cvTestEntry");
    entry.addAttribute("description", "no cn in the store");
    std::string dn = "cn=Server Group (2)+uid=x\\, y, " + base;
    ASSERT_EQ(entry.insert(dn.c_str()).code, 0);
    EXPECT_TRUE(entry.checkAttribute("cn", "Server Group (2)"));
    std::string stored = "cn=Server Group (2)+uid=x\\, y,ou=Naming,o=CorvidRoot";
    EXPECT_EQ(values(stored, "cn"), (Strings{"Server Group (2)"}));
    EXPECT_EQ(values(stored, "uid"), (Strings{"x, y"}));
}

TEST_F(EntryWriting, UpdateMergesDeletesAndLeavesTheRest)
{
    std::string base = container("Update");
    ASSERT_TRUE(slapd().add(
        "dn: cn=u, " + base +
        "\nobjectclass: cvTestEntry\ncn: u\ndescription: old\nseeAlso: cn=x\ncvRole: gone\n"));
    LdapEntry entry(ldap_.get());
    entry.addAttribute("description", "new");
    entry.addAttribute("description", "OLD");
    entry.addAttribute("cvRole", "");
    entry.addAttribute("cvVendor", "Corvid");
    std::string dn = "cn=u, " + base;
    ASSERT_EQ(entry.update(dn.c_str()).code, 0);
    EXPECT_EQ(entry.numEntries(), 1);
    const std::string server = "cn=u,ou=Update,o=CorvidRoot";
    EXPECT_EQ(values(server, "description"), (Strings{"old", "new"}));
    EXPECT_EQ(values(server, "cvRole"), Strings{});
    EXPECT_EQ(values(server, "cvVendor"), Strings{"Corvid"});
    EXPECT_EQ(values(server, "seeAlso"), Strings{"cn=x"});
    EXPECT_EQ(entry.update(("cn=missing, " + base).c_str()).code, SETUP_LDAP_NO_ENTRIES);
}

TEST_F(EntryWriting, UpdateWritesEveryValueBeyondFiveHundred)
{
    std::string base = container("Many");
    ASSERT_TRUE(
        slapd().add("dn: cn=m, " + base + "\nobjectclass: cvTestEntry\ncn: m\ndescription: v0\n"));
    LdapEntry entry(ldap_.get());
    for (int i = 1; i < 700; ++i)
        entry.addAttribute("description", ("v" + std::to_string(i)).c_str());
    ASSERT_EQ(entry.update(("cn=m, " + base).c_str()).code, 0);
    Strings got = values("cn=m,ou=Many,o=CorvidRoot", "description");
    ASSERT_EQ(got.size(), 700u);
    EXPECT_EQ(got.front(), "v0");
    EXPECT_EQ(got.back(), "v699");
}

TEST_F(EntryWriting, ReplaceLeavesExactlyTheStore)
{
    std::string base = container("Replace");
    ASSERT_TRUE(slapd().add("dn: cn=r, " + base +
                            "\nobjectclass: cvTestEntry\ncn: r\ndescription: old\nseeAlso: cn=x\n"
                            "passwordExpirationTime: 20300101000000Z\n"));
    LdapEntry entry(ldap_.get());
    entry.addAttribute("objectclass", "cvTestEntry");
    entry.addAttribute("description", "new");
    entry.addAttribute("cvVendor", "Corvid");
    std::string dn = "cn=r, " + base;
    ASSERT_EQ(entry.replace(dn.c_str()).code, 0);
    const std::string server = "cn=r,ou=Replace,o=CorvidRoot";
    EXPECT_EQ(values(server, "description"), Strings{"new"});
    EXPECT_EQ(values(server, "seeAlso"), Strings{});
    EXPECT_EQ(values(server, "passwordExpirationTime"), Strings{});
    EXPECT_EQ(values(server, "cvVendor"), Strings{"Corvid"});
    EXPECT_EQ(values(server, "cn"), Strings{"r"});
    // Now absent on both sides: replacing it with nothing still succeeds.
    EXPECT_EQ(entry.replace(dn.c_str()).code, 0);
    EXPECT_EQ(entry.replace(("cn=missing, " + base).c_str()).code, SETUP_LDAP_NO_ENTRIES);
}

TEST_F(EntryWriting, ReplaceKeepsNamingValuesOfParsedRdns)
{
    std::string base = container("Naming");
    ASSERT_TRUE(slapd().add("dn: cn=Smith\\, John, " + base +
                            "\nobjectclass: cvTestEntry\ncn: Smith, John\n\n"
                            "dn: cn=a+uid=b, " +
                            base + "\nobjectclass: cvTestEntry\ncn: a\nuid: b\n"));
    LdapEntry entry(ldap_.get());
    entry.addAttribute("objectclass", "cvTestEntry");
    entry.addAttribute("description", "renamed store");
    ASSERT_EQ(entry.replace(("cn=Smith\\, John, " + base).c_str()).code, 0);
    EXPECT_EQ(values("cn=Smith\\, John,ou=Naming,o=CorvidRoot", "cn"), Strings{"Smith, John"});

    LdapEntry multi(ldap_.get());
    multi.addAttribute("objectclass", "cvTestEntry");
    ASSERT_EQ(multi.replace(("cn=a+uid=b, " + base).c_str()).code, 0);
    EXPECT_EQ(values("cn=a+uid=b,ou=Naming,o=CorvidRoot", "cn"), Strings{"a"});
    EXPECT_EQ(values("cn=a+uid=b,ou=Naming,o=CorvidRoot", "uid"), Strings{"b"});
}

TEST_F(EntryWriting, RequestedAttributesRoundTripThroughReplace)
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
    std::string base = container("Trip");
    std::string full =
        "dn: cn=full, " + base + "\nobjectclass: cvTestEntry\ncn: full\ndescription: user attr\n";
    for (const char* n : names)
        full += std::string(n) + ": " + n + " value\n";
    ASSERT_TRUE(
        slapd().add(full + "\ndn: cn=bare, " + base + "\nobjectclass: cvTestEntry\ncn: bare\n"));
    LdapEntry entry(ldap_.get());
    ASSERT_EQ(entry.retrieve(("cn=full, " + base).c_str()).code, 0);
    ASSERT_EQ(entry.replace(("cn=bare, " + base).c_str()).code, 0);
    const std::string server = "cn=bare,ou=Trip,o=CorvidRoot";
    for (const char* n : names)
        EXPECT_EQ(values(server, n), Strings{std::string(n) + " value"}) << n;
    EXPECT_EQ(values(server, "description"), Strings{"user attr"});
    EXPECT_EQ(sorted(values(server, "cn")), (Strings{"bare", "full"}));
}

TEST_F(EntryWriting, RenameRebuildsTheEntryDn)
{
    std::string base = container("Rename");
    ASSERT_TRUE(
        slapd().add("dn: cn=old, " + base +
                    "\nobjectclass: cvTestEntry\ncn: old\n\n"
                    "dn: cn=top-level, o=CorvidRoot\nobjectclass: cvTestEntry\ncn: top-level\n"));
    LdapEntry entry(ldap_.get());
    ASSERT_EQ(entry.rename(("cn=old, " + base).c_str(), "cn=new").code, 0);
    EXPECT_STREQ(entry.entryDN(), "cn=new, ou=Rename, o=CorvidRoot");
    EXPECT_EQ(values("cn=new,ou=Rename,o=CorvidRoot", "cn"), Strings{"new"});
    EXPECT_FALSE(slapd().exists("cn=old,ou=Rename,o=CorvidRoot"));

    ASSERT_EQ(entry.rename("cn=top-level,o=CorvidRoot", "cn=renamed").code, 0);
    EXPECT_STREQ(entry.entryDN(), "cn=renamed, o=CorvidRoot");
    EXPECT_EQ(entry.rename("cn=renamed, o=CorvidRoot", nullptr).code, SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(entry.rename(("cn=missing, " + base).c_str(), "cn=x").code, LDAP_NO_SUCH_OBJECT);
    slapd().remove("cn=renamed,o=CorvidRoot");
}

TEST_F(EntryWriting, DropDeletesOneEntryAndReportsMissingOnes)
{
    std::string base = container("Drop");
    ASSERT_TRUE(slapd().add("dn: cn=d, " + base + "\nobjectclass: cvTestEntry\ncn: d\n"));
    LdapEntry entry(ldap_.get());
    EXPECT_EQ(entry.drop(base.c_str()).code, LDAP_NOT_ALLOWED_ON_NONLEAF);
    EXPECT_EQ(entry.drop(("cn=d, " + base).c_str()).code, 0);
    EXPECT_FALSE(slapd().exists("cn=d,ou=Drop,o=CorvidRoot"));
    EXPECT_EQ(entry.drop(("cn=d, " + base).c_str()).code, LDAP_NO_SUCH_OBJECT);
}

} // namespace

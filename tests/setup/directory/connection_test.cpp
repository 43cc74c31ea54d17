// Ldap construction against a real slapd: URL checks, anonymous and
// authenticated connections, user-id lookup, and the version probe.
#include <gtest/gtest.h>

#include <string>

#include "cvldap.h"
#include "directory_fixture.h"
#include "slapd.h"

namespace {

using cvtest::Slapd;

class LdapConnection : public cvtest::SlapdSuite<LdapConnection> {
public:
    static cvtest::SlapdOptions slapdOptions()
    {
        cvtest::SlapdOptions o;
        o.monitorDatabase = true;
        return o;
    }
    static void SetUpTestSuite()
    {
        SlapdSuite::SetUpTestSuite();
        if (slapd().running())
            slapd().add(cvtest::peopleLdif());
    }

protected:
    std::string url(const std::string& base = "o=CorvidRoot") { return slapd().url(base); }
};

TEST_F(LdapConnection, ConnectsAnonymouslyWithoutUser)
{
    LdapError err;
    Ldap ldap(err, url().c_str(), nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(err.code, 0);
    EXPECT_STREQ(ldap.host(), "127.0.0.1");
    EXPECT_EQ(ldap.port(), slapd().port());
    EXPECT_STREQ(ldap.baseSuffix(), "o=CorvidRoot");
    EXPECT_EQ(ldap.userDN(), nullptr);
    EXPECT_EQ(ldap.userPassword(), nullptr);

    Ldap noPassword(err, url().c_str(), "alice", nullptr, nullptr, nullptr);
    EXPECT_EQ(err.code, 0);
    EXPECT_EQ(noPassword.userDN(), nullptr);
}

TEST_F(LdapConnection, RefusesTextsThatAreNoUsableUrl)
{
    const std::string port = std::to_string(slapd().port());
    const std::string bad[] = {"http://127.0.0.1:" + port + "/o=CorvidRoot",
                               "127.0.0.1:" + port,
                               "ldap://127.0.0.1:0/o=CorvidRoot",
                               "ldap://127.0.0.1:/o=CorvidRoot",
                               "ldap://127.0.0.1/o=CorvidRoot",
                               "ldap://127.0.0.1:12ab/o=CorvidRoot"};
    for (const std::string& text : bad) {
        LdapError err;
        Ldap ldap(err, text.c_str(), Slapd::kRootDN, Slapd::kRootPassword, nullptr, nullptr);
        EXPECT_EQ(err.code, SETUP_LDAP_BAD_URL) << text;
        EXPECT_EQ(ldap.host(), nullptr) << text;
        EXPECT_EQ(ldap.port(), 389) << text;
        EXPECT_EQ(ldap.version(), nullptr) << text;
    }
    LdapError err;
    Ldap none(err, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_BAD_URL);
}

TEST_F(LdapConnection, UnreachableServerIsAConnectFailure)
{
    std::string text = "ldap://127.0.0.1:" + std::to_string(cvtest::closedPort()) + "/o=CorvidRoot";
    LdapError err;
    Ldap ldap(err, text.c_str(), nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_CONNECT_FAILED);
    EXPECT_EQ(ldap.host(), nullptr);
    EXPECT_EQ(ldap.baseSuffix(), nullptr);
}

TEST_F(LdapConnection, BindsADnDirectly)
{
    LdapError err;
    Ldap ldap(err, url().c_str(), "uid=alice, ou=People, o=CorvidRoot", "alice-pw", nullptr,
              nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    EXPECT_STREQ(ldap.userDN(), "uid=alice, ou=People, o=CorvidRoot");
    EXPECT_STREQ(ldap.userPassword(), "alice-pw");
    EXPECT_STREQ(ldap.rebindDN(), "uid=alice, ou=People, o=CorvidRoot");
    EXPECT_STREQ(ldap.rebindPwd(), "alice-pw");
}

TEST_F(LdapConnection, WrongPasswordIsRefusedAndCloses)
{
    LdapError err;
    Ldap ldap(err, url().c_str(), "uid=alice, ou=People, o=CorvidRoot", "wrong", nullptr, nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_AUTH_FAILED);
    EXPECT_EQ(ldap.userDN(), nullptr);
    EXPECT_EQ(ldap.host(), nullptr);
    EXPECT_EQ(ldap.port(), 389);

    Ldap byId(err, url().c_str(), "alice", "wrong", nullptr, nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_AUTH_FAILED);
}

TEST_F(LdapConnection, EmptyPasswordNeverAuthenticates)
{
    // slapd answers an unauthenticated bind with 53; 146 shows that no bind
    // was attempted with the empty password.
    LdapError err;
    Ldap dn(err, url().c_str(), "uid=alice, ou=People, o=CorvidRoot", "", nullptr, nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_AUTH_FAILED);
    EXPECT_EQ(dn.userDN(), nullptr);
    Ldap id(err, url().c_str(), "alice", "", nullptr, nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_AUTH_FAILED);
    EXPECT_EQ(id.userDN(), nullptr);
}

TEST_F(LdapConnection, LooksUpAUserIdBelowTheBase)
{
    LdapError err;
    Ldap ldap(err, url().c_str(), "alice", "alice-pw", nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    EXPECT_STREQ(ldap.userDN(), "uid=alice,ou=People,o=CorvidRoot");
    EXPECT_STREQ(ldap.rebindDN(), "uid=alice,ou=People,o=CorvidRoot");
    EXPECT_STREQ(ldap.userPassword(), "alice-pw");
}

TEST_F(LdapConnection, OfTwoEntriesWithOneUserIdThePasswordPicksTheSecond)
{
    LdapError err;
    Ldap ldap(err, url().c_str(), "twin", "second", nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    EXPECT_STREQ(ldap.userDN(), "uid=twin,ou=Staff,o=CorvidRoot");
    EXPECT_STREQ(ldap.rebindDN(), "uid=twin,ou=Staff,o=CorvidRoot");

    Ldap first(err, url().c_str(), "twin", "first", nullptr, nullptr);
    ASSERT_EQ(err.code, 0);
    EXPECT_STREQ(first.userDN(), "uid=twin,ou=People,o=CorvidRoot");

    Ldap neither(err, url().c_str(), "twin", "third", nullptr, nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_AUTH_FAILED);
}

TEST_F(LdapConnection, UnknownUserIdBelowAnotherBaseIsNotFound)
{
    LdapError err;
    Ldap ldap(err, url("ou=People, o=CorvidRoot").c_str(), "nobody-here", "x", nullptr, nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_NO_ENTRIES);
    EXPECT_EQ(ldap.host(), nullptr);
}

TEST_F(LdapConnection, UserIdIsMatchedLiterallyNeverAsAPattern)
{
    // Unescaped, "*" would match every entry and bind whichever accepts
    // alice's password; ")(uid=alice" would widen the filter.
    const char* ids[] = {"*", "a*", "*lice", "alice)(|(cn", "*)(objectclass", "\\61lice"};
    for (const char* id : ids) {
        LdapError err;
        Ldap ldap(err, url("ou=People, o=CorvidRoot").c_str(), id, "alice-pw", nullptr, nullptr);
        EXPECT_EQ(err.code, SETUP_LDAP_NO_ENTRIES) << id;
        EXPECT_EQ(ldap.userDN(), nullptr) << id;
    }
}

TEST_F(LdapConnection, LongUserIdIsLookedUpWhole)
{
    // Far beyond the 512 bytes a fixed filter buffer would hold.
    std::string id(3000, 'u');
    std::string out;
    ASSERT_TRUE(slapd().add(
        "dn: cn=long, ou=People, o=CorvidRoot\nobjectclass: inetOrgPerson\ncn: long\nsn: long\n"
        "uid: " +
            id + "\nuserPassword: long-pw\n",
        &out))
        << out;
    LdapError err;
    Ldap ldap(err, url().c_str(), id.c_str(), "long-pw", nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    EXPECT_STREQ(ldap.userDN(), "cn=long,ou=People,o=CorvidRoot");
    Ldap cut(err, url().c_str(), id.substr(0, 511).c_str(), "long-pw", nullptr, nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_NO_ENTRIES);
}

TEST_F(LdapConnection, SearchIdentityIsUsedForTheLookup)
{
    LdapError err;
    Ldap ldap(err, url().c_str(), "bob", "bob-pw", Slapd::kRootDN, Slapd::kRootPassword);
    ASSERT_EQ(err.code, 0) << err.message;
    EXPECT_STREQ(ldap.userDN(), "uid=bob,ou=Staff,o=CorvidRoot");

    Ldap badSearch(err, url().c_str(), "bob", "bob-pw", Slapd::kRootDN, "not-the-password");
    EXPECT_EQ(err.code, SETUP_LDAP_AUTH_FAILED);
}

TEST_F(LdapConnection, NoSecretReachesAnyOutput)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    LdapError err;
    {
        Ldap wrong(err, url().c_str(), "uid=alice, ou=People, o=CorvidRoot", "Sekrit-Wrong-1",
                   nullptr, nullptr);
        err.print(std::cout);
    }
    std::string msg = static_cast<const char*>(err.message);
    LdapError ok;
    Ldap right(ok, url().c_str(), "alice", "alice-pw", Slapd::kRootDN, Slapd::kRootPassword);
    std::string out =
        testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.code, SETUP_LDAP_AUTH_FAILED);
    EXPECT_EQ(msg.find("Sekrit"), std::string::npos);
    EXPECT_EQ(out.find("Sekrit"), std::string::npos);
    EXPECT_EQ(out.find("alice-pw"), std::string::npos);
    EXPECT_EQ(out.find(Slapd::kRootPassword), std::string::npos);
}

TEST_F(LdapConnection, VersionComesFromTheMonitorEntry)
{
    // The fixture loads no cn=monitor entry. (Deleting a missing entry of
    // that database makes slapd exit, so the test deletes only what it added.)
    LdapError err;
    {
        Ldap ldap(err, url().c_str(), nullptr, nullptr, nullptr, nullptr);
        EXPECT_STREQ(ldap.version(), "4.0");
    }
    ASSERT_TRUE(slapd().add("dn: cn=monitor\nobjectclass: cvTestEntry\ncn: monitor\n"));
    {
        Ldap ldap(err, url().c_str(), nullptr, nullptr, nullptr, nullptr);
        EXPECT_STREQ(ldap.version(), "4.0");
    }
    ASSERT_TRUE(
        slapd().modify("dn: cn=monitor\nchangetype: modify\nreplace: version\nversion: 3.51\n"));
    {
        Ldap ldap(err, url().c_str(), nullptr, nullptr, nullptr, nullptr);
        EXPECT_STREQ(ldap.version(), "3.0");
    }
    ASSERT_TRUE(slapd().modify("dn: cn=monitor\nchangetype: modify\nreplace: version\nversion: "
                               "Corvid-Directory/4.12 B2020.101\n"));
    {
        Ldap ldap(err, url().c_str(), "alice", "alice-pw", nullptr, nullptr);
        EXPECT_EQ(err.code, 0);
        EXPECT_STREQ(ldap.version(), "4.12");
    }
    slapd().remove("cn=monitor");
}

TEST_F(LdapConnection, ModifyReturnsTheLdapCodeUnmapped)
{
    LdapError err;
    Ldap ldap(err, url().c_str(), Slapd::kRootDN, Slapd::kRootPassword, nullptr, nullptr);
    ASSERT_EQ(err.code, 0);
    char type[] = "description";
    char value[] = "changed by modify";
    char* values[] = {value, nullptr};
    LDAPMod mod;
    mod.mod_op = LDAP_MOD_REPLACE;
    mod.mod_type = type;
    mod.mod_values = values;
    LDAPMod* mods[] = {&mod, nullptr};
    EXPECT_EQ(ldap.modify("ou=Staff, o=CorvidRoot", mods), 0);
    EXPECT_EQ(slapd().values("ou=Staff,o=CorvidRoot", "description"),
              std::vector<std::string>{"changed by modify"});
    EXPECT_EQ(ldap.modify("ou=Missing, o=CorvidRoot", mods), LDAP_NO_SUCH_OBJECT);
}

TEST(LdapErrorMapping, MapsTheCodesCallersTellApart)
{
    LdapError err;
    Ldap ldap(err, "not a url", nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(ldap.mapLdapError(49).code, SETUP_LDAP_AUTH_FAILED);
    EXPECT_EQ(ldap.mapLdapError(32).code, SETUP_LDAP_NO_SUCH_OBJECT);
    EXPECT_EQ(ldap.mapLdapError(LDAP_SERVER_DOWN).code, SETUP_LDAP_CONNECT_FAILED);
    EXPECT_EQ(ldap.mapLdapError(68).code, 68);
    EXPECT_EQ(std::string(ldap.mapLdapError(68).message), std::string(ldap_err2string(68)) + ".");
}

} // namespace

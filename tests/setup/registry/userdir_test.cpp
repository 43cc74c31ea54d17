// Global user directory lookup, and the connection's fallback through the
// admin domains' user directories when a user id is not found below the
// configuration root.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "cvldap.h"
#include "directory_fixture.h"
#include "ldapentry.h"
#include "setup_compat.h"
#include "setup_userdir.h"
#include "slapd.h"

namespace {

using cvtest::Slapd;

std::string domainLdif(const std::string& name, const std::string& directoryAttrs)
{
    std::string domain = "ou=" + name + ", o=CorvidRoot";
    return "dn: " + domain +
           "\nobjectclass: organizationalUnit\nobjectclass: cvAdminDomain\nou: " + name + "\n\n" +
           "dn: ou=Global Preferences, " + domain +
           "\nobjectclass: organizationalUnit\nou: Global Preferences\n\n" +
           "dn: cn=UserDirectory, ou=Global Preferences, " + domain +
           "\nobjectclass: cvDirectoryInfo\ncn: UserDirectory\n" + directoryAttrs + "\n";
}

class UserDirectory : public cvtest::SlapdSuite<UserDirectory> {
public:
    static cvtest::SlapdOptions slapdOptions()
    {
        cvtest::SlapdOptions o;
        o.extraSuffixes = {"o=UserRoot"};
        return o;
    }
    static void SetUpTestSuite()
    {
        SlapdSuite::SetUpTestSuite();
        if (!slapd().running())
            return;
        std::string here = slapd().hostPort();
        dead_ = "127.0.0.1:" + std::to_string(cvtest::closedPort());
        const std::string& dead = dead_;
        // Domains in this order: one whose directory is down, one whose
        // directory is the configuration root itself (a nested fallback
        // there would never end), and one that holds the user.
        std::string ldif =
            domainLdif("Aaa", "cvDirectoryURL: ldap://" + dead + "/o=UserRoot\n") +
            domainLdif("Loop", "cvDirectoryURL: ldap://" + here + "/o=CorvidRoot\n") +
            domainLdif("Sales", "cvDirectoryURL: ldap://" + dead +
                                    "/o=UserRoot\ncvDirectoryFailoverList: " + here +
                                    "\ncvBindDN: " + Slapd::kRootDN +
                                    "\ncvBindPassword: " + Slapd::kRootPassword + "\n") +
            Slapd::personLdif("uid=carol, o=UserRoot", "carol", "carol-pw");
        loaded_ = slapd().add(ldif, &loadOutput_);
    }

protected:
    void SetUp() override
    {
        SlapdSuite::SetUp();
        ASSERT_TRUE(loaded_) << loadOutput_;
        ldap_.reset(new Ldap(err_, slapd().url().c_str(), Slapd::kRootDN, Slapd::kRootPassword,
                             nullptr, nullptr));
        ASSERT_EQ(err_.code, 0);
    }
    void TearDown() override { ldap_.reset(); }

    // Adds one more domain (below o=CorvidRoot, not of class cvAdminDomain,
    // so the fallback never sees it) for the reading cases.
    void addDirectory(const std::string& name, const std::string& attrs)
    {
        std::string domain = "ou=" + name + ", o=CorvidRoot";
        std::string out;
        if (slapd().exists("ou=" + name + ",o=CorvidRoot"))
            return;
        ASSERT_TRUE(
            slapd().add("dn: " + domain + "\nobjectclass: organizationalUnit\nou: " + name +
                            "\n\n" + "dn: ou=Global Preferences, " + domain +
                            "\nobjectclass: organizationalUnit\nou: Global Preferences\n\n" +
                            "dn: cn=UserDirectory, ou=Global Preferences, " + domain +
                            "\nobjectclass: cvDirectoryInfo\ncn: UserDirectory\n" + attrs,
                        &out))
            << out;
    }

    std::string lookup(const char* domain, bool withBind = false, int* code = nullptr)
    {
        char* url = nullptr;
        char* bindDN = nullptr;
        char* bindPwd = nullptr;
        int rc = setupGetGlobalUserDirectory(
            ldap_.get(), domain, &url, withBind ? &bindDN : nullptr, withBind ? &bindPwd : nullptr);
        if (code)
            *code = rc;
        std::string result = url ? url : "(null)";
        if (withBind)
            result += std::string(" | ") + (bindDN ? bindDN : "(null)") + " | " +
                      (bindPwd ? bindPwd : "(null)");
        free(url);
        free(bindDN);
        free(bindPwd);
        return result;
    }

    inline static bool loaded_ = false;
    inline static std::string dead_;
    inline static std::string loadOutput_;
    LdapError err_;
    std::unique_ptr<Ldap> ldap_;
};

TEST_F(UserDirectory, FailoverHostsGoBeforeTheBase)
{
    addDirectory(
        "Failover",
        "cvDirectoryURL: ldap://h1:389/o=example\ncvDirectoryFailoverList: h2:389 h3:389\n");
    int code = -1;
    EXPECT_EQ(lookup("Failover", false, &code), "ldap://h1:389 h2:389 h3:389/o=example");
    EXPECT_EQ(code, 0);
}

TEST_F(UserDirectory, WithoutFailoverTheStoredUrlIsReturned)
{
    addDirectory(
        "Single",
        "cvDirectoryURL: ldap://h1:389/o=example\ncvBindDN: cn=binder\ncvBindPassword: pw\n");
    EXPECT_EQ(lookup("Single"), "ldap://h1:389/o=example");
    EXPECT_EQ(lookup("Single", true), "ldap://h1:389/o=example | cn=binder | pw");
}

TEST_F(UserDirectory, BaseIsSplitAtTheFirstSlashAfterTheScheme)
{
    addDirectory("Slash", "cvDirectoryURL: ldap://h1:389/o=a/b\ncvDirectoryFailoverList: h2:389\n");
    addDirectory("NoBase", "cvDirectoryURL: ldap://h1:389\ncvDirectoryFailoverList: h2:389\n");
    EXPECT_EQ(lookup("Slash"), "ldap://h1:389 h2:389/o=a/b");
    EXPECT_EQ(lookup("NoBase"), "ldap://h1:389 h2:389");
}

TEST_F(UserDirectory, BareNameAndDnNameTheSameDomain)
{
    addDirectory(
        "Failover",
        "cvDirectoryURL: ldap://h1:389/o=example\ncvDirectoryFailoverList: h2:389 h3:389\n");
    EXPECT_EQ(lookup("Failover"), lookup("ou=Failover, o=CorvidRoot"));
    EXPECT_EQ(lookup("ou=Failover,o=CorvidRoot"), "ldap://h1:389 h2:389 h3:389/o=example");
}

TEST_F(UserDirectory, EntryWithoutUrlSucceedsWithNone)
{
    addDirectory("Empty", "description: no url here\n");
    int code = -1;
    EXPECT_EQ(lookup("Empty", true, &code), "(null) | (null) | (null)");
    EXPECT_EQ(code, 0);
}

TEST_F(UserDirectory, MissingDomainAndNullArgumentsAreRefused)
{
    int code = 0;
    lookup("NoSuchDomain", true, &code);
    EXPECT_EQ(code, SETUP_LDAP_NO_ENTRIES);
    char* url = reinterpret_cast<char*>(1);
    EXPECT_EQ(setupGetGlobalUserDirectory(nullptr, "Sales", &url, nullptr, nullptr),
              SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(setupGetGlobalUserDirectory(ldap_.get(), nullptr, &url, nullptr, nullptr),
              SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(setupGetGlobalUserDirectory(ldap_.get(), "Sales", nullptr, nullptr, nullptr),
              SETUP_LDAP_BAD_ARGUMENT);
    url = nullptr;
    EXPECT_EQ(getGlobalUserDirectory(ldap_.get(), "Sales", &url, nullptr, nullptr), 0);
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(std::string(url), "ldap://" + dead_ + " " + slapd().hostPort() + "/o=UserRoot");
    free(url);
}

TEST_F(UserDirectory, UserIdIsFoundInAnAdminDomainsDirectory)
{
    LdapError err;
    Ldap ldap(err, slapd().url().c_str(), "carol", "carol-pw", nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    EXPECT_STREQ(ldap.userDN(), "uid=carol,o=UserRoot");
    EXPECT_STREQ(ldap.userPassword(), "carol-pw");
    EXPECT_STREQ(ldap.host(), "127.0.0.1");
}

TEST_F(UserDirectory, WrongPasswordInTheDomainDirectoryIsRefused)
{
    LdapError err;
    Ldap ldap(err, slapd().url().c_str(), "carol", "not-carols", nullptr, nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_AUTH_FAILED);
    EXPECT_EQ(ldap.userDN(), nullptr);
    EXPECT_EQ(ldap.host(), nullptr);
}

TEST_F(UserDirectory, UnknownUserEndsAfterTheLastDomainWithoutRecursing)
{
    LdapError err;
    Ldap ldap(err, slapd().url().c_str(), "ghost", "x", nullptr, nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_NO_ENTRIES);
    EXPECT_EQ(ldap.userDN(), nullptr);
}

TEST_F(UserDirectory, NoFallbackBelowAnotherBase)
{
    LdapError err;
    Ldap ldap(err, slapd().url("ou=Sales,o=CorvidRoot").c_str(), "carol", "carol-pw", nullptr,
              nullptr);
    EXPECT_EQ(err.code, SETUP_LDAP_NO_ENTRIES);
}

} // namespace

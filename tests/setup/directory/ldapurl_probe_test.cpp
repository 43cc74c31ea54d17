// The server and user probes against a real slapd.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "setup_compat.h"
#include "setup_host.h"
#include "setup_ldapurl.h"
#include "setup_util.h"
#include "slapd.h"

namespace {

using cvtest::Slapd;

class ProbeTest : public cvtest::SlapdSuite<ProbeTest> {
public:
    static void SetUpTestSuite()
    {
        cvtest::SlapdSuite<ProbeTest>::SetUpTestSuite();
        slapd().add("dn: ou=People, o=CorvidRoot\nobjectclass: organizationalUnit\nou: People\n");
        slapd().add(Slapd::personLdif(kAlice, "alice", "alice-pw"));
    }

protected:
    static constexpr const char* kAlice = "uid=alice,ou=People,o=CorvidRoot";
    int port() { return slapd().port(); }

    // The probe's answer; *dn receives what the user text became.
    int user(const char* name, const char* password, int wantDN, std::string* dn = nullptr,
             const char* base = Slapd::kBase)
    {
        char* text = strdup(name);
        int ok = setupIsValidLdapUser("127.0.0.1", port(), base, &text, password, wantDN);
        if (dn)
            *dn = text;
        free(text);
        return ok;
    }
};

TEST_F(ProbeTest, ServerAnswersWithRightCredentialsOrAnonymously)
{
    EXPECT_EQ(setupIsValidLdapServer("127.0.0.1", port(), Slapd::kBase, Slapd::kRootDN,
                                     Slapd::kRootPassword),
              1);
    EXPECT_EQ(IsValidLdapServer("127.0.0.1", port(), Slapd::kBase, nullptr, nullptr), 1);
    EXPECT_EQ(setupIsValidLdapServer("127.0.0.1", port(), "o=NoSuchBase", nullptr, nullptr), 0);
}

TEST_F(ProbeTest, ServerRefusesWrongOrMissingPassword)
{
    EXPECT_EQ(setupIsValidLdapServer("127.0.0.1", port(), Slapd::kBase, Slapd::kRootDN, "wrong"),
              0);
    EXPECT_EQ(setupIsValidLdapServer("127.0.0.1", port(), Slapd::kBase, Slapd::kRootDN, ""), 0);
    EXPECT_EQ(setupIsValidLdapServer("127.0.0.1", port(), Slapd::kBase, Slapd::kRootDN, nullptr),
              0);
    EXPECT_EQ(setupIsValidLdapServer(nullptr, port(), Slapd::kBase, nullptr, nullptr), 0);
    EXPECT_EQ(setupIsValidLdapServer("127.0.0.1", 0, Slapd::kBase, nullptr, nullptr), 0);
}

TEST_F(ProbeTest, UserIdAuthenticatesAndResolvesToItsDn)
{
    std::string dn;
    EXPECT_EQ(user("alice", "alice-pw", 1, &dn), 1);
    EXPECT_EQ(dn, kAlice);
    EXPECT_EQ(user("alice", "alice-pw", 0, &dn), 1);
    EXPECT_EQ(dn, "alice");
    EXPECT_EQ(user(kAlice, "alice-pw", 1, &dn), 1);
    EXPECT_EQ(dn, kAlice);
    // A base DN with blanks travels percent-encoded in the URL.
    EXPECT_EQ(user("alice", "alice-pw", 0, nullptr, "ou=People, o=CorvidRoot"), 1);
}

TEST_F(ProbeTest, UserRefusedWithoutTheRightPasswordOrWithWildcards)
{
    std::string dn;
    EXPECT_EQ(user("alice", "wrong", 1, &dn), 0);
    EXPECT_EQ(dn, "alice");
    EXPECT_EQ(user("alice", "", 1), 0);
    EXPECT_EQ(user(kAlice, "", 1), 0);
    EXPECT_EQ(user("*", "alice-pw", 1, &dn), 0);
    EXPECT_EQ(dn, "*");
    EXPECT_EQ(user("al*", "alice-pw", 1), 0);
    EXPECT_EQ(user("alice)(uid=*", "alice-pw", 1), 0);
    EXPECT_EQ(user("", "alice-pw", 1), 0);
    char* none = nullptr;
    EXPECT_EQ(IsValidLdapUser("127.0.0.1", port(), Slapd::kBase, &none, "alice-pw", 1), 0);
    EXPECT_EQ(IsValidLdapUser("127.0.0.1", port(), Slapd::kBase, nullptr, "alice-pw", 1), 0);
}

TEST_F(ProbeTest, ClosedPortAnswersZeroQuickly)
{
    int closed = setupGetRandomNetworkPort();
    ASSERT_GT(closed, 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(setupIsValidLdapServer("127.0.0.1", closed, Slapd::kBase, nullptr, nullptr), 0);
    char* name = strdup("alice");
    EXPECT_EQ(setupIsValidLdapUser("127.0.0.1", closed, Slapd::kBase, &name, "alice-pw", 1), 0);
    EXPECT_STREQ(name, "alice");
    free(name);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

} // namespace

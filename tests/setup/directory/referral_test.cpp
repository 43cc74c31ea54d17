// Referrals are followed with the connection's own credentials, and only to
// a server that the connection's URL lists: a write and a read sent to one
// server are referred to a second one that serves nothing to anonymous
// clients, and a referral anywhere else (an entry of class "referral", a
// server's default referral) never receives a byte.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cvldap.h"
#include "ldapentry.h"
#include "recording_listener.h"
#include "slapd.h"

namespace {

using cvtest::Slapd;

class ReferralChase : public testing::Test {
protected:
    void SetUp() override
    {
        cvtest::SlapdOptions remoteOptions;
        remoteOptions.anonymousRead = false;
        remote_.reset(new Slapd(remoteOptions));
        ASSERT_TRUE(remote_->start()) << remote_->error();
        ASSERT_TRUE(remote_->add(
            "dn: ou=Remote, o=CorvidRoot\nobjectclass: organizationalUnit\nou: Remote\n\n"
            "dn: cn=there, ou=Remote, o=CorvidRoot\nobjectclass: cvTestEntry\ncn: there\n"
            "description: served by the second server\n"));
        cvtest::SlapdOptions localOptions;
        // DNs no database holds are referred to the recording listener.
        localOptions.defaultReferral = "ldap://" + rogue_.hostPort() + "/";
        local_.reset(new Slapd(localOptions));
        ASSERT_TRUE(local_->start()) << local_->error();
        std::string out;
        ASSERT_TRUE(local_->add("dn: ou=Remote, o=CorvidRoot\nobjectclass: referral\n"
                                "objectclass: extensibleObject\nou: Remote\nref: " +
                                    remote_->url("ou=Remote,o=CorvidRoot") +
                                    "\n\n"
                                    "dn: ou=Rogue, o=CorvidRoot\nobjectclass: referral\n"
                                    "objectclass: extensibleObject\nou: Rogue\nref: ldap://" +
                                    rogue_.hostPort() + "/ou=Rogue,o=CorvidRoot\n",
                                &out, true))
            << out;
    }

    // The local server, and the remote one as the second host of the list.
    std::string bothUrl() const
    {
        return "ldap://" + local_->hostPort() + " " + remote_->hostPort() + "/o=CorvidRoot";
    }

    cvtest::RecordingListener rogue_;
    std::unique_ptr<Slapd> remote_;
    std::unique_ptr<Slapd> local_;
};

TEST_F(ReferralChase, ReferredWriteToAListedServerSucceedsWithTheSameCredentials)
{
    LdapError err;
    Ldap ldap(err, bothUrl().c_str(), Slapd::kRootDN, Slapd::kRootPassword, nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    EXPECT_EQ(std::string(ldap.server()), "ldap://" + local_->hostPort());
    {
        LdapEntry entry(&ldap);
        entry.addAttribute("objectclass", "cvTestEntry");
        entry.addAttribute("cn", "written");
        LdapError wrote = entry.insert("cn=written, ou=Remote, o=CorvidRoot");
        EXPECT_EQ(wrote.code, 0) << wrote.message;
    }
    EXPECT_TRUE(remote_->exists("cn=written,ou=Remote,o=CorvidRoot"));
    EXPECT_FALSE(local_->exists("cn=written,ou=Remote,o=CorvidRoot"));
}

TEST_F(ReferralChase, ReferredReadOfAListedServerSeesWhatOnlyTheUserMaySee)
{
    LdapError err;
    Ldap ldap(err, bothUrl().c_str(), Slapd::kRootDN, Slapd::kRootPassword, nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    LdapEntry entry(&ldap);
    LdapError read = entry.retrieve("cn=there, ou=Remote, o=CorvidRoot");
    ASSERT_EQ(read.code, 0) << read.message;
    char* value = entry.getAttribute("description");
    EXPECT_STREQ(value, "served by the second server");
    free(value);
}

TEST_F(ReferralChase, ReferralToAServerTheUrlDoesNotListIsRefusedAndNamed)
{
    LdapError err;
    Ldap ldap(err, local_->url().c_str(), Slapd::kRootDN, Slapd::kRootPassword, nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    LdapEntry entry(&ldap);
    entry.addAttribute("objectclass", "cvTestEntry");
    entry.addAttribute("cn", "kept");
    EXPECT_EQ(entry.insert("cn=kept, ou=Remote, o=CorvidRoot").code, LDAP_REFERRAL);
    EXPECT_FALSE(remote_->exists("cn=kept,ou=Remote,o=CorvidRoot"));
    ASSERT_NE(ldap.referralRefusal(), nullptr);
    EXPECT_NE(std::string(ldap.referralRefusal())
                  .find("ldap://" + remote_->hostPort() + "/cn=kept,ou=Remote,o=CorvidRoot"),
              std::string::npos)
        << ldap.referralRefusal();
    LdapEntry reader(&ldap);
    EXPECT_EQ(reader.retrieve("cn=there, ou=Remote, o=CorvidRoot").code, LDAP_REFERRAL);
}

TEST_F(ReferralChase, PasswordNeverReachesAHostThatAnEntryOrAServerNames)
{
    LdapError err;
    Ldap ldap(err, bothUrl().c_str(), Slapd::kRootDN, Slapd::kRootPassword, nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    LdapEntry entry(&ldap);
    entry.addAttribute("objectclass", "cvTestEntry");
    entry.addAttribute("cn", "bait");
    // An entry of class "referral", a server's default referral, and a
    // subtree search that meets the rogue entry as a continuation.
    EXPECT_EQ(entry.insert("cn=bait, ou=Rogue, o=CorvidRoot").code, LDAP_REFERRAL);
    EXPECT_EQ(entry.insert("cn=bait, o=Elsewhere").code, LDAP_REFERRAL);
    EXPECT_EQ(entry.dropAll("ou=x, ou=Rogue, o=CorvidRoot").code, LDAP_REFERRAL);
    LdapEntry reader(&ldap);
    EXPECT_EQ(reader.retrieve("(objectclass=*)", LDAP_SCOPE_SUBTREE, "o=CorvidRoot").code, 0);
    EXPECT_EQ(reader.retrieve("cn=bait, ou=Rogue, o=CorvidRoot").code, LDAP_REFERRAL);
    EXPECT_EQ(rogue_.connections(), 0);
    EXPECT_FALSE(rogue_.saw(Slapd::kRootPassword));
    EXPECT_EQ(rogue_.received(), "");
}

TEST_F(ReferralChase, AnonymousConnectionIsReferredAnonymously)
{
    LdapError err;
    Ldap ldap(err, bothUrl().c_str(), nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    LdapEntry entry(&ldap);
    entry.addAttribute("objectclass", "cvTestEntry");
    entry.addAttribute("cn", "sneaked");
    EXPECT_NE(entry.insert("cn=sneaked, ou=Remote, o=CorvidRoot").code, 0);
    EXPECT_FALSE(remote_->exists("cn=sneaked,ou=Remote,o=CorvidRoot"));
    LdapEntry reader(&ldap);
    EXPECT_NE(reader.retrieve("cn=there, ou=Remote, o=CorvidRoot").code, 0);
}

} // namespace

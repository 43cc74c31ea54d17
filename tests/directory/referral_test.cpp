// Referrals are followed with the connection's own credentials: a write and
// a read sent to one server are referred to a second one that serves
// nothing to anonymous clients.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cvldap.h"
#include "ldapentry.h"
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
        ASSERT_TRUE(remote_->add("dn: ou=Remote, o=CorvidRoot\nobjectclass: organizationalUnit\nou: Remote\n\n"
                                 "dn: cn=there, ou=Remote, o=CorvidRoot\nobjectclass: cvTestEntry\ncn: there\n"
                                 "description: served by the second server\n"));
        local_.reset(new Slapd());
        ASSERT_TRUE(local_->start()) << local_->error();
        std::string out;
        ASSERT_TRUE(local_->add("dn: ou=Remote, o=CorvidRoot\nobjectclass: referral\n"
                                "objectclass: extensibleObject\nou: Remote\nref: " +
                                    remote_->url("ou=Remote,o=CorvidRoot") + "\n",
                                &out, true))
            << out;
    }

    std::unique_ptr<Slapd> remote_;
    std::unique_ptr<Slapd> local_;
};

TEST_F(ReferralChase, ReferredWriteSucceedsWithTheSameCredentials)
{
    LdapError err;
    Ldap ldap(err, local_->url().c_str(), Slapd::kRootDN, Slapd::kRootPassword, nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
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

TEST_F(ReferralChase, ReferredReadSeesWhatOnlyTheUserMaySee)
{
    LdapError err;
    Ldap ldap(err, local_->url().c_str(), Slapd::kRootDN, Slapd::kRootPassword, nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    LdapEntry entry(&ldap);
    LdapError read = entry.retrieve("cn=there, ou=Remote, o=CorvidRoot");
    ASSERT_EQ(read.code, 0) << read.message;
    char* value = entry.getAttribute("description");
    EXPECT_STREQ(value, "served by the second server");
    free(value);
}

TEST_F(ReferralChase, AnonymousConnectionIsReferredAnonymously)
{
    LdapError err;
    Ldap ldap(err, local_->url().c_str(), nullptr, nullptr, nullptr, nullptr);
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

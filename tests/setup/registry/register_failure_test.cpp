// Registration that meets a failure part-way: a failed search or read is
// returned instead of being taken for "missing", and a parent written with
// the member it was about to get loses that member again when the member
// cannot be written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "register_fixture.h"

namespace {

using namespace cvtest;

const char* const kRegistrar = "uid=registrar, o=CorvidRoot";

// The registrar may write everything but, as every user other than the
// root DN, gets at most one entry per search.
class FailedRegistration : public RegisterSuite<FailedRegistration> {
public:
    static SlapdOptions slapdOptions()
    {
        SlapdOptions o = RegisterSuite<FailedRegistration>::slapdOptions();
        o.sizeLimit = 1;
        o.writers = {kRegistrar};
        return o;
    }

protected:
    void SetUp() override
    {
        RegisterSuite<FailedRegistration>::SetUp();
        if (HasFatalFailure())
            return;
        std::string out;
        ASSERT_TRUE(server().add(Slapd::personLdif(kRegistrar, "registrar", "registrar-pw"), &out))
            << out;
        entries_.clear();
        LdapError err;
        ldap_.reset(
            new Ldap(err, server().url().c_str(), kRegistrar, "registrar-pw", nullptr, nullptr));
        ASSERT_EQ(err.code, 0) << err.message;
    }

    // A referral left by a test would turn the next reset's deletions away.
    void TearDown() override
    {
        const std::string command = "ldapdelete -M -x -H " + server().url("") + " -D '" +
                                    Slapd::kRootDN + "' -w " + Slapd::kRootPassword + " '" +
                                    productDN(kEast) + "' >/dev/null 2>&1";
        EXPECT_GE(std::system(command.c_str()), 0);
        RegisterSuite<FailedRegistration>::TearDown();
    }

    void addLdif(const std::string& ldif)
    {
        std::string out;
        ASSERT_TRUE(server().add(ldif, &out)) << out;
    }

    // Host alpha with two admin groups that both claim the server root.
    void hostWithTwoGroupsOfOneRoot()
    {
        addLdif(
            "dn: " + hostDN(kEast.host) +
            "\nobjectclass: cvHost\nobjectclass: groupOfUniqueNames\ncn: alpha.example.com\n\n"
            "dn: " +
            groupDN(kEast.host) +
            "\nobjectclass: cvAdminGroup\nobjectclass: groupOfUniqueNames\ncn: Server Group\n"
            "cvConfigRoot: /srv/r1\n\n"
            "dn: " +
            groupDN(kEast.host, "Server Group (2)") +
            "\nobjectclass: cvAdminGroup\nobjectclass: groupOfUniqueNames\ncn: Server Group (2)\n"
            "cvConfigRoot: /srv/r1\n");
    }
};

TEST_F(FailedRegistration, FailedGroupSearchIsReturnedAndMakesNoFurtherGroup)
{
    hostWithTwoGroupsOfOneRoot();
    EXPECT_EQ(registerInstance(kEast), LDAP_SIZELIMIT_EXCEEDED);
    EXPECT_EQ(server().count(hostDN(kEast.host), "(objectclass=*)", "one"), 2);
    EXPECT_FALSE(server().exists(groupDN(kEast.host, "Server Group (3)")));
    EXPECT_TRUE(members(hostDN(kEast.host)).empty());
}

TEST_F(FailedRegistration, FailedProductReadIsReturnedAndOverwritesNothing)
{
    // The product's DN names a referral: a read of it fails with 10, and
    // the product entry must not be written over.
    addLdif("dn: " + hostDN(kEast.host) +
            "\nobjectclass: cvHost\nobjectclass: groupOfUniqueNames\ncn: alpha.example.com\n\n"
            "dn: " +
            groupDN(kEast.host) +
            "\nobjectclass: cvAdminGroup\nobjectclass: groupOfUniqueNames\ncn: Server Group\n"
            "cvConfigRoot: /srv/r1\n\n"
            "dn: " +
            productDN(kEast) +
            "\nobjectclass: referral\nobjectclass: extensibleObject\ncn: Corvid Directory Server\n"
            "ref: ldap://127.0.0.1:9/o=Elsewhere\n");
    EXPECT_EQ(registerInstance(kEast), LDAP_REFERRAL);
    EXPECT_TRUE(members(groupDN(kEast.host)).empty());
    EXPECT_EQ(server().count(hostDN(kEast.host), "(objectclass=cvAdminGroup)", "one"), 1);
}

TEST_F(FailedRegistration, NewParentsLoseTheMemberThatCouldNotBeWritten)
{
    // A product the server refuses (an attribute no schema knows): the new
    // host keeps its new group, the new group lists no product.
    LdapEntry* isie = isieFor(kEast);
    isie->setAttribute("cvNoSuchAttribute", "x");
    EXPECT_EQ(
        setupCreateSIE(sieFor(kEast), isie, kEast.host.c_str(), kEast.root.c_str(), "example.com"),
        LDAP_UNDEFINED_TYPE);
    EXPECT_EQ(members(hostDN(kEast.host)), std::set<std::string>{normDN(groupDN(kEast.host))});
    EXPECT_TRUE(members(groupDN(kEast.host)).empty());
    EXPECT_FALSE(server().exists(productDN(kEast)));

    // An instance the server refuses: the new product lists no instance,
    // and the product entry handed back holds what is stored.
    connect();
    LdapEntry* sie = sieFor(kEast);
    sie->setAttribute("cvNoSuchAttribute", "x");
    isie = isieFor(kEast);
    const Instance second{"slapd-east", kEast.product, "beta.example.com", kEast.root};
    EXPECT_EQ(setupCreateSIE(sie, isie, second.host.c_str(), second.root.c_str(), "example.com"),
              LDAP_UNDEFINED_TYPE);
    EXPECT_TRUE(server().exists(productDN(second)));
    EXPECT_TRUE(members(productDN(second)).empty());
    char** held = isie->getAttributes("uniquemember");
    EXPECT_EQ(held, nullptr);
    isie->freeAttributes(held);
}

} // namespace

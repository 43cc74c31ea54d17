// One server per entry suite, a connection bound as its rootdn, and helpers
// that read the server back with the ldap tools.
#ifndef CV_TEST_ENTRY_FIXTURE_H
#define CV_TEST_ENTRY_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cvldap.h"
#include "ldapentry.h"
#include "slapd.h"

namespace cvtest {

template <class Derived>
class EntrySuite : public SlapdSuite<Derived> {
protected:
    void SetUp() override
    {
        SlapdSuite<Derived>::SetUp();
        if (testing::Test::HasFatalFailure())
            return;
        LdapError err;
        ldap_.reset(new Ldap(err, this->slapd().url().c_str(), Slapd::kRootDN, Slapd::kRootPassword,
                             nullptr, nullptr));
        ASSERT_EQ(err.code, 0) << err.message;
    }
    void TearDown() override { ldap_.reset(); }

    // A test's own container below o=CorvidRoot, created fresh.
    std::string container(const std::string& name)
    {
        std::string dn = "ou=" + name + ", o=CorvidRoot";
        this->slapd().remove(dn, true);
        EXPECT_TRUE(this->slapd().add("dn: " + dn +
                                      "\nobjectclass: organizationalUnit\nou: " + name + "\n"));
        return dn;
    }
    std::vector<std::string> values(const std::string& dn, const std::string& attr)
    {
        return this->slapd().values(dn, attr);
    }
    static std::vector<std::string> list(LdapEntry& entry, char** owned)
    {
        std::vector<std::string> out;
        for (char** v = owned; v && *v; ++v)
            out.push_back(*v);
        entry.freeAttributes(owned);
        return out;
    }

    std::unique_ptr<Ldap> ldap_;
};

} // namespace cvtest

#endif

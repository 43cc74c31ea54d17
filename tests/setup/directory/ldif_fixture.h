// The LDIF loader's tests: one slapd per suite with the suffixes o=LdifOurs
// and o=LdifTheirs, a connection bound as its rootdn, scratch files, and the
// install log read back from where it stood when the test began.
#ifndef CV_TEST_LDIF_FIXTURE_H
#define CV_TEST_LDIF_FIXTURE_H

#include <string>

#include "cvsetup.h"
#include "install_log.h"
#include "slapd.h"
#include "tempdir.h"

class LdifLoadTest : public cvtest::SlapdSuite<LdifLoadTest> {
public:
    static cvtest::SlapdOptions slapdOptions()
    {
        cvtest::SlapdOptions o;
        o.extraSuffixes = {"o=LdifOurs", "o=LdifTheirs"};
        return o;
    }

protected:
    void SetUp() override
    {
        SlapdSuite<LdifLoadTest>::SetUp();
        ASSERT_EQ(setupCreateLdap(&ldap_, slapd().url().c_str(), cvtest::Slapd::kRootDN,
                                  cvtest::Slapd::kRootPassword, nullptr, nullptr),
                  0);
    }
    void TearDown() override
    {
        setupDestroyLdap(ldap_);
        slapd().remove("ou=T,o=LdifOurs", true);
    }
    // Log lines written since the test began.
    std::string newLog() const { return log_.lines(); }
    std::string file(const std::string& name, const std::string& text)
    {
        dir_.write(name, text);
        return dir_.file(name);
    }

    Ldap* ldap_ = nullptr;
    cvtest::TempDir dir_;
    cvtest::TestLog log_;
};

#endif

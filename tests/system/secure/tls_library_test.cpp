// The library over TLS, in this process: registration and an LDIF load
// through ldaps:// and through StartTLS, against a server that takes simple
// binds only over TLS. libldap reads its client configuration once per
// process, so the configuration naming the test CA is put in place before
// the first call (ctest runs every test in a process of its own).
#include <gtest/gtest.h>

#include <cstdlib>

#include "register_fixture.h"
#include "setup_ldap.h"
#include "setup_ldif.h"
#include "tempdir.h"

namespace {

using namespace cvtest;

class TlsLibrary : public RegisterSuite<TlsLibrary> {
public:
    static SlapdOptions slapdOptions()
    {
        SlapdOptions o = RegisterSuite<TlsLibrary>::slapdOptions();
        o.tls = true;
        return o;
    }
    static void SetUpTestSuite()
    {
        RegisterSuite<TlsLibrary>::SetUpTestSuite();
        unsetenv("LDAPNOINIT");
        for (const std::string& e : slapd().clientEnvironment()) {
            size_t eq = e.find('=');
            setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
    }

    std::string connectionUrl() { return startTls_ ? server().url() : server().ldapsUrl(); }

protected:
    void SetUp() override
    {
        char* ca = nullptr;
        ldap_get_option(nullptr, LDAP_OPT_X_TLS_CACERTFILE, &ca);
        std::string active = ca ? ca : "";
        ldap_memfree(ca);
        ASSERT_EQ(active, slapd().caFile() + "")
            << "libldap read its configuration before this suite set it: "
               "run the test in a process of its own";
        RegisterSuite<TlsLibrary>::SetUp();
    }
    void TearDown() override
    {
        RegisterSuite<TlsLibrary>::TearDown();
        setupRequireStartTLS(0);
    }

    void registerAndLoad()
    {
        Instance in{"slapd-tls", "Corvid Directory Server", "tls.example.com", "/srv/tls"};
        ASSERT_EQ(registerInstance(in), 0);
        EXPECT_TRUE(server().exists("cn=slapd-tls, cn=Corvid Directory Server, " +
                                    groupDN("tls.example.com")));
        TempDir dir("tlsldif");
        dir.write("load.ldif", "dn: ou=Loaded\nobjectclass: organizationalUnit\nou: Loaded\n\n"
                               "dn: cn=one, ou=Loaded\nobjectclass: cvTestEntry\ncn: one\n");
        EXPECT_EQ(setupReplaceLdifEntries(ldap_.get(), "o=CorvidRoot",
                                          dir.file("load.ldif").c_str(), nullptr),
                  0);
        EXPECT_TRUE(server().exists("cn=one,ou=Loaded,o=CorvidRoot"));
    }

    bool startTls_ = false;
};

TEST_F(TlsLibrary, RegistrationAndLdifLoadWorkOverLdaps)
{
    EXPECT_EQ(std::string(ldap_->server()),
              "ldaps://127.0.0.1:" + std::to_string(slapd().tlsPort()));
    registerAndLoad();
}

TEST_F(TlsLibrary, RegistrationAndLdifLoadWorkOverStartTls)
{
    // Without StartTLS the server refuses the simple bind...
    Ldap* plain = nullptr;
    EXPECT_NE(setupCreateLdap(&plain, server().url().c_str(), Slapd::kRootDN, Slapd::kRootPassword,
                              nullptr, nullptr),
              0);
    EXPECT_EQ(plain, nullptr);
    // ...with it, everything goes through.
    setupRequireStartTLS(1);
    startTls_ = true;
    connect();
    ASSERT_NE(ldap_.get(), nullptr);
    registerAndLoad();
}

} // namespace

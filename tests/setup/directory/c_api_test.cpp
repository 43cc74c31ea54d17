// Runs the C-language checks of the plain-function interface against a real
// slapd (with a cn=config,cn=ldbm entry for the suffix writer).
#include <gtest/gtest.h>

#include <string>

#include "c_api_checks.h"
#include "directory_fixture.h"
#include "setup_ldap.h"
#include "slapd.h"

namespace {

using cvtest::Slapd;

class PlainFunctions : public cvtest::SlapdSuite<PlainFunctions> {
public:
    static cvtest::SlapdOptions slapdOptions()
    {
        cvtest::SlapdOptions o;
        o.extraSuffixes = {"cn=ldbm"};
        return o;
    }
    static void SetUpTestSuite()
    {
        SlapdSuite::SetUpTestSuite();
        if (slapd().running())
            slapd().add(cvtest::peopleLdif() +
                        "dn: cn=config,cn=ldbm\nobjectclass: cvTestEntry\ncn: config\n\n" +
                        "dn: ou=CApi, o=CorvidRoot\nobjectclass: organizationalUnit\nou: CApi\n");
    }
};

TEST_F(PlainFunctions, NullArgumentsNeverReachTheClasses)
{
    EXPECT_EQ(capi_null_arguments(), 0)
        << "failed at line " << capi_null_arguments() << " of c_api_checks.c";
}

TEST_F(PlainFunctions, ConnectionHandlesAndAuthentication)
{
    std::string dead = "ldap://127.0.0.1:" + std::to_string(cvtest::closedPort()) + "/";
    int line =
        capi_connections(slapd().url().c_str(), dead.c_str(), Slapd::kRootDN, Slapd::kRootPassword);
    EXPECT_EQ(line, 0) << "failed at line " << line << " of c_api_checks.c";
}

TEST_F(PlainFunctions, EntryHandlesWriteReadAndDelete)
{
    testing::internal::CaptureStdout();
    int line = capi_entries(slapd().url().c_str(), Slapd::kRootDN, Slapd::kRootPassword,
                            "ou=CApi, o=CorvidRoot");
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(line, 0) << "failed at line " << line << " of c_api_checks.c";
    EXPECT_NE(printed.find("kid"), std::string::npos) << printed;
    EXPECT_EQ(slapd().values("cn=config,cn=ldbm", "cvslapd-suffix"),
              std::vector<std::string>{"o=NewSuffix"});
    EXPECT_FALSE(slapd().exists("cn=capi,ou=CApi,o=CorvidRoot"));
}

// libldap answers calls on a connection whose server went away with -1;
// the interface promises 0, an LDAP code or one of ours, so that is 151.
TEST(PlainFunctionsServerGone, EntryCallsReportALostServerAsCouldNotConnect)
{
    Slapd server;
    ASSERT_TRUE(server.start()) << server.error();
    Ldap* ldap = nullptr;
    ASSERT_EQ(setupCreateLdap(&ldap, server.url().c_str(), Slapd::kRootDN, Slapd::kRootPassword,
                              nullptr, nullptr),
              0);
    LdapEntry* entry = setupCreateLdapEntry(ldap);
    ASSERT_NE(entry, nullptr);
    server.stop();

    EXPECT_EQ(setupRetrieveLdapEntries(entry, "(objectclass=*)", 2, "o=CorvidRoot"),
              SETUP_LDAP_CONNECT_FAILED);
    EXPECT_EQ(setupRetrieveLdapEntry(entry, "o=CorvidRoot"), SETUP_LDAP_CONNECT_FAILED);
    setupSetLdapAttribute(entry, "objectclass", "organizationalUnit");
    EXPECT_EQ(setupInsertLdapEntry(entry, "ou=Gone, o=CorvidRoot"), SETUP_LDAP_CONNECT_FAILED);
    EXPECT_EQ(setupDropLdapEntry(ldap, "ou=Gone, o=CorvidRoot"), SETUP_LDAP_CONNECT_FAILED);
    EXPECT_EQ(setupDropAllLdapEntries(ldap, "ou=Gone, o=CorvidRoot"), SETUP_LDAP_CONNECT_FAILED);
    EXPECT_EQ(setupLdapModify(ldap, "o=CorvidRoot", nullptr), SETUP_LDAP_CONNECT_FAILED);
    setupDestroyLdapEntry(entry);
    setupDestroyLdap(ldap);
}

} // namespace

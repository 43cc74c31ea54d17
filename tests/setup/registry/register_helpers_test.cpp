// The operations around a registration, against a real slapd: the version
// refresh of a product entry, the admin domain and access helpers, and the
// user directory settings of domains, instances and admin groups. The C
// callers (register_c_api.c) go through the same server.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "c_text.h"
#include "ldapentry_internal.h"
#include "register_fixture.h"
#include "setup_compat.h"
#include "setup_registry_consts.h"
#include "setup_userdir.h"

extern "C" int cv_register_from_c(const char* url, const char* bindDN, const char* password,
                                  const char* host, const char* root);
extern "C" int cv_register_null_results(int results[8]);

namespace {

using namespace cvtest;

const std::string kProduct =
    "cn=Corvid Directory Server, cn=Server Group, cn=alpha.example.com, " + kDomainDN;
const std::string kSie = "cn=slapd-east, " + kProduct;

class VersionUpdate : public RegisterSuite<VersionUpdate> {
protected:
    LdapEntry* source()
    {
        LdapEntry* s = entry();
        s->setAttribute("cvVendor", "Corvid Labs");
        s->setAttribute("cvProductVersion", "6.0");
        s->setAttribute("cvBuildNumber", "2026.342");
        return s;
    }
    int update(LdapEntry* s, const char* product = "Corvid Directory Server",
               const char* root = "/srv/r1")
    {
        return setupUpdateISIEVersionInfo(ldap_.get(), s, product, kEast.host.c_str(), root,
                                          "example.com");
    }
};

TEST_F(VersionUpdate, CopiesTheVersionAttributesAndDropsThoseTheSourceLacks)
{
    LdapEntry* isie = isieFor(kEast);
    isie->setAttribute("cvSerialNumber", "SN-1");
    isie->setAttribute("description", "kept");
    ASSERT_EQ(
        setupCreateSIE(sieFor(kEast), isie, kEast.host.c_str(), kEast.root.c_str(), "example.com"),
        0);
    ASSERT_EQ(values(kProduct, "cvSerialNumber").size(), 1u);
    server().modify("dn: " + kProduct +
                    "\nchangetype: modify\nreplace: installationTimeStamp\n"
                    "installationTimeStamp: 20000101000000Z\n");

    EXPECT_EQ(update(source()), 0);
    EXPECT_EQ(values(kProduct, "cvVendor"), (std::vector<std::string>{"Corvid Labs"}));
    EXPECT_EQ(values(kProduct, "cvProductVersion"), (std::vector<std::string>{"6.0"}));
    EXPECT_EQ(values(kProduct, "cvBuildNumber"), (std::vector<std::string>{"2026.342"}));
    EXPECT_TRUE(values(kProduct, "cvSerialNumber").empty());
    EXPECT_EQ(values(kProduct, "description"), (std::vector<std::string>{"kept"}));
    EXPECT_EQ(members(kProduct), normSet({kSie}));
    EXPECT_NE(values(kProduct, "installationTimeStamp"),
              (std::vector<std::string>{"20000101000000Z"}));
}

TEST_F(VersionUpdate, UnregisteredProductChangesNothingAndSucceeds)
{
    ASSERT_EQ(registerInstance(kEast), 0);
    RegistryDump before = dumpRegistry(server());
    EXPECT_EQ(update(source(), "Unknown Product"), 0);
    EXPECT_EQ(update(source(), "Corvid Directory Server", "/srv/other"), 0);
    EXPECT_EQ(setupUpdateISIEVersionInfo(ldap_.get(), source(), "Corvid Directory Server",
                                         "other.example.com", "/srv/r1", "example.com"),
              0);
    EXPECT_EQ(dumpRegistry(server()), before);
}

TEST_F(VersionUpdate, MissingDomainEmptySourceAndNullsAreRefused)
{
    EXPECT_EQ(setupUpdateISIEVersionInfo(ldap_.get(), source(), "p", "h", "/r", "nowhere"),
              SETUP_LDAP_NO_ADMIN_DOMAIN);
    EXPECT_EQ(update(entry()), SETUP_LDAP_INCOMPLETE_ENTRY);
    EXPECT_EQ(setupUpdateISIEVersionInfo(ldap_.get(), nullptr, "p", "h", "/r", "d"),
              SETUP_LDAP_BAD_ARGUMENT);
}

class DomainHelpers : public RegisterSuite<DomainHelpers> {};

TEST_F(DomainHelpers, ConfigEntryAccessNamesTheGroupAndQuotesItsDn)
{
    LdapEntry* config = entry();
    ASSERT_EQ(setupCreateACIForConfigEntry(config, "cn=Admins, o=CorvidRoot"), 0);
    ASSERT_EQ(createACIForConfigEntry(config, "cn=say \"hi\"\\, there, o=CorvidRoot"), 0);
    std::vector<std::string> acis;
    char** values = config->getAttributes("aci");
    for (char** v = values; v && *v; ++v)
        acis.push_back(*v);
    config->freeAttributes(values);
    ASSERT_EQ(acis.size(), 2u);
    EXPECT_EQ(acis[0], filled(DEFAULT_SIE_CONFIG_ACI, "cn=Admins, o=CorvidRoot"));
    EXPECT_EQ(acis[1],
              filled(DEFAULT_SIE_CONFIG_ACI, "cn=say \\\"hi\\\"\\\\, there, o=CorvidRoot"));
    LdapEntry unbound(nullptr);
    EXPECT_EQ(setupCreateACIForConfigEntry(&unbound, "cn=g"), SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(setupCreateACIForConfigEntry(config, nullptr), SETUP_LDAP_BAD_ARGUMENT);
}

TEST_F(DomainHelpers, AdminDomainCheckTellsPresentMissingAndNoRoot)
{
    EXPECT_EQ(setupCheckAdminDomain(ldap_.get(), "example.com"), 0);
    EXPECT_EQ(checkAdminDomain(ldap_.get(), "ou=example.com,o=CorvidRoot"), 0);
    EXPECT_EQ(setupCheckAdminDomain(ldap_.get(), "nowhere"), SETUP_LDAP_NO_ENTRIES);
    EXPECT_EQ(setupCheckAdminDomain(ldap_.get(), nullptr), SETUP_LDAP_BAD_ARGUMENT);
    std::string out;
    ASSERT_TRUE(server().remove(Slapd::kBase, true, &out)) << out;
    EXPECT_EQ(setupCheckAdminDomain(ldap_.get(), nullptr), SETUP_LDAP_NO_CONFIG_ROOT);
    EXPECT_EQ(setupInstallFramework(ldap_.get(), "example.com"), SETUP_LDAP_NO_CONFIG_ROOT);
    ASSERT_TRUE(server().add("dn: o=CorvidRoot\nobjectclass: organization\no: CorvidRoot\n", &out))
        << out;
}

TEST_F(DomainHelpers, FrameworkGoesBelowTheDomainOrTheServerContainer)
{
    EXPECT_EQ(setupInstallFramework(ldap_.get(), nullptr), SETUP_LDAP_NO_ADMIN_DOMAIN);
    EXPECT_EQ(setupInstallFramework(ldap_.get(), "nowhere"), SETUP_LDAP_NO_ADMIN_DOMAIN);

    ASSERT_EQ(setupInstallFramework(ldap_.get(), "example.com"), 0);
    std::string prefs = "ou=Global Preferences, " + kDomainDN;
    EXPECT_EQ(values(prefs, "aci"), (std::vector<std::string>{DEFAULT_GLOBAL_PREFS_ACI}));
    // A second run refreshes the branch.
    server().modify("dn: " + prefs +
                    "\nchangetype: modify\nreplace: description\ndescription: old\n");
    ASSERT_EQ(setupInstallFramework(ldap_.get(), "example.com"), 0);
    EXPECT_EQ(values(prefs, "description"),
              (std::vector<std::string>{
                  "Default branch for Halcyon Server Products Global Preferences"}));

    ASSERT_TRUE(server().add("dn: ou=CorvidServers, o=CorvidRoot\nobjectclass: "
                             "organizationalUnit\nou: CorvidServers\n"));
    ASSERT_EQ(setupInstallFramework(ldap_.get(), nullptr), 0);
    EXPECT_TRUE(server().exists("ou=Global Preferences, ou=CorvidServers, o=CorvidRoot"));
    // No probe is left anywhere.
    EXPECT_EQ(server().count(Slapd::kBase, "(objectclass=cvResourceRef)"), 0);
}

TEST_F(DomainHelpers, WriteProbeLeavesNothingAndNeverTouchesAnotherEntry)
{
    ASSERT_TRUE(server().add("dn: cn=Delete Me, " + kDomainDN +
                             "\nobjectclass: cvResourceRef\ncn: Delete Me\n"));
    EXPECT_EQ(setupIsSubTreeWritable(ldap_.get(), kDomainDN.c_str()), 0);
    EXPECT_EQ(isSubTreeWritable(ldap_.get(), kDomainDN.c_str()), 0);
    EXPECT_EQ(server().count(kDomainDN, "(objectclass=cvResourceRef)", "one"), 1);
    EXPECT_TRUE(server().exists("cn=Delete Me, " + kDomainDN));
    EXPECT_EQ(setupIsSubTreeWritable(ldap_.get(), ("ou=missing, " + kDomainDN).c_str()),
              LDAP_NO_SUCH_OBJECT);
}

TEST_F(DomainHelpers, SubtreeTheUserMayNotWriteIsReported)
{
    const std::string reader = "uid=reader, " + kDomainDN;
    ASSERT_TRUE(server().add(Slapd::personLdif(reader, "reader", "reader-pw")));
    LdapError err;
    Ldap user(err, server().url().c_str(), reader.c_str(), "reader-pw", nullptr, nullptr);
    ASSERT_EQ(err.code, 0);
    EXPECT_EQ(setupIsSubTreeWritable(&user, kDomainDN.c_str()), LDAP_INSUFFICIENT_ACCESS);
    EXPECT_EQ(setupInstallFramework(&user, "example.com"), LDAP_INSUFFICIENT_ACCESS);
    EXPECT_FALSE(server().exists("ou=Global Preferences, " + kDomainDN));
}

TEST_F(DomainHelpers, GuessNamesTheFirstListedDomain)
{
    ASSERT_TRUE(
        server().add("dn: ou=second.example.com, o=CorvidRoot\nobjectclass: organizationalUnit\n"
                     "objectclass: cvAdminDomain\nou: second.example.com\n"));
    std::string first = server().search(Slapd::kBase, "(objectclass=cvAdminDomain)", "one", {"ou"});
    std::string expected = first.substr(first.find("\nou: ") + 5);
    expected = expected.substr(0, expected.find('\n'));
    EXPECT_EQ(taken(setupGuessAdminDomainName(server().url().c_str(), Slapd::kRootDN,
                                              Slapd::kRootPassword)),
              expected);
    EXPECT_EQ(taken(guessAdminDomainName(server().url().c_str(), nullptr, nullptr)), expected);
    EXPECT_EQ(taken(setupGuessAdminDomainName(nullptr, nullptr, nullptr)), "(null)");
    EXPECT_EQ(taken(setupGuessAdminDomainName("not a url", nullptr, nullptr)), "(null)");
    EXPECT_EQ(taken(setupGuessAdminDomainName(server().url().c_str(), Slapd::kRootDN, "wrong")),
              "(null)");
}

TEST_F(DomainHelpers, CCallersRegisterThroughTheirHandles)
{
    EXPECT_EQ(cv_register_from_c(server().url().c_str(), Slapd::kRootDN, Slapd::kRootPassword,
                                 "c.example.com", "/srv/c"),
              0);
    EXPECT_TRUE(server().exists("cn=slapd-c, cn=C Product, cn=Server Group, cn=c.example.com, " +
                                kDomainDN));
    int results[8];
    ASSERT_EQ(cv_register_null_results(results), 8);
    for (int r : results)
        EXPECT_EQ(r, SETUP_LDAP_BAD_ARGUMENT);
}

class UserDirectorySettings : public RegisterSuite<UserDirectorySettings> {
protected:
    std::string global(const char* domain = "example.com", int* code = nullptr)
    {
        char *url = nullptr, *bindDN = nullptr, *pwd = nullptr;
        int rc = setupGetGlobalUserDirectory(ldap_.get(), domain, &url, &bindDN, &pwd);
        if (code)
            *code = rc;
        return taken(url) + " | " + taken(bindDN) + " | " + taken(pwd);
    }
};

TEST_F(UserDirectorySettings, MultiHostUrlIsStoredSplitAndReadBackWhole)
{
    ASSERT_EQ(setupInstallFramework(ldap_.get(), "example.com"), 0);
    ASSERT_EQ(setupAddGlobalUserDirectory(ldap_.get(), "example.com",
                                          "ldap://h1:389 h2:389/o=example", "cn=binder", "pw"),
              0);
    std::string dn = "cn=UserDirectory, ou=Global Preferences, " + kDomainDN;
    EXPECT_EQ(values(dn, "cvDirectoryURL"), (std::vector<std::string>{"ldap://h1:389/o=example"}));
    EXPECT_EQ(values(dn, "cvDirectoryFailoverList"), (std::vector<std::string>{"h2:389"}));
    EXPECT_EQ(global(), "ldap://h1:389 h2:389/o=example | cn=binder | pw");
    // An existing setting is kept.
    EXPECT_EQ(addGlobalUserDirectory(ldap_.get(), "example.com", "ldap://other:389/o=x", nullptr,
                                     nullptr),
              0);
    EXPECT_EQ(global(), "ldap://h1:389 h2:389/o=example | cn=binder | pw");
}

TEST_F(UserDirectorySettings, BaseHoldingASlashSurvivesTheSplitAndTheRead)
{
    ASSERT_EQ(setupInstallFramework(ldap_.get(), "example.com"), 0);
    EXPECT_EQ(setupAddGlobalUserDirectory(ldap_.get(), "example.com",
                                          "ldap://h1:389 h2:389/ou=a/b,o=example", nullptr,
                                          nullptr),
              0);
    std::string dn = "cn=UserDirectory, ou=Global Preferences, " + kDomainDN;
    EXPECT_EQ(values(dn, "cvDirectoryURL"),
              (std::vector<std::string>{"ldap://h1:389/ou=a/b,o=example"}));
    EXPECT_EQ(values(dn, "cvDirectoryFailoverList"), (std::vector<std::string>{"h2:389"}));
    EXPECT_EQ(global(), "ldap://h1:389 h2:389/ou=a/b,o=example | (null) | (null)");
}

TEST_F(UserDirectorySettings, ListOfWholeUrlsIsStoredAsOneHostListAndTyposAreRefused)
{
    ASSERT_EQ(setupInstallFramework(ldap_.get(), "example.com"), 0);
    for (const char* bad : {"ldap://h1:3 89/o=x", "ldap://h1: 389/o=x", "ldap://h1?cn",
                            "ldap://h1/o=x ldaps://h2/o=x"})
        EXPECT_EQ(setupAddGlobalUserDirectory(ldap_.get(), "example.com", bad, nullptr, nullptr),
                  SETUP_LDAP_BAD_URL)
            << bad;
    EXPECT_EQ(setupAddGlobalUserDirectory(ldap_.get(), "example.com",
                                          "ldaps://h1:636/o=example ldaps://h2:0636/o=example",
                                          nullptr, nullptr),
              0);
    EXPECT_EQ(global(), "ldaps://h1:636 h2:636/o=example | (null) | (null)");
}

TEST_F(UserDirectorySettings, SingleUrlIsStoredUnchangedWithoutFailover)
{
    ASSERT_EQ(setupInstallFramework(ldap_.get(), "example.com"), 0);
    ASSERT_EQ(setupAddGlobalUserDirectory(ldap_.get(), kDomainDN.c_str(), "ldap://h1:389/o=example",
                                          nullptr, "x"),
              0);
    EXPECT_EQ(global(), "ldap://h1:389/o=example | (null) | (null)");
    EXPECT_EQ(
        setupAddGlobalUserDirectory(ldap_.get(), "nowhere", "ldap://h:1/o=x", nullptr, nullptr),
        LDAP_NO_SUCH_OBJECT);
}

TEST_F(UserDirectorySettings, GlobalLookupOfAServerThatStopsAnsweringGivesCouldNotConnect)
{
    ASSERT_EQ(setupInstallFramework(ldap_.get(), "example.com"), 0);
    ASSERT_EQ(setupAddGlobalUserDirectory(ldap_.get(), "example.com", "ldap://h1:389/o=example",
                                          nullptr, nullptr),
              0);
    // libldap gives up after the operation timeout with its own -5, which
    // no plain function may return.
    struct timeval second = {1, 0};
    ASSERT_EQ(ldap_set_option(LdapEntryAccess::handle(ldap_.get()), LDAP_OPT_TIMEOUT, &second),
              LDAP_OPT_SUCCESS);
    ASSERT_TRUE(server().pause());
    int code = -1;
    std::string found = global("example.com", &code);
    server().resume();
    EXPECT_EQ(code, SETUP_LDAP_CONNECT_FAILED);
    EXPECT_EQ(found, "(null) | (null) | (null)");
}

TEST_F(UserDirectorySettings, InstanceAndAdminGroupFindTheirSettingByUrlOrReference)
{
    ASSERT_EQ(registerInstance(kEast), 0);
    ASSERT_EQ(setupAddGlobalUserDirectory(ldap_.get(), "example.com", "ldap://users:389/o=UserRoot",
                                          "cn=b", "pw"),
              0);
    char *url = nullptr, *bindDN = nullptr, *pwd = nullptr;
    // The admin group refers to the domain's global setting.
    ASSERT_EQ(setupGetLocalUserDirectory(ldap_.get(), "example.com", kEast.host.c_str(),
                                         kEast.root.c_str(), &url, &bindDN, &pwd),
              0);
    EXPECT_EQ(taken(url) + " " + taken(bindDN) + " " + taken(pwd),
              "ldap://users:389/o=UserRoot cn=b pw");
    EXPECT_EQ(getLocalUserDirectory(ldap_.get(), "example.com", kEast.host.c_str(), "/srv/none",
                                    &url, nullptr, nullptr),
              SETUP_LDAP_NO_ENTRIES);
    EXPECT_EQ(url, nullptr);

    // An instance without a configuration entry has no setting.
    EXPECT_EQ(setupGetUserDirectory(ldap_.get(), kSie.c_str(), &url, nullptr, nullptr),
              SETUP_LDAP_NO_ENTRIES);
    std::string config = "cn=configuration, " + kSie;
    ASSERT_TRUE(
        server().add("dn: " + config +
                     "\nobjectclass: cvDirectoryInfo\ncn: configuration\n"
                     "cvDirectoryURL: ldap://own:389/o=Own\ncvDirectoryFailoverList: own2:389\n"));
    ASSERT_EQ(getUserDirectory(ldap_.get(), kSie.c_str(), &url, &bindDN, nullptr), 0);
    EXPECT_EQ(taken(url) + " " + taken(bindDN), "ldap://own:389 own2:389/o=Own (null)");

    // By reference to the global entry.
    ASSERT_TRUE(
        server().modify("dn: " + config +
                        "\nchangetype: modify\ndelete: cvDirectoryURL\n-\n"
                        "add: cvDirectoryInfoRef\ncvDirectoryInfoRef: cn=UserDirectory, ou=Global "
                        "Preferences, " +
                        kDomainDN + "\n"));
    ASSERT_EQ(setupGetUserDirectory(ldap_.get(), kSie.c_str(), &url, nullptr, &pwd), 0);
    EXPECT_EQ(taken(url) + " " + taken(pwd), "ldap://users:389/o=UserRoot pw");

    // Neither URL nor reference.
    ASSERT_TRUE(
        server().modify("dn: " + config + "\nchangetype: modify\ndelete: cvDirectoryInfoRef\n"));
    EXPECT_EQ(setupGetUserDirectory(ldap_.get(), kSie.c_str(), &url, nullptr, nullptr),
              SETUP_LDAP_NO_ENTRIES);
}

TEST_F(UserDirectorySettings, ReferenceChainsEndAfterThreeReads)
{
    std::string base = "ou=Global Preferences, " + kDomainDN;
    ASSERT_EQ(setupInstallFramework(ldap_.get(), "example.com"), 0);
    std::string ldif;
    for (int i = 1; i <= 4; ++i) {
        ldif += "dn: cn=info" + std::to_string(i) + ", " + base +
                "\nobjectclass: cvDirectoryInfo\ncn: info" + std::to_string(i) + "\n";
        if (i < 4)
            ldif += "cvDirectoryInfoRef: cn=info" + std::to_string(i + 1) + ", " + base + "\n\n";
        else
            ldif += "cvDirectoryURL: ldap://far:389/o=Far\n\n";
    }
    ASSERT_TRUE(server().add(ldif));
    // cn=configuration -> info1 -> info2: the third read holds a further
    // reference, loaded without a URL.
    std::string sie = "cn=x, " + base;
    ASSERT_TRUE(server().add(
        "dn: " + sie + "\nobjectclass: corvidServer\ncn: x\n\ndn: cn=configuration, " + sie +
        "\nobjectclass: cvDirectoryInfo\ncn: configuration\ncvDirectoryInfoRef: cn=info1, " + base +
        "\n"));
    char* url = nullptr;
    EXPECT_EQ(setupGetUserDirectory(ldap_.get(), sie.c_str(), &url, nullptr, nullptr), 0);
    EXPECT_EQ(url, nullptr);
}

} // namespace

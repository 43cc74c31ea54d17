// Server instance registration against a real slapd: the whole registry path
// from the admin domain down to the instance entry, the reuse of what
// exists, new admin groups per server root, hostile names, the version-4
// case and the waits.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "child.h"
#include "register_fixture.h"
#include "register_internal.h"
#include "setup_compat.h"
#include "setup_registry_consts.h"
#include "setup_remove.h"

namespace {

using namespace cvtest;

class Registration : public RegisterSuite<Registration> {};

const Instance kWest{"slapd-west", "Corvid Directory Server", "alpha.example.com", "/srv/r1"};

std::string sieDN(const Instance& in, const std::string& group = "Server Group")
{
    return "cn=" + in.id + ", " + productDN(in, group);
}

TEST_F(Registration, FirstInstanceBuildsTheWholePathWithMembersAndAccess)
{
    ASSERT_EQ(registerInstance(kEast), 0);
    const std::string host = hostDN(kEast.host), group = groupDN(kEast.host),
                      product = productDN(kEast);
    const std::string sie = sieDN(kEast), admin = adminSieDN(kEast.host);

    EXPECT_EQ(values(kDomainDN, "aci"),
              (std::vector<std::string>{filled(DEFAULT_PX_CONTAINER_ACI, "example.com")}));
    std::string prefs = "ou=Global Preferences, " + kDomainDN;
    EXPECT_EQ(values(prefs, "aci"), (std::vector<std::string>{DEFAULT_GLOBAL_PREFS_ACI}));
    EXPECT_EQ(values(prefs, "description"),
              (std::vector<std::string>{
                  "Default branch for Halcyon Server Products Global Preferences"}));

    EXPECT_EQ(values(host, "objectclass"),
              (std::vector<std::string>{"top", "cvHost", "groupOfUniqueNames"}));
    EXPECT_EQ(values(host, "serverHostName"), (std::vector<std::string>{kEast.host}));
    EXPECT_EQ(values(host, "cvOsVersion").size(), 1u);
    EXPECT_EQ(values(host, "cvHardwarePlatform").size(), 1u);
    EXPECT_EQ(values(host, "aci"), (std::vector<std::string>{filled(DEFAULT_HOST_ACI, host)}));
    EXPECT_EQ(members(host), normSet({group}));

    EXPECT_EQ(values(group, "cn"), (std::vector<std::string>{"Server Group"}));
    EXPECT_EQ(values(group, "cvAdminGroupName"), (std::vector<std::string>{"Server Group"}));
    EXPECT_EQ(values(group, "cvConfigRoot"), (std::vector<std::string>{kEast.root}));
    EXPECT_EQ(values(group, "cvDirectoryInfoRef"),
              (std::vector<std::string>{"cn=UserDirectory, ou=Global Preferences, " + kDomainDN}));
    EXPECT_EQ(values(group, "cvAdminSIEDN"), (std::vector<std::string>{admin}));
    EXPECT_EQ(values(group, "aci"),
              (std::vector<std::string>{filled(DEFAULT_ADMINGRP_ACI, group),
                                        filled(DEFAULT_ADMINGRP4_ACI, admin)}));
    EXPECT_EQ(members(group), normSet({product}));

    EXPECT_EQ(values(product, "aci"),
              (std::vector<std::string>{filled(DEFAULT_PRODUCT_ACI, product)}));
    EXPECT_EQ(members(product), normSet({sie}));
    std::vector<std::string> stamp = values(product, "installationTimeStamp");
    ASSERT_EQ(stamp.size(), 1u);
    EXPECT_EQ(stamp[0].size(), 15u);

    EXPECT_EQ(values(sie, "aci"), (std::vector<std::string>{filled(DEFAULT_SIE_ACI_1, sie),
                                                            filled(DEFAULT_SIE_ACI_2, sie)}));
    EXPECT_EQ(members(sie), normSet({sie, admin}));
    EXPECT_EQ(values(sie, "installationTimeStamp"), stamp);
    EXPECT_EQ(values(sie, "serverHostName"), (std::vector<std::string>{kEast.host}));
}

TEST_F(Registration, SecondInstanceReusesHostGroupAndProductAndJoinsItsMembers)
{
    ASSERT_EQ(registerInstance(kEast), 0);
    std::vector<std::string> hostBefore = values(hostDN(kEast.host), "aci");
    LdapEntry* isie = isieFor(kWest);
    ASSERT_EQ(
        setupCreateSIE(sieFor(kWest), isie, kWest.host.c_str(), kWest.root.c_str(), "example.com"),
        0);

    EXPECT_EQ(server().count(hostDN(kEast.host), "(objectclass=cvAdminGroup)", "one"), 1);
    EXPECT_EQ(values(hostDN(kEast.host), "aci"), hostBefore);
    EXPECT_EQ(members(productDN(kEast)), normSet({sieDN(kEast), sieDN(kWest)}));
    EXPECT_EQ(values(productDN(kEast), "aci").size(), 1u);
    // On return the product entry object holds the stored entry.
    EXPECT_TRUE(isie->checkAttribute("uniquemember", sieDN(kWest).c_str()) ||
                isie->checkAttribute("uniquemember", normDN(sieDN(kWest)).c_str()));
    EXPECT_TRUE(server().exists(sieDN(kWest)));
}

TEST_F(Registration, EachFurtherServerRootGetsTheNextNumberedGroup)
{
    ASSERT_EQ(registerInstance(kEast), 0);
    ASSERT_EQ(registerInstance({"slapd-two", kEast.product, kEast.host, "/srv/r2"}), 0);
    ASSERT_EQ(registerInstance({"slapd-three", kEast.product, kEast.host, "/srv/r3"}), 0);
    const std::string host = hostDN(kEast.host);
    EXPECT_EQ(members(host), normSet({groupDN(kEast.host), groupDN(kEast.host, "Server Group (2)"),
                                      groupDN(kEast.host, "Server Group (3)")}));
    EXPECT_EQ(values(groupDN(kEast.host, "Server Group (3)"), "cvConfigRoot"),
              (std::vector<std::string>{"/srv/r3"}));
    EXPECT_TRUE(
        server().exists(sieDN({"slapd-two", kEast.product, kEast.host, ""}, "Server Group (2)")));
}

TEST_F(Registration, WildcardServerRootNeverReusesAnotherRootsGroup)
{
    ASSERT_EQ(registerInstance({"slapd-a", kEast.product, kEast.host, "/srv/a"}), 0);
    ASSERT_EQ(registerInstance({"slapd-star", kEast.product, kEast.host, "/srv/*"}), 0);
    EXPECT_EQ(values(groupDN(kEast.host, "Server Group (2)"), "cvConfigRoot"),
              (std::vector<std::string>{"/srv/*"}));
    EXPECT_EQ(members(productDN(kEast)), normSet({"cn=slapd-a, " + productDN(kEast)}));
}

TEST_F(Registration, ConcurrentRegistrationsOfOneServerRootShareOneAdminGroup)
{
    // Two processes register instances of one product on one host and
    // server root, released together: on a host they both create, and on a
    // host whose first group belongs to another server root.
    const int kTrials = 40;
    for (int trial = 0; trial < kTrials; ++trial) {
        const std::string host = "race" + std::to_string(trial) + ".example.com";
        if (trial % 2 == 1) {
            ASSERT_EQ(registerInstance({"slapd-other", kEast.product, host, "/srv/other"}), 0);
        }
        const Instance racers[] = {{"slapd-a", kEast.product, host, "/srv/race"},
                                   {"slapd-b", kEast.product, host, "/srv/race"}};
        auto racer = [&](const Instance& in) {
            return [&, in](const std::function<void()>& gate) {
                // The child's own connection, made before the race.
                LdapError err;
                Ldap ldap(err, server().url().c_str(), Slapd::kRootDN, Slapd::kRootPassword,
                          nullptr, nullptr);
                gate();
                if (err.code != 0)
                    return 255;
                int rc = setupCreateSIE(sieFor(in, &ldap), isieFor(in, "5.2", &ldap), host.c_str(),
                                        "/srv/race", "example.com");
                return rc > 255 ? 255 : rc;
            };
        };
        EXPECT_EQ(utiltest::runTogether({racer(racers[0]), racer(racers[1])}),
                  (std::vector<int>{0, 0}))
            << "trial " << trial;
        EXPECT_EQ(server().count(hostDN(host),
                                 "(&(objectclass=cvAdminGroup)(cvConfigRoot=/srv/race))", "one"),
                  1)
            << "trial " << trial;
        const std::string group =
            groupDN(host, trial % 2 == 1 ? "Server Group (2)" : "Server Group");
        const std::string product = "cn=" + kEast.product + ", " + group;
        EXPECT_EQ(members(product), normSet({"cn=slapd-a, " + product, "cn=slapd-b, " + product}))
            << "trial " << trial;
        EXPECT_TRUE(members(hostDN(host)).count(normDN(group))) << "trial " << trial;
    }
}

TEST_F(Registration, CommaInProductAndPlusInHostRegisterAndRemove)
{
    const Instance odd{"slapd-odd", "Corvid, Inc. Server", "odd+host.example.com", "/srv/odd"};
    ASSERT_EQ(registerInstance(odd), 0);
    const std::string host = "cn=odd\\+host.example.com, " + kDomainDN;
    const std::string product = "cn=Corvid\\, Inc. Server, cn=Server Group, " + host;
    const std::string sie = "cn=slapd-odd, " + product;
    ASSERT_TRUE(server().exists(sie));
    EXPECT_EQ(values(product, "cn"), (std::vector<std::string>{odd.product}));
    // The backslash of the DN is escaped inside the quoted access target.
    std::string quoted =
        "cn=Corvid\\\\, Inc. Server, cn=Server Group, cn=odd\\\\+host.example.com, " + kDomainDN;
    EXPECT_EQ(values(product, "aci"),
              (std::vector<std::string>{filled(DEFAULT_PRODUCT_ACI, quoted)}));
    EXPECT_EQ(members(product), normSet({sie}));
    EXPECT_EQ(setupRemoveSIE(ldap_.get(), sie.c_str(), 1), 0);
    EXPECT_FALSE(server().exists(host));
}

TEST_F(Registration, VersionFourDirectoryGetsOnlyTheInstanceAndAdminServerAccess)
{
    setMonitorVersion("");
    ASSERT_STREQ(ldap_->version(), "4.0");
    ASSERT_EQ(registerInstance(kEast), 0);
    const std::string group = groupDN(kEast.host), admin = adminSieDN(kEast.host);
    EXPECT_TRUE(values(hostDN(kEast.host), "aci").empty());
    EXPECT_EQ(values(group, "aci"),
              (std::vector<std::string>{filled(DEFAULT_ADMINGRP4_ACI, admin)}));
    EXPECT_TRUE(values(productDN(kEast), "aci").empty());
    EXPECT_EQ(values(sieDN(kEast), "aci").size(), 2u);

    // The administration server itself gets no access value on a new group.
    ASSERT_EQ(
        registerInstance({"admin-serv-alpha", "Administration Server", kEast.host, "/srv/adm"}), 0);
    EXPECT_TRUE(values(groupDN(kEast.host, "Server Group (2)"), "aci").empty());
    setMonitorVersion(kMonitorVersion);
}

TEST_F(Registration, ExistingGroupGainsBothGroupAccessValues)
{
    setMonitorVersion("");
    ASSERT_EQ(registerInstance(kEast), 0);
    setMonitorVersion(kMonitorVersion);
    ASSERT_EQ(registerInstance(kWest), 0);
    const std::string group = groupDN(kEast.host), admin = adminSieDN(kEast.host);
    std::vector<std::string> acis = values(group, "aci");
    std::sort(acis.begin(), acis.end());
    std::vector<std::string> expected{filled(DEFAULT_ADMINGRP4_ACI, admin),
                                      filled(DEFAULT_ADMINGRP_ACI, group)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(acis, expected);
}

TEST_F(Registration, InstanceWithoutCnIsNamedByItsServerId)
{
    LdapEntry* sie = sieFor(kEast);
    sie->deleteAttribute("cn");
    ASSERT_EQ(setupCreateSIE(sie, isieFor(kEast), kEast.host.c_str(), kEast.root.c_str(),
                             kDomainDN.c_str()),
              0);
    EXPECT_EQ(values(sieDN(kEast), "cn"), (std::vector<std::string>{kEast.id}));
    // Registering it again replaces the stored instance entry.
    ASSERT_EQ(registerInstance(kEast), 0);
    EXPECT_EQ(members(productDN(kEast)), normSet({sieDN(kEast)}));
}

TEST_F(Registration, ProductNameMayComeFromCvProductName)
{
    LdapEntry* isie = isieFor(kEast);
    isie->deleteAttribute("cn");
    ASSERT_EQ(
        setupCreateSIE(sieFor(kEast), isie, kEast.host.c_str(), kEast.root.c_str(), "example.com"),
        0);
    EXPECT_TRUE(server().exists(sieDN(kEast)));
}

TEST_F(Registration, IncompleteEntriesAndMissingLevelsAreRefusedBeforeAnyWrite)
{
    const char* h = kEast.host.c_str();
    const char* r = kEast.root.c_str();
    EXPECT_EQ(setupCreateSIE(nullptr, isieFor(kEast), h, r, "example.com"),
              SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(setupCreateSIE(sieFor(kEast), isieFor(kEast), h, r, nullptr),
              SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(createSIE(entry(), isieFor(kEast), h, r, "example.com"), SETUP_LDAP_INCOMPLETE_ENTRY);
    LdapEntry* plain = sieFor(kEast);
    plain->setAttribute("objectclass", "top");
    EXPECT_EQ(setupCreateSIE(plain, isieFor(kEast), h, r, "example.com"),
              SETUP_LDAP_BAD_SERVER_ENTRY);
    LdapEntry* anonymous = sieFor(kEast);
    anonymous->deleteAttribute("cvServerID");
    EXPECT_EQ(setupCreateSIE(anonymous, isieFor(kEast), h, r, "example.com"),
              SETUP_LDAP_BAD_SERVER_ENTRY);
    LdapEntry* unversioned = isieFor(kEast);
    unversioned->deleteAttribute("cvProductVersion");
    EXPECT_EQ(setupCreateSIE(sieFor(kEast), unversioned, h, r, "example.com"),
              SETUP_LDAP_INCOMPLETE_ENTRY);
    EXPECT_EQ(setupCreateSIE(sieFor(kEast), isieFor(kEast), h, r, "nowhere.example.com"),
              SETUP_LDAP_NO_ADMIN_DOMAIN);
    EXPECT_EQ(server().count(Slapd::kBase), 2);

    std::string out;
    ASSERT_TRUE(server().remove(Slapd::kBase, true, &out)) << out;
    EXPECT_EQ(setupCreateSIE(sieFor(kEast), isieFor(kEast), h, r, "example.com"),
              SETUP_LDAP_NO_CONFIG_ROOT);
    ASSERT_TRUE(server().add("dn: o=CorvidRoot\nobjectclass: organization\no: CorvidRoot\n", &out))
        << out;
}

TEST_F(Registration, ServerShowingItsWritesAtOnceCostsNoSleep)
{
    unsigned long sleepsBefore = cvRegistryWaitSleeps();
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(registerInstance(kEast), 0);
    ASSERT_EQ(registerInstance(kWest), 0);
    ASSERT_EQ(registerInstance({"slapd-two", kEast.product, kEast.host, "/srv/r2"}), 0);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(cvRegistryWaitSleeps(), sleepsBefore);
    EXPECT_LT(seconds, 4.0);
}

TEST_F(Registration, WaitSeesAShownEntryWithoutAPause)
{
    // A null connection or DN counts as seen at once.
    EXPECT_EQ(waitForEntry(nullptr, "cn=x", nullptr, nullptr), 1);
    EXPECT_EQ(waitForEntry(ldap_.get(), nullptr, nullptr, nullptr), 1);
    unsigned long before = cvRegistryWaitSleeps();
    EXPECT_EQ(waitForEntry(ldap_.get(), kDomainDN.c_str(), "ou", "example.com"), 1);
    EXPECT_EQ(cvRegistryWaitSleeps(), before);
}

} // namespace

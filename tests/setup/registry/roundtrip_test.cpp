// The registry round trip: instances registered with setupCreateSIE and
// removed again, in reverse order, by the real remove-instance -f, against a
// slapd holding only o=CorvidRoot and one admin domain. After each removal
// the registry equals the dump taken before that instance was registered,
// except for what registration changes on purpose and removal leaves:
//   1. the Global Preferences branch (created or refreshed by registering);
//   2. the "aci" of the admin domain entry (rewritten with each new host);
//   3. "installationTimeStamp" and "aci" of entries that stay (each
//      registration stamps and re-grants the levels it passes);
//   4. the "uniquemember" values of host entries (a removed admin group is
//      not taken out of its host's list).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "instance_fixture.h"
#include "register_fixture.h"
#include "setup_registry_consts.h"
#include "subprocess.h"
#include "tempdir.h"

namespace {

using namespace cvtest;

// The dump without the on-purpose changes listed above.
RegistryDump comparable(RegistryDump dump)
{
    dump.erase(normDN("ou=Global Preferences, " + kDomainDN));
    dump[normDN(kDomainDN)].erase("aci");
    for (auto& entry : dump) {
        entry.second.erase("installationtimestamp");
        entry.second.erase("aci");
        if (entry.second["objectclass"].count("cvhost"))
            entry.second.erase("uniquemember");
    }
    return dump;
}

class RoundTrip : public RegisterSuite<RoundTrip> {
protected:
    void SetUp() override
    {
        RegisterSuite<RoundTrip>::SetUp();
        r1_ = dir_.file("r1");
        r2_ = dir_.file("r2");
    }

    // The instance's tree below its server root, as an installation leaves it.
    void makeTree(const Instance& in)
    {
        writeInstanceTree(dir_, (in.root == r1_ ? "r1/" : "r2/") + in.id);
    }

    ProcessResult removeInstance(const Instance& in)
    {
        dir_.write("remove.inf",
                   "[General]\nFullMachineName= " + in.host +
                       "\n\n[uninstall]\nServerIdentifier= " + in.id + "\nServerRoot= " + in.root +
                       "\nFullMachineName= " + in.host +
                       "\nLDAPHost= 127.0.0.1\nLDAPPort= " + std::to_string(server().port()) +
                       "\nSuffix= o=CorvidRoot\nConfigDirectoryAdminID= " + Slapd::kRootDN +
                       "\nConfigDirectoryAdminPwd= " + Slapd::kRootPassword + "\n");
        return runProcess(CV_REMOVE_INSTANCE, {"-f", dir_.file("remove.inf")}, baseEnvironment());
    }

    TempDir dir_{"roundtrip"};
    std::string r1_, r2_;
};

TEST_F(RoundTrip, RegisteredInstancesRemoveBackToTheEarlierRegistry)
{
    const std::string product = "Corvid Directory Server";
    const std::string hostA = "alpha.example.com", hostB = "beta.example.com";
    const std::vector<Instance> instances{
        {"slapd-a1", product, hostA, r1_},
        {"slapd-a2", product, hostA, r1_},
        {"slapd-a3", product, hostA, r2_},
        {"slapd-b1", product, hostB, r1_},
    };
    std::vector<RegistryDump> before;
    for (const Instance& in : instances) {
        makeTree(in);
        before.push_back(dumpRegistry(server()));
        ASSERT_EQ(registerInstance(in), 0) << in.id;
    }

    const std::string productA1 = "cn=" + product + ", " + groupDN(hostA);
    const std::string productA2 = "cn=" + product + ", " + groupDN(hostA, "Server Group (2)");
    const std::string productB = "cn=" + product + ", " + groupDN(hostB);
    EXPECT_EQ(members(hostDN(hostA)),
              normSet({groupDN(hostA), groupDN(hostA, "Server Group (2)")}));
    EXPECT_EQ(members(hostDN(hostB)), normSet({groupDN(hostB)}));
    EXPECT_EQ(members(groupDN(hostA, "Server Group (2)")), normSet({productA2}));
    EXPECT_EQ(members(productA1),
              normSet({"cn=slapd-a1, " + productA1, "cn=slapd-a2, " + productA1}));
    EXPECT_EQ(members(productA2), normSet({"cn=slapd-a3, " + productA2}));
    EXPECT_EQ(members("cn=slapd-b1, " + productB),
              normSet({"cn=slapd-b1, " + productB, adminSieDN(hostB)}));
    EXPECT_EQ(values(groupDN(hostA, "Server Group (2)"), "cvConfigRoot"),
              (std::vector<std::string>{r2_}));
    EXPECT_EQ(values(groupDN(hostA, "Server Group (2)"), "aci"),
              (std::vector<std::string>{
                  filled(DEFAULT_ADMINGRP_ACI, groupDN(hostA, "Server Group (2)")),
                  filled(DEFAULT_ADMINGRP4_ACI, adminSieDN(hostA, "Server Group (2)"))}));
    EXPECT_EQ(values(productB, "aci"),
              (std::vector<std::string>{filled(DEFAULT_PRODUCT_ACI, productB)}));

    for (size_t i = instances.size(); i-- > 0;) {
        const Instance& in = instances[i];
        ProcessResult r = removeInstance(in);
        EXPECT_EQ(r.status, 0) << in.id << ": " << r.err;
        EXPECT_EQ(r.out, "Server " + in.id + " was successfully removed\nTPX_STATUS: 0\n");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(comparable(dumpRegistry(server())), comparable(before[i]))
            << "after removing " << in.id;
    }
    // Back to the root and the domain, with the branch registration made.
    EXPECT_EQ(server().count(Slapd::kBase), 3);
}

} // namespace

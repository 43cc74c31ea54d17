// The plan against a real registry: what it says the removal would delete
// is what the removal then deletes, and the plan itself changes nothing.

#include "e2e_fixture.h"
#include "plan_fixture.h"

using namespace cvtest;
using namespace cvtest::reg;
using plantest::json;

class PlanRegistryTest : public EndToEndSuite<PlanRegistryTest> {
protected:
    void SetUp() override
    {
        roots_.lab = dir_.file("lab");
        EndToEndSuite<PlanRegistryTest>::SetUp();
        writeInstanceTree(dir_, "lab/slapd-lab");
    }

    std::string labInf(const std::string& password = Slapd::kRootPassword) const
    {
        return "[uninstall]\nServerIdentifier= slapd-lab\nServerRoot= " + roots_.lab +
               "\nFullMachineName= gamma.lab.example.com\nLDAPHost= 127.0.0.1\nLDAPPort= " +
               std::to_string(slapd().port()) +
               "\nSuffix= o=CorvidRoot\nConfigDirectoryAdminID= " + Slapd::kRootDN +
               "\nConfigDirectoryAdminPwd= " + password + "\n";
    }

    ProcessResult plan(const std::string& inf, bool asJson)
    {
        dir_.write("plan.inf", inf);
        std::vector<std::string> args = {"-f", dir_.file("plan.inf")};
        if (asJson)
            args.insert(args.begin(), "--json");
        return plantest::runPlan(args, baseEnvironment());
    }

    // Every DN the plan says goes, normalized.
    static std::set<std::string> plannedDeletions(const json& j)
    {
        std::set<std::string> dns;
        const json& reg = j["registration"];
        dns.insert(normDN(reg["sie"].get<std::string>()));
        if (reg["product"]["action"] == "delete")
            dns.insert(normDN(reg["product"]["dn"].get<std::string>()));
        for (const auto& dn : reg["prune"])
            dns.insert(normDN(dn.get<std::string>()));
        return dns;
    }
};

TEST_F(PlanRegistryTest, SiblingKeepsTheProductEntryInThePlanAndInTheRemoval)
{
    const RegistryDump registry = dumpRegistry(slapd());
    const auto files = plantest::snapshot(dir_.file("servers"));
    ProcessResult p = plan(infFor("slapd-east", Slapd::kRootPassword), false);
    EXPECT_EQ(p.status, 0) << p.out << p.err;
    const std::string url = "ldap://127.0.0.1:" + std::to_string(slapd().port()) + "/o=CorvidRoot";
    const std::string root = roots_.alpha + "/slapd-east";
    std::vector<std::string> l = plantest::lines(p.out);
    ASSERT_EQ(l.size(), 8u) << p.out;
    EXPECT_EQ(l[0], "instance: slapd-east");
    EXPECT_EQ(l[1], "install root: " + root);
    EXPECT_EQ(l[2],
              "configuration directory: " + url + " as " + Slapd::kRootDN + ": the bind works");
    // DNs as the server returns them.
    auto asServer = [](const std::string& dn) { return replaceAll(dn, ", ", ","); };
    EXPECT_EQ(l[3], "SIE: " + asServer(kEast) + ": would be deleted with its subtree");
    EXPECT_EQ(l[4], "product entry: " + asServer(kAlphaDS) +
                        ": would be trimmed: it stops listing this instance and stays for 1 "
                        "other entry: " +
                        asServer(kWest));
    EXPECT_EQ(l[5], "server: pid " + std::to_string(servers_["slapd-east"]->pid()) + " (" + root +
                        "/logs/pid): running: the removal would stop it with SIGTERM (the plan "
                        "sends no signal)");
    EXPECT_EQ(l[6], "tree: " + root + ": 4 files, 6 directories, 0 links, " +
                        std::to_string(4096 + 14 + 8 +
                                       std::to_string(servers_["slapd-east"]->pid()).size() + 1) +
                        " bytes");
    EXPECT_EQ(l[7], "plan: removal would succeed");
    EXPECT_EQ(p.out.find(Slapd::kRootPassword), std::string::npos);

    // The plan changed nothing: registry, files and times, processes.
    EXPECT_EQ(dumpRegistry(slapd()), registry);
    EXPECT_EQ(plantest::snapshot(dir_.file("servers")), files);
    EXPECT_TRUE(servers_["slapd-east"]->running());

    ProcessResult r = silent("slapd-east");
    EXPECT_EQ(r.status, p.status);
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig}));
    EXPECT_FALSE(treeExists("slapd-east"));
}

TEST_F(PlanRegistryTest, LastInstancePlansEachEmptiedParentUpToTheAdminDomain)
{
    const RegistryDump registry = dumpRegistry(slapd());
    ProcessResult p = plan(labInf(), true);
    json j = plantest::parse(p);
    ASSERT_FALSE(j.is_discarded()) << p.out;
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(j["registration"]["product"]["action"], "delete");
    EXPECT_EQ(j["registration"]["prune"], json::array({kGammaGroup, kGamma}));
    EXPECT_EQ(j["registration"]["pruneStop"]["dn"], kLabDomain);
    EXPECT_EQ(j["registration"]["pruneStop"]["why"], "admin domain");
    EXPECT_EQ(j["server"]["pid"], nullptr);
    EXPECT_EQ(j["summary"], "plan: removal would succeed");
    EXPECT_EQ(dumpRegistry(slapd()), registry);

    ProcessResult t = plan(labInf(), false);
    EXPECT_NE(t.out.find("emptied parent: " + kGamma +
                         ": would be deleted\n"
                         "pruning stops at " +
                         kLabDomain + ": an admin domain is never deleted\n"),
              std::string::npos)
        << t.out;

    ProcessResult r = silentInf(labInf());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    // Deleted: exactly the planned entries and what lies below them.
    std::set<std::string> planned = plannedDeletions(j);
    std::set<std::string> gone = removed();
    for (const std::string& dn : planned)
        EXPECT_EQ(gone.count(dn), 1u) << dn;
    for (const std::string& dn : gone) {
        bool covered = false;
        for (const std::string& p : planned)
            covered = covered ||
                      (dn.size() >= p.size() && dn.compare(dn.size() - p.size(), p.size(), p) == 0);
        EXPECT_TRUE(covered) << dn;
    }
    EXPECT_TRUE(slapd().exists(kDomain));
    EXPECT_TRUE(slapd().exists(kLabDomain));
}

TEST_F(PlanRegistryTest,
       WrongPasswordIsIncompleteAndAnUnknownInstanceIsNotRegisteredLikeInTheRemoval)
{
    ProcessResult p = plan(infFor("slapd-east", "not-the-password"), false);
    EXPECT_EQ(p.status, 1);
    EXPECT_NE(p.out.find(": the bind fails (error = 146)\n"), std::string::npos) << p.out;
    EXPECT_EQ(p.out.find("not-the-password"), std::string::npos);
    EXPECT_EQ(plantest::lines(p.out).back(),
              "plan: removal would be incomplete: the registration would not be removed: the "
              "configuration directory cannot be used (error = 146)");

    // The directory matches without regard to case; the removal does not.
    ProcessResult q = plan(infFor("SLAPD-EAST", Slapd::kRootPassword), true);
    makeInstance("SLAPD-EAST");
    q = plan(infFor("SLAPD-EAST", Slapd::kRootPassword), true);
    json j = plantest::parse(q);
    EXPECT_EQ(q.status, 0);
    EXPECT_EQ(j["registration"]["registered"], false);
    EXPECT_EQ(j["registration"]["code"], 0);
    EXPECT_EQ(j["registration"]["repairs"], json::array());
    EXPECT_EQ(silent("SLAPD-EAST").status, 0);
    EXPECT_TRUE(removed().empty());

    EXPECT_EQ(silent("slapd-east", "not-the-password").status, p.status);
}

TEST_F(PlanRegistryTest, EveryOtherInstanceIsListedAndABusyParentStopsThePruneWithOneKeeper)
{
    // Two more instances of the product, and three more admin groups on the
    // lab host: the product lists all its other instances, the prune names
    // one of the groups that keep the host, and the host stops listing the
    // group that goes.
    std::string ldif, out;
    for (const char* id : {"slapd-north", "slapd-south"})
        ldif += "dn: cn=" + std::string(id) + ", " + kAlphaDS +
                "\nobjectclass: corvidServer\ncn: " + id + "\ncvServerID: " + id + "\n\n";
    std::set<std::string> groups;
    for (const char* n : {"2", "3", "4"}) {
        const std::string dn = "cn=Server Group (" + std::string(n) + "), " + kGamma;
        groups.insert(normDN(dn));
        ldif += "dn: " + dn +
                "\nobjectclass: cvAdminGroup\nobjectclass: groupOfUniqueNames\n"
                "cn: Server Group (" +
                n + ")\n\n";
    }
    ASSERT_TRUE(slapd().add(ldif, &out)) << out;

    json east = plantest::parse(plan(infFor("slapd-east", Slapd::kRootPassword), true));
    std::set<std::string> siblings;
    for (const auto& dn : east["registration"]["product"]["siblings"])
        siblings.insert(normDN(dn.get<std::string>()));
    EXPECT_EQ(siblings,
              normSet({kWest, "cn=slapd-north, " + kAlphaDS, "cn=slapd-south, " + kAlphaDS}));

    ProcessResult p = plan(labInf(), true);
    json lab = plantest::parse(p);
    ASSERT_FALSE(lab.is_discarded()) << p.out;
    EXPECT_EQ(lab["registration"]["prune"], json::array({kGammaGroup}));
    EXPECT_EQ(normDN(lab["registration"]["pruneStop"]["dn"].get<std::string>()), normDN(kGamma));
    EXPECT_EQ(groups.count(normDN(lab["registration"]["pruneStop"]["keptBy"].get<std::string>())),
              1u)
        << lab["registration"]["pruneStop"];
    EXPECT_EQ(normDN(lab["registration"]["pruneStop"]["stopsListing"].get<std::string>()),
              normDN(kGammaGroup));

    ProcessResult r = silentInf(labInf());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(slapd().exists(kGammaGroup));
    EXPECT_TRUE(slapd().values(kGamma, "uniquemember").empty());
    for (const std::string& group : groups)
        EXPECT_TRUE(slapd().exists(group)) << group;
}

// What an interrupted removal left (here: a removal killed right after it
// deleted the server entry of the product's last instance) is what the
// plan of the rerun shows and what the rerun then finishes.
TEST_F(PlanRegistryTest, PlanShowsTheRepairsOfAnInterruptedRemovalAndTheRerunMakesThem)
{
    ASSERT_TRUE(slapd().remove(kLabSlapd));
    ASSERT_TRUE(slapd().remove(kEast, true));
    auto asServer = [](const std::string& dn) { return replaceAll(dn, ", ", ","); };

    ProcessResult p = plan(labInf(), false);
    EXPECT_EQ(p.status, 0) << p.out;
    EXPECT_NE(p.out.find("SIE: not registered: no entry has exactly this cn and serverroot on this "
                         "host; an interrupted removal left what follows\n"
                         "repair: " +
                         asServer(kGammaDS) +
                         ": would be deleted: it holds nothing (an "
                         "interrupted removal left it)\n"
                         "emptied parent: " +
                         kGammaGroup +
                         ": would be deleted\n"
                         "emptied parent: " +
                         kGamma +
                         ": would be deleted\n"
                         "pruning stops at " +
                         kLabDomain + ": an admin domain is never deleted\n"),
              std::string::npos)
        << p.out;
    json east = plantest::parse(plan(infFor("slapd-east", Slapd::kRootPassword), true));
    EXPECT_EQ(east["exitStatus"], 0);
    EXPECT_EQ(east["registration"]["registered"], false);
    EXPECT_EQ(east["registration"]["repairs"], json::array({{{"action", "remove dangling member"},
                                                             {"dn", asServer(kAlphaDS)},
                                                             {"member", asServer(kEast)}}}));
    ProcessResult t = plan(infFor("slapd-east", Slapd::kRootPassword), false);
    EXPECT_NE(t.out.find("\nrepair: would remove the dangling member " + asServer(kEast) + " of " +
                         asServer(kAlphaDS) + "\n"),
              std::string::npos)
        << t.out;

    ProcessResult lab = silentInf(labInf());
    EXPECT_EQ(lab.status, 0) << lab.out << lab.err;
    EXPECT_EQ(lab.err, "");
    ProcessResult r = silent("slapd-east");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out,
              "Server slapd-east was successfully removed\nTPX_SuccessInfo: Already gone: "
              "not registered (1 leftover of an interrupted removal mended)\nTPX_STATUS: 0\n");
    EXPECT_EQ(removed(), normSet({kLabSlapd, kGammaDS, kGammaGroup, kGamma, kEast, kEastConfig}));
    EXPECT_EQ(slapd().values(kAlphaDS, "uniquemember"),
              std::vector<std::string>({asServer(kWest)}));
}

// Instance unregistration against a real slapd holding the fixture registry.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ldapentry.h"
#include "registry_fixture.h"
#include "registry_plan.h"
#include "slapd.h"
#include "unregister.h"

using namespace cvtest;
using namespace cvtest::reg;

namespace {

const char* const kAdminId = "uid=cfgadmin, ou=Admins 100% sure?, o=CorvidRoot";
const char* const kAdminSuffix = "ou=Admins 100% sure?, o=CorvidRoot";

} // namespace

class UnregisterTest : public FixtureRegistrySuite<UnregisterTest> {
public:
    static SlapdOptions slapdOptions()
    {
        SlapdOptions o;
        o.writers = {kAdminId};
        return o;
    }

protected:
    void SetUp() override
    {
        FixtureRegistrySuite<UnregisterTest>::SetUp();
        port_ = std::to_string(slapd().port());
    }

    // Runs the removal as the configuration administrator; stderr is kept.
    int remove(const char* instance, const char* machine, const char* root,
               const char* password = Slapd::kRootPassword, const char* port = nullptr)
    {
        testing::internal::CaptureStderr();
        int rc = removeInstanceLDAPEntries(Slapd::kHost, port ? port : port_.c_str(), Slapd::kBase,
                                           Slapd::kRootDN, password, instance, machine, root);
        err_ = testing::internal::GetCapturedStderr();
        return rc;
    }

    // An SIE of slapd-stray on alpha (server root A) below product, which
    // does not list it; the registry as it is then counts as the start.
    std::string addUnlistedSIE(const std::string& product)
    {
        const std::string dn = "cn=slapd-stray, " + product;
        EXPECT_TRUE(slapd().add("dn: " + dn +
                                "\nobjectclass: corvidServer\ncn: slapd-stray\n"
                                "serverRoot: " +
                                roots_.alpha + "\nserverHostName: alpha.example.com\n"));
        before_ = registryEntries(slapd());
        return dn;
    }

    std::string port_;
    std::string err_;
};

// An admin domain stays even when emptied: registrations need it, and no
// operation creates one.
TEST_F(UnregisterTest, LastInstancePrunesItsAncestorsUpToItsAdminDomain)
{
    EXPECT_EQ(remove("slapd-lab", "gamma.lab.example.com", roots_.lab.c_str()), 0);
    EXPECT_EQ(err_, "");
    EXPECT_EQ(removed(), normSet({kLabSlapd, kGammaDS, kGammaGroup, kGamma}));
    EXPECT_TRUE(slapd().exists(kLabDomain));
}

TEST_F(UnregisterTest, SiblingInstanceKeepsItsRegistration)
{
    EXPECT_EQ(remove("slapd-east", "alpha.example.com", roots_.alpha.c_str()), 0);
    EXPECT_EQ(err_, "");
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig}));
    std::set<std::string> members;
    for (const auto& m : slapd().values(kAlphaDS, "uniquemember")) {
        members.insert(normDN(m));
    }
    EXPECT_EQ(members, normSet({kWest}));

    // The sibling, now the product's last instance, takes the product along;
    // the group keeps the Administration Server and stops listing the
    // product.
    EXPECT_EQ(remove("slapd-west", "alpha.example.com", roots_.alpha.c_str()), 0);
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig, kWest, kAlphaDS}));
    members.clear();
    for (const auto& m : slapd().values(kAlphaGroup, "uniquemember")) {
        members.insert(normDN(m));
    }
    EXPECT_EQ(members, normSet({kAlphaAdmin}));
}

TEST_F(UnregisterTest, OtherProductKeepsTheAdminGroup)
{
    EXPECT_EQ(remove("slapd-beta", "beta.example.com", roots_.beta.c_str()), 0);
    EXPECT_EQ(removed(), normSet({kBetaSlapd, kBetaDS}));
    EXPECT_EQ(remove("msg-beta", "beta.example.com", roots_.beta.c_str()), 0);
    EXPECT_EQ(removed(), normSet({kBetaSlapd, kBetaDS, kBetaMsgInst, kBetaMsg, kBetaGroup, kBeta}));
    EXPECT_EQ(err_, "");
}

TEST_F(UnregisterTest, NoMatchingSIEWritesTheWholeFilterAndDeletesNothing)
{
    EXPECT_EQ(remove("slapd-nosuch", "alpha.example.com", roots_.alpha.c_str()), 1);
    EXPECT_EQ(err_,
              "Error: could not read the SIE entry using filter "
              "(&(serverhostname=alpha.example.com)(cn=slapd-nosuch)(serverroot=/srv/corvid/alpha))"
              ": error = 153\n");
    EXPECT_TRUE(removed().empty());
}

TEST_F(UnregisterTest, InstanceOfAnotherServerRootIsNotFound)
{
    EXPECT_EQ(remove("slapd-east", "alpha.example.com", roots_.beta.c_str()), 1);
    EXPECT_TRUE(removed().empty());
}

// An interrupted removal takes the listing first: an SIE its product no
// longer lists is still found below it and removed.
TEST_F(UnregisterTest, SIENoLongerListedByItsProductIsStillRemoved)
{
    const std::string stray = addUnlistedSIE(kAlphaDS);
    EXPECT_EQ(remove("slapd-stray", "alpha.example.com", roots_.alpha.c_str()), 0);
    EXPECT_EQ(err_, "");
    EXPECT_EQ(removed(), normSet({stray}));
    EXPECT_EQ(slapd().values(kAlphaDS, "uniquemember").size(), 2u);
}

// Below another server root's product, an unlisted SIE has no product of
// its own: nothing is deleted.
TEST_F(UnregisterTest, SIEOutsideItsServerRootsProductsFindsNoISIEAndDeletesNothing)
{
    const std::string stray = addUnlistedSIE(kBetaDS);
    EXPECT_EQ(remove("slapd-stray", "alpha.example.com", roots_.alpha.c_str()), 1);
    const std::string strayDN = normDN(stray);
    EXPECT_EQ(err_.rfind("Error: could not read the ISIE entry using filter "
                         "(&(objectclass=cvApplication)(uniquemember=",
                         0),
              0u)
        << err_;
    EXPECT_NE(normDN(err_).find("(uniquemember=" + strayDN +
                                ")(cvinstalledlocation=/srv/corvid/alpha))"
                                ": error = 153\n"),
              std::string::npos)
        << err_;
    EXPECT_TRUE(removed().empty());
}

TEST_F(UnregisterTest, WrongPasswordWritesOneLineWithoutThePassword)
{
    EXPECT_EQ(remove("slapd-east", "alpha.example.com", roots_.alpha.c_str(), "Wrong-Pass-77"), 1);
    EXPECT_EQ(err_, "Error: could not connect to the configuration directory ldap://127.0.0.1:" +
                        port_ + "/o=CorvidRoot: error = 146\n");
    EXPECT_TRUE(removed().empty());
}

TEST_F(UnregisterTest, PortTextThatIsNoPortIsRefusedWhole)
{
    for (const char* port : {"", "38x9", "0", "65536", "3890000000000000000000"}) {
        EXPECT_EQ(remove("slapd-east", "alpha.example.com", roots_.alpha.c_str(),
                         Slapd::kRootPassword, port),
                  1);
        EXPECT_EQ(err_, std::string("Error: could not connect to the configuration directory "
                                    "ldap://127.0.0.1:") +
                            port + "/o=CorvidRoot: error = 145\n");
    }
    EXPECT_TRUE(removed().empty());
}

TEST_F(UnregisterTest, UnreachableServerIsAConnectionFailure)
{
    EXPECT_EQ(
        remove("slapd-east", "alpha.example.com", roots_.alpha.c_str(), Slapd::kRootPassword, "1"),
        1);
    EXPECT_EQ(err_, "Error: could not connect to the configuration directory "
                    "ldap://127.0.0.1:1/o=CorvidRoot (ldap://127.0.0.1:1: Can't contact LDAP "
                    "server): error = 151\n");
}

TEST_F(UnregisterTest, FilterMetacharactersMatchOnlyThemselves)
{
    EXPECT_EQ(remove("*", "alpha.example.com", roots_.alpha.c_str()), 1);
    EXPECT_EQ(err_, "Error: could not read the SIE entry using filter "
                    "(&(serverhostname=alpha.example.com)(cn=\\2a)(serverroot=/srv/corvid/alpha))"
                    ": error = 153\n");
    EXPECT_EQ(remove(")(cn=*", "alpha.example.com", roots_.alpha.c_str()), 1);
    EXPECT_EQ(err_, "Error: could not read the SIE entry using filter "
                    "(&(serverhostname=alpha.example.com)(cn=\\29\\28cn=\\2a)"
                    "(serverroot=/srv/corvid/alpha)): error = 153\n");
    EXPECT_EQ(remove("slapd-east", "*", "*"), 1);
    EXPECT_EQ(remove("slapd-east)(|(cn=slapd-west", "alpha.example.com", roots_.alpha.c_str()), 1);
    EXPECT_TRUE(removed().empty());
}

// The directory matches cn and serverroot without regard to case and
// blanks; only an entry that holds exactly the given texts is this instance.
TEST_F(UnregisterTest, OnlyAnExactCnAndServerRootIsThisInstance)
{
    for (const std::string& root : {std::string("/SRV/corvid/ALPHA"), roots_.alpha + "  "}) {
        EXPECT_EQ(remove("slapd-east", "alpha.example.com", root.c_str()), 1) << root;
        EXPECT_NE(err_.find(" (no entry found has exactly this cn and serverroot): error = 153\n"),
                  std::string::npos)
            << err_;
    }
    EXPECT_EQ(remove("Slapd-East", "alpha.example.com", roots_.alpha.c_str()), 1);
    EXPECT_TRUE(removed().empty());
}

TEST_F(UnregisterTest, BackslashInTheServerRootStillFindsItsEntries)
{
    EXPECT_EQ(remove("slapd-win", "winhost.example.com", kWinRoot.c_str()), 0);
    EXPECT_EQ(err_, "");
    EXPECT_EQ(removed(), normSet({kWinSlapd, kWinDS, kWinGroup, kWin}));
}

TEST_F(UnregisterTest, UserIdIsLookedUpBelowASuffixWithBlanksPercentAndQuestionMark)
{
    ASSERT_TRUE(slapd().add(std::string("dn: ") + kAdminSuffix +
                            "\nobjectclass: organizationalUnit\nou: Admins 100% sure?\n\n" +
                            Slapd::personLdif(kAdminId, "cfgadmin", "admin-pw")));
    before_ = registryEntries(slapd());
    testing::internal::CaptureStderr();
    int rc =
        removeInstanceLDAPEntries(Slapd::kHost, port_.c_str(), kAdminSuffix, "cfgadmin", "admin-pw",
                                  "slapd-lab", "gamma.lab.example.com", roots_.lab.c_str());
    err_ = testing::internal::GetCapturedStderr();
    EXPECT_EQ(rc, 0) << err_;
    EXPECT_EQ(removed(), normSet({kLabSlapd, kGammaDS, kGammaGroup, kGamma}));
}

class RefusedWriteTest : public UnregisterTest {
protected:
    void SetUp() override
    {
        UnregisterTest::SetUp();
        ASSERT_TRUE(slapd().add(Slapd::personLdif(reader_, "reader", "reader-pw")));
        before_ = registryEntries(slapd());
    }
    int removeAsReader(const char* instance, const char* machine, const char* root)
    {
        testing::internal::CaptureStderr();
        int rc = removeInstanceLDAPEntries(Slapd::kHost, port_.c_str(), Slapd::kBase,
                                           reader_.c_str(), "reader-pw", instance, machine, root);
        err_ = testing::internal::GetCapturedStderr();
        return rc;
    }

    const std::string reader_ = "uid=reader, ou=Global Preferences, " + kDomain;
};

// The first refused write ends the removal: a later one would leave the
// product listing an entry that is gone.
TEST_F(RefusedWriteTest, FirstRefusedWriteEndsTheRemovalAndChangesNothing)
{
    EXPECT_EQ(removeAsReader("slapd-lab", "gamma.lab.example.com", roots_.lab.c_str()), 0);
    EXPECT_EQ(err_,
              "Error: could not remove cn=slapd-lab,cn=Corvid Directory Server,cn=Server Group,"
              "cn=gamma.lab.example.com,ou=lab.example.com,o=CorvidRoot from the members of ISIE "
              "entry cn=Corvid Directory Server,cn=Server Group,cn=gamma.lab.example.com,"
              "ou=lab.example.com,o=CorvidRoot: error = 50\n");
    EXPECT_TRUE(removed().empty());
}

TEST_F(RefusedWriteTest, SiblingProductKeepsListingAnSIEThatCouldNotBeDeleted)
{
    EXPECT_EQ(removeAsReader("slapd-east", "alpha.example.com", roots_.alpha.c_str()), 0);
    EXPECT_EQ(err_,
              "Error: could not remove cn=slapd-east,cn=Corvid Directory Server,cn=Server Group,"
              "cn=alpha.example.com,ou=example.com,o=CorvidRoot from the members of ISIE entry "
              "cn=Corvid Directory Server,cn=Server Group,cn=alpha.example.com,ou=example.com,"
              "o=CorvidRoot: error = 50\n");
    EXPECT_TRUE(removed().empty());
    EXPECT_EQ(slapd().values(kAlphaDS, "uniquemember").size(), 2u);
}

// A rerun after an interrupted removal finishes only this instance's
// leftovers, found through its name, host and server root: a listing of
// another instance, and emptied entries of another host or server root,
// stay as they are.
TEST_F(UnregisterTest, RerunMendsOnlyThisInstancesLeftovers)
{
    // Left by a removal of slapd-lab killed after its SIE went, beside an
    // empty product of another server root on the same host, an empty
    // product on another host, and a listing of an instance elsewhere.
    ASSERT_TRUE(slapd().remove(kLabSlapd));
    const std::string otherRoot = "cn=Other Product, " + kGammaGroup;
    const std::string otherHost = "cn=Empty Product, " + kBetaGroup;
    const std::string elsewhere = kBetaSlapd;
    ASSERT_TRUE(slapd().add("dn: " + otherRoot +
                            "\nobjectclass: cvApplication\n"
                            "objectclass: groupOfUniqueNames\ncn: Other Product\n"
                            "cvInstalledLocation: /srv/corvid/other\n\n"
                            "dn: " +
                            otherHost +
                            "\nobjectclass: cvApplication\n"
                            "objectclass: groupOfUniqueNames\ncn: Empty Product\n"
                            "cvInstalledLocation: " +
                            roots_.lab + "\n"));
    ASSERT_TRUE(slapd().modify("dn: " + kGammaDS +
                               "\nchangetype: modify\nadd: uniquemember\n"
                               "uniquemember: " +
                               elsewhere + "\n"));
    before_ = registryEntries(slapd());

    // Not registered: the published function says so, after mending.
    EXPECT_EQ(remove("slapd-lab", "gamma.lab.example.com", roots_.lab.c_str()), 1);
    EXPECT_EQ(err_, "Error: could not read the SIE entry using filter "
                    "(&(serverhostname=gamma.lab.example.com)(cn=slapd-lab)(serverroot=" +
                        roots_.lab + ")): error = 153\n");
    // The product still lists an instance that exists: only this
    // instance's listing goes.
    EXPECT_TRUE(removed().empty());
    EXPECT_EQ(slapd().values(kGammaDS, "uniquemember").size(), 1u);

    // Without that listing it holds nothing: it goes, and the admin group
    // stays for the other server root's product and stops listing it.
    ASSERT_TRUE(slapd().modify("dn: " + kGammaDS +
                               "\nchangetype: modify\ndelete: uniquemember\n"
                               "uniquemember: " +
                               elsewhere + "\n"));
    EXPECT_EQ(remove("slapd-lab", "gamma.lab.example.com", roots_.lab.c_str()), 1);
    EXPECT_EQ(removed(), normSet({kGammaDS}));
    EXPECT_TRUE(slapd().exists(otherRoot));
    EXPECT_TRUE(slapd().exists(otherHost));
    EXPECT_TRUE(slapd().values(kGammaGroup, "uniquemember").empty());
}

// removeISIEAndPrune is the removal's own walk: the product entry goes with
// everything below it, the group that still holds another product stops
// listing it, and an admin domain is never pruned.
TEST_F(UnregisterTest, ProductWalkIsTheRemovalsWalk)
{
    ConfigConnection conn;
    ASSERT_EQ(
        cvConnectConfigDirectory(cvConfigDirectoryUrl(Slapd::kHost, port_.c_str(), Slapd::kBase),
                                 Slapd::kRootDN, Slapd::kRootPassword, conn),
        0);
    testing::internal::CaptureStderr();
    LdapEntry message(conn.ldap.get());
    ASSERT_EQ(message.retrieve(kBetaMsg.c_str()).code, 0);
    EXPECT_EQ(removeISIEAndPrune(message), 0);
    LdapEntry lab(conn.ldap.get());
    ASSERT_EQ(lab.retrieve(kGammaDS.c_str()).code, 0);
    EXPECT_EQ(removeISIEAndPrune(lab), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    EXPECT_EQ(removed(),
              normSet({kBetaMsg, kBetaMsgInst, kGammaDS, kLabSlapd, kGammaGroup, kGamma}));
    const std::vector<std::string> members = slapd().values(kBetaGroup, "uniquemember");
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(normDN(members[0]), normDN(kBetaDS));
    EXPECT_TRUE(slapd().exists(kLabDomain));
}

// A connection lost under the plan is a client-side failure: 151, named by
// the client library's text, never a negative code and nothing written.
TEST(UnregisterServerGone, PlanNamesTheClientLibrarysCause)
{
    Slapd server;
    ASSERT_TRUE(server.start()) << server.error();
    ConfigConnection conn;
    ASSERT_EQ(cvConnectConfigDirectory(server.url(), Slapd::kRootDN, Slapd::kRootPassword, conn),
              0);
    server.stop();
    RegistryPlan plan;
    EXPECT_EQ(cvPlanRegistry(*conn.ldap, "slapd-east", "alpha.example.com", "/srv", plan),
              SETUP_LDAP_CONNECT_FAILED);
    EXPECT_EQ(plan.cause, ldap_err2string(LDAP_SERVER_DOWN));
    EXPECT_EQ(plan.failure.rfind(
                  "read the SIE entry using filter (&(serverhostname=alpha.example.com)", 0),
              0u)
        << plan.failure;
    EXPECT_TRUE(plan.writes.empty());
}

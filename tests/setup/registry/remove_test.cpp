// Registration removal against a real slapd holding the fixture registry.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "cvldap.h"
#include "registry_fixture.h"
#include "registry_wait.h"
#include "remove_internal.h"
#include "setup_compat.h"
#include "setup_remove.h"
#include "slapd.h"
#include "subprocess.h"

extern "C" int cv_remove_null_results(int results[6]);

using namespace cvtest;
using namespace cvtest::reg;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

class RegistryRemovalTest : public FixtureRegistrySuite<RegistryRemovalTest> {
public:
    static SlapdOptions slapdOptions()
    {
        SlapdOptions o;
        o.extraSuffixes = {"o=Lonely"};
        return o;
    }

protected:
    void SetUp() override
    {
        FixtureRegistrySuite<RegistryRemovalTest>::SetUp();
        if (HasFatalFailure())
            return;
        LdapError err;
        conn_.reset(new Ldap(err, slapd().url().c_str(), Slapd::kRootDN, Slapd::kRootPassword,
                             nullptr, nullptr));
        ASSERT_EQ(err.code, 0);
    }
    void TearDown() override { conn_.reset(); }

    std::unique_ptr<Ldap> conn_;
};

TEST_F(RegistryRemovalTest, NullConnectionOrDnGivesBadArgumentFromC)
{
    int results[6];
    int n = cv_remove_null_results(results);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(results[i], 144) << "call " << i;
    }
    EXPECT_EQ(setupRemoveSIE(conn_.get(), nullptr, 0), 144);
    EXPECT_EQ(setupRemoveISIE(conn_.get(), nullptr), 144);
}

TEST_F(RegistryRemovalTest, MissingSIEGives150AndChangesNothing)
{
    EXPECT_EQ(setupRemoveSIE(conn_.get(), ("cn=slapd-nosuch, " + kAlphaDS).c_str(), 1), 150);
    EXPECT_EQ(removeSIE(conn_.get(), ("cn=x, cn=nosuch, " + kDomain).c_str(), 0), 150);
    EXPECT_TRUE(removed().empty());
}

TEST_F(RegistryRemovalTest, SIEGoesWithItsSubtreeAndTheProductStays)
{
    EXPECT_EQ(setupRemoveSIE(conn_.get(), kEast.c_str(), 0), 0);
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig}));
}

TEST_F(RegistryRemovalTest, SIEWithProductTakesTheOtherInstancesAndKeepsTheBusyGroup)
{
    EXPECT_EQ(removeSIE(conn_.get(), kEast.c_str(), 1), 0);
    // The admin group still holds the Administration Server product.
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig, kWest, kAlphaDS}));
}

TEST_F(RegistryRemovalTest, LastInstancePrunesEveryEmptiedAncestorButTheRoot)
{
    EXPECT_EQ(setupRemoveSIE(conn_.get(), kLabSlapd.c_str(), 1), 0);
    EXPECT_EQ(removed(), normSet({kLabSlapd, kGammaDS, kGammaGroup, kGamma, kLabDomain}));
    EXPECT_TRUE(slapd().exists(Slapd::kBase));
}

TEST_F(RegistryRemovalTest, PruningStopsAtTheGroupThatHoldsAnotherProduct)
{
    EXPECT_EQ(setupRemoveSIE(conn_.get(), kBetaSlapd.c_str(), 1), 0);
    EXPECT_EQ(removed(), normSet({kBetaSlapd, kBetaDS}));
    // Then the other product, now the group's last: group and host follow,
    // the admin domain keeps its other hosts.
    EXPECT_EQ(setupRemoveSIE(conn_.get(), kBetaMsgInst.c_str(), 1), 0);
    EXPECT_EQ(removed(), normSet({kBetaSlapd, kBetaDS, kBetaMsgInst, kBetaMsg, kBetaGroup, kBeta}));
}

TEST_F(RegistryRemovalTest, SingleRdnSIEIsDeletedAndReportsNoParent)
{
    if (!slapd().exists("o=Lonely")) {
        ASSERT_TRUE(slapd().add("dn: o=Lonely\nobjectclass: organization\no: Lonely\n"));
    }
    EXPECT_EQ(setupRemoveSIE(conn_.get(), "o=Lonely", 1), 159);
    EXPECT_FALSE(slapd().exists("o=Lonely"));
    EXPECT_TRUE(removed().empty());
}

TEST_F(RegistryRemovalTest, DeleteRefusedByTheServerGivesItsCodeAndKeepsTheEntry)
{
    // A user that may read the registry but not write it.
    const std::string reader = "uid=reader, ou=Global Preferences, " + kDomain;
    ASSERT_TRUE(slapd().add(Slapd::personLdif(reader, "reader", "reader-pw")));
    before_ = registryEntries(slapd());
    LdapError err;
    Ldap readOnly(err, slapd().url().c_str(), reader.c_str(), "reader-pw", nullptr, nullptr);
    ASSERT_EQ(err.code, 0);
    EXPECT_EQ(setupRemoveSIE(&readOnly, kWest.c_str(), 1), 50);
    EXPECT_TRUE(removed().empty());
}

TEST_F(RegistryRemovalTest, MissingProductGives153AndChangesNothing)
{
    EXPECT_EQ(setupRemoveISIE(conn_.get(), ("cn=No Product, " + kAlphaGroup).c_str()), 153);
    EXPECT_EQ(removeISIE(conn_.get(), ("cn=No Product, cn=nohost, " + kDomain).c_str()), 153);
    EXPECT_TRUE(removed().empty());
}

TEST_F(RegistryRemovalTest, ProductWithInstancesGoesWholeWithoutWaitingOnOneServer)
{
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(setupRemoveISIE(conn_.get(), kAlphaDS.c_str()), 0);
    EXPECT_LT(secondsSince(start), 4.0);
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig, kWest, kAlphaDS}));
}

TEST_F(RegistryRemovalTest, ChildlessProductIsDeletedAlone)
{
    const std::string empty = "cn=Corvid Empty Product, " + kAlphaGroup;
    ASSERT_TRUE(slapd().add("dn: " + empty +
                            "\nobjectclass: cvApplication\nobjectclass: groupOfUniqueNames\n"
                            "cn: Corvid Empty Product\n"));
    EXPECT_EQ(setupRemoveISIE(conn_.get(), empty.c_str()), 0);
    EXPECT_FALSE(slapd().exists(empty));
    EXPECT_TRUE(removed().empty());
}

// The product DN parsed: its first ',' is inside the RDN "cn=east\, cn=west",
// so the text after it ("cn=west, <product>") names no parent.
TEST_F(RegistryRemovalTest, EscapedCommaInTheRdnNeverNamesTheParent)
{
    const std::string tricky = "cn=slapd-east\\, cn=slapd-west, " + kAlphaDS;
    ASSERT_TRUE(slapd().add("dn: " + tricky +
                            "\nobjectclass: corvidServer\ncn: slapd-east, cn=slapd-west\n"));
    before_ = registryEntries(slapd());
    EXPECT_EQ(setupRemoveSIE(conn_.get(), tricky.c_str(), 0), 0);
    EXPECT_EQ(removed(), normSet({tricky}));
    EXPECT_FALSE(slapd().exists(tricky));
    EXPECT_TRUE(slapd().exists(kWest));
}

TEST_F(RegistryRemovalTest, EscapedCommaSIEWithProductRemovesItsRealProduct)
{
    const std::string tricky = "cn=slapd-solo\\, cn=slapd-ghost, " + kBetaDS;
    ASSERT_TRUE(slapd().add("dn: " + tricky +
                            "\nobjectclass: corvidServer\ncn: slapd-solo, cn=slapd-ghost\n"));
    before_ = registryEntries(slapd());
    EXPECT_EQ(setupRemoveSIE(conn_.get(), tricky.c_str(), 1), 0);
    EXPECT_EQ(removed(), normSet({tricky, kBetaSlapd, kBetaDS}));
}

class RootCaseTest : public RegistryRemovalTest,
                     public ::testing::WithParamInterface<const char*> {};

// With nothing else below the root, a walk that compared the root wrongly
// would find it childless and delete it.
TEST_P(RootCaseTest, WalkNeverDeletesTheConfigurationRoot)
{
    ASSERT_TRUE(clearRegistry(slapd()));
    ASSERT_TRUE(
        slapd().add("dn: ou=Solo, o=CorvidRoot\nobjectclass: organizationalUnit\nou: Solo\n\n"
                    "dn: cn=P, ou=Solo, o=CorvidRoot\nobjectclass: cvApplication\ncn: P\n\n"
                    "dn: cn=i, cn=P, ou=Solo, o=CorvidRoot\nobjectclass: corvidServer\ncn: i\n"));
    const std::string isie = std::string("cn=P, ou=Solo, ") + GetParam();
    EXPECT_EQ(setupRemoveISIE(conn_.get(), isie.c_str()), 0);
    EXPECT_EQ(registryEntries(slapd()), normSet({"o=CorvidRoot"}));
}

INSTANTIATE_TEST_SUITE_P(AnyLetterCase, RootCaseTest,
                         ::testing::Values("o=CorvidRoot", "O=CORVIDROOT", "o=corvidroot",
                                           "O=cOrViDrOoT"));

TEST(RegistryWait, PausesGrowFromFiftyMillisecondsAndStopAtTheFirstSuccess)
{
    int tests = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(cvWaitUntil([&] { return ++tests == 4; }), 1);
    EXPECT_EQ(tests, 4);
    // 50 + 100 + 200 ms.
    EXPECT_GE(secondsSince(start), 0.35);
    EXPECT_LT(secondsSince(start), 1.0);
}

TEST_F(RegistryRemovalTest, WaitReturnsAtOnceForAnEntryAlreadyGone)
{
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(waitForEntryRemoval(conn_.get(), nullptr), 1);
    EXPECT_EQ(waitForEntryRemoval(conn_.get(), ("cn=gone, " + kAlphaDS).c_str()), 1);
    EXPECT_LT(secondsSince(start), 1.0);
}

TEST_F(RegistryRemovalTest, WaitPausesOnlyWhileTheEntryStillShows)
{
    // Another client deletes the entry a second after the wait begins.
    BackgroundProcess deleter("/bin/sh", {"-c", "sleep 1; ldapdelete -x -H '" + slapd().url("") +
                                                    "' -D '" + Slapd::kRootDN + "' -w '" +
                                                    Slapd::kRootPassword + "' '" + kWest + "'"});
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(waitForEntryRemoval(conn_.get(), kWest.c_str()), 1);
    // Pauses of 50 ms doubling: the deletion a second in is seen by the test
    // 1.55 s in, not five seconds later.
    double took = secondsSince(start);
    EXPECT_GE(took, 1.0);
    EXPECT_LT(took, 2.5);
    EXPECT_TRUE(deleter.waitForExit(10));
    EXPECT_EQ(removed(), normSet({kWest}));
}

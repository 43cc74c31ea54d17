// remove-instance and remove-instance-plan against a configuration directory
// that takes simple binds only over TLS: over ldaps:// and over StartTLS
// with the CA of the client configuration, and refused, with the reason and
// without a byte of the password in the clear, when the certificate is not
// trusted or TLS cannot be had.
#include <gtest/gtest.h>

#include "e2e_fixture.h"
#include "recording_listener.h"

namespace {

using namespace cvtest;

class TlsTool : public EndToEndSuite<TlsTool> {
public:
    static SlapdOptions slapdOptions()
    {
        SlapdOptions o;
        o.tls = true;
        return o;
    }

protected:
    // The tool under an OpenLDAP client configuration naming the test CA
    // (or another CA), never the machine's own files.
    std::vector<std::string> tlsEnvironment(bool trusted = true)
    {
        std::vector<std::string> env;
        for (const std::string& e : baseEnvironment())
            if (e.rfind("LDAPNOINIT=", 0) != 0)
                env.push_back(e);
        for (const std::string& e : slapd().clientEnvironment(trusted))
            env.push_back(e);
        return env;
    }

    std::string infWithUrl(const std::string& url, const std::string& extra = "",
                           const std::string& instance = "slapd-east")
    {
        return "[uninstall]\nServerIdentifier= " + instance + "\nServerRoot= " + roots_.alpha +
               "\nFullMachineName= alpha.example.com\nConfigDirectoryLdapURL= " + url +
               "\nConfigDirectoryAdminID= " + Slapd::kRootDN +
               "\nConfigDirectoryAdminPwd= " + Slapd::kRootPassword + "\n" + extra;
    }

    ProcessResult run(const std::string& program, const std::string& inf, bool trusted = true)
    {
        dir_.write("remove.inf", inf);
        return runProcess(program, {"-f", dir_.file("remove.inf")}, tlsEnvironment(trusted));
    }
};

TEST_F(TlsTool, RemovalOverLdapsUnregistersTheInstance)
{
    ProcessResult r = run(CV_REMOVE_INSTANCE, infWithUrl(slapd().ldapsUrl()));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Server slapd-east was successfully removed\nTPX_STATUS: 0\n");
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig}));
    EXPECT_FALSE(treeExists("slapd-east"));
}

TEST_F(TlsTool, RemovalOverStartTlsUnregistersTheInstance)
{
    ProcessResult r =
        run(CV_REMOVE_INSTANCE, infWithUrl(slapd().url(), "ConfigDirectoryStartTLS= yes\n"));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig}));
}

TEST_F(TlsTool, PlainLdapIsRefusedByTheServerAndNothingIsUnregistered)
{
    ProcessResult r = run(CV_REMOVE_INSTANCE, infWithUrl(slapd().url()));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.err.rfind("Error: could not connect to the configuration directory " + slapd().url(), 0),
        0u)
        << r.err;
    EXPECT_TRUE(removed().empty());
}

TEST_F(TlsTool, PlanOverLdapsNamesTheTlsServer)
{
    ProcessResult r = run(CV_REMOVE_INSTANCE_PLAN, infWithUrl(slapd().ldapsUrl()));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(
        r.out.find("ldaps://127.0.0.1:" + std::to_string(slapd().tlsPort()) + "/o=CorvidRoot"),
        std::string::npos)
        << r.out;
    EXPECT_TRUE(removed().empty());
}

TEST_F(TlsTool, UntrustedCertificateFailsWithItsReasonAndKeepsTheRegistration)
{
    for (const std::string& extra :
         {std::string(), std::string("ConfigDirectoryStartTLS= yes\n")}) {
        const std::string url = extra.empty() ? slapd().ldapsUrl() : slapd().url();
        ProcessResult r =
            run(CV_REMOVE_INSTANCE,
                infWithUrl(url, extra, extra.empty() ? "slapd-east" : "slapd-west"), false);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(
            r.err.rfind("Error: could not connect to the configuration directory " + url + " (", 0),
            0u)
            << r.err;
        EXPECT_NE(r.err.find("certificate was not accepted"), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("successfully removed"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("TPX_STATUS: 6"), std::string::npos) << r.out;
        EXPECT_TRUE(removed().empty());
    }
}

// The stand-in answers nothing (ldaps) or hangs up after the StartTLS
// request: either way the bind, and with it the password, is never sent.
TEST_F(TlsTool, PasswordNeverCrossesInTheClearWhenTlsWasAskedFor)
{
    RecordingListener ldaps(true);
    RecordingListener startTls(true);
    ProcessResult a =
        run(CV_REMOVE_INSTANCE, infWithUrl("ldaps://" + ldaps.hostPort() + "/o=CorvidRoot"));
    ProcessResult b =
        run(CV_REMOVE_INSTANCE, infWithUrl("ldap://" + startTls.hostPort() + "/o=CorvidRoot",
                                           "ConfigDirectoryStartTLS= yes\n", "slapd-west"));
    EXPECT_EQ(a.status, 1);
    EXPECT_EQ(b.status, 1);
    EXPECT_GE(ldaps.connections(), 1);
    EXPECT_GE(startTls.connections(), 1);
    EXPECT_FALSE(ldaps.saw(Slapd::kRootPassword));
    EXPECT_FALSE(startTls.saw(Slapd::kRootPassword));
    EXPECT_FALSE(startTls.saw(Slapd::kRootDN));
    // What the StartTLS stand-in got is the extended request and nothing else.
    EXPECT_TRUE(startTls.saw(LDAP_EXOP_START_TLS)) << startTls.received().size();
    EXPECT_TRUE(removed().empty());
}

} // namespace

namespace {

using namespace cvtest;

// A host that a referral entry in the registry and the server's default
// referral both name; the admin password must never reach it.
RecordingListener& rogue()
{
    static RecordingListener listener;
    return listener;
}

class RogueReferral : public EndToEndSuite<RogueReferral> {
public:
    static SlapdOptions slapdOptions()
    {
        SlapdOptions o;
        o.defaultReferral = "ldap://" + rogue().hostPort() + "/";
        return o;
    }

protected:
    void SetUp() override
    {
        EndToEndSuite<RogueReferral>::SetUp();
        std::string out;
        ASSERT_TRUE(slapd().add("dn: ou=Trap, " + kAlphaDS +
                                    "\nobjectclass: referral\nobjectclass: extensibleObject\n"
                                    "ou: Trap\nref: ldap://" +
                                    rogue().hostPort() + "/ou=Trap,o=CorvidRoot\n",
                                &out, true))
            << out;
        before_ = registryEntries(slapd());
    }
};

TEST_F(RogueReferral, PlanAndRemovalNeverSendAByteToAHostTheRegistryNames)
{
    dir_.write("remove.inf", infFor("slapd-east", Slapd::kRootPassword));
    ProcessResult plan =
        runProcess(CV_REMOVE_INSTANCE_PLAN, {"-f", dir_.file("remove.inf")}, baseEnvironment());
    EXPECT_EQ(plan.status, 0) << plan.out << plan.err;
    ProcessResult removal = silent("slapd-east");
    EXPECT_EQ(removal.status, 0) << removal.out << removal.err;
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig}));
    EXPECT_EQ(rogue().connections(), 0);
    EXPECT_EQ(rogue().received(), "");
}

} // namespace

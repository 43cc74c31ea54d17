// Silent mode's bridge: an inf file becomes the task environment and one
// unregistration against a real slapd.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "admtask.h"
#include "instance_fixture.h"
#include "registry_fixture.h"
#include "removal.h"
#include "slapd.h"
#include "tempdir.h"

using namespace cvtest;
using namespace cvtest::reg;

namespace {

std::string envOf(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "<unset>";
}

} // namespace

class BridgeTest : public FixtureRegistrySuite<BridgeTest> {
protected:
    void SetUp() override
    {
        FixtureRegistrySuite<BridgeTest>::SetUp();
        clearCgiVariables();
        port_ = std::to_string(slapd().port());
    }
    // The bridge sets them in this process, where other suites run next.
    void TearDown() override { clearCgiVariables(); }

    // The connection keys of the fixture server, one "Key= value" per line.
    std::string connectionKeys() const
    {
        return "LDAPHost= 127.0.0.1\nLDAPPort= " + port_ +
               "\nSuffix= o=CorvidRoot\nConfigDirectoryAdminID= " + Slapd::kRootDN +
               "\nConfigDirectoryAdminPwd= " + Slapd::kRootPassword + "\n";
    }
    std::string labKeys() const
    {
        return "ServerIdentifier= slapd-lab\nFullMachineName= gamma.lab.example.com\nServerRoot= " +
               roots_.lab + "\n";
    }

    int run(const std::string& infText)
    {
        dir_.write("remove.inf", infText);
        testing::internal::CaptureStderr();
        int rc = ds_uninst_set_cgi_env(dir_.file("remove.inf").c_str());
        err_ = testing::internal::GetCapturedStderr();
        return rc;
    }

    std::set<std::string> labChain() const
    {
        return normSet({kLabSlapd, kGammaDS, kGammaGroup, kGamma});
    }

    TempDir dir_{"bridge"};
    std::string port_;
    std::string err_;
};

TEST_F(BridgeTest, UninstallSectionSetsTheRequestAndUnregisters)
{
    EXPECT_EQ(run("[General]\nServerIdentifier= slapd-east\n\n[uninstall]\n" + labKeys() +
                  connectionKeys()),
              0);
    EXPECT_EQ(err_, "");
    EXPECT_EQ(envOf("REQUEST_METHOD"), "GET");
    EXPECT_EQ(envOf("QUERY_STRING"), "InstanceName=slapd-lab");
    EXPECT_EQ(envOf("WAYPOST_ROOT"), roots_.lab);
    EXPECT_EQ(envOf("SCRIPT_NAME"), "/slapd-lab/Tasks/Operation/Remove");
    EXPECT_EQ(removed(), labChain());
}

TEST_F(BridgeTest, RootValuesServeWhenThereIsNoUninstallSection)
{
    EXPECT_EQ(run("ServerIdentifier= slapd-lab\n[General]\nServerRoot= " + roots_.lab +
                  "\nFullMachineName= gamma.lab.example.com\n" + connectionKeys() +
                  "[slapd]\nServerIdentifier= slapd-east\n"),
              0);
    EXPECT_EQ(envOf("QUERY_STRING"), "InstanceName=slapd-lab");
    EXPECT_EQ(removed(), labChain());
}

TEST_F(BridgeTest, KeysOfOtherSectionsAreNotRead)
{
    EXPECT_EQ(run("[slapd]\n" + labKeys() + connectionKeys()), 0);
    EXPECT_EQ(envOf("QUERY_STRING"), "<unset>");
    EXPECT_EQ(envOf("WAYPOST_ROOT"), "<unset>");
    EXPECT_EQ(envOf("SCRIPT_NAME"), "<unset>");
    EXPECT_EQ(envOf("REQUEST_METHOD"), "GET");
    EXPECT_EQ(err_,
              "Error: could not connect to the configuration directory ldap://:/: error = 145\n");
    EXPECT_TRUE(removed().empty());
}

TEST_F(BridgeTest, ConfigUrlFillsHostPortAndSuffix)
{
    EXPECT_EQ(run("[uninstall]\n" + labKeys() + "ConfigDirectoryLdapURL= ldap://127.0.0.1:" +
                  port_ + "/o=CorvidRoot\nConfigDirectoryAdminID= " + Slapd::kRootDN +
                  "\nConfigDirectoryAdminPwd= " + Slapd::kRootPassword + "\n"),
              0);
    EXPECT_EQ(err_, "");
    EXPECT_EQ(removed(), labChain());
}

TEST_F(BridgeTest, KeyValuesWinOverTheUrl)
{
    EXPECT_EQ(run("[uninstall]\n" + labKeys() + connectionKeys() +
                  "ConfigDirectoryLdapURL= ldap://unreachable.invalid:1/o=Elsewhere\n"),
              0);
    EXPECT_EQ(err_, "");
    EXPECT_EQ(removed(), labChain());
}

TEST_F(BridgeTest, EmptyPortKeyTakesTheUrlPort)
{
    EXPECT_EQ(run("[uninstall]\n" + labKeys() + "LDAPHost= 127.0.0.1\nLDAPPort=\n" +
                  "ConfigDirectoryLdapURL= ldap://unreachable.invalid:" + port_ +
                  "/o=CorvidRoot\nConfigDirectoryAdminID= " + Slapd::kRootDN +
                  "\nConfigDirectoryAdminPwd= " + Slapd::kRootPassword + "\n"),
              0);
    EXPECT_EQ(err_, "");
    EXPECT_EQ(removed(), labChain());
}

TEST_F(BridgeTest, UrlThatDoesNotParseIsIgnoredSilently)
{
    EXPECT_EQ(run("[uninstall]\n" + labKeys() + connectionKeys() +
                  "ConfigDirectoryLdapURL= this is no url\n"),
              0);
    EXPECT_EQ(err_, "");
    EXPECT_EQ(removed(), labChain());
}

TEST_F(BridgeTest, WrongPasswordIsReportedWithoutIt)
{
    EXPECT_EQ(run("[uninstall]\n" + labKeys() + "LDAPHost= 127.0.0.1\nLDAPPort= " + port_ +
                  "\nSuffix= o=CorvidRoot\nConfigDirectoryAdminID= " + Slapd::kRootDN +
                  "\nConfigDirectoryAdminPwd= not-the-secret\n"),
              0);
    EXPECT_EQ(err_, "Error: could not connect to the configuration directory ldap://127.0.0.1:" +
                        port_ + "/o=CorvidRoot: error = 146\n");
    EXPECT_EQ(envOf("QUERY_STRING"), "InstanceName=slapd-lab");
    EXPECT_TRUE(removed().empty());
}

TEST_F(BridgeTest, MissingServerIdentifierTakesTheServerNameOfTheEnvironment)
{
    setenv("SCRIPT_NAME", "/slapd-lab/Tasks/Operation/Remove", 1);
    EXPECT_EQ(run("[uninstall]\nFullMachineName= gamma.lab.example.com\nServerRoot= " + roots_.lab +
                  "\n" + connectionKeys()),
              0);
    EXPECT_EQ(envOf("QUERY_STRING"), "InstanceName=slapd-lab");
    EXPECT_EQ(removed(), labChain());
}

TEST_F(BridgeTest, NoInstanceNameLeavesTheRequestUnsetAndFindsNothing)
{
    EXPECT_EQ(run("[uninstall]\nFullMachineName= gamma.lab.example.com\nServerRoot= " + roots_.lab +
                  "\n" + connectionKeys()),
              0);
    EXPECT_EQ(envOf("QUERY_STRING"), "<unset>");
    EXPECT_EQ(envOf("SCRIPT_NAME"), "<unset>");
    EXPECT_EQ(err_.rfind("Error: could not read the SIE entry using filter "
                         "(&(serverhostname=gamma.lab.example.com)(cn=)",
                         0),
              0u)
        << err_;
    EXPECT_TRUE(removed().empty());
}

// The task layer must decode exactly the name that was unregistered.
TEST_F(BridgeTest, InstanceNameReachesTheTaskLayerExactly)
{
    for (const std::string name : {"a&InstanceName=b", "x%2e", "two words+plus", "caf\xc3\xa9"}) {
        run("[uninstall]\nServerIdentifier= " + name + "\n");
        ADMUTIL_Init();
        ds_get_begin(std::getenv("QUERY_STRING"));
        const char* decoded = ds_get_cgi_var("InstanceName");
        ASSERT_NE(decoded, nullptr) << name;
        EXPECT_EQ(std::string(decoded), name);
    }
}

TEST_F(BridgeTest, LongValuesAreKeptWhole)
{
    const std::string root = "/srv/" + std::string(3000, 'r');
    const std::string name = "slapd-" + std::string(700, 'n');
    run("[uninstall]\nServerIdentifier= " + name + "\nServerRoot= " + root +
        "\nLDAPPort= " + std::string(40, '7') + "\n");
    EXPECT_EQ(envOf("WAYPOST_ROOT"), root);
    EXPECT_EQ(envOf("QUERY_STRING"), "InstanceName=" + name);
    EXPECT_EQ(envOf("SCRIPT_NAME"), "/" + name + "/Tasks/Operation/Remove");
    EXPECT_EQ(err_, "Error: could not connect to the configuration directory ldap://:" +
                        std::string(40, '7') + "/: error = 145\n");
}

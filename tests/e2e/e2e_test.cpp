// The remove-instance executable from end to end: a real slapd holding the
// fixture registry, a server root on disk with instance trees, and running
// stand-in server processes whose pids are in <instance>/logs/pid.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "registry_fixture.h"
#include "slapd.h"
#include "subprocess.h"
#include "tempdir.h"

using namespace cvtest;
using namespace cvtest::reg;

class EndToEndTest : public SlapdSuite<EndToEndTest> {
protected:
    void SetUp() override
    {
        SlapdSuite<EndToEndTest>::SetUp();
        roots_.alpha = dir_.file("servers");
        std::string out;
        ASSERT_TRUE(resetRegistry(slapd(), roots_, &out)) << out;
        before_ = registryEntries(slapd());
        for (const char* instance : {"slapd-east", "slapd-west"}) {
            makeInstance(instance);
        }
        dir_.mkdirs("servers/shared/config");
        dir_.write("servers/shared/config/ds.conf", "kept\n");
    }

    void makeInstance(const std::string& name)
    {
        const std::string base = "servers/" + name;
        dir_.write(base + "/config/dse.ldif", "dn: cn=config\n");
        dir_.write(base + "/db/userRoot/id2entry.db", std::string(4096, 'x'));
        dir_.mkdirs(base + "/logs");
        dir_.write(base + "/logs/errors", "started\n");
        servers_[name].reset(new BackgroundProcess("sleep", {"1000"}));
        dir_.write(base + "/logs/pid", std::to_string(servers_[name]->pid()) + "\n");
    }

    std::string infFor(const std::string& instance, const std::string& password) const
    {
        return "[General]\nFullMachineName= alpha.example.com\n\n[uninstall]\nServerIdentifier= " +
               instance + "\nServerRoot= " + roots_.alpha +
               "\nFullMachineName= alpha.example.com\nLDAPHost= 127.0.0.1\nLDAPPort= " +
               std::to_string(slapd().port()) + "\nSuffix= o=CorvidRoot\nConfigDirectoryAdminID= " +
               Slapd::kRootDN + "\nConfigDirectoryAdminPwd= " + password + "\n";
    }

    ProcessResult silent(const std::string& instance,
                         const std::string& password = Slapd::kRootPassword)
    {
        dir_.write("remove.inf", infFor(instance, password));
        return runProcess(CV_REMOVE_INSTANCE, {"-f", dir_.file("remove.inf")}, baseEnvironment());
    }

    std::vector<std::string> cgiEnvironment(const std::string& method) const
    {
        std::vector<std::string> env = baseEnvironment();
        env.push_back("REQUEST_METHOD=" + method);
        env.push_back("WAYPOST_ROOT=" + roots_.alpha);
        return env;
    }

    bool stopped(const std::string& instance) { return servers_[instance]->waitForExit(5); }
    bool treeExists(const std::string& instance) { return dir_.exists("servers/" + instance); }
    std::set<std::string> removed() { return removedEntries(before_, registryEntries(slapd())); }

    TempDir dir_{"e2e"};
    RegistryRoots roots_;
    std::set<std::string> before_;
    std::map<std::string, std::unique_ptr<BackgroundProcess>> servers_;
};

TEST_F(EndToEndTest, SilentModeUnregistersStopsAndDeletesOneInstance)
{
    ProcessResult r = silent("slapd-east");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Server slapd-east was successfully removed\nTPX_STATUS: 0\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig}));
    EXPECT_TRUE(stopped("slapd-east"));
    EXPECT_FALSE(treeExists("slapd-east"));
    // The sibling keeps its registration, its files and its process.
    EXPECT_TRUE(treeExists("slapd-west"));
    EXPECT_TRUE(servers_["slapd-west"]->running());
    EXPECT_TRUE(dir_.exists("servers/shared/config/ds.conf"));
}

TEST_F(EndToEndTest, SilentModeRemovingTheLastInstanceTakesTheProductEntry)
{
    ASSERT_EQ(silent("slapd-east").status, 0);
    ProcessResult r = silent("slapd-west");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Server slapd-west was successfully removed\nTPX_STATUS: 0\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(removed(), normSet({kEast, kEastConfig, kWest, kAlphaDS}));
    EXPECT_TRUE(slapd().exists(kAlphaGroup));
    EXPECT_TRUE(stopped("slapd-west"));
    EXPECT_FALSE(treeExists("slapd-west"));
    EXPECT_TRUE(dir_.exists("servers/shared/config/ds.conf"));
}

TEST_F(EndToEndTest, SilentModeWithAWrongPasswordReportsItAndStillRemovesTheFiles)
{
    ProcessResult r = silent("slapd-east", "not-the-password");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Server slapd-east was successfully removed\nTPX_STATUS: 0\n");
    EXPECT_EQ(r.err, "Error: could not connect to the configuration directory ldap://127.0.0.1:" +
                         std::to_string(slapd().port()) + "/o=CorvidRoot: error = 146\n");
    EXPECT_EQ(r.err.find("not-the-password"), std::string::npos);
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(stopped("slapd-east"));
    EXPECT_FALSE(treeExists("slapd-east"));
}

TEST_F(EndToEndTest, SilentModeWildcardNameTouchesNoOtherInstance)
{
    ProcessResult r = silent("*");
    EXPECT_EQ(r.err, "Error: could not read the SIE entry using filter "
                     "(&(serverhostname=alpha.example.com)(cn=\\2a)(serverroot=" +
                         roots_.alpha + ")): error = 153\n");
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(treeExists("slapd-east"));
    EXPECT_TRUE(treeExists("slapd-west"));
    EXPECT_TRUE(servers_["slapd-east"]->running());
    EXPECT_TRUE(servers_["slapd-west"]->running());
}

TEST_F(EndToEndTest, CgiGetStopsAndDeletesWithoutTouchingTheRegistry)
{
    std::vector<std::string> env = cgiEnvironment("GET");
    env.push_back("QUERY_STRING=InstanceName=slapd-west");
    ProcessResult r = runProcess(CV_REMOVE_INSTANCE, {}, env);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Content-type: text/html\n\nServer slapd-west was successfully removed\nTPX_STATUS: 0\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(stopped("slapd-west"));
    EXPECT_FALSE(treeExists("slapd-west"));
    EXPECT_TRUE(treeExists("slapd-east"));
}

TEST_F(EndToEndTest, CgiPostReadsTheInstanceFromTheBody)
{
    const std::string body = "InstanceName=slapd-east";
    std::vector<std::string> env = cgiEnvironment("POST");
    env.push_back("CONTENT_LENGTH=" + std::to_string(body.size()));
    ProcessResult r = runProcess(CV_REMOVE_INSTANCE, {}, env, body);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Content-type: text/html\n\nServer slapd-east was successfully removed\nTPX_STATUS: 0\n");
    EXPECT_TRUE(removed().empty());
    EXPECT_TRUE(stopped("slapd-east"));
    EXPECT_FALSE(treeExists("slapd-east"));
    EXPECT_TRUE(treeExists("slapd-west"));
}

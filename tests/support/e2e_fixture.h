// The remove-instance executable from end to end: a real slapd holding the
// fixture registry, a server root on disk with instance trees, and running
// stand-in server processes whose pids are in <instance>/logs/pid.
#ifndef CV_TEST_E2E_FIXTURE_H
#define CV_TEST_E2E_FIXTURE_H

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "registry_fixture.h"
#include "slapd.h"
#include "subprocess.h"
#include "tempdir.h"

namespace cvtest {

using namespace cvtest::reg;

template <class Derived>
class EndToEndSuite : public SlapdSuite<Derived> {
protected:
    void SetUp() override
    {
        SlapdSuite<Derived>::SetUp();
        roots_.alpha = dir_.file("servers");
        std::string out;
        ASSERT_TRUE(resetRegistry(this->slapd(), roots_, &out)) << out;
        before_ = registryEntries(this->slapd());
        for (const char* instance : {"slapd-east", "slapd-west"}) {
            makeInstance(instance);
        }
        dir_.mkdirs("servers/shared/config");
        dir_.write("servers/shared/config/ds.conf", "kept\n");
    }

    // An instance tree below dir_/rootDir (the alpha server root by default)
    // with a running stand-in server.
    void makeInstance(const std::string& name, const std::string& rootDir = "servers")
    {
        const std::string base = rootDir + "/" + name;
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
               std::to_string(this->slapd().port()) + "\nSuffix= o=CorvidRoot\nConfigDirectoryAdminID= " +
               Slapd::kRootDN + "\nConfigDirectoryAdminPwd= " + password + "\n";
    }

    ProcessResult silent(const std::string& instance,
                         const std::string& password = Slapd::kRootPassword)
    {
        return silentInf(infFor(instance, password));
    }

    ProcessResult silentInf(const std::string& inf)
    {
        dir_.write("remove.inf", inf);
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
    std::set<std::string> removed() { return removedEntries(before_, registryEntries(this->slapd())); }

    TempDir dir_{"e2e"};
    RegistryRoots roots_;
    std::set<std::string> before_;
    std::map<std::string, std::unique_ptr<BackgroundProcess>> servers_;
};

} // namespace cvtest

#endif

// The remove-instance executable from end to end: a real slapd holding the
// fixture registry, a server root on disk with instance trees, and running
// stand-in server processes whose pids are in <instance>/logs/pid.
#ifndef CV_TEST_E2E_FIXTURE_H
#define CV_TEST_E2E_FIXTURE_H

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "instance_fixture.h"
#include "registry_fixture.h"
#include "slapd.h"
#include "subprocess.h"
#include "tempdir.h"

namespace cvtest {

using namespace cvtest::reg;

// The fixture registry with the alpha server root in dir_/servers, holding
// the trees of slapd-east and slapd-west with their stand-in servers running
// and a shared folder that no removal may touch.
template <class Derived>
class EndToEndSuite : public FixtureRegistrySuite<Derived> {
protected:
    void SetUp() override
    {
        this->roots_.alpha = dir_.file("servers");
        FixtureRegistrySuite<Derived>::SetUp();
        if (testing::Test::HasFatalFailure())
            return;
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
        writeInstanceTree(dir_, base);
        servers_[name].reset(new BackgroundProcess("sleep", {"1000"}));
        writePidFile(dir_, base, servers_[name]->pid());
    }

    std::string infFor(const std::string& instance, const std::string& password) const
    {
        return "[General]\nFullMachineName= alpha.example.com\n\n[uninstall]\nServerIdentifier= " +
               instance + "\nServerRoot= " + this->roots_.alpha +
               "\nFullMachineName= alpha.example.com\nLDAPHost= 127.0.0.1\nLDAPPort= " +
               std::to_string(this->slapd().port()) +
               "\nSuffix= o=CorvidRoot\nConfigDirectoryAdminID= " + Slapd::kRootDN +
               "\nConfigDirectoryAdminPwd= " + password + "\n";
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

    bool stopped(const std::string& instance) { return servers_[instance]->waitForExit(5); }
    bool treeExists(const std::string& instance) { return dir_.exists("servers/" + instance); }

    TempDir dir_{"e2e"};
    std::map<std::string, std::unique_ptr<BackgroundProcess>> servers_;
};

} // namespace cvtest

#endif

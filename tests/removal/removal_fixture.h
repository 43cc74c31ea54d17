// Runs the built remove-instance against a throwaway server root.
#ifndef CV_TEST_REMOVAL_FIXTURE_H
#define CV_TEST_REMOVAL_FIXTURE_H

#include "subprocess.h"
#include "tempdir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

class RemovalRun : public ::testing::Test {
protected:
    static constexpr const char* kHeader = "Content-type: text/html\n\n";

    // <tmp>/srv is the server root; <tmp>/outside holds files no removal may touch.
    std::string serverRoot() const { return tmp.file("srv"); }

    // An instance tree like a directory server's: config, logs, databases.
    void makeInstance(const std::string& name) const
    {
        tmp.write("srv/" + name + "/config/dse.ldif", "dn: cn=config\n");
        tmp.write("srv/" + name + "/logs/errors", "started\n");
        tmp.write("srv/" + name + "/db/userRoot/id2entry.db", std::string(4096, 'x'));
        tmp.mkdirs("srv/" + name + "/db/changelog");
    }

    void makeOutside() const
    {
        tmp.write("outside/keep.txt", "keep\n");
        tmp.write("outside/deep/keep2.txt", "keep\n");
    }

    std::vector<std::string> cgiEnv(const std::string& method) const
    {
        auto env = cvtest::baseEnvironment();
        env.push_back("REQUEST_METHOD=" + method);
        env.push_back("WAYPOST_ROOT=" + serverRoot());
        return env;
    }

    cvtest::ProcessResult run(const std::vector<std::string>& args,
                              const std::vector<std::string>& env,
                              const std::string& input = "") const
    {
        return cvtest::runProcess(CV_REMOVE_INSTANCE, args, env, input, 90);
    }

    cvtest::ProcessResult removeByQuery(const std::string& query) const
    {
        auto env = cgiEnv("GET");
        env.push_back("QUERY_STRING=" + query);
        return run({}, env);
    }

    static std::string success(const std::string& name)
    {
        return "Server " + name + " was successfully removed\nTPX_STATUS: 0\n";
    }

    cvtest::TempDir tmp{"cvremoval"};
};

#endif

// Runs the built remove-instance against a throwaway server root.
#ifndef CV_TEST_REMOVAL_FIXTURE_H
#define CV_TEST_REMOVAL_FIXTURE_H

#include "instance_fixture.h"
#include "subprocess.h"
#include "tempdir.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

class RemovalRun : public ::testing::Test {
protected:
    static constexpr const char* kHeader = "Content-type: text/html\n\n";

    // <tmp>/srv is the server root; <tmp>/outside holds files no removal may touch.
    std::string serverRoot() const { return tmp.file("srv"); }

    void makeInstance(const std::string& name) const
    {
        cvtest::writeInstanceTree(tmp, "srv/" + name);
    }
    void writePid(const std::string& name, pid_t pid) const
    {
        cvtest::writePidFile(tmp, "srv/" + name, pid);
    }

    void makeOutside() const
    {
        tmp.write("outside/keep.txt", "keep\n");
        tmp.write("outside/deep/keep2.txt", "keep\n");
    }

    std::vector<std::string> cgiEnv(const std::string& method,
                                    const std::optional<std::string>& query = std::nullopt) const
    {
        return cvtest::cgiEnvironment(method, serverRoot(), query);
    }

    cvtest::ProcessResult run(const std::vector<std::string>& args,
                              const std::vector<std::string>& env,
                              const std::string& input = "") const
    {
        return cvtest::runProcess(CV_REMOVE_INSTANCE, args, env, input, 90);
    }

    cvtest::ProcessResult removeByQuery(const std::string& query) const
    {
        return run({}, cgiEnv("GET", query));
    }

    static std::string success(const std::string& name)
    {
        return "Server " + name + " was successfully removed\nTPX_STATUS: 0\n";
    }

    cvtest::TempDir tmp{"cvremoval"};
};

#endif

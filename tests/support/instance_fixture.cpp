#include "instance_fixture.h"

#include <cstdlib>

#include "subprocess.h"

namespace cvtest {

void writeInstanceTree(const TempDir& dir, const std::string& rel)
{
    dir.write(rel + "/config/dse.ldif", "dn: cn=config\n");
    dir.write(rel + "/logs/errors", "started\n");
    dir.write(rel + "/db/userRoot/id2entry.db", std::string(4096, 'x'));
    dir.mkdirs(rel + "/db/changelog");
}

void writePidFile(const TempDir& dir, const std::string& rel, pid_t pid)
{
    dir.write(rel + "/logs/pid", std::to_string(pid) + "\n");
}

std::vector<std::string> cgiEnvironment(const std::string& method, const std::string& serverRoot,
                                        const std::optional<std::string>& query)
{
    std::vector<std::string> env = baseEnvironment();
    if (!method.empty())
        env.push_back("REQUEST_METHOD=" + method);
    if (query)
        env.push_back("QUERY_STRING=" + *query);
    if (!serverRoot.empty())
        env.push_back("WAYPOST_ROOT=" + serverRoot);
    return env;
}

void clearCgiVariables()
{
    for (const char* name :
         {"REQUEST_METHOD", "QUERY_STRING", "CONTENT_LENGTH", "SCRIPT_NAME", "WAYPOST_ROOT"})
        unsetenv(name);
}

} // namespace cvtest

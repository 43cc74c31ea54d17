// An instance as remove-instance and its plan meet it: its tree below a
// server root, the pid file of its server, and the CGI request that names
// it, for a child process (an environment to run it with) or for the admin
// task layer in this process.
#ifndef CV_TEST_INSTANCE_FIXTURE_H
#define CV_TEST_INSTANCE_FIXTURE_H

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "tempdir.h"

namespace cvtest {

// The tree an installed directory server has at rel below dir: 3 files
// (config/dse.ldif, logs/errors, a 4096-byte db/userRoot/id2entry.db) in 6
// directories (rel, config, logs, db, db/userRoot and the empty
// db/changelog). No pid file: writePidFile adds one.
void writeInstanceTree(const TempDir& dir, const std::string& rel);

// rel/logs/pid below dir naming pid, as a running server writes it.
void writePidFile(const TempDir& dir, const std::string& rel, pid_t pid);

// baseEnvironment() with the request: REQUEST_METHOD=method and
// WAYPOST_ROOT=serverRoot, each left out when empty, and QUERY_STRING=query
// when a query is given (an empty one included).
std::vector<std::string> cgiEnvironment(const std::string& method, const std::string& serverRoot,
                                        const std::optional<std::string>& query = std::nullopt);

// Unsets every request variable (REQUEST_METHOD, QUERY_STRING,
// CONTENT_LENGTH, SCRIPT_NAME, WAYPOST_ROOT) in this process, so that a test
// of the admin task layer sees only the ones it sets.
void clearCgiVariables();

} // namespace cvtest

#endif

// Internals of the test slapd shared by slapd.cpp, slapd_process.cpp and
// slapd_config.cpp: process and file helpers, and the configuration pieces.
#ifndef CV_TEST_SLAPD_INTERNAL_H
#define CV_TEST_SLAPD_INTERNAL_H

#include <string>
#include <sys/types.h>
#include <vector>

namespace cvtest {
namespace slapdimpl {

// Crash paths: every live server's process group is killed by exit() and by
// fatal signals of the test process.
void installCrashHandlers();
void registerLive(pid_t pid);
void unregisterLive(pid_t pid);

bool readFile(const std::string& path, std::string* out);
bool writeFile(const std::string& path, const std::string& text);
void removeTree(const std::string& dir);
void sweepStaleDirs(const std::string& tmp);
// argv with stdin from /dev/null and stdout+stderr into outPath; the exit
// status, or -1 when it could not run or was killed.
int runProcess(const std::vector<std::string>& argv, const std::string& outPath);
int freePort();
bool canConnect(int port);
void sleepMs(int ms);

std::string installedSchemaDir();
bool patchCore(std::string* core);
std::string suffixEntry(const std::string& suffix);

} // namespace slapdimpl
} // namespace cvtest

#endif

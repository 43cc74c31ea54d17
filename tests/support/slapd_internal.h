// Helpers of the test slapd shared by its source files.
#ifndef CV_TEST_SLAPD_INTERNAL_H
#define CV_TEST_SLAPD_INTERNAL_H

#include <string>
#include <vector>

namespace cvtest {
namespace detail {

bool readFile(const std::string& path, std::string* out);
bool writeFile(const std::string& path, const std::string& text);
void removeTree(const std::string& dir);
// argv run with stdin from /dev/null and output into outPath; env entries
// set in the child (LDAPNOINIT then unset). The exit status, -1 on failure.
int runProcess(const std::vector<std::string>& argv, const std::string& outPath,
               const std::vector<std::string>& env = {});
int freePort();
bool canConnect(int port);
void sleepMs(int ms);

} // namespace detail
} // namespace cvtest

#endif

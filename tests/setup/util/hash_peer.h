// Running the maintained peer tools (sha1sum, base64, slappasswd) on test data.
#ifndef CV_TEST_HASH_PEER_H
#define CV_TEST_HASH_PEER_H

#include <string>
#include <vector>

#include "tempdir.h"

namespace hashtest {

// Deterministic pseudo-random bytes of every value.
std::string randomBytes(size_t length, unsigned seed);

// Output of program with args, trailing newline removed; fails the test when
// the program does not exit 0.
std::string peerOutput(const std::string& program, const std::vector<std::string>& args);

// Writes data to a file below dir and returns its path.
std::string writeInput(const cvtest::TempDir& dir, const std::string& name,
                       const std::string& data);

} // namespace hashtest

#endif

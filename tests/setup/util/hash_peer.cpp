#include "hash_peer.h"

#include <gtest/gtest.h>

#include <random>

#include "subprocess.h"

namespace hashtest {

std::string randomBytes(size_t length, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string out(length, '\0');
    for (auto& c : out)
        c = static_cast<char>(gen() & 0xFF);
    return out;
}

std::string peerOutput(const std::string& program, const std::vector<std::string>& args)
{
    cvtest::ProcessResult r = cvtest::runProcess(program, args, cvtest::baseEnvironment());
    EXPECT_EQ(r.status, 0) << program << ": " << r.err;
    std::string out = r.out;
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

std::string writeInput(const cvtest::TempDir& dir, const std::string& name, const std::string& data)
{
    dir.write(name, data);
    return dir.file(name);
}

} // namespace hashtest

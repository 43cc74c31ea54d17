// The GoogleTest side of the test slapd: one server per test suite. The
// server itself is slapd_server.h (library cvtestslapd).
#ifndef CV_TEST_SLAPD_H
#define CV_TEST_SLAPD_H

#include <gtest/gtest.h>

#include "slapd_server.h"

namespace cvtest {

// One server shared by every test of a suite (started in SetUpTestSuite,
// stopped in TearDownTestSuite). Derived must be the deriving fixture
// itself; it may define a static slapdOptions().
template <class Derived>
class SlapdSuite : public ::testing::Test {
public:
    static SlapdOptions slapdOptions() { return SlapdOptions(); }

    static void SetUpTestSuite()
    {
        server_ = new Slapd(Derived::slapdOptions());
        server_->start();
    }
    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
    }

protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_ != nullptr && server_->running())
            << "slapd did not start: " << (server_ ? server_->error() : std::string());
    }
    static Slapd& slapd() { return *server_; }

private:
    inline static Slapd* server_ = nullptr;
};

} // namespace cvtest

#endif

// The process-wide install log of the loader tests: opened once per process
// (the first path opened stays the log), read back by each test from where
// it stood when the test began.
#ifndef CV_TEST_LDIF_INSTALL_LOG_H
#define CV_TEST_LDIF_INSTALL_LOG_H

#include <string>

#include "setup_util.h"
#include "tempdir.h"

namespace cvtest {

class TestLog {
public:
    TestLog() { mark_ = all().size(); }
    // Lines written since this object was made.
    std::string lines() const { return all().substr(mark_); }

private:
    static const std::string& path()
    {
        static TempDir dir("ldiflog");
        static std::string p = [] {
            std::string file = dir.file("install.log");
            setupSetLogFile(file.c_str());
            return file;
        }();
        return p;
    }
    static std::string all() { return readFile(path()); }
    size_t mark_;
};

} // namespace cvtest

#endif

// Running programs from tests with a fully controlled environment.
//
//   auto env = cvtest::baseEnvironment();          // PATH, LDAPNOINIT=1, sanitizer options
//   env.push_back("REQUEST_METHOD=GET");
//   cvtest::ProcessResult r = cvtest::runProcess(CV_REMOVE_INSTANCE, {"-f", inf}, env, "stdin
//   text"); EXPECT_EQ(r.status, 0); EXPECT_EQ(r.out, "...");
//
// The child gets exactly the given environment (nothing is inherited), the
// given text on standard input (then end of file), and its standard output and
// error are captured whole.
#ifndef CV_TEST_SUBPROCESS_H
#define CV_TEST_SUBPROCESS_H

#include <string>
#include <sys/types.h>
#include <vector>

namespace cvtest {

struct ProcessResult {
    std::string out;       // everything written to standard output
    std::string err;       // everything written to standard error
    int status = -1;       // exit status; 128 + signal number when killed by a signal
    bool timedOut = false; // killed because it ran past the time limit
};

// PATH, LDAPNOINIT=1 and, when set in the test's own environment, TMPDIR and
// the ASan/UBSan/LSan option variables.
std::vector<std::string> baseEnvironment();

// Runs program (a path, or a name looked up in PATH) with args as argv[1..],
// env as "NAME=value" entries, and waits for it (killed after timeoutSeconds).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::string& stdinText = "",
                         int timeoutSeconds = 120);

// A long-running child (for example a stand-in server: "sleep 1000"), with
// standard input, output and error on /dev/null. The destructor kills it
// (SIGKILL) if it still runs and always reaps it.
class BackgroundProcess {
public:
    BackgroundProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& env = baseEnvironment());
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    pid_t pid() const { return pid_; }
    // True while the child has not terminated (a terminated child is reaped here).
    bool running();
    // Waits up to timeoutSeconds for the child to terminate; true when it did.
    bool waitForExit(double timeoutSeconds);
    // Exit status as in ProcessResult, valid once running() is false.
    int status() const { return status_; }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = -1;
};

} // namespace cvtest

#endif

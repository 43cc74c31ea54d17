// Running a test body in a forked child, for behaviour that hangs on
// process-wide state set once per process (the install log, the walks).
#ifndef CV_TEST_UTIL_CHILD_H
#define CV_TEST_UTIL_CHILD_H

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace utiltest {

// The body's result as the child's exit status; -1 when it did not exit.
inline int runInChild(const std::function<int()>& body)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Runs body in a child without root's privileges (as nobody when the tests
// run as root), so permission failures are real failures.
inline int runUnprivileged(const std::function<int()>& body)
{
    return runInChild([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            return 125;
        return body();
    });
}

} // namespace utiltest

#endif

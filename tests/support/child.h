// Running a test body in a forked child, for behaviour that hangs on
// process-wide state set once per process (the install log, the walks), and
// several bodies in children racing each other.
#ifndef CV_TEST_UTIL_CHILD_H
#define CV_TEST_UTIL_CHILD_H

#include <cerrno>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

// Runs each body in a child process of its own, for races between real
// processes. A body calls gate when it is ready to race; gate returns once
// every child may run, so the children start together. Returns the exit
// statuses in order, -1 for a child that did not exit normally.
inline std::vector<int>
runTogether(const std::vector<std::function<int(const std::function<void()>& gate)>>& bodies)
{
    int fds[2];
    std::vector<int> statuses(bodies.size(), -1);
    if (pipe(fds) != 0)
        return statuses;
    std::vector<pid_t> children;
    for (const auto& body : bodies) {
        pid_t pid = fork();
        if (pid == 0) {
            close(fds[1]);
            // The gate opens when the last write end closes: end of file.
            auto gate = [&] {
                char byte;
                while (read(fds[0], &byte, 1) < 0 && errno == EINTR) {
                }
            };
            _exit(body(gate));
        }
        children.push_back(pid);
    }
    close(fds[0]);
    close(fds[1]);
    for (size_t i = 0; i < children.size(); ++i) {
        int status = 0;
        if (children[i] > 0 && waitpid(children[i], &status, 0) == children[i] && WIFEXITED(status))
            statuses[i] = WEXITSTATUS(status);
    }
    return statuses;
}

} // namespace utiltest

#endif

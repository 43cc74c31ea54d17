#include "subprocess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace cvtest {

namespace {

struct CArgs {
    std::vector<std::string> store;
    std::vector<char*> ptrs;
    explicit CArgs(std::vector<std::string> items) : store(std::move(items))
    {
        for (auto& s : store)
            ptrs.push_back(&s[0]);
        ptrs.push_back(nullptr);
    }
};

int decodeStatus(int raw)
{
    if (WIFEXITED(raw))
        return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw))
        return 128 + WTERMSIG(raw);
    return -1;
}

// posix_spawn starts the child without copying the parent's address space,
// which a fork of a sanitizer build's test (hundreds of megabytes of shadow
// memory and quarantine) costs milliseconds of a core each time. A program
// that cannot be started ends as a shell's would, with status 127.
pid_t spawn(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& env, int in, int out, int err)
{
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    CArgs cargv(argv), cenv(env);
    // The child holds the write end of a close-on-exec pipe, so its end of
    // file tells the parent that exec has taken place (or failed). A caller
    // may signal the child at once: under valgrind, which starts the child
    // as a fork, a signal that arrives while it is still inside exec can be
    // lost.
    int started[2];
    if (pipe2(started, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    // An ignored SIGPIPE would survive exec; the child gets the default.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    int rc =
        posix_spawnp(&pid, program.c_str(), &actions, &attr, cargv.ptrs.data(), cenv.ptrs.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid = fork();
        if (pid == 0)
            _exit(127);
    }
    close(started[1]);
    if (pid < 0) {
        close(started[0]);
        throw std::runtime_error(std::string("fork: ") + strerror(errno));
    }
    char byte;
    while (read(started[0], &byte, 1) < 0 && errno == EINTR) {
    }
    close(started[0]);
    return pid;
}

} // namespace

std::vector<std::string> baseEnvironment()
{
    std::vector<std::string> env{
        "PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin", "LDAPNOINIT=1"};
    for (const char* name : {"TMPDIR", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        const char* value = getenv(name);
        if (value != nullptr)
            env.push_back(std::string(name) + "=" + value);
    }
    return env;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::string& stdinText,
                         int timeoutSeconds)
{
    signal(SIGPIPE, SIG_IGN); // a child that ignores its input must not kill the test
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) != 0 || pipe2(outPipe, O_CLOEXEC) != 0 ||
        pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + strerror(errno));
    pid_t pid = spawn(program, args, env, inPipe[0], outPipe[1], errPipe[1]);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);

    ProcessResult result;
    size_t written = 0;
    int inFd = inPipe[1];
    if (stdinText.empty()) {
        close(inFd);
        inFd = -1;
    }
    int outFd = outPipe[0], errFd = errPipe[0];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char buf[65536];
    while (outFd >= 0 || errFd >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3];
        int n = 0;
        if (outFd >= 0)
            fds[n++] = {outFd, POLLIN, 0};
        if (errFd >= 0)
            fds[n++] = {errFd, POLLIN, 0};
        if (inFd >= 0)
            fds[n++] = {inFd, POLLOUT, 0};
        if (poll(fds, n, static_cast<int>(left.count())) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < n; ++i) {
            if (fds[i].revents == 0)
                continue;
            if (fds[i].fd == inFd) {
                ssize_t w = write(inFd, stdinText.data() + written, stdinText.size() - written);
                if (w > 0)
                    written += static_cast<size_t>(w);
                if (w < 0 || written == stdinText.size()) {
                    close(inFd);
                    inFd = -1;
                }
                continue;
            }
            ssize_t r = read(fds[i].fd, buf, sizeof buf);
            if (r > 0) {
                (fds[i].fd == outFd ? result.out : result.err).append(buf, static_cast<size_t>(r));
            } else if (r == 0 || errno != EINTR) {
                close(fds[i].fd);
                (fds[i].fd == outFd ? outFd : errFd) = -1;
            }
        }
    }
    for (int fd : {inFd, outFd, errFd})
        if (fd >= 0)
            close(fd);
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    result.status = decodeStatus(raw);
    return result;
}

BackgroundProcess::BackgroundProcess(const std::string& program,
                                     const std::vector<std::string>& args,
                                     const std::vector<std::string>& env)
{
    int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devnull < 0)
        throw std::runtime_error(std::string("/dev/null: ") + strerror(errno));
    pid_ = spawn(program, args, env, devnull, devnull, devnull);
    close(devnull);
}

BackgroundProcess::~BackgroundProcess()
{
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        int raw = 0;
        while (waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
        }
    }
}

bool BackgroundProcess::running()
{
    if (reaped_)
        return false;
    int raw = 0;
    pid_t r = waitpid(pid_, &raw, WNOHANG);
    if (r == pid_) {
        reaped_ = true;
        status_ = decodeStatus(raw);
        return false;
    }
    return true;
}

bool BackgroundProcess::waitForExit(double timeoutSeconds)
{
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace cvtest

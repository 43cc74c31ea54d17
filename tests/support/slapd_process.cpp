#include "slapd_internal.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace cvtest {
namespace slapdimpl {


// Process groups of the servers alive in this process, for the crash paths
// where no destructor runs. A plain array: the signal handler may only read.
constexpr int kMaxLive = 64;
volatile pid_t g_live[kMaxLive];

void killAllLive() {
    for (int i = 0; i < kMaxLive; ++i) {
        pid_t p = g_live[i];
        if (p > 0) kill(-p, SIGKILL);
    }
}

void onFatalSignal(int sig) {
    killAllLive();
    signal(sig, SIG_DFL);
    raise(sig);
}

void installCrashHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    std::atexit(killAllLive);
    // SIGSEGV and friends stay with the sanitizers; the child's parent-death
    // signal covers them.
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGABRT}) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) signal(sig, onFatalSignal);
    }
}

void registerLive(pid_t p) {
    for (int i = 0; i < kMaxLive; ++i)
        if (g_live[i] == 0) { g_live[i] = p; return; }
}

void unregisterLive(pid_t p) {
    for (int i = 0; i < kMaxLive; ++i)
        if (g_live[i] == p) g_live[i] = 0;
}

bool readFile(const std::string& path, std::string* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *out = ss.str();
    return true;
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

int removeOne(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

void removeTree(const std::string& dir) {
    if (!dir.empty()) nftw(dir.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

// Runs argv with stdin from /dev/null and stdout+stderr into outPath.
// Returns the exit status, or -1 when it could not run or was killed.
int runProcess(const std::vector<std::string>& argv, const std::string& outPath) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A port that was free a moment ago; slapd may still lose it to another
// process, which start() detects and retries.
int freePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(s);
    return port;
}

bool canConnect(int port) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
}

void sleepMs(int ms) {
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

void sweepStaleDirs(const std::string& tmp)
{
    static bool swept = false;
    if (swept) return;
    swept = true;
    DIR* d = opendir(tmp.c_str());
    if (!d) return;
    std::vector<std::string> stale;
    while (struct dirent* e = readdir(d)) {
        if (strncmp(e->d_name, "cv-slapd.", 9) != 0) continue;
        std::string dir = tmp + "/" + e->d_name;
        struct stat st;
        if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) continue;
        std::string pidText;
        if (readFile(dir + "/slapd.pid", &pidText)) {
            pid_t p = atoi(pidText.c_str());
            if (p > 0 && kill(p, 0) != 0 && errno == ESRCH) stale.push_back(dir);
        } else if (time(nullptr) - st.st_mtime > 3600) {
            stale.push_back(dir);
        }
    }
    closedir(d);
    for (const auto& dir : stale) removeTree(dir);
}

} // namespace slapdimpl
} // namespace cvtest

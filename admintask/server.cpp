#include "admtask.h"
#include "admtask_state.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

int stopTimeout = ADMTASK_STOP_TIMEOUT;

std::string resolve(const std::string& path, int* error)
{
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        *error = errno;
        return std::string();
    }
    std::string out(real);
    free(real);
    *error = 0;
    return out;
}

bool strictlyBelow(const std::string& path, const std::string& root)
{
    if (root == "/")
        return path.size() > 1 && path[0] == '/';
    return path.size() > root.size() + 1 && path.compare(0, root.size(), root) == 0 &&
           path[root.size()] == '/';
}

// Kill(pid, 0) also succeeds for a process that has exited but that its
// parent has not reaped yet; such a process is not running any more.
bool processGone(pid_t pid)
{
    if (kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    size_t paren = line.rfind(')');
    if (paren == std::string::npos || paren + 2 >= line.size())
        return false;
    char state = line[paren + 2];
    return state == 'Z' || state == 'X';
}

// The pid file's text as a process id; 0 when it is not one we may signal.
pid_t parsePid(const std::string& text)
{
    size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return 0;
    size_t e = text.find_last_not_of(" \t\r\n");
    std::string digits = text.substr(b, e - b + 1);
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    long v = strtol(digits.c_str(), nullptr, 10);
    // 0 and 1 are never a server: kill(0) signals our own group, 1 is init.
    if (v <= 1 || v == static_cast<long>(getpid()))
        return 0;
    return static_cast<pid_t>(v);
}

void sleepMillis(long ms)
{
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int refuseName(const char* name)
{
    if (name == nullptr)
        ds_report_error(DS_ERR_REQUEST, nullptr,
                        "The request names no server instance (no InstanceName and no "
                        "server in SCRIPT_NAME); nothing was removed.");
    else if (!ds_is_safe_instance_name(name))
        ds_report_error(DS_ERR_REQUEST, name,
                        "This is not a valid server instance name (it must be one path "
                        "segment, not \".\" or \"..\"); nothing was removed.");
    else
        ds_report_error(DS_ERR_REQUEST, name,
                        "The directory of this server instance cannot be determined "
                        "(WAYPOST_ROOT must be the absolute path of the server root and "
                        "the instance directory must lie below it); nothing was removed.");
    return DS_SERVER_REFUSED;
}

} // namespace

extern "C" {

void ds_set_stop_timeout(int seconds)
{
    stopTimeout = seconds < 1 ? ADMTASK_STOP_TIMEOUT : seconds;
}

const char* ds_get_install_root(void)
{
    static std::string installRoot;
    const char* name = admtask::instanceName();
    const char* rootEnv = getenv("WAYPOST_ROOT");
    if (!ds_is_safe_instance_name(name) || rootEnv == nullptr || rootEnv[0] != '/')
        return nullptr;
    std::string root(rootEnv);
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    int error = 0;
    std::string realRoot = resolve(root, &error);
    if (realRoot.empty())
        return nullptr;
    std::string candidate = (root == "/" ? "" : root) + "/" + name;
    std::string realCandidate = resolve(candidate, &error);
    if (realCandidate.empty()) {
        // Only a path that is not there at all is taken as it stands; a link
        // that leads nowhere, or a path we may not inspect, is refused.
        struct stat st;
        if (error != ENOENT || lstat(candidate.c_str(), &st) == 0)
            return nullptr;
        realCandidate = (realRoot == "/" ? "" : realRoot) + "/" + name;
    }
    if (!strictlyBelow(realCandidate, realRoot))
        return nullptr;
    installRoot = candidate;
    return installRoot.c_str();
}

int ds_bring_down_server(void)
{
    const char* name = admtask::instanceName();
    if (!ds_is_safe_instance_name(name))
        return refuseName(name);
    const char* rootPath = ds_get_install_root();
    if (rootPath == nullptr)
        return refuseName(name);
    std::string pidFile = std::string(rootPath) + "/logs/pid";
    int fd = open(pidFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return DS_SERVER_NOT_RUNNING;
        std::string message = std::string("The pid file cannot be read (") + strerror(errno) +
                              "); the server was not stopped and nothing was removed.";
        ds_report_error(DS_ERR_FILE, pidFile.c_str(), message.c_str());
        return DS_SERVER_NOT_STOPPED;
    }
    // A pid is a few digits; a bounded read keeps a huge file harmless.
    char buf[64];
    ssize_t got;
    while ((got = read(fd, buf, sizeof buf)) < 0 && errno == EINTR) {
    }
    close(fd);
    // A pid is never that long: a full buffer means the file is something else.
    std::string text;
    if (got > 0 && static_cast<size_t>(got) < sizeof buf)
        text.assign(buf, static_cast<size_t>(got));
    pid_t pid = parsePid(text);
    if (pid == 0) {
        ds_report_error(DS_ERR_FILE, pidFile.c_str(),
                        "The pid file does not hold a usable process id; the server was not "
                        "stopped and nothing was removed. Remove the file if the server is "
                        "not running.");
        return DS_SERVER_NOT_STOPPED;
    }
    if (processGone(pid))
        return DS_SERVER_NOT_RUNNING;
    if (kill(pid, SIGTERM) != 0) {
        if (errno == ESRCH)
            return DS_SERVER_NOT_RUNNING;
        std::string message = "The server process " + std::to_string(pid) +
                              " could not be signalled (" + strerror(errno) +
                              "); nothing was removed.";
        ds_report_error(DS_ERR_SERVER, name, message.c_str());
        return DS_SERVER_NOT_STOPPED;
    }
    const long stepMs = 20;
    for (long waited = 0; waited < stopTimeout * 1000L; waited += stepMs) {
        if (processGone(pid))
            return DS_SERVER_STOPPED;
        sleepMillis(stepMs);
    }
    if (processGone(pid))
        return DS_SERVER_STOPPED;
    std::string message = "The server process " + std::to_string(pid) + " did not stop within " +
                          std::to_string(stopTimeout) + " seconds; nothing was removed.";
    ds_report_error(DS_ERR_SERVER, name, message.c_str());
    return DS_SERVER_NOT_STOPPED;
}

} // extern "C"

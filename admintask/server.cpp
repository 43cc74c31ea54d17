#include "admtask.h"
#include "admtask_state.h"
#include "pid_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

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
    std::vector<std::string> fields;
    if (!admtask::procStatFields(pid, &fields))
        return false;
    return fields[0] == "Z" || fields[0] == "X";
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
    // Nor are we, any process we run inside of (whoever started us, and
    // whoever started that: an administration server that runs the task
    // through a wrapper), or the leader of our process group: a stale file
    // holding one of those must not end the removal's own run.
    if (v <= 1 || v == static_cast<long>(getpid()) || v == static_cast<long>(getpgrp()) ||
        admtask::isOwnAncestor(static_cast<pid_t>(v)))
        return 0;
    return static_cast<pid_t>(v);
}

void sleepMillis(long ms)
{
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// The instance path as WAYPOST_ROOT names it, or "" without a usable root.
std::string instancePath(const char* name)
{
    const char* rootEnv = getenv("WAYPOST_ROOT");
    if (!ds_is_safe_instance_name(name) || rootEnv == nullptr || rootEnv[0] != '/')
        return std::string();
    std::string root(rootEnv);
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return (root == "/" ? "" : root) + "/" + name;
}

bool instanceIsLink(const char* name)
{
    std::string path = instancePath(name);
    struct stat st;
    return !path.empty() && lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int refuseName(const char* name, std::string& refusal)
{
    if (name == nullptr)
        refusal = ds_error_reply(DS_ERR_REQUEST, nullptr,
                                 "The request names no server instance (no InstanceName and no "
                                 "server in SCRIPT_NAME); nothing was removed.");
    else if (!ds_is_safe_instance_name(name))
        refusal = ds_error_reply(DS_ERR_REQUEST, name,
                                 "This is not a valid server instance name (it must be one path "
                                 "segment, not \".\" or \"..\"); nothing was removed.");
    else if (instanceIsLink(name))
        refusal = ds_error_reply(DS_ERR_REQUEST, name,
                                 "The directory of this server instance is a symbolic link, which "
                                 "is not followed; nothing was stopped, unregistered or removed.");
    else
        refusal = ds_error_reply(DS_ERR_REQUEST, name,
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
    std::string candidate = instancePath(name);
    // A link is refused whole, wherever it leads: what it names is not
    // known to be this instance.
    struct stat linkStat;
    if (lstat(candidate.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode))
        return nullptr;
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
    // The checks are ds_check_server's, so remove-instance-plan sees exactly
    // what the stop sees.
    admtask::ServerCheck check;
    int state = admtask::checkServer(check);
    ds_write_reply(check.refusal);
    if (check.reused) {
        fprintf(stderr,
                "Warning: process %ld named in %s started after that file was last written: it "
                "is another program that reuses the number, it was not signalled, and the "
                "server counts as not running\n",
                static_cast<long>(check.pid), check.pidFile.c_str());
        fflush(stderr);
    }
    if (state != DS_SERVER_RUNNING)
        return state;
    const char* name = admtask::instanceName();
    const pid_t pid = check.pid;
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

namespace admtask {

// The checks of ds_bring_down_server that refuse without side effects, and
// what they found; ds_check_server and the stop share them.
int checkServer(ServerCheck& check)
{
    check = ServerCheck();
    const char* name = admtask::instanceName();
    if (!ds_is_safe_instance_name(name))
        return refuseName(name, check.refusal);
    const char* rootPath = ds_get_install_root();
    if (rootPath == nullptr)
        return refuseName(name, check.refusal);
    check.pidFile = std::string(rootPath) + "/logs/pid";
    std::string text;
    int error = 0;
    switch (readPidFile(rootPath, &text, &check.written, &error)) {
    case PidFile::Absent:
        return DS_SERVER_NOT_RUNNING;
    case PidFile::Link:
        check.refusal = ds_error_reply(
            DS_ERR_FILE, check.pidFile.c_str(),
            "The pid file, its directory or the instance directory is a symbolic link, which is "
            "not followed; no signal was sent and nothing was removed.");
        return DS_SERVER_NOT_STOPPED;
    case PidFile::NotRegular:
        check.refusal = ds_error_reply(DS_ERR_FILE, check.pidFile.c_str(),
                                       "The pid file is not a regular file; it was not read, no "
                                       "signal was sent and nothing was removed.");
        return DS_SERVER_NOT_STOPPED;
    case PidFile::Unreadable: {
        std::string message = std::string("The pid file cannot be read (") + strerror(error) +
                              "); the server was not stopped and nothing was removed.";
        check.refusal = ds_error_reply(DS_ERR_FILE, check.pidFile.c_str(), message.c_str());
        return DS_SERVER_NOT_STOPPED;
    }
    case PidFile::Read:
        break;
    }
    check.pid = parsePid(text);
    if (check.pid == 0) {
        check.refusal = ds_error_reply(DS_ERR_FILE, check.pidFile.c_str(),
                                       "The pid file does not hold a usable process id; the "
                                       "server was not stopped and nothing was removed. Remove "
                                       "the file if the server is not running.");
        return DS_SERVER_NOT_STOPPED;
    }
    if (processGone(check.pid))
        return DS_SERVER_NOT_RUNNING;
    if (startedAfter(check.pid, check.written)) {
        check.reused = true;
        return DS_SERVER_NOT_RUNNING;
    }
    return DS_SERVER_RUNNING;
}

} // namespace admtask

extern "C" int ds_check_server(long* pid, int* reused)
{
    std::string refusal;
    int state = ds_check_server_reply(pid, reused, refusal);
    ds_write_reply(refusal);
    return state;
}

int ds_check_server_reply(long* pid, int* reused, std::string& refusal)
{
    admtask::ServerCheck check;
    int state = admtask::checkServer(check);
    if (pid != nullptr)
        *pid = static_cast<long>(check.pid);
    if (reused != nullptr)
        *reused = check.reused ? 1 : 0;
    refusal = check.refusal;
    return state;
}

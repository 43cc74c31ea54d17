#include "pid_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace admtask {

namespace {

// Start of process pid in seconds since the epoch, or -1 when unknown: the
// boot time of /proc/stat plus field 22 of /proc/<pid>/stat (clock ticks
// after boot). Both are rounded down, so the result is never later than the
// real start.
double processStart(pid_t pid)
{
    std::vector<std::string> fields;
    if (!procStatFields(pid, &fields) || fields.size() <= 22 - 3)
        return -1;
    const std::string& field = fields[22 - 3];
    if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    std::ifstream kernel("/proc/stat");
    std::string line;
    long long bootTime = -1;
    while (std::getline(kernel, line))
        if (line.compare(0, 6, "btime ") == 0)
            bootTime = atoll(line.c_str() + 6);
    long ticks = sysconf(_SC_CLK_TCK);
    if (bootTime < 0 || ticks <= 0)
        return -1;
    return static_cast<double>(bootTime) + strtod(field.c_str(), nullptr) / ticks;
}

// The parent of process pid (field 4 of /proc/<pid>/stat), 0 when unknown.
pid_t parentOf(pid_t pid)
{
    std::vector<std::string> fields;
    if (!procStatFields(pid, &fields) || fields.size() <= 4 - 3)
        return 0;
    return static_cast<pid_t>(atol(fields[4 - 3].c_str()));
}

// Seconds a process may seem to start after its pid file was written before
// it counts as another program that got the number: room for a clock that
// was set forward a little since the file was written.
const double kStartSlack = 2.0;

const int kMaxAncestors = 4096;

bool isLink(int dirFd, const char* name)
{
    struct stat st;
    return fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

bool procStatFields(pid_t pid, std::vector<std::string>* fields)
{
    fields->clear();
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    // The command (field 2) is in parentheses and may itself hold blanks
    // and parentheses: the fields go on after the last ')'.
    size_t paren = line.rfind(')');
    if (paren == std::string::npos)
        return false;
    std::istringstream rest(line.substr(paren + 1));
    std::string field;
    while (rest >> field)
        fields->push_back(field);
    return !fields->empty();
}

bool isOwnAncestor(pid_t pid)
{
    // Up the chain from our parent to init. The bound only guards against a
    // loop that numbers reused while we walk could make.
    pid_t p = getppid();
    for (int step = 0; p > 0 && step < kMaxAncestors; ++step) {
        if (p == pid)
            return true;
        if (p == 1)
            break;
        p = parentOf(p);
    }
    return false;
}

bool startedAfter(pid_t pid, const struct timespec& written)
{
    double start = processStart(pid);
    double mtime = static_cast<double>(written.tv_sec) + written.tv_nsec / 1e9;
    return start >= 0 && start > mtime + kStartSlack;
}

PidFile readPidFile(const std::string& root, std::string* text, struct timespec* mtime, int* error)
{
    Fd dir(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.get() < 0) {
        if (errno == ELOOP)
            return PidFile::Link;
        if (errno == ENOENT || errno == ENOTDIR)
            return PidFile::Absent;
        *error = errno;
        return PidFile::Unreadable;
    }
    Fd logs(openat(dir.get(), "logs", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (logs.get() < 0) {
        if (errno == ELOOP || isLink(dir.get(), "logs"))
            return PidFile::Link;
        if (errno == ENOENT || errno == ENOTDIR)
            return PidFile::Absent;
        *error = errno;
        return PidFile::Unreadable;
    }
    // Looked at before it is opened: opening a device may itself act.
    struct stat st;
    if (fstatat(logs.get(), "pid", &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return PidFile::Absent;
        *error = errno;
        return PidFile::Unreadable;
    }
    if (S_ISLNK(st.st_mode))
        return PidFile::Link;
    if (!S_ISREG(st.st_mode))
        return PidFile::NotRegular;
    // O_NOATIME where we may: a check (remove-instance-plan makes the same
    // one) leaves the file exactly as it was.
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    Fd file(openat(logs.get(), "pid", flags | O_NOATIME));
    if (file.get() < 0 && errno == EPERM)
        file.reset(openat(logs.get(), "pid", flags));
    if (file.get() < 0) {
        if (errno == ELOOP)
            return PidFile::Link;
        if (errno == ENOENT)
            return PidFile::Absent;
        *error = errno;
        return PidFile::Unreadable;
    }
    // Whatever was swapped in since the look is what counts.
    if (fstat(file.get(), &st) != 0) {
        *error = errno;
        return PidFile::Unreadable;
    }
    if (!S_ISREG(st.st_mode))
        return PidFile::NotRegular;
    // A pid is a few digits; a bounded read keeps a huge file harmless, and
    // a full buffer means the file is something else.
    char buf[64];
    ssize_t got;
    while ((got = read(file.get(), buf, sizeof buf)) < 0 && errno == EINTR) {
    }
    text->clear();
    if (got > 0 && static_cast<size_t>(got) < sizeof buf)
        text->assign(buf, static_cast<size_t>(got));
    *mtime = st.st_mtim;
    return PidFile::Read;
}

} // namespace admtask

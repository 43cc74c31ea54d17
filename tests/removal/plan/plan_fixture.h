// What the plan tests share: running the plan beside the removal, and a
// snapshot of a tree (every entry's type, mode, size, times and content)
// taken without touching access times, to prove that the plan changed
// nothing.
#ifndef CV_TEST_PLAN_FIXTURE_H
#define CV_TEST_PLAN_FIXTURE_H

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "subprocess.h"

namespace plantest {

using nlohmann::json;

inline cvtest::ProcessResult runPlan(const std::vector<std::string>& args,
                                     const std::vector<std::string>& env,
                                     const std::string& stdinText = "")
{
    return cvtest::runProcess(CV_REMOVE_INSTANCE_PLAN, args, env, stdinText);
}

inline json parse(const cvtest::ProcessResult& r)
{
    std::string body = r.out;
    // A task reply begins with its header.
    size_t header = body.rfind("Content-type: application/json\n\n", 0);
    if (header == 0)
        body = body.substr(std::string("Content-type: application/json\n\n").size());
    return json::parse(body, nullptr, false);
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        out.push_back(text.substr(start, nl - start));
    if (start < text.size())
        out.push_back(text.substr(start));
    return out;
}

inline int openNoAtime(int at, const char* name, int flags)
{
    int fd = openat(at, name, flags | O_NOATIME);
    return fd >= 0 || errno != EPERM ? fd : openat(at, name, flags);
}

// path -> "type mode size atime mtime ctime content" for every entry below
// (and including) path; links by their target text, never followed.
inline void snapshotInto(int at, const std::string& name, const std::string& path,
                         std::map<std::string, std::string>& out)
{
    // A link's access time is left out: readlink sets it, and the snapshot
    // must not count its own reads (the plan never reads a link).
    char target[4096];
    ssize_t n = readlinkat(at, name.c_str(), target, sizeof target);
    struct stat st;
    if (fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    auto stamp = [](const struct timespec& t) {
        return std::to_string(t.tv_sec) + "." + std::to_string(t.tv_nsec);
    };
    std::string line = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
                       (S_ISLNK(st.st_mode) ? std::string("-") : stamp(st.st_atim)) + " " +
                       stamp(st.st_mtim) + " " + stamp(st.st_ctim);
    if (S_ISLNK(st.st_mode)) {
        line += " -> " + std::string(target, n > 0 ? static_cast<size_t>(n) : 0);
    } else if (S_ISREG(st.st_mode)) {
        int fd = openNoAtime(at, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        char buf[8192];
        while (fd >= 0 && (n = read(fd, buf, sizeof buf)) > 0)
            line += std::string(buf, static_cast<size_t>(n));
        if (fd >= 0)
            close(fd);
    }
    out[path] = line;
    if (!S_ISDIR(st.st_mode))
        return;
    int fd = openNoAtime(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (dir == nullptr) {
        if (fd >= 0)
            close(fd);
        return;
    }
    std::vector<std::string> names;
    while (struct dirent* e = readdir(dir))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.push_back(e->d_name);
    for (const std::string& n : names)
        snapshotInto(dirfd(dir), n, path + "/" + n, out);
    closedir(dir);
}

inline std::map<std::string, std::string> snapshot(const std::string& path)
{
    std::map<std::string, std::string> out;
    snapshotInto(AT_FDCWD, path, path, out);
    return out;
}

// chattr +i / -i; false when the file system or our privileges refuse.
inline bool setImmutable(const std::string& path, bool on)
{
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    int flags = 0;
    bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (fd >= 0)
        close(fd);
    return ok;
}

// Undoes immutable flags and bind mounts when a test ends, however it ends.
class Cleanup {
public:
    ~Cleanup()
    {
        for (const std::string& m : mounts_)
            if (umount(m.c_str()) != 0)
                umount2(m.c_str(), MNT_DETACH);
        for (const std::string& p : immutable_)
            setImmutable(p, false);
    }
    bool immutable(const std::string& path)
    {
        if (!setImmutable(path, true))
            return false;
        immutable_.push_back(path);
        return true;
    }
    bool bind(const std::string& from, const std::string& to)
    {
        if (mount(from.c_str(), to.c_str(), "none", MS_BIND, nullptr) != 0)
            return false;
        mounts_.push_back(to);
        return true;
    }

private:
    std::vector<std::string> mounts_;
    std::vector<std::string> immutable_;
};

} // namespace plantest

#endif

#include "plan_tree.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const unsigned kMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_SIZE | STATX_MNT_ID;
const uint64_t kImmutable = STATX_ATTR_IMMUTABLE;
const uint64_t kAppend = STATX_ATTR_APPEND;

// What the walk needs of a directory to judge its entries.
struct Dir {
    int fd = -1;
    uint64_t mountId = 0;
    dev_t dev = 0;
    uid_t uid = 0;
    mode_t mode = 0;
    uint64_t attributes = 0;
    bool writable = true;
};

dev_t deviceOf(const struct statx& st)
{
    return makedev(st.stx_dev_major, st.stx_dev_minor);
}

// Directories are opened for reading only; O_NOATIME keeps their access
// times as they were where we own them (or may act as owner).
int openDirectory(int at, const char* name)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = openat(at, name, flags | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = openat(at, name, flags);
    return fd;
}

// The immutable and append-only flags. statx reports them on the file
// systems that support it; elsewhere they are asked for with
// FS_IOC_GETFLAGS on a read-only descriptor (files and directories only:
// opening a device or fifo may act).
uint64_t attributesOf(int at, const char* name, const struct statx& st)
{
    const uint64_t wanted = kImmutable | kAppend;
    if ((st.stx_attributes_mask & wanted) == wanted)
        return st.stx_attributes & wanted;
    if (!S_ISREG(st.stx_mode) && !S_ISDIR(st.stx_mode))
        return 0;
    int fd = openat(at, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = openat(at, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    int flags = 0;
    uint64_t out = 0;
    if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        if (flags & FS_IMMUTABLE_FL)
            out |= kImmutable;
        if (flags & FS_APPEND_FL)
            out |= kAppend;
    }
    close(fd);
    return out;
}

class Planner {
public:
    explicit Planner(TreePlan& plan) : plan_(plan), euid_(geteuid()) {}

    void run()
    {
        const std::string& path = plan_.path;
        struct statx st;
        if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kMask, &st) != 0) {
            if (errno != ENOENT) {
                plan_.exists = true;
                block(path, std::string("cannot be inspected: ") + strerror(errno));
            }
            return;
        }
        plan_.exists = true;
        if (!S_ISDIR(st.stx_mode)) {
            block(path, "not a directory: the removal leaves it");
            return;
        }
        plan_.directory = true;
        // The top is judged by the directory that holds it.
        std::string parentPath = path.substr(0, path.find_last_of('/'));
        if (parentPath.empty())
            parentPath = "/";
        Dir parent;
        struct statx pst;
        parent.fd = openDirectory(AT_FDCWD, parentPath.c_str());
        if (parent.fd >= 0 &&
            statx(parent.fd, "", AT_EMPTY_PATH, kMask, &pst) == 0) {
            fill(parent, pst, parent.fd, ".");
            parent.writable = faccessat(parent.fd, ".", W_OK | X_OK, AT_EACCESS) == 0;
            std::string name = path.substr(path.find_last_of('/') + 1);
            judgeDirectory(parent, name.c_str(), path, st, true);
        } else {
            Dir none;
            judgeDirectory(none, path.c_str(), path, st, true);
        }
        if (parent.fd >= 0)
            close(parent.fd);
    }

private:
    void block(const std::string& path, const std::string& why)
    {
        ++plan_.blockedCount;
        if (plan_.blocked.size() < TreePlan::kMaxListed)
            plan_.blocked.push_back({path, why});
    }

    void fill(Dir& dir, const struct statx& st, int at, const char* name)
    {
        dir.mountId = st.stx_mnt_id;
        dir.dev = deviceOf(st);
        dir.uid = st.stx_uid;
        dir.mode = st.stx_mode;
        dir.attributes = attributesOf(at, name, st);
    }

    // Why an entry of dir cannot be unlinked or removed, or null.
    const char* entryBlock(const Dir& dir, const struct statx& st, uint64_t attributes) const
    {
        if (dir.attributes & kImmutable)
            return "its directory is immutable";
        if (dir.attributes & kAppend)
            return "its directory is append-only";
        if (!dir.writable)
            return "its directory is not writable";
        if (attributes & kImmutable)
            return "immutable";
        if (attributes & kAppend)
            return "append-only";
        if ((dir.mode & S_ISVTX) && euid_ != 0 && euid_ != dir.uid && euid_ != st.stx_uid)
            return "its directory is sticky and neither it nor the entry is ours";
        return nullptr;
    }

    // A directory entry of parent (at its name): judged, then walked.
    void judgeDirectory(const Dir& parent, const char* name, const std::string& path,
                        const struct statx& st, bool top)
    {
        ++plan_.directories;
        Dir dir;
        dir.fd = -1;
        const bool mountPoint =
            parent.fd >= 0 && (st.stx_mnt_id != parent.mountId || deviceOf(st) != parent.dev);
        if (mountPoint && !top) {
            // The walk neither enters nor removes another file system.
            block(path, "a mount point: neither entered nor removed");
            return;
        }
        int at = parent.fd >= 0 ? parent.fd : AT_FDCWD;
        dir.fd = openDirectory(at, name);
        if (dir.fd < 0) {
            block(path, std::string("cannot be read: ") + strerror(errno));
            return;
        }
        fill(dir, st, dir.fd, ".");
        if (mountPoint)
            block(path, "a mount point: its contents go, it stays");
        else if (parent.fd >= 0) {
            const char* why = entryBlock(parent, st, dir.attributes);
            if (why != nullptr)
                block(path, why);
        }
        walk(dir, path);
        close(dir.fd);
    }

    void walk(Dir& dir, const std::string& path)
    {
        int listFd = dup(dir.fd);
        DIR* stream = listFd >= 0 ? fdopendir(listFd) : nullptr;
        if (stream == nullptr) {
            if (listFd >= 0)
                close(listFd);
            block(path, std::string("cannot be read: ") + strerror(errno));
            return;
        }
        std::vector<std::string> names;
        errno = 0;
        while (struct dirent* ent = readdir(stream)) {
            const char* n = ent->d_name;
            if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
                continue;
            names.emplace_back(n);
        }
        int readError = errno;
        closedir(stream);
        if (readError != 0) {
            block(path, std::string("cannot be read: ") + strerror(readError));
            return;
        }
        // Sorted, so that the same tree always gives the same plan.
        std::sort(names.begin(), names.end());
        if (!names.empty())
            dir.writable = faccessat(dir.fd, ".", W_OK | X_OK, AT_EACCESS) == 0;
        std::string child;
        for (const std::string& name : names) {
            child.assign(path).append("/").append(name);
            struct statx st;
            if (statx(dir.fd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kMask, &st) != 0) {
                if (errno != ENOENT)
                    block(child, std::string("cannot be inspected: ") + strerror(errno));
                continue;
            }
            if (S_ISDIR(st.stx_mode)) {
                judgeDirectory(dir, name.c_str(), child, st, false);
                continue;
            }
            if (S_ISLNK(st.stx_mode))
                ++plan_.links;
            else
                ++plan_.files;
            plan_.bytes += st.stx_size;
            const char* why = entryBlock(dir, st, attributesOf(dir.fd, name.c_str(), st));
            if (why != nullptr)
                block(child, why);
        }
    }

    TreePlan& plan_;
    uid_t euid_;
};

} // namespace

TreePlan cvPlanTree(const std::string& path)
{
    TreePlan plan;
    plan.path = path;
    Planner(plan).run();
    return plan;
}

#include "tree_walk.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

cvEntryKind cvGetEntryKind(const char* path)
{
    struct stat st;
    if (path == nullptr || lstat(path, &st) != 0)
        return CV_ENTRY_MISSING;
    return S_ISDIR(st.st_mode) ? CV_ENTRY_DIRECTORY : CV_ENTRY_OTHER;
}

void cvFreeNameList(char** names)
{
    if (names == nullptr)
        return;
    for (char** p = names; *p != nullptr; ++p)
        free(*p);
    free(names);
}

namespace {

bool isDotEntry(const char* n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

// Reads every name of dir but "." and ".." into a null-terminated malloc'd
// array; types, when given, receives each name's d_type in the same order.
// Null with errno set when the directory cannot be read whole: a listing
// cut short would let a caller believe a directory is emptier than it is.
char** readNames(DIR* dir, std::vector<unsigned char>* types)
{
    size_t count = 0;
    size_t capacity = 16;
    char** names = static_cast<char**>(malloc(capacity * sizeof(char*)));
    if (names == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    names[0] = nullptr;
    try {
        for (;;) {
            errno = 0;
            struct dirent* ent = readdir(dir);
            if (ent == nullptr) {
                if (errno == 0)
                    return names;
                break;
            }
            if (isDotEntry(ent->d_name))
                continue;
            if (count + 1 >= capacity) {
                char** grown = static_cast<char**>(realloc(names, 2 * capacity * sizeof(char*)));
                if (grown == nullptr) {
                    errno = ENOMEM;
                    break;
                }
                names = grown;
                capacity *= 2;
            }
            if (types != nullptr)
                types->push_back(ent->d_type);
            names[count] = strdup(ent->d_name);
            if (names[count] == nullptr) {
                errno = ENOMEM;
                break;
            }
            names[++count] = nullptr;
        }
    } catch (...) {
        cvFreeNameList(names);
        throw;
    }
    int error = errno;
    cvFreeNameList(names);
    errno = error;
    return nullptr;
}

} // namespace

char** cvListDirectoryAt(int dirFd)
{
    // The listing reads through a descriptor of its own, so the caller's
    // stays open and usable for the *at calls that act on the names.
    int readFd = dirFd >= 0 ? openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (readFd < 0)
        return nullptr;
    DIR* dir = fdopendir(readFd);
    if (dir == nullptr) {
        int saved = errno;
        close(readFd);
        errno = saved;
        return nullptr;
    }
    char** names = readNames(dir, nullptr);
    int saved = errno;
    closedir(dir);
    errno = saved;
    return names;
}

char** cvListDirectory(const char* path)
{
    if (path == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    char** names = cvListDirectoryAt(fd);
    int saved = errno;
    close(fd);
    errno = saved;
    return names;
}

int cvDirectoryIsEmpty(const char* path)
{
    int fd = path != nullptr ? open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (dir == nullptr) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    int empty = 1;
    errno = 0;
    for (struct dirent* ent; (ent = readdir(dir)) != nullptr;) {
        if (!isDotEntry(ent->d_name)) {
            empty = 0;
            break;
        }
    }
    if (empty == 1 && errno != 0)
        empty = -1;
    closedir(dir);
    return empty;
}

namespace {

// Directories the walk keeps open at most. Deeper levels close the
// descriptors of their oldest ancestors, and returning to such an ancestor
// reopens it through "..", checked against the device and inode recorded on
// the way down: a tree of any depth is walked with a bounded number of
// descriptors, and an ancestor moved away meanwhile is never mistaken for
// the one the walk left.
const size_t kMaxOpenLevels = 32;

const unsigned kPlanMask =
    STATX_TYPE | STATX_MODE | STATX_UID | STATX_SIZE | STATX_INO | STATX_MNT_ID;
const uint64_t kImmutable = STATX_ATTR_IMMUTABLE;
const uint64_t kAppend = STATX_ATTR_APPEND;

dev_t deviceOf(const struct statx& st)
{
    return makedev(st.stx_dev_major, st.stx_dev_minor);
}

// What deciding whether an entry of a directory can be removed needs of that
// directory. Only a plan reads it: the removal simply tries.
struct DirRule {
    uid_t uid = 0;
    mode_t mode = 0;
    uint64_t attributes = 0; // kImmutable, kAppend
    int writable = -1;       // unknown until an entry needs it
};

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
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = openat(at, name, flags | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = openat(at, name, flags);
    if (fd < 0)
        return 0;
    int fsFlags = 0;
    uint64_t out = 0;
    if (ioctl(fd, FS_IOC_GETFLAGS, &fsFlags) == 0) {
        if (fsFlags & FS_IMMUTABLE_FL)
            out |= kImmutable;
        if (fsFlags & FS_APPEND_FL)
            out |= kAppend;
    }
    close(fd);
    return out;
}

struct Level {
    DIR* dir = nullptr; // the stream the names were read from, while open
    int fd = -1;        // dirfd(dir), or the descriptor regained through ".."
    dev_t dev = 0;
    ino_t ino = 0;
    uint64_t mount = 0; // mount id: a bind mount shares the device
    char** names = nullptr;
    std::vector<unsigned char> types; // d_type of each name
    size_t next = 0;
    size_t pathLength = 0; // of the report path naming this directory
    std::string name;      // in its parent
    DirRule rule;          // a plan's only
};

void closeLevel(Level& level)
{
    if (level.dir != nullptr)
        closedir(level.dir);
    else if (level.fd >= 0)
        close(level.fd);
    level.dir = nullptr;
    level.fd = -1;
}

// Names in byte order, their types alongside: the same tree always gives
// the same plan.
void sortNames(Level& level)
{
    // The names' own buffers are reordered, never rewritten: each holds
    // exactly its name, so a longer name cannot go where a shorter one was.
    std::vector<std::pair<char*, unsigned char>> sorted;
    for (size_t i = 0; level.names[i] != nullptr; ++i)
        sorted.emplace_back(level.names[i], level.types[i]);
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return std::strcmp(a.first, b.first) < 0; });
    for (size_t i = 0; i < sorted.size(); ++i) {
        level.names[i] = sorted[i].first;
        level.types[i] = sorted[i].second;
    }
}

// One walk of a tree, depth first, in one of two modes that share every
// decision but the last: removing unlinks each entry and reports what the
// system refused; planning changes nothing (directories are opened
// read-only, access times kept where the file system allows) and reports
// what removing would leave, with the reason, judged by the rules the
// system applies: an entry goes when its directory may be written and is
// neither immutable nor append-only, the entry itself is neither, the
// sticky bit lets us, and it is not a mount point.
class TreeWalk {
public:
    TreeWalk(const char* path, cvTreeMode mode, cvTreeStay onStay, void* context,
             cvTreeCounts* counts)
        : path_(path), plan_(mode == CV_TREE_PLAN), onStay_(onStay), context_(context),
          counts_(counts != nullptr ? *counts : ownCounts_), euid_(geteuid())
    {
    }
    ~TreeWalk()
    {
        for (Level& level : levels_) {
            closeLevel(level);
            cvFreeNameList(level.names);
        }
    }

    void run(const struct statx* top, const DirRule* parent, bool parentKnown)
    {
        if (plan_) {
            ++counts_.directories;
            if (!enter(AT_FDCWD, path_.c_str(), nullptr))
                return;
            if (parentKnown) {
                const Level& level = levels_.back();
                if (top->stx_mnt_id != parentMount_ || deviceOf(*top) != parentDev_)
                    stay(EBUSY, "a mount point: its contents go, it stays");
                else
                    judge(*parent, *top, level.rule.attributes);
            }
        } else if (!enter(AT_FDCWD, path_.c_str(), nullptr)) {
            return;
        }
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.names[level.next] != nullptr) {
                const size_t i = level.next++;
                if (plan_)
                    planEntry(level, level.names[i]);
                else
                    removeEntry(level, level.names[i], level.types[i]);
            } else if (!leave()) {
                return;
            }
        }
    }

    void setParent(uint64_t mount, dev_t dev)
    {
        parentMount_ = mount;
        parentDev_ = dev;
    }

    void stay(int error, const std::string& why)
    {
        ++stays_;
        if (onStay_ != nullptr)
            onStay_(path_.c_str(), error, plan_ ? why.c_str() : nullptr, context_);
    }

    // A failure of the system's own, with its text after what it stopped.
    void fail(int error, const char* what)
    {
        stay(error, plan_ ? std::string(what) + strerror(error) : std::string());
    }

    // Why an entry of a directory cannot be unlinked or removed: the error
    // the system would give and its reason. False when it can.
    bool judge(const DirRule& dir, const struct statx& st, uint64_t attributes)
    {
        int error = EPERM;
        const char* why = nullptr;
        if (dir.attributes & kImmutable) {
            why = "its directory is immutable";
        } else if (dir.attributes & kAppend) {
            why = "its directory is append-only";
        } else if (dir.writable == 0) {
            error = EACCES;
            why = "its directory is not writable";
        } else if (attributes & kImmutable) {
            why = "immutable";
        } else if (attributes & kAppend) {
            why = "append-only";
        } else if ((dir.mode & S_ISVTX) && euid_ != 0 && euid_ != dir.uid && euid_ != st.stx_uid) {
            why = "its directory is sticky and neither it nor the entry is ours";
        }
        if (why != nullptr)
            stay(error, why);
        return why != nullptr;
    }

    size_t stays() const { return stays_; }

private:
    int openDirectory(int at, const char* name)
    {
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int fd = -1;
        if (plan_) {
            fd = openat(at, name, flags | O_NOATIME);
            if (fd >= 0 || errno != EPERM)
                return fd;
        }
        return openat(at, name, flags);
    }

    // Opens the directory name (relative to parentFd; path_ names it) without
    // following links, reads all its names and their types from that one
    // descriptor before anything is removed (not every file system promises
    // a complete listing of a directory that changes under readdir) and
    // makes it the current level. When notDirectory is given, a name that
    // turned out not to be a directory (or to be a link) sets it instead of
    // being reported.
    bool enter(int parentFd, const char* name, bool* notDirectory)
    {
        int fd = openDirectory(parentFd, name);
        if (fd < 0) {
            if (notDirectory != nullptr && (errno == ENOTDIR || errno == ELOOP)) {
                *notDirectory = true;
            } else if (notDirectory == nullptr || errno != ENOENT) {
                fail(errno, "cannot be read: ");
            }
            return false;
        }
        Level level;
        struct statx st;
        if (statx(fd, "", AT_EMPTY_PATH, plan_ ? kPlanMask : STATX_INO | STATX_MNT_ID, &st) != 0) {
            fail(errno, "cannot be inspected: ");
            close(fd);
            return false;
        }
        level.dev = deviceOf(st);
        level.ino = st.stx_ino;
        level.mount = st.stx_mnt_id;
        // A mount point below the top is another file system (or a bind
        // mount of a directory elsewhere): nothing in it belongs to the tree,
        // and it cannot be removed while mounted.
        if (!levels_.empty() &&
            (level.dev != levels_.back().dev || level.mount != levels_.back().mount)) {
            stay(EBUSY, "a mount point: neither entered nor removed");
            close(fd);
            return false;
        }
        if (plan_) {
            level.rule.uid = st.stx_uid;
            level.rule.mode = st.stx_mode;
            level.rule.attributes = attributesOf(fd, ".", st);
        }
        if ((level.dir = fdopendir(fd)) == nullptr) {
            fail(errno, "cannot be read: ");
            close(fd);
            return false;
        }
        level.fd = fd;
        level.pathLength = path_.size();
        try {
            level.names = readNames(level.dir, &level.types);
            if (level.names == nullptr) {
                fail(errno, "cannot be read: ");
                closeLevel(level);
                return false;
            }
            if (plan_)
                sortNames(level);
            level.name = name;
            levels_.push_back(std::move(level));
        } catch (...) {
            closeLevel(level);
            cvFreeNameList(level.names);
            throw;
        }
        if (levels_.size() - firstOpen_ > kMaxOpenLevels) {
            closeLevel(levels_[firstOpen_]);
            ++firstOpen_;
        }
        return true;
    }

    void childPath(const Level& level, const char* name)
    {
        path_.resize(level.pathLength);
        path_ += '/';
        path_ += name;
    }

    void removeEntry(Level& level, const char* name, unsigned char type)
    {
        childPath(level, name);
        const int dirFd = level.fd;
        // A name the listing calls a directory is entered at once; the open
        // refuses links and anything that is no longer a directory, which
        // then goes the way of a file.
        if (type == DT_DIR) {
            bool notDirectory = false;
            // enter() may grow levels_: level must not be used afterwards.
            if (enter(dirFd, name, &notDirectory) || !notDirectory)
                return;
        }
        // Unlinking first settles files and links, the most common entries,
        // in one call; only a directory needs a second look.
        if (unlinkat(dirFd, name, 0) == 0 || errno == ENOENT)
            return;
        int unlinkError = errno;
        struct stat st;
        if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                stay(errno, "");
        } else if (S_ISDIR(st.st_mode) && type != DT_DIR) {
            enter(dirFd, name, nullptr);
        } else {
            stay(unlinkError, "");
        }
    }

    // The plan's twin of removeEntry: what unlinking or entering would meet.
    void planEntry(Level& level, const char* name)
    {
        childPath(level, name);
        const int dirFd = level.fd;
        struct statx st;
        if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kPlanMask, &st) != 0) {
            if (errno != ENOENT)
                fail(errno, "cannot be inspected: ");
            return;
        }
        if (level.rule.writable < 0)
            level.rule.writable = faccessat(dirFd, ".", W_OK | X_OK, AT_EACCESS) == 0 ? 1 : 0;
        const bool mountPoint = st.stx_mnt_id != level.mount || deviceOf(st) != level.dev;
        if (S_ISDIR(st.stx_mode)) {
            ++counts_.directories;
            if (mountPoint) {
                stay(EBUSY, "a mount point: neither entered nor removed");
                return;
            }
            DirRule parent = level.rule;
            // enter() may grow levels_: level must not be used afterwards.
            if (enter(dirFd, name, nullptr))
                judge(parent, st, levels_.back().rule.attributes);
            return;
        }
        if (S_ISLNK(st.stx_mode))
            ++counts_.links;
        else
            ++counts_.files;
        counts_.bytes += st.stx_size;
        // A file mounted over an entry (a bind mount) cannot be unlinked.
        if (mountPoint)
            stay(EBUSY, "a mount point: neither entered nor removed");
        else
            judge(level.rule, st, attributesOf(dirFd, name, st));
    }

    // The current directory is done: back to its parent, which removes it.
    // False when the walk cannot go on (the parent could not be regained).
    bool leave()
    {
        Level done = std::move(levels_.back());
        levels_.pop_back();
        cvFreeNameList(done.names);
        done.names = nullptr;
        path_.resize(done.pathLength);
        if (levels_.empty()) {
            closeLevel(done);
            if (!plan_ && unlinkat(AT_FDCWD, path_.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
                stay(errno, "");
            return true;
        }
        Level& parent = levels_.back();
        if (parent.fd < 0 && !reopen(parent, done.fd)) {
            closeLevel(done);
            return false;
        }
        closeLevel(done);
        if (firstOpen_ > levels_.size() - 1)
            firstOpen_ = levels_.size() - 1;
        // A plan judged the directory when it entered it; a directory that
        // holds an entry that stays stays too, unlisted.
        if (!plan_ && unlinkat(parent.fd, done.name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
            stay(errno, "");
        return true;
    }

    bool reopen(Level& parent, int childFd)
    {
        int fd = openDirectory(childFd, "..");
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0 || st.st_dev != parent.dev || st.st_ino != parent.ino) {
            int error = fd < 0 ? errno : ESTALE;
            if (fd >= 0)
                close(fd);
            path_.resize(parent.pathLength);
            fail(error, "cannot be regained: ");
            return false;
        }
        parent.fd = fd;
        return true;
    }

    std::string path_;
    const bool plan_;
    cvTreeStay onStay_;
    void* context_;
    cvTreeCounts ownCounts_;
    cvTreeCounts& counts_;
    uid_t euid_;
    uint64_t parentMount_ = 0;
    dev_t parentDev_ = 0;
    size_t stays_ = 0;
    std::vector<Level> levels_;
    size_t firstOpen_ = 0; // levels below this index have their fd closed
};

// A plan of a top that is not a real directory, or of a real directory,
// judged by the directory that holds it.
int planTop(const char* path, cvTreeStay onStay, void* context, cvTreeCounts* counts)
{
    TreeWalk walk(path, CV_TREE_PLAN, onStay, context, counts);
    struct statx st;
    if (statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kPlanMask, &st) != 0) {
        if (errno == ENOENT)
            return 0;
        walk.fail(errno, "cannot be inspected: ");
        return -1;
    }
    std::string parentPath(path);
    size_t slash = parentPath.find_last_of('/');
    parentPath = slash == std::string::npos ? "." : slash == 0 ? "/" : parentPath.substr(0, slash);
    DirRule parent;
    bool parentKnown = false;
    struct statx pst;
    int pfd = open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (pfd >= 0 && statx(pfd, "", AT_EMPTY_PATH, kPlanMask, &pst) == 0) {
        parentKnown = true;
        parent.uid = pst.stx_uid;
        parent.mode = pst.stx_mode;
        parent.attributes = attributesOf(pfd, ".", pst);
        parent.writable = faccessat(pfd, ".", W_OK | X_OK, AT_EACCESS) == 0 ? 1 : 0;
        walk.setParent(pst.stx_mnt_id, deviceOf(pst));
    }
    if (!S_ISDIR(st.stx_mode)) {
        if (S_ISLNK(st.stx_mode))
            ++counts->links;
        else
            ++counts->files;
        counts->bytes += st.stx_size;
        if (parentKnown)
            walk.judge(parent, st, attributesOf(pfd, path + slash + 1, st));
    } else {
        walk.run(&st, &parent, parentKnown);
    }
    if (pfd >= 0)
        close(pfd);
    return walk.stays() == 0 ? 0 : -1;
}

} // namespace

int cvWalkTree(const char* path, cvTreeMode mode, cvTreeStay onStay, void* context,
               cvTreeCounts* counts)
{
    if (path == nullptr)
        return -1;
    cvTreeCounts own;
    if (counts == nullptr)
        counts = &own;
    if (mode == CV_TREE_PLAN)
        return planTop(path, onStay, context, counts);
    struct stat st;
    if (lstat(path, &st) != 0)
        return errno == ENOENT ? 0 : -1;
    if (S_ISDIR(st.st_mode)) {
        TreeWalk(path, mode, onStay, context, counts).run(nullptr, nullptr, false);
    } else if (unlink(path) != 0 && errno != ENOENT) {
        if (onStay != nullptr)
            onStay(path, errno, nullptr, context);
    }
    if (lstat(path, &st) == 0)
        return -1;
    return errno == ENOENT ? 0 : -1;
}

namespace {

struct FailureAdapter {
    cvRemoveFailure onFailure;
    void* context;
};

void forwardFailure(const char* path, int error, const char* /*why*/, void* context)
{
    const FailureAdapter* a = static_cast<const FailureAdapter*>(context);
    if (a->onFailure != nullptr)
        a->onFailure(path, error, a->context);
}

} // namespace

int cvRemoveTree(const char* path, cvRemoveFailure onFailure, void* context)
{
    FailureAdapter adapter{onFailure, context};
    return cvWalkTree(path, CV_TREE_REMOVE, forwardFailure, &adapter, nullptr);
}

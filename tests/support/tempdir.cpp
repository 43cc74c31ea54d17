#include "tempdir.h"

#include <cvsetup/tree_walk.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cvtest {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path)
{
    throw std::runtime_error(what + " " + path + ": " + strerror(errno));
}

// Walks real directories only (lstat), so a link out of the tree is never
// followed while permissions are restored or entries counted.
void visitDirs(const std::string& dir, size_t* count, bool makeAccessible)
{
    if (makeAccessible)
        chmod(dir.c_str(), 0700);
    char** names = cvListDirectory(dir.c_str());
    if (names == nullptr)
        return;
    for (char** p = names; *p != nullptr; ++p) {
        std::string child = dir + "/" + *p;
        if (count != nullptr)
            ++*count;
        if (cvGetEntryKind(child.c_str()) == CV_ENTRY_DIRECTORY)
            visitDirs(child, count, makeAccessible);
    }
    cvFreeNameList(names);
}

} // namespace

TempDir::TempDir(const std::string& prefix)
{
    const char* base = getenv("TMPDIR");
    std::string templ =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + ".XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr)
        fail("cannot create temporary directory", templ);
    path_ = buf.data();
}

TempDir::~TempDir()
{
    visitDirs(path_, nullptr, true);
    cvRemoveTree(path_.c_str(), nullptr, nullptr);
}

std::string TempDir::file(const std::string& rel) const
{
    return rel.empty() ? path_ : path_ + "/" + rel;
}

void TempDir::mkdirs(const std::string& rel) const
{
    std::string full = file(rel);
    for (size_t pos = path_.size() + 1; pos <= full.size(); ++pos) {
        if (pos != full.size() && full[pos] != '/')
            continue;
        std::string prefix = full.substr(0, pos);
        if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST)
            fail("cannot create directory", prefix);
    }
}

void TempDir::mkdeep(const std::string& rel, int depth) const
{
    mkdirs(rel);
    int fd = open(file(rel).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; fd >= 0 && level < depth; ++level) {
        int next =
            mkdirat(fd, "d", 0755) == 0 ? openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
        close(fd);
        fd = next;
    }
    int leaf = fd >= 0 ? openat(fd, "leaf", O_WRONLY | O_CREAT | O_CLOEXEC, 0644) : -1;
    if (fd >= 0)
        close(fd);
    if (leaf < 0)
        fail("cannot build a deep tree below", file(rel));
    close(leaf);
}

void TempDir::write(const std::string& rel, const std::string& content) const
{
    size_t slash = rel.rfind('/');
    if (slash != std::string::npos)
        mkdirs(rel.substr(0, slash));
    std::ofstream out(file(rel), std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        fail("cannot write", file(rel));
}

std::string TempDir::read(const std::string& rel) const
{
    if (access(file(rel).c_str(), R_OK) != 0)
        fail("cannot read", file(rel));
    return readFile(file(rel));
}

void TempDir::symlink(const std::string& target, const std::string& rel) const
{
    size_t slash = rel.rfind('/');
    if (slash != std::string::npos)
        mkdirs(rel.substr(0, slash));
    if (::symlink(target.c_str(), file(rel).c_str()) != 0)
        fail("cannot create link", file(rel));
}

bool TempDir::exists(const std::string& rel) const
{
    struct stat st;
    return lstat(file(rel).c_str(), &st) == 0;
}

size_t TempDir::countEntries(const std::string& rel) const
{
    size_t count = 0;
    visitDirs(file(rel), &count, false);
    return count;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace cvtest

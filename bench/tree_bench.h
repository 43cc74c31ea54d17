// Shared body of the tree-deletion benchmarks: builds identical trees of
// 100,000 files in 10,000 directories (100 top directories of 99
// subdirectories each, 10 files of 100 bytes per directory) and times one
// deletion routine against "rm -rf" in the same run, alternating which goes
// first so that neither always meets a warmer cache. Prints every round, both
// medians and the ratio.
//
// The trees go to /dev/shm by default (memory), so the walk itself is
// measured rather than the disk: on a file system mounted with online
// discard every unlink waits for the device and both tools take minutes.
// argv[2] names another directory to measure a particular file system.
#ifndef CV_BENCH_TREE_BENCH_H
#define CV_BENCH_TREE_BENCH_H

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace treebench {

const int kTopDirs = 100;
const int kSubDirs = 99;
const int kFilesPerDir = 10;

inline bool makeDir(const std::string& path)
{
    if (mkdir(path.c_str(), 0755) == 0)
        return true;
    perror(path.c_str());
    return false;
}

inline bool fillDir(const std::string& dir, const std::string& content)
{
    for (int f = 0; f < kFilesPerDir; ++f) {
        std::string file = dir + "/file" + std::to_string(f) + ".db";
        int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || write(fd, content.data(), content.size()) < 0) {
            perror(file.c_str());
            if (fd >= 0)
                close(fd);
            return false;
        }
        close(fd);
    }
    return true;
}

inline bool buildTree(const std::string& root)
{
    const std::string content(100, 'x');
    if (!makeDir(root))
        return false;
    for (int t = 0; t < kTopDirs; ++t) {
        std::string top = root + "/top" + std::to_string(t);
        if (!makeDir(top) || !fillDir(top, content))
            return false;
        for (int s = 0; s < kSubDirs; ++s) {
            std::string sub = top + "/sub" + std::to_string(s);
            if (!makeDir(sub) || !fillDir(sub, content))
                return false;
        }
    }
    return true;
}

inline double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

template <typename Remove>
double timeOurs(Remove remove, const std::string& root)
{
    auto start = std::chrono::steady_clock::now();
    remove(root.c_str());
    return seconds(start);
}

inline double timeRm(const std::string& root)
{
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execlp("rm", "rm", "-rf", "--", root.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    double t = seconds(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fprintf(stderr, "rm -rf failed for %s\n", root.c_str());
    return t;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline bool gone(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) != 0;
}

// usage: <program> [rounds] [directory for the trees]
template <typename Remove>
int run(int argc, char** argv, const char* name, Remove remove)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 5;
    if (rounds < 1)
        rounds = 5;
    struct stat st;
    std::string base = argc > 2                                              ? argv[2]
                       : (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode)) ? "/dev/shm"
                                                                             : "/tmp";
    std::string templ = base + "/" + name + ".XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) {
        perror("mkdtemp");
        return 1;
    }
    std::string work = buf.data();
    printf("tree: %d files in %d directories, %d rounds, in %s\n",
           kTopDirs * (kSubDirs + 1) * kFilesPerDir, kTopDirs * (kSubDirs + 1), rounds,
           work.c_str());

    std::vector<double> ours, rm;
    int status = 0;
    for (int r = 0; r < rounds && status == 0; ++r) {
        std::string a = work + "/ours", b = work + "/rm";
        if (!buildTree(a) || !buildTree(b)) {
            status = 1;
            break;
        }
        sync();
        double tOurs, tRm;
        if (r % 2 == 0) {
            tOurs = timeOurs(remove, a);
            tRm = timeRm(b);
        } else {
            tRm = timeRm(b);
            tOurs = timeOurs(remove, a);
        }
        if (!gone(a) || !gone(b)) {
            fprintf(stderr, "a tree was not removed completely\n");
            status = 1;
        }
        printf("round %d: %s %.3f s, rm -rf %.3f s\n", r + 1, name, tOurs, tRm);
        fflush(stdout);
        ours.push_back(tOurs);
        rm.push_back(tRm);
    }
    remove((work + "/ours").c_str());
    remove((work + "/rm").c_str());
    rmdir(work.c_str());
    if (status != 0 || ours.empty())
        return 1;
    double mOurs = median(ours), mRm = median(rm);
    printf("median: %s %.3f s, rm -rf %.3f s, ratio %.2f\n", name, mOurs, mRm, mOurs / mRm);
    return 0;
}

} // namespace treebench

#endif

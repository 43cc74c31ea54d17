// Deletes generated instance-like trees with setupDeleteDir and with
// "rm -rf" in the same run and prints both medians and their ratio.
//
//   bench_deletedir [rounds] [directory for the trees]
//
// Each round builds two identical trees of 100,000 files in 10,000
// directories (100 top directories of 99 subdirectories each, 10 files of
// 100 bytes per directory), flushes them to disk, and times the two
// deletions, alternating which one goes first so that neither always meets a
// warmer cache.
#include "setup_util.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const int kTopDirs = 100;
const int kSubDirs = 99;
const int kFilesPerDir = 10;

bool makeDir(const std::string& path)
{
    if (mkdir(path.c_str(), 0755) == 0)
        return true;
    perror(path.c_str());
    return false;
}

bool fillDir(const std::string& dir, const std::string& content)
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

bool buildTree(const std::string& root)
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

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double timeOurs(const std::string& root)
{
    auto start = std::chrono::steady_clock::now();
    if (setupDeleteDir(root.c_str()) != 0)
        fprintf(stderr, "setupDeleteDir failed for %s\n", root.c_str());
    return seconds(start);
}

double timeRm(const std::string& root)
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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool gone(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) != 0;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 5;
    if (rounds < 1)
        rounds = 5;
    const char* tmp = getenv("TMPDIR");
    std::string base = argc > 2 ? argv[2] : (tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    std::vector<char> templ(base.begin(), base.end());
    const char suffix[] = "/bench_deletedir.XXXXXX";
    templ.insert(templ.end(), suffix, suffix + sizeof suffix);
    if (mkdtemp(templ.data()) == nullptr) {
        perror("mkdtemp");
        return 1;
    }
    std::string work = templ.data();
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
            tOurs = timeOurs(a);
            tRm = timeRm(b);
        } else {
            tRm = timeRm(b);
            tOurs = timeOurs(a);
        }
        if (!gone(a) || !gone(b)) {
            fprintf(stderr, "a tree was not removed completely\n");
            status = 1;
        }
        printf("round %d: setupDeleteDir %.3f s, rm -rf %.3f s\n", r + 1, tOurs, tRm);
        fflush(stdout);
        ours.push_back(tOurs);
        rm.push_back(tRm);
    }
    setupDeleteDir((work + "/ours").c_str());
    setupDeleteDir((work + "/rm").c_str());
    rmdir(work.c_str());
    if (status != 0 || ours.empty())
        return 1;
    double mOurs = median(ours), mRm = median(rm);
    printf("median: setupDeleteDir %.3f s, rm -rf %.3f s, ratio %.2f\n", mOurs, mRm,
           mOurs / mRm);
    return 0;
}

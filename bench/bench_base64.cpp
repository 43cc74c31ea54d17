// Base64 throughput on 64 MiB of random bytes against coreutils base64 in the
// same run. Ours works in memory; the peer reads a file and writes to
// /dev/null, which is its fastest path. Prints MB/s and the ratio.
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "setup_compat.h"
#include "setup_hash.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double median_seconds(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void run_peer(const std::vector<std::string>& args)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        perror("posix_spawnp");
        exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "%s failed\n", argv[0]);
        exit(1);
    }
}

void write_file(const std::string& path, const void* data, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(data, 1, size, f) != size) {
        perror(path.c_str());
        exit(1);
    }
    fclose(f);
}

void report(const char* what, double bytes, double ours, double peer)
{
    double mb = bytes / 1e6;
    printf("%-7s ours %8.1f MB/s   coreutils %8.1f MB/s   ratio (ours/coreutils) %.2f\n", what,
           mb / ours, mb / peer, peer / ours);
}

} // namespace

int main()
{
    const size_t size = 64u << 20;
    const int runs = 5;
    std::vector<unsigned char> data(size);
    std::mt19937 gen(42);
    for (auto& b : data)
        b = static_cast<unsigned char>(gen());

    std::vector<char> encoded(base64_encoded_size(size, -1));
    std::vector<unsigned char> decoded(size + 3);

    char dirTemplate[] = "/tmp/bench_base64.XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        perror("mkdtemp");
        return 1;
    }
    std::string dir = dirTemplate;
    std::string raw = dir + "/raw", text = dir + "/text";
    write_file(raw, data.data(), size);

    double encOurs = median_seconds(
        runs, [&] { base64_encode(data.data(), encoded.data(), static_cast<unsigned>(size), -1); });
    write_file(text, encoded.data(), encoded.size() - 1);
    double encPeer = median_seconds(runs, [&] { run_peer({"base64", "-w0", raw}); });

    int n = 0;
    double decOurs =
        median_seconds(runs, [&] { n = base64_decode(encoded.data(), decoded.data()); });
    double decPeer = median_seconds(runs, [&] { run_peer({"base64", "-d", text}); });
    bool same =
        n == static_cast<int>(size) && std::equal(data.begin(), data.end(), decoded.begin());

    printf("Base64 of %zu MiB, median of %d runs\n", size >> 20, runs);
    report("encode", static_cast<double>(size), encOurs, encPeer);
    report("decode", static_cast<double>(encoded.size() - 1), decOurs, decPeer);
    printf("round trip %s\n", same ? "identical" : "DIFFERS");

    unlink(raw.c_str());
    unlink(text.c_str());
    rmdir(dir.c_str());
    return same ? 0 : 1;
}

// Benchmark (not a test): `remove-instance -f` of one instance out of a
// registry of 1,000 hosts with one instance each, against the hand-written
// shell equivalent (bench_unregister.sh: ldapsearch, ldapdelete -r, kill,
// rm -rf) on the same server in the same run. Every round removes a fresh
// instance (its registration, a running stand-in server and a small tree).
// Prints both medians and the ratio tool / shell.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

// The tests' private slapd (self-contained: it needs no test framework
// library), so the benchmark runs against the same server setup.
#include "slapd_server.h"

namespace {

const int kHosts = 1000;
const int kRounds = 11;
const char* const kDomain = "ou=bench.example.com, o=CorvidRoot";

std::string hostName(int i)
{
    char name[64];
    std::snprintf(name, sizeof name, "host%04d.bench.example.com", i);
    return name;
}

std::string instanceName(int i)
{
    return "slapd-" + std::to_string(i);
}

std::string registryLdif(const std::string& root)
{
    std::string l = std::string("dn: ") + kDomain +
                    "\nobjectclass: organizationalUnit\nobjectclass: cvAdminDomain\nou: "
                    "bench.example.com\n\ndn: ou=Global Preferences, " +
                    kDomain + "\nobjectclass: organizationalUnit\nou: Global Preferences\n\n";
    for (int i = 0; i < kHosts; ++i) {
        const std::string host = "cn=" + hostName(i) + ", " + kDomain;
        const std::string group = "cn=Server Group, " + host;
        const std::string isie = "cn=Corvid Directory Server, " + group;
        const std::string sie = "cn=" + instanceName(i) + ", " + isie;
        l += "dn: " + host +
             "\nobjectclass: cvHost\nobjectclass: groupOfUniqueNames\ncn: " + hostName(i) +
             "\nserverHostName: " + hostName(i) + "\nuniquemember: " + group + "\n\n";
        l += "dn: " + group +
             "\nobjectclass: cvAdminGroup\nobjectclass: groupOfUniqueNames\n"
             "cn: Server Group\ncvConfigRoot: " +
             root + "\nuniquemember: " + isie + "\n\n";
        l += "dn: " + isie +
             "\nobjectclass: cvApplication\nobjectclass: groupOfUniqueNames\n"
             "cn: Corvid Directory Server\ncvInstalledLocation: " +
             root + "\nuniquemember: " + sie + "\n\n";
        l += "dn: " + sie + "\nobjectclass: corvidServer\nobjectclass: groupOfUniqueNames\ncn: " +
             instanceName(i) + "\nserverRoot: " + root + "\nserverHostName: " + hostName(i) +
             "\nuniquemember: " + sie + "\n\n";
    }
    return l;
}

pid_t spawn(const std::vector<std::string>& args, bool quiet)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (quiet) {
            if (freopen("/dev/null", "w", stdout) == nullptr) {
                _exit(126);
            }
        }
        std::vector<char*> argv;
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int waitFor(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// An instance tree of 10 directories with 10 files each, and a running
// stand-in server. Its parent shell reaps it once it is killed, so a
// stopped server is gone for kill -0 as well.
pid_t makeInstance(const std::string& root, const std::string& name)
{
    const std::string base = root + "/" + name;
    mkdir(base.c_str(), 0755);
    mkdir((base + "/logs").c_str(), 0755);
    for (int d = 0; d < 10; ++d) {
        const std::string dir = base + "/db" + std::to_string(d);
        mkdir(dir.c_str(), 0755);
        for (int f = 0; f < 10; ++f) {
            std::ofstream(dir + "/file" + std::to_string(f)) << std::string(512, 'x');
        }
    }
    const std::string pidFile = base + "/logs/pid";
    pid_t keeper = spawn({"/bin/sh", "-c",
                          "sleep 1000 & echo $! > '" + pidFile + ".new' && mv '" + pidFile +
                              ".new' '" + pidFile + "'; wait"},
                         false);
    struct stat st;
    while (stat(pidFile.c_str(), &st) != 0) {
        usleep(1000);
    }
    return keeper;
}

double timed(const std::vector<std::string>& args, int* status)
{
    auto start = std::chrono::steady_clock::now();
    *status = waitFor(spawn(args, true));
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    setenv("LDAPNOINIT", "1", 1);
    cvtest::Slapd server;
    if (!server.start()) {
        std::fprintf(stderr, "slapd did not start: %s\n", server.error().c_str());
        return 1;
    }
    char tmpl[] = "/tmp/bench_unregister.XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
        return 1;
    }
    const std::string work = tmpl;
    const std::string root = work + "/servers";
    mkdir(root.c_str(), 0755);
    std::printf("loading a registry of %d hosts ...\n", kHosts);
    std::fflush(stdout);
    std::string out;
    if (!server.add(registryLdif(root), &out)) {
        std::fprintf(stderr, "loading failed: %s\n", out.c_str());
        return 1;
    }

    const std::string peer = std::string(CV_SOURCE_DIR) + "/bench/bench_unregister.sh";
    const std::string url = server.url("");
    std::vector<double> tool;
    std::vector<double> shell;
    int failures = 0;
    int next = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool useTool = (turn == 0) == (round % 2 == 0);
            const int i = next++;
            const std::string name = instanceName(i);
            pid_t keeper = makeInstance(root, name);
            int status = 0;
            if (useTool) {
                const std::string inf = work + "/remove.inf";
                std::ofstream(inf)
                    << "[uninstall]\nServerIdentifier= " << name << "\nServerRoot= " << root
                    << "\nFullMachineName= " << hostName(i)
                    << "\nLDAPHost= 127.0.0.1\nLDAPPort= " << server.port()
                    << "\nSuffix= o=CorvidRoot\n"
                    << "ConfigDirectoryAdminID= " << cvtest::Slapd::kRootDN
                    << "\nConfigDirectoryAdminPwd= " << cvtest::Slapd::kRootPassword << "\n";
                tool.push_back(timed({CV_REMOVE_INSTANCE, "-f", inf}, &status));
            } else {
                shell.push_back(timed({"bash", peer, url, cvtest::Slapd::kRootDN,
                                       cvtest::Slapd::kRootPassword, name, hostName(i), root},
                                      &status));
            }
            waitFor(keeper);
            struct stat st;
            const std::string host = "cn=" + hostName(i) + ", " + kDomain;
            if (status != 0 || stat((root + "/" + name).c_str(), &st) == 0 || server.exists(host)) {
                ++failures;
                std::fprintf(stderr, "%s removal of %s incomplete (status %d)\n",
                             useTool ? "tool" : "shell", name.c_str(), status);
            }
        }
    }
    const double t = median(tool);
    const double s = median(shell);
    std::printf("remove-instance -f : median %.1f ms over %d rounds\n", t, kRounds);
    std::printf("shell equivalent   : median %.1f ms over %d rounds\n", s, kRounds);
    std::printf("ratio tool/shell   : %.2fx (target <= 1.0x)\n", t / s);
    waitFor(spawn({"rm", "-rf", work}, false));
    return failures == 0 ? 0 : 1;
}

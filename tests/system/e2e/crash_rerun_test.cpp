// A silent removal killed at any one of its writes (to the directory, to
// standard output), unlinks or signals, and then run again with the same
// command, ends exactly as one uninterrupted removal: the same registry, the
// same server roots, the same servers running. strace's fault injection does
// the killing (SIGKILL at the N-th call of one system call, for every N up
// to that call's count in one whole run); one slapd serves every point, the
// registry reset between them. Both registry shapes: an instance beside a
// sibling of its product, and the last instance of a product on its host.

#include "e2e_fixture.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <regex>
#include <sstream>

using namespace cvtest;
using namespace cvtest::reg;

namespace {

// Every system call by which a removal changes anything outside itself.
const std::vector<std::string> kChanging = {"write", "unlink", "unlinkat", "rmdir", "kill"};

// CV_CRASH_STRIDE=N tries every N-th point only (and always the first and
// the last of each call): the memory checkers' runs, where each process
// costs seconds, check the repairs' code on a sample of the points. The
// plain run tries them all.
bool tryPoint(int n, int count)
{
    const char* env = std::getenv("CV_CRASH_STRIDE");
    const int stride = env != nullptr ? std::max(1, std::atoi(env)) : 1;
    return n == 1 || n == count || n % stride == 0;
}

// Every path below dir with its type and size, links not followed.
void listInto(const std::string& dir, const std::string& rel, std::string& out)
{
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        struct stat st;
        const std::string path = dir + "/" + name;
        if (lstat(path.c_str(), &st) != 0)
            continue;
        out += rel + name + (S_ISDIR(st.st_mode) ? "/" : " " + std::to_string(st.st_size)) + "\n";
        if (S_ISDIR(st.st_mode))
            listInto(path, rel + name + "/", out);
    }
}

bool straceWorks()
{
    return runProcess("strace", {"-qq", "-o", "/dev/null", "true"}, baseEnvironment()).status == 0;
}

} // namespace

class CrashRerunTest : public EndToEndSuite<CrashRerunTest> {
protected:
    struct Shape {
        std::string instance;
        std::string rootDir;
        std::string inf;
    };

    // What a removal leaves: compared after every crash and rerun.
    struct State {
        RegistryDump registry;
        std::string trees;
        std::string servers;
    };

    void SetUp() override
    {
        roots_.lab = dir_.file("lab");
        EndToEndSuite<CrashRerunTest>::SetUp();
        if (!straceWorks())
            GTEST_SKIP() << "strace cannot trace here";
    }

    Shape besideSibling() const
    {
        return {"slapd-east", "servers", infFor("slapd-east", Slapd::kRootPassword)};
    }

    Shape lastOnItsHost() const
    {
        return {"slapd-lab", "lab",
                "[uninstall]\nServerIdentifier= slapd-lab\nServerRoot= " + roots_.lab +
                    "\nFullMachineName= gamma.lab.example.com\nLDAPHost= 127.0.0.1\nLDAPPort= " +
                    std::to_string(slapd().port()) +
                    "\nSuffix= o=CorvidRoot\n"
                    "ConfigDirectoryAdminID= " +
                    Slapd::kRootDN + "\nConfigDirectoryAdminPwd= " + Slapd::kRootPassword + "\n"};
    }

    // The registry, the instance's tree and its server as before any removal.
    void prepare(const Shape& shape)
    {
        std::string out;
        ASSERT_TRUE(resetRegistry(slapd(), roots_, &out)) << out;
        makeInstance(shape.instance, shape.rootDir);
        dir_.write("remove.inf", shape.inf);
        // A test program under a memory checker forks slowly: the stand-in
        // server must run its own program before the removal signals it.
        const std::string comm =
            "/proc/" + std::to_string(servers_[shape.instance]->pid()) + "/comm";
        for (int i = 0; i < 500 && readFile(comm) != "sleep\n"; ++i)
            usleep(10000);
    }

    State state(const Shape& shape)
    {
        State s;
        s.registry = dumpRegistry(slapd());
        listInto(dir_.file("servers"), "servers/", s.trees);
        listInto(dir_.file("lab"), "lab/", s.trees);
        for (auto& server : servers_)
            s.servers += server.first + (server.second->running() ? " running\n" : " stopped\n");
        EXPECT_EQ(s.servers.find(shape.instance + " running"), std::string::npos);
        return s;
    }

    ProcessResult remove(const std::vector<std::string>& traced = {})
    {
        std::vector<std::string> args = traced;
        std::vector<std::string> env = baseEnvironment();
        if (!traced.empty()) {
            args.push_back(CV_REMOVE_INSTANCE);
            // The leak check of a sanitizer build cannot run under ptrace.
            auto asan = std::find_if(env.begin(), env.end(), [](const std::string& e) {
                return e.rfind("ASAN_OPTIONS=", 0) == 0;
            });
            if (asan == env.end())
                env.push_back("ASAN_OPTIONS=detect_leaks=0");
            else
                *asan += ":detect_leaks=0";
        }
        args.insert(args.end(), {"-f", dir_.file("remove.inf")});
        return runProcess(traced.empty() ? CV_REMOVE_INSTANCE : "strace", args, env);
    }

    // strace's arguments: trace the calls in set into out, and inject the
    // fault when one is given. Where it can, only those calls stop the
    // tracee (a seccomp filter), so a run costs little more than an
    // untraced one; strace delivers no injected signal in that mode.
    static std::vector<std::string> strace(const std::string& set, const std::string& out,
                                           const std::string& inject = "")
    {
        std::vector<std::string> args = {"-f", "-qq", "-o", out, "-e", "trace=" + set};
        if (inject.find("signal=") == std::string::npos)
            args.push_back("--seccomp-bpf");
        if (!inject.empty())
            args.insert(args.end(), {"-e", "inject=" + inject});
        return args;
    }

    // Calls of each system call in names during one whole removal.
    std::map<std::string, int> countCalls(const std::vector<std::string>& names)
    {
        std::string set;
        for (const std::string& name : names)
            set += (set.empty() ? "" : ",") + name;
        const std::string trace = dir_.file("calls.trace");
        ProcessResult r = remove(strace(set, trace));
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        std::map<std::string, int> counts;
        std::istringstream lines(dir_.read("calls.trace"));
        const std::regex call("^(?:[0-9]+ +)?([a-z_0-9]+)\\(");
        std::smatch m;
        for (std::string line; std::getline(lines, line);)
            if (std::regex_search(line, m, call))
                ++counts[m[1]];
        return counts;
    }

    void expectSame(const State& got, const State& want, const std::string& point)
    {
        EXPECT_EQ(got.registry, want.registry) << point;
        EXPECT_EQ(got.trees, want.trees) << point;
        EXPECT_EQ(got.servers, want.servers) << point;
    }

    // Kills the removal at every changing call in turn; returns the number
    // of points. The wait for the stopped server polls it with kill(pid, 0)
    // as long as it takes to exit, so the last kill of the count run may not
    // come in another run: that run is then whole, and is checked the same.
    int crashEverywhere(const Shape& shape)
    {
        prepare(shape);
        ProcessResult first = remove();
        EXPECT_EQ(first.status, 0) << first.out << first.err;
        const State reference = state(shape);

        prepare(shape);
        std::map<std::string, int> counts = countCalls(kChanging);
        expectSame(state(shape), reference, "traced without a fault");
        int points = 0;
        int whole = 0;
        for (const std::string& name : kChanging) {
            for (int n = 1; n <= counts[name]; ++n, ++points) {
                if (!tryPoint(n, counts[name]))
                    continue;
                const std::string point = name + " #" + std::to_string(n);
                prepare(shape);
                ProcessResult killed = remove(
                    strace(name, "/dev/null", name + ":signal=KILL:when=" + std::to_string(n)));
                if (name == "kill" && killed.status == 0)
                    ++whole;
                else
                    EXPECT_EQ(killed.status, 128 + 9) << point << "\n" << killed.out << killed.err;
                ProcessResult again = remove();
                EXPECT_EQ(again.status, 0) << point << "\n" << again.out << again.err;
                EXPECT_EQ(again.err, "") << point;
                expectSame(state(shape), reference, point);
            }
        }
        EXPECT_LE(whole, 2);
        return points;
    }
};

TEST_F(CrashRerunTest, RerunAfterAKillAnywhereEndsAsOneWholeRemoval)
{
    const auto start = std::chrono::steady_clock::now();
    const int beside = crashEverywhere(besideSibling());
    const int last = crashEverywhere(lastOnItsHost());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Small trees keep the points few and the test well under a minute.
    EXPECT_GT(beside, 10);
    EXPECT_GT(last, 10);
    EXPECT_LT(beside + last, 100);
    std::cout << "crash points: " << beside << " + " << last << " in " << seconds << " s\n";
}

// A directory that stops answering (each wait for an answer times out in
// turn) ends the run as a timeout, 151 with its text, never as an instance
// that is not registered and never with the client library's negative code;
// the rerun finishes the job. A few waits are retried or optional (the
// server's version, a subtree delete that walks the children after its first
// request failed) and end in a whole removal instead.
TEST_F(CrashRerunTest, TimeoutAnywhereIsReportedAsATimeoutAndTheRerunFinishes)
{
    const Shape shape = lastOnItsHost();
    prepare(shape);
    ASSERT_EQ(remove().status, 0);
    const State reference = state(shape);
    prepare(shape);
    const int waits = countCalls({"poll"})["poll"];
    EXPECT_GT(waits, 5);
    int timeouts = 0;
    int tried = 0;
    for (int n = 1; n <= waits; ++n) {
        if (!tryPoint(n, waits))
            continue;
        ++tried;
        const std::string point = "poll #" + std::to_string(n);
        prepare(shape);
        ProcessResult r =
            remove(strace("poll", "/dev/null", "poll:retval=0:when=" + std::to_string(n)));
        EXPECT_EQ(r.out.find("not registered"), std::string::npos) << point << "\n" << r.out;
        EXPECT_EQ((r.out + r.err).find("error = -"), std::string::npos) << point;
        if (r.status != 0) {
            ++timeouts;
            EXPECT_EQ(r.status, 1) << point;
            EXPECT_NE(r.out.find("(error = 151"), std::string::npos) << point << "\n" << r.out;
            EXPECT_NE(r.err.find("error = 151\n"), std::string::npos) << point << "\n" << r.err;
        }
        ProcessResult again = remove();
        EXPECT_EQ(again.status, 0) << point << "\n" << again.out << again.err;
        expectSame(state(shape), reference, point);
    }
    EXPECT_GE(timeouts, tried - 4);
}

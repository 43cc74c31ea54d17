// remove-instance-plan on a tree of 100,000 files in 10,000 directories
// against "du -s" on the same tree, both run as programs, alternating which
// goes first. The plan runs as a task request (no configuration directory
// is used). Prints every round, both medians and the ratio (target: under 2).
//
// usage: bench_plan [rounds] [directory for the tree]

#include "tree_bench.h"
#include "tree_walk.h"

#include <string>

namespace {

double timeProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> args, envp;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (const auto& e : env)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    double t = treebench::seconds(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127)
        fprintf(stderr, "%s failed\n", argv[0].c_str());
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 7;
    if (rounds < 1)
        rounds = 7;
    struct stat st;
    std::string base = argc > 2                                              ? argv[2]
                       : (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode)) ? "/dev/shm"
                                                                             : "/tmp";
    std::string templ = base + "/bench_plan.XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) {
        perror("mkdtemp");
        return 1;
    }
    const std::string work = buf.data();
    const std::string tree = work + "/inst";
    if (!treebench::buildTree(tree))
        return 1;
    const char* path = getenv("PATH");
    std::vector<std::string> env = {"PATH=" + std::string(path ? path : "/usr/bin:/bin"),
                                    "LDAPNOINIT=1", "REQUEST_METHOD=GET",
                                    "QUERY_STRING=InstanceName=inst", "WAYPOST_ROOT=" + work};
    printf("tree: %d files in %d directories, %d rounds, in %s\n",
           treebench::kTopDirs * (treebench::kSubDirs + 1) * treebench::kFilesPerDir,
           treebench::kTopDirs * (treebench::kSubDirs + 1), rounds, work.c_str());
    // One untimed pass each, so both meet a warm cache.
    timeProgram({CV_REMOVE_INSTANCE_PLAN}, env);
    timeProgram({"du", "-s", tree}, env);
    std::vector<double> plan, du;
    for (int r = 0; r < rounds; ++r) {
        double tPlan, tDu;
        if (r % 2 == 0) {
            tPlan = timeProgram({CV_REMOVE_INSTANCE_PLAN}, env);
            tDu = timeProgram({"du", "-s", tree}, env);
        } else {
            tDu = timeProgram({"du", "-s", tree}, env);
            tPlan = timeProgram({CV_REMOVE_INSTANCE_PLAN}, env);
        }
        printf("round %d: remove-instance-plan %.3f s, du -s %.3f s\n", r + 1, tPlan, tDu);
        fflush(stdout);
        plan.push_back(tPlan);
        du.push_back(tDu);
    }
    cvRemoveTree(work.c_str(), nullptr, nullptr);
    double mPlan = treebench::median(plan), mDu = treebench::median(du);
    printf("median: remove-instance-plan %.3f s, du -s %.3f s, ratio %.2f\n", mPlan, mDu,
           mPlan / mDu);
    return 0;
}

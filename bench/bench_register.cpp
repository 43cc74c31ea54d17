// Benchmark (not a test): 1,000 instances on 1,000 hosts registered with
// setupCreateSIE over one connection, then unregistered with
// `remove-instance -f`, against the same slapd. Peer, in the same run: one
// ldapadd of the same entries (host, admin group, product, instance per
// host) from one LDIF file, then one `ldapdelete -r` per host. Prints both
// totals, both ratios, and the sleeps the registration's waits took (zero
// against one server).

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cvldap.h"
#include "ldapentry.h"
#include "register_internal.h"
#include "setup_register.h"
#include "slapd_server.h"

namespace {

const int kHosts = 1000;
const char* const kDomain = "ou=bench.example.com, o=CorvidRoot";
const char* const kProduct = "Corvid Directory Server";

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

pid_t spawn(const std::vector<std::string>& args)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (freopen("/dev/null", "w", stdout) == nullptr)
            _exit(126);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int run(const std::vector<std::string>& args)
{
    int status = 0;
    pid_t pid = spawn(args);
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

double seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The entries one registration leaves, as LDIF: host, admin group, product
// and instance.
std::string peerLdif(const std::string& root)
{
    std::string l;
    for (int i = 0; i < kHosts; ++i) {
        const std::string host = "cn=" + hostName(i) + ", " + kDomain;
        const std::string group = "cn=Server Group, " + host;
        const std::string isie = std::string("cn=") + kProduct + ", " + group;
        const std::string sie = "cn=" + instanceName(i) + ", " + isie;
        l += "dn: " + host + "\nobjectclass: top\nobjectclass: cvHost\nobjectclass: groupOfUniqueNames\ncn: " +
             hostName(i) + "\nserverHostName: " + hostName(i) + "\nuniquemember: " + group + "\n\n";
        l += "dn: " + group + "\nobjectclass: cvAdminGroup\nobjectclass: groupOfUniqueNames\n"
             "cn: Server Group\ncvAdminGroupName: Server Group\ncvConfigRoot: " + root +
             "\nuniquemember: " + isie + "\n\n";
        l += "dn: " + isie + "\nobjectclass: top\nobjectclass: cvApplication\nobjectclass: groupOfUniqueNames\n"
             "cn: " + kProduct + "\ncvProductVersion: 5.2\ncvInstalledLocation: " + root +
             "\nuniquemember: " + sie + "\n\n";
        l += "dn: " + sie + "\nobjectclass: top\nobjectclass: corvidServer\nobjectclass: groupOfUniqueNames\ncn: " +
             instanceName(i) + "\ncvServerID: " + instanceName(i) + "\nserverRoot: " + root +
             "\nserverHostName: " + hostName(i) + "\nuniquemember: " + sie + "\n\n";
    }
    return l;
}

int registerAll(Ldap& ldap, const std::string& root)
{
    int failures = 0;
    for (int i = 0; i < kHosts; ++i) {
        LdapEntry sie(&ldap);
        LdapEntry isie(&ldap);
        sie.addAttribute("objectclass", "top");
        sie.addAttribute("objectclass", "corvidServer");
        sie.setAttribute("cvServerID", instanceName(i).c_str());
        sie.setAttribute("serverRoot", root.c_str());
        isie.addAttribute("objectclass", "top");
        isie.setAttribute("cn", kProduct);
        isie.setAttribute("cvProductVersion", "5.2");
        isie.setAttribute("cvInstalledLocation", root.c_str());
        if (setupCreateSIE(&sie, &isie, hostName(i).c_str(), root.c_str(), kDomain) != 0)
            ++failures;
    }
    return failures;
}

} // namespace

int main()
{
    setenv("LDAPNOINIT", "1", 1);
    cvtest::SlapdOptions options;
    options.monitorDatabase = true;
    cvtest::Slapd server(options);
    if (!server.start()) {
        std::fprintf(stderr, "slapd did not start: %s\n", server.error().c_str());
        return 1;
    }
    char tmpl[] = "/tmp/bench_register.XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        return 1;
    const std::string work = tmpl;
    const std::string root = work + "/servers";
    mkdir(root.c_str(), 0755);
    std::string out;
    if (!server.add("dn: cn=monitor\nobjectclass: cvTestEntry\ncn: monitor\nversion: Corvid-Directory/5.2\n\n"
                    "dn: " + std::string(kDomain) +
                        "\nobjectclass: organizationalUnit\nobjectclass: cvAdminDomain\nou: bench.example.com\n",
                    &out)) {
        std::fprintf(stderr, "loading failed: %s\n", out.c_str());
        return 1;
    }
    for (int i = 0; i < kHosts; ++i)
        mkdir((root + "/" + instanceName(i)).c_str(), 0755);

    int failures = 0;
    LdapError err;
    double registration = 0;
    unsigned long sleeps = 0;
    {
        Ldap ldap(err, server.url().c_str(), cvtest::Slapd::kRootDN, cvtest::Slapd::kRootPassword, nullptr, nullptr);
        if (err.code != 0) {
            std::fprintf(stderr, "no connection: %d\n", err.code);
            return 1;
        }
        unsigned long before = cvRegistryWaitSleeps();
        auto start = std::chrono::steady_clock::now();
        failures += registerAll(ldap, root);
        registration = seconds(start);
        sleeps = cvRegistryWaitSleeps() - before;
    }

    const std::string inf = work + "/remove.inf";
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kHosts; ++i) {
        std::ofstream(inf) << "[uninstall]\nServerIdentifier= " << instanceName(i) << "\nServerRoot= " << root
                           << "\nFullMachineName= " << hostName(i) << "\nLDAPHost= 127.0.0.1\nLDAPPort= "
                           << server.port() << "\nSuffix= o=CorvidRoot\nConfigDirectoryAdminID= "
                           << cvtest::Slapd::kRootDN << "\nConfigDirectoryAdminPwd= " << cvtest::Slapd::kRootPassword
                           << "\n";
        if (run({CV_REMOVE_INSTANCE, "-f", inf}) != 0)
            ++failures;
    }
    double unregistration = seconds(start);
    int left = server.count(kDomain, "(objectclass=cvHost)", "one");
    if (left != 0) {
        std::fprintf(stderr, "%d hosts left after remove-instance\n", left);
        ++failures;
    }

    const std::string ldif = work + "/peer.ldif";
    std::ofstream(ldif) << peerLdif(root);
    const std::string url = server.url("");
    start = std::chrono::steady_clock::now();
    if (run({"ldapadd", "-x", "-H", url, "-D", cvtest::Slapd::kRootDN, "-w", cvtest::Slapd::kRootPassword, "-f",
             ldif}) != 0)
        ++failures;
    double peerAdd = seconds(start);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kHosts; ++i) {
        if (run({"ldapdelete", "-x", "-H", url, "-D", cvtest::Slapd::kRootDN, "-w", cvtest::Slapd::kRootPassword,
                 "-r", "cn=" + hostName(i) + ", " + kDomain}) != 0)
            ++failures;
    }
    double peerDelete = seconds(start);

    std::printf("setupCreateSIE x %d     : %.2f s (%lu sleeps)\n", kHosts, registration, sleeps);
    std::printf("ldapadd of the entries   : %.2f s\n", peerAdd);
    std::printf("ratio register/ldapadd   : %.2fx (target <= 2.0x)\n", registration / peerAdd);
    std::printf("remove-instance -f x %d : %.2f s\n", kHosts, unregistration);
    std::printf("ldapdelete -r x %d      : %.2f s\n", kHosts, peerDelete);
    std::printf("ratio remove/ldapdelete  : %.2fx\n", unregistration / peerDelete);
    run({"rm", "-rf", work});
    return failures == 0 && sleeps == 0 ? 0 : 1;
}

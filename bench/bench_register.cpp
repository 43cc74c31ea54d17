// Benchmark (not a test): 1,000 instances on 1,000 hosts registered with
// setupCreateSIE over one connection, then unregistered with
// `remove-instance -f`, against the same slapd. Peer, in the same run: one
// ldapadd of the same entries (host, admin group, product, instance per
// host, with every attribute the registration wrote) from one LDIF file,
// then one `ldapdelete -r` per host. Registration
// and peer add take turns for three rounds, each in a domain of its own, and
// the best round of each counts: a shared machine's pauses fall on either
// side. Prints both totals, both ratios, and the sleeps the registration's
// waits took (zero against one server).

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

#include "cvldap.h"
#include "ldapentry.h"
#include "register_internal.h"
#include "setup_register.h"
#include "slapd_server.h"

namespace {

const int kHosts = 1000;
const int kRounds = 3;
const char* const kProduct = "Corvid Directory Server";

// The domain of a round's registration ("bench") or peer add ("peer").
std::string domainName(const std::string& side, int round)
{
    return side + std::to_string(round) + ".example.com";
}
std::string domainDN(const std::string& side, int round)
{
    return "ou=" + domainName(side, round) + ", o=CorvidRoot";
}

std::string hostName(int i, const std::string& domain)
{
    char name[32];
    std::snprintf(name, sizeof name, "host%04d.", i);
    return name + domain;
}

std::string instanceName(int i)
{
    return "slapd-" + std::to_string(i);
}

pid_t spawn(const std::vector<std::string>& args)
{
    // What is still buffered would otherwise be written by the child too.
    std::fflush(stdout);
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

// The peer's LDIF: the very entries a round's registration left (domain,
// hosts, admin groups, products, instances, every attribute and access
// value), moved to the peer's domain. Empty when a value is Base64-encoded,
// where the move could not be made in the text.
std::string peerLdif(cvtest::Slapd& server, int round)
{
    std::string l = server.search(domainDN("bench", round), "(objectclass=*)", "sub", {"*", "aci"});
    if (l.find(":: ") != std::string::npos)
        return std::string();
    const std::string from = domainName("bench", round);
    const std::string to = domainName("peer", round);
    for (size_t at = l.find(from); at != std::string::npos; at = l.find(from, at + to.size()))
        l.replace(at, from.size(), to);
    return l;
}

int registerAll(Ldap& ldap, const std::string& root, int round)
{
    const std::string domain = domainName("bench", round);
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
        if (setupCreateSIE(&sie, &isie, hostName(i, domain).c_str(), root.c_str(),
                           domain.c_str()) != 0)
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
    std::string setup =
        "dn: cn=monitor\nobjectclass: cvTestEntry\ncn: monitor\nversion: Corvid-Directory/5.2\n\n";
    for (int r = 0; r < kRounds; ++r)
        setup += "dn: " + domainDN("bench", r) +
                 "\nobjectclass: organizationalUnit\nobjectclass: cvAdminDomain\nou: " +
                 domainName("bench", r) + "\n\n";
    if (!server.add(setup, &out)) {
        std::fprintf(stderr, "loading failed: %s\n", out.c_str());
        return 1;
    }
    for (int i = 0; i < kHosts; ++i)
        mkdir((root + "/" + instanceName(i)).c_str(), 0755);

    int failures = 0;
    LdapError err;
    double registration = 1e9;
    double peerAdd = 1e9;
    unsigned long sleeps = 0;
    const std::string url = server.url("");
    Ldap ldap(err, server.url().c_str(), cvtest::Slapd::kRootDN, cvtest::Slapd::kRootPassword,
              nullptr, nullptr);
    if (err.code != 0) {
        std::fprintf(stderr, "no connection: %d\n", err.code);
        return 1;
    }
    for (int r = 0; r < kRounds; ++r) {
        unsigned long before = cvRegistryWaitSleeps();
        auto start = std::chrono::steady_clock::now();
        failures += registerAll(ldap, root, r);
        registration = std::min(registration, seconds(start));
        sleeps += cvRegistryWaitSleeps() - before;

        const std::string ldif = work + "/peer.ldif";
        const std::string entries = peerLdif(server, r);
        if (entries.empty())
            ++failures;
        std::ofstream(ldif) << entries;
        start = std::chrono::steady_clock::now();
        if (run({"ldapadd", "-x", "-H", url, "-D", cvtest::Slapd::kRootDN, "-w",
                 cvtest::Slapd::kRootPassword, "-f", ldif}) != 0)
            ++failures;
        peerAdd = std::min(peerAdd, seconds(start));
    }
    // Only the first round is taken apart, by both sides: the others go
    // first, untimed, so that both work on a registry of the same size.
    for (int r = 1; r < kRounds; ++r)
        for (const char* side : {"bench", "peer"})
            if (run({"ldapdelete", "-x", "-H", url, "-D", cvtest::Slapd::kRootDN, "-w",
                     cvtest::Slapd::kRootPassword, "-r", domainDN(side, r)}) != 0)
                ++failures;

    const std::string inf = work + "/remove.inf";
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kHosts; ++i) {
        std::ofstream(inf) << "[uninstall]\nServerIdentifier= " << instanceName(i)
                           << "\nServerRoot= " << root
                           << "\nFullMachineName= " << hostName(i, domainName("bench", 0))
                           << "\nLDAPHost= 127.0.0.1\nLDAPPort= " << server.port()
                           << "\nSuffix= o=CorvidRoot\nConfigDirectoryAdminID= "
                           << cvtest::Slapd::kRootDN
                           << "\nConfigDirectoryAdminPwd= " << cvtest::Slapd::kRootPassword << "\n";
        if (run({CV_REMOVE_INSTANCE, "-f", inf}) != 0)
            ++failures;
    }
    double unregistration = seconds(start);
    int left = server.count(domainDN("bench", 0), "(objectclass=cvHost)", "one");
    if (left != 0) {
        std::fprintf(stderr, "%d hosts left after remove-instance\n", left);
        ++failures;
    }

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kHosts; ++i) {
        if (run({"ldapdelete", "-x", "-H", url, "-D", cvtest::Slapd::kRootDN, "-w",
                 cvtest::Slapd::kRootPassword, "-r",
                 "cn=" + hostName(i, domainName("peer", 0)) + ", " + domainDN("peer", 0)}) != 0)
            ++failures;
    }
    double peerDelete = seconds(start);

    std::printf("setupCreateSIE x %d     : %.2f s, best of %d (%lu sleeps)\n", kHosts, registration,
                kRounds, sleeps);
    std::printf("ldapadd of the entries   : %.2f s, best of %d\n", peerAdd, kRounds);
    std::printf("ratio register/ldapadd   : %.2fx (target <= 2.0x)\n", registration / peerAdd);
    std::printf("remove-instance -f x %d : %.2f s\n", kHosts, unregistration);
    std::printf("ldapdelete -r x %d      : %.2f s\n", kHosts, peerDelete);
    std::printf("ratio remove/ldapdelete  : %.2fx\n", unregistration / peerDelete);
    run({"rm", "-rf", work});
    return failures == 0 && sleeps == 0 ? 0 : 1;
}

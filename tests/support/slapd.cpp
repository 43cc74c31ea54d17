#include "slapd.h"

#include "slapd_internal.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <strings.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cvtest {

using namespace slapdimpl;

Slapd::Slapd(SlapdOptions options) : options_(std::move(options)) {
    setenv("LDAPNOINIT", "1", 1);
    installCrashHandlers();
}

Slapd::~Slapd() { stop(); }

std::string Slapd::hostPort() const { return std::string(kHost) + ":" + std::to_string(port_); }

std::string Slapd::url(const std::string& base) const {
    return "ldap://" + hostPort() + "/" + base;
}

std::string Slapd::personLdif(const std::string& dn, const std::string& uid, const std::string& password) {
    return "dn: " + dn + "\nobjectclass: inetOrgPerson\nuid: " + uid + "\ncn: " + uid + "\nsn: " + uid +
           "\nuserPassword: " + password + "\n\n";
}

bool Slapd::launch() {
    std::string conf = dir_ + "/slapd.conf";
    std::string listen = "ldap://" + hostPort() + "/";
    std::string log = dir_ + "/slapd.log";
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        error_ = std::string("fork: ") + strerror(errno);
        return false;
    }
    if (pid == 0) {
        setpgid(0, 0);
        // Die with the test process, also when it crashes.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        int in = open("/dev/null", O_RDONLY);
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execl("/usr/sbin/slapd", "slapd", "-f", conf.c_str(), "-h", listen.c_str(), "-d", "0",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(pid, pid);  // both sides, so the group exists before any kill
    pid_ = pid;
    registerLive(pid);
    return true;
}

bool Slapd::waitReady(bool* collided) {
    *collided = false;
    for (int waited = 0; waited < 15000; waited += 20) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            unregisterLive(pid_);
            pid_ = -1;
            std::string log;
            readFile(dir_ + "/slapd.log", &log);
            *collided = log.find("in use") != std::string::npos;
            error_ = "slapd exited at start: " + log;
            return false;
        }
        // slapd writes its pid file only after it has bound its listener, so
        // a connection then reaches this server, never another process that
        // took the port first.
        std::string pidText;
        if (readFile(dir_ + "/slapd.pid", &pidText) && atoi(pidText.c_str()) == pid_ && canConnect(port_))
            return true;
        sleepMs(20);
    }
    error_ = "slapd did not answer within 15 s";
    return false;
}

bool Slapd::start() {
    if (running()) return true;
    error_.clear();
    const char* tmpEnv = getenv("TMPDIR");
    std::string tmp = tmpEnv && *tmpEnv ? tmpEnv : "/tmp";
    sweepStaleDirs(tmp);
    std::string templ = tmp + "/cv-slapd.XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) {
        error_ = "mkdtemp " + templ + ": " + strerror(errno);
        return false;
    }
    dir_ = buf.data();
    bool ok = false;
    for (int attempt = 0; attempt < 8 && !ok; ++attempt) {
        port_ = freePort();
        if (port_ == 0 || !writeConfig() || !launch()) break;
        bool collided = false;
        ok = waitReady(&collided);
        if (!ok) {
            stopProcess();
            if (!collided) break;
        }
    }
    if (ok && options_.createBaseEntries) {
        std::string ldif = suffixEntry(kBase);
        for (const auto& s : options_.extraSuffixes) ldif += suffixEntry(s);
        std::string out;
        if (!add(ldif, &out)) {
            error_ = "cannot load the suffix entries: " + out;
            ok = false;
        }
    }
    if (!ok) {
        std::string why = error_;
        stop();
        error_ = why;
    }
    return ok;
}

void Slapd::stopProcess() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGTERM);
    int status = 0;
    bool reaped = false;
    for (int waited = 0; waited < 5000 && !reaped; waited += 10) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) reaped = true;
        else sleepMs(10);
    }
    if (!reaped) {
        kill(-pid_, SIGKILL);
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
    }
    unregisterLive(pid_);
    pid_ = -1;
}

void Slapd::stop() {
    stopProcess();
    removeTree(dir_);
    dir_.clear();
}

int Slapd::tool(const std::string& name, const std::vector<std::string>& args, std::string* out,
                const std::string& bindDN, const std::string& password) {
    std::vector<std::string> argv{name, "-x", "-H", url("")};
    if (!bindDN.empty()) {
        argv.push_back("-D");
        argv.push_back(bindDN);
        argv.push_back("-w");
        argv.push_back(password);
    }
    argv.insert(argv.end(), args.begin(), args.end());
    std::string outPath = dir_ + "/tool-" + std::to_string(++toolRuns_) + ".out";
    lastStatus_ = runProcess(argv, outPath);
    std::string text;
    readFile(outPath, &text);
    ::remove(outPath.c_str());
    if (out) *out = text;
    return lastStatus_;
}

bool Slapd::add(const std::string& ldif, std::string* out, bool manageDsaIt) {
    std::string in = dir_ + "/input-" + std::to_string(++toolRuns_) + ".ldif";
    if (!writeFile(in, ldif)) return false;
    std::vector<std::string> args{"-f", in};
    if (manageDsaIt) args.push_back("-M");
    int rc = tool("ldapadd", args, out);
    ::remove(in.c_str());
    return rc == 0;
}

bool Slapd::modify(const std::string& ldif, std::string* out, bool manageDsaIt) {
    std::string in = dir_ + "/input-" + std::to_string(++toolRuns_) + ".ldif";
    if (!writeFile(in, ldif)) return false;
    std::vector<std::string> args{"-f", in};
    if (manageDsaIt) args.push_back("-M");
    int rc = tool("ldapmodify", args, out);
    ::remove(in.c_str());
    return rc == 0;
}

bool Slapd::remove(const std::string& dn, bool recursive, std::string* out) {
    std::vector<std::string> args;
    if (recursive) args.push_back("-r");
    args.push_back(dn);
    return tool("ldapdelete", args, out) == 0;
}

std::string Slapd::search(const std::string& base, const std::string& filter, const std::string& scope,
                          const std::vector<std::string>& attrs) {
    std::vector<std::string> args{"-LLL", "-o", "ldif-wrap=no", "-b", base, "-s", scope, filter};
    args.insert(args.end(), attrs.begin(), attrs.end());
    std::string out;
    if (tool("ldapsearch", args, &out) != 0) return std::string();
    return out;
}

int Slapd::count(const std::string& base, const std::string& filter, const std::string& scope) {
    std::string out = search(base, filter, scope, {"1.1"});
    if (lastStatus_ != 0) return -1;
    int n = 0;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, 3, "dn:") == 0) ++n;
    return n;
}

bool Slapd::exists(const std::string& dn) { return count(dn, "(objectclass=*)", "base") == 1; }

std::vector<std::string> Slapd::values(const std::string& dn, const std::string& attr) {
    std::vector<std::string> result;
    std::string out = search(dn, "(objectclass=*)", "base", {attr});
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        size_t colon = line.find(':');
        if (colon == std::string::npos || strcasecmp(line.substr(0, colon).c_str(), attr.c_str()) != 0)
            continue;
        // "attr: value"; base64 values ("attr:: ...") are returned undecoded.
        size_t v = line.find_first_not_of(": ", colon);
        result.push_back(v == std::string::npos ? std::string() : line.substr(v));
    }
    return result;
}

} // namespace cvtest

#include "slapd_internal.h"
#include "slapd_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sstream>
#include <strings.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace cvtest {

namespace {

// Process groups of the servers alive in this process, for the crash paths
// where no destructor runs. A plain array: the signal handler may only read.
constexpr int kMaxLive = 64;
volatile pid_t g_live[kMaxLive];

void killAllLive()
{
    for (int i = 0; i < kMaxLive; ++i) {
        pid_t p = g_live[i];
        if (p > 0)
            kill(-p, SIGKILL);
    }
}

void onFatalSignal(int sig)
{
    killAllLive();
    signal(sig, SIG_DFL);
    raise(sig);
}

void installCrashHandlers()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    std::atexit(killAllLive);
    // SIGSEGV and friends stay with the sanitizers; the child's parent-death
    // signal covers them.
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGABRT}) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
            signal(sig, onFatalSignal);
    }
}

void registerLive(pid_t p)
{
    for (int i = 0; i < kMaxLive; ++i)
        if (g_live[i] == 0) {
            g_live[i] = p;
            return;
        }
}

void unregisterLive(pid_t p)
{
    for (int i = 0; i < kMaxLive; ++i)
        if (g_live[i] == p)
            g_live[i] = 0;
}

} // namespace

// Shared with slapd_extras.cpp (slapd_internal.h).
namespace detail {

bool readFile(const std::string& path, std::string* out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *out = ss.str();
    return true;
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

static int removeOne(const char* path, const struct stat*, int, struct FTW*)
{
    ::remove(path);
    return 0;
}

void removeTree(const std::string& dir)
{
    if (!dir.empty())
        nftw(dir.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

// Runs argv with stdin from /dev/null and stdout+stderr into outPath, with
// env ("NAME=value") set in the child and LDAPNOINIT unset when env is not
// empty. Returns the exit status, or -1 when it could not run or was killed.
// posix_spawn, not fork: a sanitizer build's test would copy its whole
// address space for every client tool it runs.
int runProcess(const std::vector<std::string>& argv, const std::string& outPath,
               const std::vector<std::string>& env)
{
    std::vector<std::string> environment;
    if (!env.empty()) {
        auto named = [](const std::string& entry, const std::string& other) {
            size_t eq = entry.find('=');
            return eq != std::string::npos && other.compare(0, eq + 1, entry, 0, eq + 1) == 0;
        };
        for (char** e = environ; *e != nullptr; ++e) {
            std::string entry = *e;
            bool replaced = entry.compare(0, 11, "LDAPNOINIT=") == 0;
            for (const auto& given : env)
                replaced = replaced || named(given, entry);
            if (!replaced)
                environment.push_back(entry);
        }
        environment.insert(environment.end(), env.begin(), env.end());
    }
    std::vector<char*> args, envp;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(),
                          env.empty() ? environ : envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A port that was free a moment ago; slapd may still lose it to another
// process, which start() detects and retries.
int freePort()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(s);
    return port;
}

bool canConnect(int port)
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
}

void sleepMs(int ms)
{
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

} // namespace detail

using namespace detail;

namespace {

std::string installedSchemaDir()
{
    for (const char* d :
         {"/etc/ldap/schema", "/etc/openldap/schema", "/usr/share/openldap/schema"}) {
        struct stat st;
        if (stat((std::string(d) + "/core.schema").c_str(), &st) == 0)
            return d;
    }
    return std::string();
}

// End of the parenthesised definition that starts at or after from: the
// index just past its closing ')'. Quoted descriptions may hold parentheses.
size_t definitionEnd(const std::string& text, size_t from)
{
    size_t i = text.find('(', from);
    if (i == std::string::npos)
        return std::string::npos;
    int depth = 0;
    bool quoted = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\'')
            quoted = !quoted;
        else if (!quoted && c == '(')
            ++depth;
        else if (!quoted && c == ')' && --depth == 0)
            return i + 1;
    }
    return std::string::npos;
}

// The registry combines groupOfUniqueNames with its own structural classes
// and writes groups before their members exist: make it auxiliary with
// every attribute optional.
bool patchCore(std::string* core)
{
    const std::string key = "NAME 'groupOfUniqueNames'";
    size_t name = core->find(key);
    if (name == std::string::npos)
        return false;
    size_t start = core->rfind("objectclass", name);
    if (start == std::string::npos)
        return false;
    size_t end = definitionEnd(*core, start);
    if (end == std::string::npos)
        return false;
    core->replace(start, end - start,
                  "objectclass ( 2.5.6.17 NAME 'groupOfUniqueNames'\n"
                  "\tDESC 'RFC2256: a group of unique names (DN and Unique Identifier)'\n"
                  "\tSUP top AUXILIARY\n"
                  "\tMAY ( uniqueMember $ cn $ businessCategory $ seeAlso $ owner $ ou $ o $\n"
                  "\t\tdescription ) )");
    return true;
}

// Directories of servers whose test process crashed (no destructor ran)
// stay behind. Remove those whose server is gone: the pid file names a dead
// process, or there is none and the directory is over an hour old.
void sweepStaleDirs(const std::string& tmp)
{
    static bool swept = false;
    if (swept)
        return;
    swept = true;
    DIR* d = opendir(tmp.c_str());
    if (!d)
        return;
    std::vector<std::string> stale;
    while (struct dirent* e = readdir(d)) {
        if (strncmp(e->d_name, "cv-slapd.", 9) != 0)
            continue;
        std::string dir = tmp + "/" + e->d_name;
        struct stat st;
        if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
            continue;
        std::string pidText;
        if (readFile(dir + "/slapd.pid", &pidText)) {
            pid_t p = atoi(pidText.c_str());
            if (p > 0 && kill(p, 0) != 0 && errno == ESRCH)
                stale.push_back(dir);
        } else if (time(nullptr) - st.st_mtime > 3600) {
            stale.push_back(dir);
        }
    }
    closedir(d);
    for (const auto& dir : stale)
        removeTree(dir);
}

std::string suffixEntry(const std::string& suffix)
{
    size_t eq = suffix.find('=');
    if (eq == std::string::npos || suffix.find(',') != std::string::npos)
        return std::string();
    std::string type = suffix.substr(0, eq), value = suffix.substr(eq + 1);
    std::string dn = "dn: " + suffix + "\n";
    if (type == "o")
        return dn + "objectclass: organization\no: " + value + "\n\n";
    if (type == "ou")
        return dn + "objectclass: organizationalUnit\nou: " + value + "\n\n";
    if (type == "cn")
        return dn + "objectclass: cvTestEntry\ncn: " + value + "\n\n";
    if (type == "dc")
        return dn + "objectclass: dcObject\nobjectclass: organization\ndc: " + value +
               "\no: " + value + "\n\n";
    return std::string();
}

} // namespace

Slapd::Slapd(SlapdOptions options) : options_(std::move(options))
{
    setenv("LDAPNOINIT", "1", 1);
    installCrashHandlers();
}

Slapd::~Slapd()
{
    stop();
}

std::string Slapd::hostPort() const
{
    return std::string(kHost) + ":" + std::to_string(port_);
}

std::string Slapd::url(const std::string& base) const
{
    return "ldap://" + hostPort() + "/" + base;
}

std::string Slapd::ldapsUrl(const std::string& base) const
{
    return "ldaps://" + std::string(kHost) + ":" + std::to_string(tlsPort_) + "/" + base;
}

std::string Slapd::personLdif(const std::string& dn, const std::string& uid,
                              const std::string& password)
{
    return "dn: " + dn + "\nobjectclass: inetOrgPerson\nuid: " + uid + "\ncn: " + uid +
           "\nsn: " + uid + "\nuserPassword: " + password + "\n\n";
}

bool Slapd::writeConfig()
{
    std::string schemaDir = installedSchemaDir();
    if (schemaDir.empty()) {
        error_ = "no installed OpenLDAP schema directory (core.schema) found";
        return false;
    }
    std::string core, test;
    if (!readFile(schemaDir + "/core.schema", &core) || !patchCore(&core)) {
        error_ = "cannot copy and patch " + schemaDir + "/core.schema";
        return false;
    }
    std::string testSchema =
        std::string(CV_SOURCE_DIR) + "/tests/support/schema/corvid-test.schema";
    if (!readFile(testSchema, &test)) {
        error_ = "cannot read " + testSchema;
        return false;
    }
    mkdir((dir_ + "/schema").c_str(), 0700);
    if (!writeFile(dir_ + "/schema/core.schema", core) ||
        !writeFile(dir_ + "/schema/corvid-test.schema", test)) {
        error_ = "cannot write the schema copies";
        return false;
    }

    std::ostringstream c;
    c << "include " << dir_ << "/schema/core.schema\n"
      << "include " << schemaDir << "/cosine.schema\n"
      << "include " << schemaDir << "/inetorgperson.schema\n"
      << "include " << dir_ << "/schema/corvid-test.schema\n"
      << "pidfile " << dir_ << "/slapd.pid\n"
      << "argsfile " << dir_
      << "/slapd.args\n"
      // No per-operation log lines: without a syslog daemon each one costs
      // a failed connect to /dev/log, several per operation.
      << "loglevel 0\n"
      << "modulepath /usr/lib/ldap\n"
      << "moduleload back_mdb\n";
    c << extraGlobalConfig();
    if (!options_.defaultReferral.empty())
        c << "referral " << options_.defaultReferral << "\n";
    if (options_.configDatabase)
        // The rootdn binds through its own database (o=CorvidRoot).
        c << "\ndatabase config\nrootdn \"" << kRootDN << "\"\n";

    std::vector<std::string> suffixes{kBase};
    suffixes.insert(suffixes.end(), options_.extraSuffixes.begin(), options_.extraSuffixes.end());
    if (options_.monitorDatabase)
        suffixes.push_back("cn = monitor");
    for (size_t i = 0; i < suffixes.size(); ++i) {
        std::string db = dir_ + "/db" + std::to_string(i);
        mkdir(db.c_str(), 0700);
        c << "\ndatabase mdb\n"
          << "suffix \"" << suffixes[i] << "\"\n"
          << "rootdn \"" << kRootDN << "\"\n";
        if (i == 0)
            c << "rootpw " << kRootPassword << "\n";
        c << "directory " << db << "\n"
          << "maxsize 1073741824\n"
          // Tests need no durability; syncing every write costs seconds.
          << "dbnosync\n"
          // The equality indexes of a production directory: the registry is
          // searched below its root by object class, name and member.
          << "index objectClass,cn,uniqueMember eq\n"
          << "sizelimit "
          << (options_.sizeLimit > 0 ? std::to_string(options_.sizeLimit) : "unlimited") << "\n";
        if (i == 0)
            c << extraDatabaseConfig();
        c << "access to attrs=userPassword\n";
        for (const auto& w : options_.writers)
            c << "\tby dn.exact=\"" << w << "\" write\n";
        c << "\tby self write\n\tby anonymous auth\n\tby * none\n";
        c << "access to *\n";
        for (const auto& w : options_.writers)
            c << "\tby dn.exact=\"" << w << "\" write\n";
        c << (options_.anonymousRead ? "\tby * read\n" : "\tby users read\n\tby * none\n");
    }
    std::string conf = dir_ + "/slapd.conf";
    if (!writeFile(conf, c.str())) {
        error_ = "cannot write " + conf;
        return false;
    }
    std::string out;
    int rc = runProcess({"/usr/sbin/slaptest", "-u", "-f", conf}, dir_ + "/slaptest.out");
    readFile(dir_ + "/slaptest.out", &out);
    if (rc != 0) {
        error_ = "slaptest refused the configuration: " + out;
        return false;
    }
    if (options_.configDatabase) {
        std::string d = dir_ + "/slapd.d";
        removeTree(d);
        mkdir(d.c_str(), 0700);
        // Only the config database is opened: slaptest opens the others
        // read-only, which an empty mdb directory refuses.
        rc = runProcess({"/usr/sbin/slaptest", "-n", "0", "-f", conf, "-F", d},
                        dir_ + "/slaptest.out");
        readFile(dir_ + "/slaptest.out", &out);
        if (rc != 0) {
            error_ = "slaptest could not convert the configuration: " + out;
            return false;
        }
    }
    return true;
}

bool Slapd::launch()
{
    std::string conf = dir_ + "/slapd.conf";
    std::string listen = "ldap://" + hostPort() + "/";
    if (options_.tls)
        listen += " ldaps://" + std::string(kHost) + ":" + std::to_string(tlsPort_) + "/";
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
        if (getppid() != parent)
            _exit(1);
        int in = open("/dev/null", O_RDONLY);
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0)
            _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        std::string configDir = dir_ + "/slapd.d";
        if (options_.configDatabase)
            execl("/usr/sbin/slapd", "slapd", "-F", configDir.c_str(), "-h", listen.c_str(), "-d",
                  "0", static_cast<char*>(nullptr));
        else
            execl("/usr/sbin/slapd", "slapd", "-f", conf.c_str(), "-h", listen.c_str(), "-d", "0",
                  static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(pid, pid); // both sides, so the group exists before any kill
    pid_ = pid;
    registerLive(pid);
    return true;
}

bool Slapd::pause()
{
    if (pid_ <= 0 || kill(-pid_, SIGSTOP) != 0)
        return false;
    const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
    for (int waited = 0; waited < 2000; waited += 10) {
        DIR* dir = opendir(tasks.c_str());
        if (!dir)
            return false;
        bool all = true;
        while (struct dirent* e = readdir(dir)) {
            if (e->d_name[0] == '.')
                continue;
            std::string line;
            readFile(tasks + "/" + e->d_name + "/stat", &line);
            // The state follows the command name's closing parenthesis.
            size_t paren = line.rfind(')');
            if (paren == std::string::npos || paren + 2 >= line.size() ||
                (line[paren + 2] != 'T' && line[paren + 2] != 't'))
                all = false;
        }
        closedir(dir);
        if (all)
            return true;
        sleepMs(10);
    }
    return false;
}

void Slapd::resume()
{
    if (pid_ > 0)
        kill(-pid_, SIGCONT);
}

bool Slapd::waitReady(bool* collided)
{
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
        if (readFile(dir_ + "/slapd.pid", &pidText) && atoi(pidText.c_str()) == pid_ &&
            canConnect(port_))
            return true;
        sleepMs(20);
    }
    error_ = "slapd did not answer within 15 s";
    return false;
}

bool Slapd::start()
{
    if (running())
        return true;
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
        tlsPort_ = options_.tls ? freePort() : 0;
        if (port_ == 0 ||
            (options_.tls && (tlsPort_ == 0 || tlsPort_ == port_ || !makeTlsFiles())) ||
            !writeConfig() || !launch())
            break;
        bool collided = false;
        ok = waitReady(&collided);
        if (!ok) {
            stopProcess();
            if (!collided)
                break;
        }
    }
    if (ok && !options_.consumerOf.empty()) {
        ok = waitReplicated();
    } else if (ok && options_.createBaseEntries) {
        std::string ldif = suffixEntry(kBase);
        for (const auto& s : options_.extraSuffixes)
            ldif += suffixEntry(s);
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

void Slapd::stopProcess()
{
    if (pid_ <= 0)
        return;
    kill(-pid_, SIGTERM);
    kill(-pid_, SIGCONT); // a paused server takes the stop now
    int status = 0;
    bool reaped = false;
    for (int waited = 0; waited < 5000 && !reaped; waited += 10) {
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            reaped = true;
        else
            sleepMs(10);
    }
    if (!reaped) {
        kill(-pid_, SIGKILL);
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    unregisterLive(pid_);
    pid_ = -1;
}

void Slapd::stop()
{
    stopProcess();
    removeTree(dir_);
    dir_.clear();
}

int Slapd::tool(const std::string& name, const std::vector<std::string>& args, std::string* out,
                const std::string& bindDN, const std::string& password)
{
    std::vector<std::string> argv{name, "-x", "-H", options_.tls ? ldapsUrl("") : url("")};
    if (!bindDN.empty()) {
        argv.push_back("-D");
        argv.push_back(bindDN);
        argv.push_back("-w");
        argv.push_back(password);
    }
    argv.insert(argv.end(), args.begin(), args.end());
    std::string outPath = dir_ + "/tool-" + std::to_string(++toolRuns_) + ".out";
    lastStatus_ =
        runProcess(argv, outPath, options_.tls ? clientEnvironment() : std::vector<std::string>());
    std::string text;
    readFile(outPath, &text);
    ::remove(outPath.c_str());
    if (out)
        *out = text;
    return lastStatus_;
}

bool Slapd::add(const std::string& ldif, std::string* out, bool manageDsaIt)
{
    std::string in = dir_ + "/input-" + std::to_string(++toolRuns_) + ".ldif";
    if (!writeFile(in, ldif))
        return false;
    std::vector<std::string> args{"-f", in};
    if (manageDsaIt)
        args.push_back("-M");
    int rc = tool("ldapadd", args, out);
    ::remove(in.c_str());
    return rc == 0;
}

bool Slapd::modify(const std::string& ldif, std::string* out, bool manageDsaIt)
{
    std::string in = dir_ + "/input-" + std::to_string(++toolRuns_) + ".ldif";
    if (!writeFile(in, ldif))
        return false;
    std::vector<std::string> args{"-f", in};
    if (manageDsaIt)
        args.push_back("-M");
    int rc = tool("ldapmodify", args, out);
    ::remove(in.c_str());
    return rc == 0;
}

bool Slapd::remove(const std::string& dn, bool recursive, std::string* out)
{
    std::vector<std::string> args;
    if (recursive)
        args.push_back("-r");
    args.push_back(dn);
    return tool("ldapdelete", args, out) == 0;
}

std::string Slapd::search(const std::string& base, const std::string& filter,
                          const std::string& scope, const std::vector<std::string>& attrs)
{
    std::vector<std::string> args{"-LLL", "-o", "ldif-wrap=no", "-b", base, "-s", scope, filter};
    args.insert(args.end(), attrs.begin(), attrs.end());
    std::string out;
    if (tool("ldapsearch", args, &out) != 0)
        return std::string();
    return out;
}

int Slapd::count(const std::string& base, const std::string& filter, const std::string& scope)
{
    std::string out = search(base, filter, scope, {"1.1"});
    if (lastStatus_ != 0)
        return -1;
    int n = 0;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, 3, "dn:") == 0)
            ++n;
    return n;
}

bool Slapd::exists(const std::string& dn)
{
    return count(dn, "(objectclass=*)", "base") == 1;
}

std::vector<std::string> Slapd::values(const std::string& dn, const std::string& attr)
{
    std::vector<std::string> result;
    std::string out = search(dn, "(objectclass=*)", "base", {attr});
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        size_t colon = line.find(':');
        if (colon == std::string::npos ||
            strcasecmp(line.substr(0, colon).c_str(), attr.c_str()) != 0)
            continue;
        // "attr: value"; base64 values ("attr:: ...") are returned undecoded.
        size_t v = line.find_first_not_of(": ", colon);
        result.push_back(v == std::string::npos ? std::string() : line.substr(v));
    }
    return result;
}

} // namespace cvtest

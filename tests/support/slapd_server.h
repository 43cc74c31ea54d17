// A private OpenLDAP slapd for tests, benchmarks and the demo (the library
// cvtestslapd, which needs no test framework): a child process listening on a free
// port of 127.0.0.1, configured and stored in its own temporary directory,
// stopped (its whole process group) and removed when the object dies.
//
// Layout of every server:
//   - an mdb database for "o=CorvidRoot", holding the entry o=CorvidRoot
//     (class organization) unless SlapdOptions::createBaseEntries is false;
//   - rootdn "cn=Manager,o=CorvidRoot" with password "secret" (Slapd::kRootDN,
//     Slapd::kRootPassword), which is also the rootdn of every extra database,
//     so one bind writes everywhere; slapd exempts it from size limits and
//     access rules;
//   - schema: a copy of the installed core schema in which groupOfUniqueNames
//     is auxiliary with all its attributes optional, cosine, inetorgperson,
//     and tests/support/schema/corvid-test.schema (the registry's cv* classes
//     and attributes, "aci", "serverroot", "serverhostname", "version", ...).
//
// The process environment gets LDAPNOINIT=1 (so neither our library nor the
// ldap tools read the machine's ldap.conf). The child dies with the test
// process (parent-death signal), and a fatal signal or exit() in the test
// process kills every live server's process group, so no server outlives a
// crashed test; the temporary directory is removed by the destructor.
//
// Typical use, one server per test suite (SlapdSuite, in slapd.h):
//
//   class EntryTest : public cvtest::SlapdSuite<EntryTest> {
//   public:
//       static cvtest::SlapdOptions slapdOptions() {   // optional
//           cvtest::SlapdOptions o;
//           o.sizeLimit = 50;
//           return o;
//       }
//   };
//   TEST_F(EntryTest, Something) {
//       ASSERT_TRUE(slapd().add("dn: ou=x, o=CorvidRoot\nobjectclass: organizationalUnit\nou:
//       x\n"));
//       ... Ldap conn(err, slapd().url().c_str(), cvtest::Slapd::kRootDN, ...);
//   }
//
// or one per test: cvtest::Slapd s; ASSERT_TRUE(s.start()) << s.error();
#ifndef CV_TEST_SLAPD_SERVER_H
#define CV_TEST_SLAPD_SERVER_H

#include <string>
#include <sys/types.h>
#include <vector>

namespace cvtest {

struct SlapdOptions {
    // Further mdb databases, e.g. "o=UserRoot" or "cn=ldbm". Their suffix
    // entry is loaded when createBaseEntries is set and the suffix is a
    // single o=, ou=, cn= or dc= component (class organization,
    // organizationalUnit, cvTestEntry or dcObject+organization).
    std::vector<std::string> extraSuffixes;
    // Adds a database whose suffix is written "cn = monitor": slapd reserves
    // "cn=monitor" for its own backend, but accepts this spelling, and then
    // serves an entry "cn=monitor" loaded by the test (class cvTestEntry,
    // optional attribute "version"). No entry is loaded by the fixture.
    // Beware: slapd 2.5 exits when asked to delete an entry that this
    // database does not hold; delete only entries you added.
    bool monitorDatabase = false;
    // Size limit of every database for ordinary users; 0 means unlimited.
    // The rootdn is never limited.
    int sizeLimit = 0;
    // DNs granted write access to every database (and to userPassword).
    // Their entries are not created: load them (with a userPassword) with
    // add(); personLdif() builds one.
    std::vector<std::string> writers;
    // slapd's default referral, returned for DNs no database holds.
    std::string defaultReferral;
    // When false, anonymous clients may only bind (authenticate); reads
    // need an authenticated identity.
    bool anonymousRead = true;
    // Load the suffix entries after start.
    bool createBaseEntries = true;
    // Run from a cn=config directory (slaptest's conversion of the
    // configuration) instead of slapd.conf, so "cn=config" is writable by
    // the rootdn and schema can be added at run time.
    bool configDatabase = false;
    // TLS: a throwaway CA and a certificate for 127.0.0.1 are made with
    // openssl in the server's directory at start; the server listens for
    // ldaps on a second port (tlsPort()) besides ldap (where StartTLS
    // works), and refuses simple binds that are not protected by TLS. The
    // fixture's own tools then speak ldaps with the client configuration
    // clientConf().
    bool tls = false;
    // Replication: the o=CorvidRoot database of a provider carries the
    // syncprov overlay; a consumer (consumerOf = the provider's
    // "ldap://host:port") copies it with syncrepl, is read-only and refers
    // every write to its provider (updateref). A consumer loads no base
    // entries of its own: start() returns once the provider's root entry has
    // arrived.
    bool provider = false;
    std::string consumerOf;
};

class Slapd {
public:
    static constexpr const char* kBase = "o=CorvidRoot";
    static constexpr const char* kRootDN = "cn=Manager,o=CorvidRoot";
    static constexpr const char* kRootPassword = "secret";
    static constexpr const char* kHost = "127.0.0.1";

    explicit Slapd(SlapdOptions options = SlapdOptions());
    ~Slapd(); // stop()
    Slapd(const Slapd&) = delete;
    Slapd& operator=(const Slapd&) = delete;

    // Writes the configuration, validates it with slaptest, starts slapd on
    // a free port (retrying on a port collision), waits until it accepts
    // connections and loads the suffix entries. False with error() set when
    // any of it fails; everything made so far is cleaned up by stop().
    bool start();
    // Kills the process group (TERM, then KILL after 5 s), reaps the child
    // and removes the temporary directory. Safe to call twice.
    void stop();

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; } // also the process group
    // Stops the server's process group with SIGSTOP and waits until every
    // thread of slapd is stopped: a thread that kill() has not reached yet
    // could still answer. False when that does not happen within 2 s.
    bool pause();
    void resume();
    const std::string& error() const { return error_; }
    int port() const { return port_; }
    const std::string& dir() const { return dir_; }
    // "127.0.0.1:<port>"
    std::string hostPort() const;
    // "ldap://127.0.0.1:<port>/" + base
    std::string url(const std::string& base = kBase) const;
    // With SlapdOptions::tls: the ldaps port and URL.
    int tlsPort() const { return tlsPort_; }
    std::string ldapsUrl(const std::string& base = kBase) const;
    // With SlapdOptions::tls: an OpenLDAP client configuration (ldap.conf)
    // whose TLS_CACERT is the CA that signed the server's certificate
    // (trusted), or a CA that did not (untrusted), with TLS_REQCERT demand.
    std::string clientConf(bool trusted = true) const;
    std::string caFile() const { return dir_ + "/tls/ca.pem"; }
    // The environment entries under which an OpenLDAP client reads exactly
    // clientConf(trusted) and nothing of the machine's user files: LDAPCONF,
    // HOME (an empty directory) and LDAPRC; LDAPNOINIT must not be set.
    std::vector<std::string> clientEnvironment(bool trusted = true) const;

    // The ldap-utils tools, bound as the rootdn (simple bind), against this
    // server. out (when given) receives stdout and stderr of the tool.
    // Results: true when the tool exits with 0.
    bool add(const std::string& ldif, std::string* out = nullptr, bool manageDsaIt = false);
    bool modify(const std::string& ldif, std::string* out = nullptr, bool manageDsaIt = false);
    bool remove(const std::string& dn, bool recursive = false, std::string* out = nullptr);
    // ldapsearch -LLL without line wrapping; scope is "base", "one" or "sub".
    // Returns the LDIF output, "" when the search failed (see lastToolStatus).
    std::string search(const std::string& base, const std::string& filter = "(objectclass=*)",
                       const std::string& scope = "sub",
                       const std::vector<std::string>& attrs = {});
    // Number of entries a search returns (-1 when it failed).
    int count(const std::string& base, const std::string& filter = "(objectclass=*)",
              const std::string& scope = "sub");
    bool exists(const std::string& dn);
    // Values of one attribute of one entry, in server order (attribute name
    // compared without case); empty when absent or the entry is missing.
    std::vector<std::string> values(const std::string& dn, const std::string& attr);
    // Runs any ldap tool ("ldapsearch", "ldapdelete", ...) with -x -H url;
    // bindDN/password empty means no -D/-w. Returns the exit status (-1 when
    // it could not run); out receives stdout and stderr.
    int tool(const std::string& name, const std::vector<std::string>& args, std::string* out,
             const std::string& bindDN = kRootDN, const std::string& password = kRootPassword);
    int lastToolStatus() const { return lastStatus_; }

    // LDIF of an inetOrgPerson with uid, cn, sn and a clear-text userPassword.
    static std::string personLdif(const std::string& dn, const std::string& uid,
                                  const std::string& password);

private:
    bool writeConfig();
    // slapd_extras.cpp: the TLS material and the configuration lines of
    // TLS and replication (global and per o=CorvidRoot database).
    bool makeTlsFiles();
    std::string extraGlobalConfig() const;
    std::string extraDatabaseConfig() const;
    bool waitReplicated();
    bool launch();
    bool waitReady(bool* collided);
    void stopProcess();

    SlapdOptions options_;
    std::string dir_;
    std::string error_;
    pid_t pid_ = -1;
    int port_ = 0;
    int tlsPort_ = 0;
    int lastStatus_ = 0;
    int toolRuns_ = 0;
};

} // namespace cvtest

#endif

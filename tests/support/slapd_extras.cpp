// The test slapd's TLS and replication: certificates made with openssl at
// start, and the configuration lines that turn a server into a TLS server,
// a replication provider or a read-only consumer.
#include "slapd_internal.h"
#include "slapd_server.h"

#include <sys/stat.h>

#include <sstream>

namespace cvtest {

using namespace detail;

bool Slapd::makeTlsFiles()
{
    std::string tls = dir_ + "/tls";
    mkdir(tls.c_str(), 0700);
    mkdir((dir_ + "/home").c_str(), 0700);
    // EC keys: made in milliseconds, where RSA keys take a noticeable while.
    const std::vector<std::string> key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                       "-nodes"};
    auto ca = [&](const std::string& name, const std::string& subject) {
        std::vector<std::string> argv{"openssl", "req", "-x509"};
        argv.insert(argv.end(), key.begin(), key.end());
        argv.insert(argv.end(), {"-keyout", tls + "/" + name + ".key", "-out",
                                 tls + "/" + name + ".pem", "-days", "2", "-subj", subject});
        return runProcess(argv, tls + "/openssl.out") == 0;
    };
    std::vector<std::string> request{"openssl", "req", "-new"};
    request.insert(request.end(), key.begin(), key.end());
    request.insert(request.end(), {"-keyout", tls + "/server.key", "-out", tls + "/server.csr",
                                   "-subj", "/CN=" + std::string(kHost)});
    bool ok = ca("ca", "/CN=cv test CA") && ca("other", "/CN=cv other CA") &&
              writeFile(tls + "/server.ext",
                        "basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1,DNS:localhost\n") &&
              runProcess(request, tls + "/openssl.out") == 0 &&
              runProcess({"openssl", "x509", "-req", "-in", tls + "/server.csr", "-CA",
                          tls + "/ca.pem", "-CAkey", tls + "/ca.key", "-CAcreateserial", "-out",
                          tls + "/server.pem", "-days", "2", "-extfile", tls + "/server.ext"},
                         tls + "/openssl.out") == 0;
    for (bool trusted : {true, false})
        ok = ok && writeFile(clientConf(trusted), "TLS_CACERT " + tls +
                                                      (trusted ? "/ca.pem" : "/other.pem") +
                                                      "\nTLS_REQCERT demand\n");
    if (!ok) {
        std::string out;
        readFile(tls + "/openssl.out", &out);
        error_ = "cannot make the TLS files: " + out;
    }
    return ok;
}

std::string Slapd::clientConf(bool trusted) const
{
    return dir_ + "/tls/" + (trusted ? "client.conf" : "client-untrusted.conf");
}

std::vector<std::string> Slapd::clientEnvironment(bool trusted) const
{
    return {"LDAPCONF=" + clientConf(trusted), "HOME=" + dir_ + "/home",
            "LDAPRC=cv-no-such-ldaprc"};
}

std::string Slapd::extraGlobalConfig() const
{
    std::ostringstream c;
    if (options_.tls)
        c << "TLSCACertificateFile " << dir_ << "/tls/ca.pem\n"
          << "TLSCertificateFile " << dir_ << "/tls/server.pem\n"
          << "TLSCertificateKeyFile " << dir_
          << "/tls/server.key\n"
          // A simple bind carries its password: only over TLS.
          << "security simple_bind=64\n";
    if (options_.provider)
        c << "moduleload syncprov\n";
    return c.str();
}

std::string Slapd::extraDatabaseConfig() const
{
    std::ostringstream c;
    if (options_.provider)
        c << "overlay syncprov\nsyncprov-checkpoint 1 1\n";
    if (!options_.consumerOf.empty())
        c << "syncrepl rid=001 provider=" << options_.consumerOf
          << " type=refreshAndPersist retry=\"1 +\" searchbase=\"" << kBase
          << "\" bindmethod=simple binddn=\"" << kRootDN << "\" credentials=" << kRootPassword
          << "\n"
          << "updateref " << options_.consumerOf << "\n";
    return c.str();
}

bool Slapd::waitReplicated()
{
    for (int waited = 0; waited < 15000; waited += 50) {
        if (exists(kBase))
            return true;
        sleepMs(50);
    }
    error_ = "the consumer did not receive " + std::string(kBase) + " from " + options_.consumerOf +
             " within 15 s";
    return false;
}

} // namespace cvtest

// Opening the connections of Ldap: the servers of a URL tried in order, TLS
// (ldaps, or StartTLS when required) before anything else is sent, and a
// reason a person can act on when none can be used.
#include "ldap_adapter.h"

namespace {

bool g_requireStartTls = false;

// libldap's text for code, and the server's or TLS layer's diagnostic.
std::string failureText(LDAP* ld, int code)
{
    std::string text = ldap_err2string(code);
    char* diagnostic = nullptr;
    if (ld && ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic) == LDAP_OPT_SUCCESS &&
        diagnostic) {
        if (*diagnostic)
            text += std::string(" (") + diagnostic + ")";
        ldap_memfree(diagnostic);
    }
    return text;
}

// A configured handle on url; null when none can be made.
ldapapi::HandlePtr handleFor(const std::string& url)
{
    LDAP* raw = nullptr;
    int code = ldap_initialize(&raw, url.c_str());
    ldapapi::HandlePtr ld(raw);
    if (code != LDAP_SUCCESS || !ld || !ldapapi::configure_handle(ld.get()))
        ld.reset();
    return ld;
}

// Why TLS with server failed, when libldap's own text says nothing (with
// GnuTLS an untrusted certificate reads "(unknown error code)"). A second
// handshake is made on a handle of its own that accepts any certificate;
// it only tells whether the certificate was the obstacle, and nothing but
// the handshake (and the StartTLS request) is ever sent on it.
std::string tlsDiagnosis(const ldapapi::UrlServer& server, bool startTls)
{
    ldapapi::UrlServer plain = server;
    plain.scheme = "ldap";
    ldapapi::HandlePtr tcp = handleFor(plain.url());
    if (!tcp || ldap_connect(tcp.get()) != LDAP_SUCCESS)
        return "the server cannot be reached";
    tcp.reset();
    ldapapi::HandlePtr lenient = handleFor(server.url());
    int allow = LDAP_OPT_X_TLS_ALLOW;
    int fresh = 0;
    if (!lenient ||
        ldap_set_option(lenient.get(), LDAP_OPT_X_TLS_REQUIRE_CERT, &allow) != LDAP_OPT_SUCCESS ||
        ldap_set_option(lenient.get(), LDAP_OPT_X_TLS_NEWCTX, &fresh) != LDAP_OPT_SUCCESS)
        return "TLS could not be set up";
    int code = ldap_connect(lenient.get());
    if (code == LDAP_SUCCESS && startTls)
        code = ldap_start_tls_s(lenient.get(), nullptr, nullptr);
    if (code == LDAP_SUCCESS)
        return "the server's TLS certificate was not accepted: it is not signed by a CA that the "
               "OpenLDAP "
               "client configuration trusts (TLS_CACERT in ldap.conf, LDAPTLS_CACERT), or it does "
               "not "
               "name the host " +
               server.host;
    return "no TLS handshake with the server (does this port speak " +
           std::string(startTls ? "StartTLS" : "ldaps") + "?)";
}

// One server connected, and its TLS in place; null with *reason set.
LDAP* openServer(const ldapapi::UrlServer& server, bool startTls, std::string* reason)
{
    std::string url = server.url();
    ldapapi::HandlePtr ld = handleFor(url);
    if (!ld) {
        *reason = url + ": " + ldap_err2string(LDAP_PARAM_ERROR);
        return nullptr;
    }
    int code = ldap_connect(ld.get());
    bool tls = server.scheme == "ldaps";
    if (code == LDAP_SUCCESS && startTls && server.scheme == "ldap") {
        tls = true;
        code = ldap_start_tls_s(ld.get(), nullptr, nullptr);
        if (code != LDAP_SUCCESS) {
            *reason = url + ": StartTLS failed: " +
                      (code < 0 ? tlsDiagnosis(server, true) : failureText(ld.get(), code));
            return nullptr;
        }
    }
    if (code != LDAP_SUCCESS) {
        *reason = url + ": " + (tls ? tlsDiagnosis(server, false) : failureText(ld.get(), code));
        return nullptr;
    }
    return ld.release();
}

} // namespace

namespace ldapapi {

bool configure_handle(LDAP* ld)
{
    // Without limits a server that accepts and never answers holds every
    // synchronous call forever.
    struct timeval network = {kNetworkTimeoutSeconds, 0};
    struct timeval operation = {kOperationTimeoutSeconds, 0};
    int version = LDAP_VERSION3;
    return ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &network) == LDAP_OPT_SUCCESS &&
           ldap_set_option(ld, LDAP_OPT_TIMEOUT, &operation) == LDAP_OPT_SUCCESS &&
           ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version) == LDAP_OPT_SUCCESS &&
           ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF) == LDAP_OPT_SUCCESS;
}

void set_require_starttls(bool required)
{
    g_requireStartTls = required;
}

bool require_starttls()
{
    return g_requireStartTls;
}

LDAP* open_first(const std::vector<UrlServer>& servers, bool startTls, size_t* answered,
                 std::string* reason)
{
    reason->clear();
    for (size_t i = 0; i < servers.size(); ++i) {
        std::string why;
        if (LDAP* ld = openServer(servers[i], startTls, &why)) {
            *answered = i;
            reason->clear();
            return ld;
        }
        *reason += (reason->empty() ? "" : "; ") + why;
    }
    return nullptr;
}

} // namespace ldapapi

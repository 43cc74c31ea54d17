// Probes of a directory server and of a user on it. Both bound the time an
// address that never answers can hold the caller, close every connection
// they open, and never count an anonymous bind as an authentication.
#include <sys/time.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "c_boundary.h"
#include "ldap_adapter.h"
#include "ldap_escape.h"
#include "ldapurl_internal.h"
#include "setup_compat.h"
#include "setup_ldap.h"
#include "setup_ldapurl.h"

namespace {

bool empty(const char* text)
{
    return !text || !*text;
}

// An IPv6 address needs its brackets wherever a port may follow it.
std::string bracketed(const std::string& host)
{
    size_t colon = host.find(':');
    bool ipv6 = colon != std::string::npos && host.find(':', colon + 1) != std::string::npos &&
                host[0] != '[' && host.find(' ') == std::string::npos;
    return ipv6 ? "[" + host + "]" : host;
}

// A handle on host:port whose connect and synchronous answers give up after
// the probe timeout; null when none can be made.
ldapapi::HandlePtr probeHandle(const char* host, int port)
{
    ldapapi::HandlePtr ld(ldapapi::prldap_init(bracketed(host).c_str(), port, 1));
    if (!ld)
        return ld;
    struct timeval limit = {kProbeTimeoutSeconds, 0};
    if (ldapapi::ldap_set_protocol_version(ld.get(), LDAP_VERSION3) != LDAP_OPT_SUCCESS ||
        ldap_set_option(ld.get(), LDAP_OPT_NETWORK_TIMEOUT, &limit) != LDAP_OPT_SUCCESS ||
        ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &limit) != LDAP_OPT_SUCCESS)
        ld.reset();
    // With StartTLS required nothing, the bind least of all, goes in the
    // clear.
    if (ld && ldapapi::require_starttls() &&
        ldap_start_tls_s(ld.get(), nullptr, nullptr) != LDAP_SUCCESS)
        ld.reset();
    return ld;
}

bool usableServer(const char* host, int port)
{
    return !empty(host) && port >= 1 && port <= 65535;
}

struct LdapClose {
    void operator()(Ldap* ldap) const noexcept { setupDestroyLdap(ldap); }
};

} // namespace

extern "C" {

int setupIsValidLdapServer(const char* host, int port, const char* baseDN, const char* bindDN,
                           const char* password)
{
    if (!usableServer(host, port))
        return 0;
    // A simple bind with a DN and no password is an anonymous bind that
    // servers report as success.
    if (!empty(bindDN) && empty(password))
        return 0;
    return cvGuard(0, [&] {
        ldapapi::HandlePtr ld = probeHandle(host, port);
        if (!ld)
            return 0;
        if (ldapapi::ldap_simple_bind_s(ld.get(), empty(bindDN) ? nullptr : bindDN,
                                        empty(bindDN) ? nullptr : password) != LDAP_SUCCESS)
            return 0;
        struct timeval limit = {kProbeTimeoutSeconds, 0};
        LDAPMessage* raw = nullptr;
        int rc =
            ldap_search_ext_s(ld.get(), baseDN ? baseDN : "", LDAP_SCOPE_BASE, "(objectclass=*)",
                              nullptr, 0, nullptr, nullptr, &limit, 0, &raw);
        ldapapi::MessagePtr result(raw);
        return rc == LDAP_SUCCESS ? 1 : 0;
    });
}

int setupIsValidLdapUser(const char* host, int port, const char* baseDN, char** user,
                         const char* password, int wantDN)
{
    if (!usableServer(host, port) || !user || empty(*user) || empty(password))
        return 0;
    return cvGuard(0, [&] {
        // The connection of the directory classes has no limit of its own on
        // connecting; an address that drops packets is found out here first.
        {
            ldapapi::HandlePtr ld = probeHandle(host, port);
            if (!ld || ldap_connect(ld.get()) != LDAP_SUCCESS)
                return 0;
        }
        std::string url = "ldap://" + bracketed(cvEncodeUrlHost(host)) + ":" +
                          std::to_string(port) + "/" + cvEncodeUrlDN(baseDN);
        Ldap* raw = nullptr;
        if (setupCreateLdap(&raw, url.c_str(), *user, password, nullptr, nullptr) != 0)
            return 0;
        std::unique_ptr<Ldap, LdapClose> ldap(raw);
        if (!wantDN)
            return 1;
        const char* dn = setupGetUserDN(ldap.get());
        if (empty(dn))
            return 0;
        char* copy = strdup(dn);
        if (!copy)
            return 0;
        std::free(*user);
        *user = copy;
        return 1;
    });
}

int IsValidLdapServer(const char* host, int port, const char* baseDN, const char* bindDN,
                      const char* password)
{
    return setupIsValidLdapServer(host, port, baseDN, bindDN, password);
}

int IsValidLdapUser(const char* host, int port, const char* baseDN, char** user,
                    const char* password, int wantDN)
{
    return setupIsValidLdapUser(host, port, baseDN, user, password, wantDN);
}

} // extern "C"

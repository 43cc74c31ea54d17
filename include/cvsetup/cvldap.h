/*
 * Ldap: one open, authenticated connection to a directory server named by an
 * LDAP URL. The constructor does all the work and reports through err; the
 * object is always fully constructed, connected or not, and every LdapEntry
 * made on it must be destroyed before it.
 */
#ifndef CV_CVLDAP_H
#define CV_CVLDAP_H

// A class interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include <ldap.h>

#include <memory>

#include "cvstring.h"
#include "ldaperror.h"

class SETUP_EXPORT Ldap {
public:
    Ldap(LdapError& err, const char* url, const char* user, const char* password,
         const char* searchDN, const char* searchPwd);
    ~Ldap();
    Ldap(const Ldap&) = delete;
    Ldap& operator=(const Ldap&) = delete;

    LdapError verifyUrl(const char* url);
    LdapError authenticate(const char* user, const char* password);
    LdapError mapLdapError(int code) const;

    const char* host() const;
    int port() const;
    const char* baseSuffix() const;
    const char* userDN() const;
    const char* userPassword() const;
    const char* version() const;
    const char* rebindDN() const;
    const char* rebindPwd() const;
    // "scheme://host:port" of the server that answered among those the URL
    // lists; null when not connected.
    const char* server() const;
    // Why the last referral met on this connection was not followed (it
    // named a server the URL does not list); null when none was refused.
    const char* referralRefusal() const;

    // ldap_modify_s on the handle; the LDAP result code, unmapped.
    int modify(const char* dn, LDAPMod** mods);

    // The connection's state (handle, parsed URL, credentials), defined and
    // used inside the library only.
    struct State;

private:
    std::unique_ptr<State> state_;
};

#endif // __cplusplus

#endif

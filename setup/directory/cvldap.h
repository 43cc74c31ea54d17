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

#include "cvstring.h"
#include "ldaperror.h"

class LdapEntry;
namespace ldapapi {
class ReferralScope;
}

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

private:
    friend class LdapEntry;
    // The loaders keep several requests in flight on the handle.
    friend class LdifLoader;
    friend class LdapSchema;
    friend class LdapEntryAccess;
    // Steps of authenticate for a user id: the search below the URL's base,
    // and the fallback through the admin domains' user directories.
    int bindUserId(const char* user, const char* password);
    int authenticateInAdminDomains(const char* user, const char* password);
    // Reads the server's version from "cn=monitor" once err says the URL
    // was verified.
    void probeVersion(const LdapError& err);

    // Closes the handle and forgets the parsed URL.
    void disconnect();

    CVString userDN_;
    CVString userPassword_;
    CVString searchDN_;
    CVString searchPwd_;
    CVString rebindDN_;
    CVString rebindPwd_;
    CVString version_;
    LDAP* handle_;
    LDAPURLDesc* url_;
    CVString server_;
    // The servers referrals may be followed to: those of the URL.
    ldapapi::ReferralScope* referrals_;
    // Nesting depth of the admin-domain fallback; nested connections made by
    // the fallback do not fall back again.
    int fallbackDepth_;
};

#endif // __cplusplus

#endif

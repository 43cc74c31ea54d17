/*
 * The state of an Ldap connection, behind its public class: the libldap
 * handle and parsed URL, the credentials it binds and rebinds with, and the
 * servers referrals may lead to. The directory classes and loaders reach
 * the handle through it (LdapEntryAccess::handle).
 */
#ifndef CV_CVLDAP_INTERNAL_H
#define CV_CVLDAP_INTERNAL_H

#include <ldap.h>

#include "cvldap.h"
#include "cvstring.h"

namespace ldapapi {
class ReferralScope;
}

struct Ldap::State {
    CVString userDN;
    CVString userPassword;
    CVString searchDN;
    CVString searchPwd;
    CVString rebindDN;
    CVString rebindPwd;
    CVString version;
    LDAP* handle = nullptr;
    LDAPURLDesc* url = nullptr;
    CVString server;
    // The servers referrals may be followed to: those of the URL.
    ldapapi::ReferralScope* referrals = nullptr;
    // Nesting depth of the admin-domain fallback; nested connections made by
    // the fallback do not fall back again.
    int fallbackDepth = 0;

    static State& of(const Ldap& ldap) { return *ldap.state_; }
};

#endif

#include "cvldap.h"
#include "cvldap_internal.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "ldap_adapter.h"
#include "ldap_escape.h"
#include "ldapentry.h"
#include "setup_compat.h"
#include "setup_registry_consts.h"
#include "setup_userdir.h"

namespace {

// Depth of admin-domain fallbacks in progress. A nested connection made by
// the fallback must not fall back again: a user directory whose URL has
// the configuration root as its base would otherwise recurse without end.
thread_local int t_fallbackNesting = 0;

// Closes the handle and forgets the parsed URL.
void disconnect(Ldap::State& s)
{
    if (s.url)
        ldap_free_urldesc(s.url);
    if (s.handle) {
        if (s.referrals)
            s.referrals->detach(s.handle);
        ldapapi::ldap_unbind(s.handle);
    }
    s.url = nullptr;
    s.handle = nullptr;
    s.server = nullptr;
}

// Reads the server's version from "cn=monitor" once err says the URL was
// verified.
void probeVersion(Ldap& ldap, const LdapError& err)
{
    if (err.code == 0) {
        CVString& version = Ldap::State::of(ldap).version;
        LdapEntry monitor(&ldap);
        monitor.retrieve("cn=monitor");
        char* value = monitor.getAttribute("Version");
        if (!value) {
            version = "4.0";
        } else {
            version = "3.0";
            const char* slash = strchr(value, '/');
            if (slash) {
                ++slash;
                version = CVString(slash, static_cast<int>(strcspn(slash, " ")));
            }
            free(value);
        }
    }
}

int authenticateInAdminDomains(Ldap& ldap, const char* user, const char* password);

// The steps of authenticate for a user id: the search below the URL's base,
// and the fallback through the admin domains' user directories.
int bindUserId(Ldap& ldap, const char* user, const char* password)
{
    Ldap::State& s = Ldap::State::of(ldap);
    int code = ldapapi::ldap_simple_bind_s(s.handle, s.searchDN, s.searchPwd);
    if (code != 0)
        return code;
    std::string filter = "(uid=" + cvEscapeFilterValue(user) + ")";
    LDAPMessage* result = nullptr;
    code = ldapapi::ldap_search_s(s.handle, s.url->lud_dn, LDAP_SCOPE_SUBTREE, filter.c_str(),
                                  nullptr, 0, &result);
    if (code != 0 || ldap_count_entries(s.handle, result) < 1) {
        if (result)
            ldap_msgfree(result);
        if (s.fallbackDepth == 0 && s.url->lud_dn &&
            strcasecmp(s.url->lud_dn, DEFAULT_ROOT_DN) == 0)
            return authenticateInAdminDomains(ldap, user, password);
        return SETUP_LDAP_NO_ENTRIES;
    }
    // Several entries may carry the user id: the password decides which.
    LDAPMessage* entry = ldap_first_entry(s.handle, result);
    char* dn = ldap_get_dn(s.handle, entry);
    s.rebindDN = dn;
    s.rebindPwd = password;
    for (;;) {
        code = ldapapi::ldap_simple_bind_s(s.handle, dn, password);
        if (code == 0)
            break;
        entry = ldap_next_entry(s.handle, entry);
        if (!entry) {
            code = LDAP_INSUFFICIENT_ACCESS;
            break;
        }
        ldap_memfree(dn);
        dn = ldap_get_dn(s.handle, entry);
        s.rebindDN = dn;
    }
    if (code == 0)
        s.userDN = dn;
    ldap_memfree(dn);
    ldap_msgfree(result);
    return code;
}

int authenticateInAdminDomains(Ldap& ldap, const char* user, const char* password)
{
    Ldap::State& s = Ldap::State::of(ldap);
    LdapEntry domains(&ldap);
    LdapError found =
        domains.retrieve("(objectclass=cvAdminDomain)", LDAP_SCOPE_ONELEVEL, s.url->lud_dn);
    if (found.code != 0)
        return found.code;
    int code = SETUP_LDAP_NO_ENTRIES;
    int n = domains.numEntries();
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            domains.next();
        char* userUrl = nullptr;
        char* bindDN = nullptr;
        char* bindPwd = nullptr;
        code = getGlobalUserDirectory(&ldap, domains.entryDN(), &userUrl, &bindDN, &bindPwd);
        if (code == 0) {
            LdapError nested;
            ++t_fallbackNesting;
            {
                Ldap other(nested, userUrl, user, password, bindDN, bindPwd);
                if (nested.code == 0)
                    s.userDN = other.userDN();
            }
            --t_fallbackNesting;
            code = nested.code;
        }
        free(userUrl);
        free(bindDN);
        free(bindPwd);
        if (code == 0)
            break;
    }
    return code;
}

} // namespace

Ldap::Ldap(LdapError& err, const char* url, const char* user, const char* password,
           const char* searchDN, const char* searchPwd)
    : state_(new State)
{
    state_->searchDN = searchDN;
    state_->searchPwd = searchPwd;
    state_->rebindDN = searchDN;
    state_->rebindPwd = searchPwd;
    state_->fallbackDepth = t_fallbackNesting;
    // A constructor that throws gets no destructor call: the connection it
    // opened is closed here.
    try {
        err = verifyUrl(url);
        probeVersion(*this, err);
        if (err.code == 0 && user && password)
            err = authenticate(user, password);
    } catch (...) {
        disconnect(*state_);
        delete state_->referrals;
        throw;
    }
}

Ldap::~Ldap()
{
    disconnect(*state_);
    delete state_->referrals;
}

LdapError Ldap::verifyUrl(const char* url)
{
    LDAPURLDesc* parsed = nullptr;
    ldapapi::UrlList list;
    int code = 0;
    if (ldapapi::parse_url_list(url, &list) != 0 || ldapapi::cv_url_parse(url, &parsed) != 0)
        code = SETUP_LDAP_BAD_URL;
    ldapapi::UrlPtr desc(parsed);
    ldapapi::HandlePtr ld;
    std::string reason;
    size_t answered = 0;
    const bool startTls = ldapapi::require_starttls();
    if (code == 0 && desc->lud_port == 0) {
        code = SETUP_LDAP_BAD_URL;
        reason = std::string("the URL names no port: ") + url;
    } else if (code == 0) {
        // Hosts of a list that name no port of their own take the first's.
        for (ldapapi::UrlServer& s : list.servers)
            if (s.port == 0)
                s.port = desc->lud_port;
        ld.reset(ldapapi::open_first(list.servers, startTls, &answered, &reason));
        code = ld ? ldapapi::ldap_simple_bind_s(ld.get(), nullptr, nullptr) : LDAP_CONNECT_ERROR;
        if (ld && code != 0)
            reason = list.servers[answered].url() + ": " + ldap_err2string(code);
    } else {
        reason = std::string("not an LDAP URL: ") + (url ? url : "(null)");
    }
    if (code == 0) {
        // A second verifyUrl replaces the connection; the old one is closed.
        disconnect(*state_);
        delete state_->referrals;
        state_->referrals = nullptr;
        state_->handle = ld.release();
        state_->url = desc.release();
        state_->server = list.servers[answered].url().c_str();
        state_->referrals = new ldapapi::ReferralScope(this, list.servers, startTls);
        state_->referrals->attach(state_->handle);
    }
    LdapError err = mapLdapError(code);
    err.message = reason.c_str();
    return err;
}

LdapError Ldap::authenticate(const char* user, const char* password)
{
    State& s = *state_;
    if (!s.handle || !s.url)
        return mapLdapError(SETUP_LDAP_CONNECT_FAILED);
    int code = 0;
    if (user && *user && (!password || !*password)) {
        // A DN with an empty password is an unauthenticated bind, which
        // servers may answer with success: it must never authenticate.
        code = LDAP_INVALID_CREDENTIALS;
    } else if (user && strpbrk(user, "=,")) {
        s.rebindDN = user;
        s.rebindPwd = password;
        code = ldapapi::ldap_simple_bind_s(s.handle, user, password);
        if (code == 0)
            s.userDN = user;
    } else {
        code = bindUserId(*this, user ? user : "", password);
    }
    if (code == 0) {
        s.userPassword = password;
    } else {
        // A connection whose authentication failed is closed.
        disconnect(s);
    }
    return mapLdapError(code);
}

LdapError Ldap::mapLdapError(int code) const
{
    return LdapError(ldapErrorMapCode(code), "");
}

const char* Ldap::host() const
{
    return state_->url ? state_->url->lud_host : nullptr;
}

int Ldap::port() const
{
    return state_->url ? state_->url->lud_port : LDAP_PORT;
}

const char* Ldap::baseSuffix() const
{
    return state_->url ? state_->url->lud_dn : nullptr;
}

const char* Ldap::userDN() const
{
    return state_->userDN;
}
const char* Ldap::userPassword() const
{
    return state_->userPassword;
}
const char* Ldap::version() const
{
    return state_->version;
}
const char* Ldap::rebindDN() const
{
    return state_->rebindDN;
}
const char* Ldap::rebindPwd() const
{
    return state_->rebindPwd;
}
const char* Ldap::server() const
{
    return state_->server;
}

const char* Ldap::referralRefusal() const
{
    const ldapapi::ReferralScope* referrals = state_->referrals;
    return referrals && !referrals->refusal().empty() ? referrals->refusal().c_str() : nullptr;
}

int Ldap::modify(const char* dn, LDAPMod** mods)
{
    if (!dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    if (!state_->handle)
        return LDAP_SERVER_DOWN;
    return ldapapi::ldap_modify_s(state_->handle, dn, mods);
}

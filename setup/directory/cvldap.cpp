#include "cvldap.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "ldap_adapter.h"
#include "ldap_escape.h"
#include "ldapentry.h"
#include "setup_registry_consts.h"
#include "setup_userdir.h"

namespace {

// Depth of admin-domain fallbacks in progress. A nested connection made by
// the fallback must not fall back again: a user directory whose URL has
// the configuration root as its base would otherwise recurse without end.
thread_local int t_fallbackNesting = 0;

} // namespace

Ldap::Ldap(LdapError& err, const char* url, const char* user, const char* password,
           const char* searchDN, const char* searchPwd)
    : searchDN_(searchDN), searchPwd_(searchPwd), rebindDN_(searchDN), rebindPwd_(searchPwd),
      handle_(nullptr), url_(nullptr), referrals_(nullptr), fallbackDepth_(t_fallbackNesting)
{
    // A constructor that throws gets no destructor call: the connection it
    // opened is closed here.
    try {
        err = verifyUrl(url);
        probeVersion(err);
        if (err.code == 0 && user && password)
            err = authenticate(user, password);
    } catch (...) {
        disconnect();
        delete referrals_;
        throw;
    }
}

void Ldap::probeVersion(const LdapError& err)
{
    if (err.code == 0) {
        LdapEntry monitor(this);
        monitor.retrieve("cn=monitor");
        char* value = monitor.getAttribute("Version");
        if (!value) {
            version_ = "4.0";
        } else {
            version_ = "3.0";
            const char* slash = strchr(value, '/');
            if (slash) {
                ++slash;
                version_ = CVString(slash, static_cast<int>(strcspn(slash, " ")));
            }
            free(value);
        }
    }
}

Ldap::~Ldap()
{
    disconnect();
    delete referrals_;
}

void Ldap::disconnect()
{
    if (url_)
        ldap_free_urldesc(url_);
    if (handle_) {
        if (referrals_)
            referrals_->detach(handle_);
        ldapapi::ldap_unbind(handle_);
    }
    url_ = nullptr;
    handle_ = nullptr;
    server_ = nullptr;
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
        disconnect();
        delete referrals_;
        referrals_ = nullptr;
        handle_ = ld.release();
        url_ = desc.release();
        server_ = list.servers[answered].url().c_str();
        referrals_ = new ldapapi::ReferralScope(this, list.servers, startTls);
        referrals_->attach(handle_);
    }
    LdapError err = mapLdapError(code);
    err.message = reason.c_str();
    return err;
}

LdapError Ldap::authenticate(const char* user, const char* password)
{
    if (!handle_ || !url_)
        return mapLdapError(SETUP_LDAP_CONNECT_FAILED);
    int code = 0;
    if (user && *user && (!password || !*password)) {
        // A DN with an empty password is an unauthenticated bind, which
        // servers may answer with success: it must never authenticate.
        code = LDAP_INVALID_CREDENTIALS;
    } else if (user && strpbrk(user, "=,")) {
        rebindDN_ = user;
        rebindPwd_ = password;
        code = ldapapi::ldap_simple_bind_s(handle_, user, password);
        if (code == 0)
            userDN_ = user;
    } else {
        code = bindUserId(user ? user : "", password);
    }
    if (code == 0) {
        userPassword_ = password;
    } else {
        // A connection whose authentication failed is closed.
        disconnect();
    }
    return mapLdapError(code);
}

int Ldap::bindUserId(const char* user, const char* password)
{
    int code = ldapapi::ldap_simple_bind_s(handle_, searchDN_, searchPwd_);
    if (code != 0)
        return code;
    std::string filter = "(uid=" + cvEscapeFilterValue(user) + ")";
    LDAPMessage* result = nullptr;
    code = ldapapi::ldap_search_s(handle_, url_->lud_dn, LDAP_SCOPE_SUBTREE, filter.c_str(), nullptr, 0, &result);
    if (code != 0 || ldap_count_entries(handle_, result) < 1) {
        if (result)
            ldap_msgfree(result);
        if (fallbackDepth_ == 0 && url_->lud_dn && strcasecmp(url_->lud_dn, DEFAULT_ROOT_DN) == 0)
            return authenticateInAdminDomains(user, password);
        return SETUP_LDAP_NO_ENTRIES;
    }
    // Several entries may carry the user id: the password decides which.
    LDAPMessage* entry = ldap_first_entry(handle_, result);
    char* dn = ldap_get_dn(handle_, entry);
    rebindDN_ = dn;
    rebindPwd_ = password;
    for (;;) {
        code = ldapapi::ldap_simple_bind_s(handle_, dn, password);
        if (code == 0)
            break;
        entry = ldap_next_entry(handle_, entry);
        if (!entry) {
            code = LDAP_INSUFFICIENT_ACCESS;
            break;
        }
        ldap_memfree(dn);
        dn = ldap_get_dn(handle_, entry);
        rebindDN_ = dn;
    }
    if (code == 0)
        userDN_ = dn;
    ldap_memfree(dn);
    ldap_msgfree(result);
    return code;
}

int Ldap::authenticateInAdminDomains(const char* user, const char* password)
{
    LdapEntry domains(this);
    LdapError found = domains.retrieve("(objectclass=cvAdminDomain)", LDAP_SCOPE_ONELEVEL, url_->lud_dn);
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
        code = getGlobalUserDirectory(this, domains.entryDN(), &userUrl, &bindDN, &bindPwd);
        if (code == 0) {
            LdapError nested;
            ++t_fallbackNesting;
            {
                Ldap other(nested, userUrl, user, password, bindDN, bindPwd);
                if (nested.code == 0)
                    userDN_ = other.userDN();
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

LdapError Ldap::mapLdapError(int code) const
{
    return LdapError(ldapErrorMapCode(code), "");
}

const char* Ldap::host() const
{
    return url_ ? url_->lud_host : nullptr;
}

int Ldap::port() const
{
    return url_ ? url_->lud_port : LDAP_PORT;
}

const char* Ldap::baseSuffix() const
{
    return url_ ? url_->lud_dn : nullptr;
}

const char* Ldap::userDN() const { return userDN_; }
const char* Ldap::userPassword() const { return userPassword_; }
const char* Ldap::version() const { return version_; }
const char* Ldap::rebindDN() const { return rebindDN_; }
const char* Ldap::rebindPwd() const { return rebindPwd_; }
const char* Ldap::server() const { return server_; }

const char* Ldap::referralRefusal() const
{
    return referrals_ && !referrals_->refusal().empty() ? referrals_->refusal().c_str() : nullptr;
}

int Ldap::modify(const char* dn, LDAPMod** mods)
{
    if (!dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    if (!handle_)
        return LDAP_SERVER_DOWN;
    return ldapapi::ldap_modify_s(handle_, dn, mods);
}

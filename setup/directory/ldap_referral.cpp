// Following referrals ourselves: only to the servers a connection's
// configured URL lists, over the protection it was opened with. A referral
// is written by whoever controls an entry or a server; the admin password
// must never go where such a text points.
#include <strings.h>

#include <mutex>

#include "cvldap.h"
#include "ldap_adapter.h"
#include "setup_util.h"

namespace {

std::mutex g_scopesLock;
// The scope each attached handle follows its referrals in.
std::map<LDAP*, ldapapi::ReferralScope*>& scopes()
{
    static std::map<LDAP*, ldapapi::ReferralScope*> attached;
    return attached;
}

ldapapi::ReferralScope* scopeOf(LDAP* ld)
{
    std::lock_guard<std::mutex> hold(g_scopesLock);
    auto it = scopes().find(ld);
    return it == scopes().end() ? nullptr : it->second;
}

thread_local int t_hops = 0;

std::string joined(char** refs)
{
    std::string text;
    for (char** r = refs; r && *r; ++r)
        text += (text.empty() ? "" : " ") + std::string(*r);
    return text;
}

} // namespace

namespace ldapapi {

ReferralScope::ReferralScope(const Ldap* owner, std::vector<UrlServer> allowed, bool startTls)
    : owner_(owner), allowed_(std::move(allowed)),
      tls_(!allowed_.empty() && allowed_[0].scheme == "ldaps"), startTls_(startTls)
{
}

ReferralScope::~ReferralScope()
{
    std::lock_guard<std::mutex> hold(g_scopesLock);
    for (auto it = scopes().begin(); it != scopes().end();) {
        if (it->second == this)
            it = scopes().erase(it);
        else
            ++it;
    }
}

void ReferralScope::attach(LDAP* ld)
{
    std::lock_guard<std::mutex> hold(g_scopesLock);
    scopes()[ld] = this;
}

void ReferralScope::detach(LDAP* ld)
{
    std::lock_guard<std::mutex> hold(g_scopesLock);
    auto it = scopes().find(ld);
    if (it != scopes().end() && it->second == this)
        scopes().erase(it);
}

bool ReferralScope::allowed(const LDAPURLDesc& ref) const
{
    if (!ref.lud_host || !ref.lud_scheme)
        return false;
    std::string scheme = ref.lud_scheme;
    // TLS stays TLS: an "ldaps" connection never follows a referral in the
    // clear; with StartTLS required an "ldap" referral starts it as well.
    if (strcasecmp(scheme.c_str(), "ldaps") != 0 &&
        (strcasecmp(scheme.c_str(), "ldap") != 0 || tls_))
        return false;
    for (const UrlServer& s : allowed_)
        if (strcasecmp(s.host.c_str(), ref.lud_host) == 0 && s.effectivePort() == ref.lud_port)
            return true;
    return false;
}

LDAP* ReferralScope::target(char** refs, std::string* dn)
{
    dn->clear();
    bool unusable = false;
    for (char** r = refs; r && *r; ++r) {
        LDAPURLDesc* raw = nullptr;
        if (::ldap_url_parse(*r, &raw) != LDAP_URL_SUCCESS || !raw)
            continue;
        UrlPtr ref(raw);
        if (!allowed(*ref))
            continue;
        UrlServer server;
        server.scheme = strcasecmp(ref->lud_scheme, "ldaps") == 0 ? "ldaps" : "ldap";
        server.host = ref->lud_host;
        server.port = ref->lud_port;
        std::string key = server.url();
        auto open = open_.find(key);
        if (open == open_.end()) {
            size_t answered = 0;
            std::string why;
            HandlePtr ld(open_first({server}, startTls_, &answered, &why));
            int code = ld ? ldap_simple_bind_s(ld.get(), owner_->rebindDN(), owner_->rebindPwd())
                          : LDAP_CONNECT_ERROR;
            if (code != LDAP_SUCCESS) {
                refusal_ = "the directory referred the request to " + std::string(*r) +
                           ", which could not be used: " + (ld ? ldap_err2string(code) : why);
                unusable = true;
                continue;
            }
            attach(ld.get());
            open = open_.emplace(key, std::move(ld)).first;
        }
        if (ref->lud_dn && *ref->lud_dn)
            *dn = ref->lud_dn;
        return open->second.get();
    }
    if (!unusable) {
        std::string listed;
        for (const UrlServer& s : allowed_)
            listed += (listed.empty() ? "" : " ") + s.hostPort();
        refusal_ = "the directory referred the request to " + joined(refs) +
                   ", a server the configured URL (" + listed +
                   ") does not list; the referral was not followed. Add that server to the URL "
                   "to let requests follow it";
    }
    setupLogMessage(SETUP_LOG_WARN, "ldap", "%s", refusal_.c_str());
    return nullptr;
}

std::string referral_refusal(LDAP* ld)
{
    ReferralScope* scope = scopeOf(ld);
    return scope ? scope->refusal() : std::string();
}

int follow_referral(LDAP* ld, char** refs, const std::function<int(LDAP*, const char*)>& redo)
{
    ReferralScope* scope = scopeOf(ld);
    if (!scope || t_hops >= kMaxReferralHops)
        return LDAP_REFERRAL;
    char** own = nullptr;
    if (!refs && ldap_get_option(ld, LDAP_OPT_REFERRAL_URLS, &own) == LDAP_OPT_SUCCESS)
        refs = own;
    std::string dn;
    LDAP* target = scope->target(refs, &dn);
    if (own)
        ber_memvfree(reinterpret_cast<void**>(own));
    if (!target)
        return LDAP_REFERRAL;
    ++t_hops;
    int code;
    try {
        code = redo(target, dn.empty() ? nullptr : dn.c_str());
    } catch (...) {
        --t_hops;
        throw;
    }
    --t_hops;
    return code;
}

} // namespace ldapapi

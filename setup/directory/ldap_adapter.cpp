#include "ldap_adapter.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cvldap.h"

namespace {

// A host item has a port when its text after the last ':' (outside
// brackets) is present.
bool hostItemHasPort(const std::string& item)
{
    if (!item.empty() && item[0] == '[') {
        size_t close = item.find(']');
        return close != std::string::npos && close + 1 < item.size() && item[close + 1] == ':';
    }
    return item.find(':') != std::string::npos;
}

} // namespace

namespace ldapapi {

LDAP* prldap_init(const char* host, int port, int /*shared*/)
{
    std::string urls;
    std::vector<std::string> hosts = ldapapi::split_blanks(host ? host : "");
    if (hosts.empty())
        hosts.push_back(std::string());
    for (const std::string& h : hosts) {
        if (!urls.empty())
            urls += ' ';
        urls += "ldap://" + h;
        if (!h.empty() && !hostItemHasPort(h))
            urls += ":" + std::to_string(port);
    }
    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, urls.c_str()) != LDAP_SUCCESS)
        return nullptr;
    if (!configure_handle(ld)) {
        ldap_unbind_ext_s(ld, nullptr, nullptr);
        return nullptr;
    }
    return ld;
}

int cv_is_ldap_url(const char* url)
{
    return url && ::ldap_is_ldap_url(url) ? 1 : 0;
}

int url_text_port(const char* url)
{
    UrlList list;
    if (parse_url_list(url, &list) != LDAP_URL_SUCCESS)
        return -1;
    return list.servers[0].port;
}

int cv_url_parse(const char* url, LDAPURLDesc** desc)
{
    *desc = nullptr;
    UrlList list;
    int rc = parse_url_list(url, &list);
    if (rc != LDAP_URL_SUCCESS)
        return rc;
    // libldap parses one host only: parse the URL with the first host, and
    // keep the whole list as the host text.
    const UrlServer& first = list.servers[0];
    std::string single = list.scheme + "://" + first.hostPort() + list.rest;
    LDAPURLDesc* d = nullptr;
    rc = ::ldap_url_parse(single.c_str(), &d);
    if (rc != LDAP_URL_SUCCESS)
        return rc;
    d->lud_port = first.port;
    if (list.servers.size() > 1) {
        std::string hosts;
        for (const UrlServer& s : list.servers)
            hosts += (hosts.empty() ? "" : " ") + s.hostPort();
        char* copy = ber_strdup(hosts.c_str());
        if (copy == nullptr) {
            ldap_free_urldesc(d);
            return LDAP_URL_ERR_MEM;
        }
        ber_memfree(d->lud_host);
        d->lud_host = copy;
    }
    *desc = d;
    return LDAP_URL_SUCCESS;
}

int ldap_set_protocol_version(LDAP* ld, int version)
{
    return ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
}

int ldap_simple_bind_s(LDAP* ld, const char* dn, const char* password)
{
    struct berval cred;
    cred.bv_val = const_cast<char*>(password ? password : "");
    cred.bv_len = password ? strlen(password) : 0;
    return ldap_sasl_bind_s(ld, dn, LDAP_SASL_SIMPLE, &cred, nullptr, nullptr, nullptr);
}

int ldap_search_s(LDAP* ld, const char* base, int scope, const char* filter, char** attrs,
                  int attrsonly, LDAPMessage** result)
{
    *result = nullptr;
    int code = ldap_search_ext_s(ld, base ? base : "", scope, filter, attrs, attrsonly, nullptr,
                                 nullptr, nullptr, 0, result);
    if (code != LDAP_REFERRAL)
        return code;
    // The base itself is referred: the search is made where it points.
    return follow_referral(ld, nullptr, [&](LDAP* target, const char* dn) {
        if (*result)
            ldap_msgfree(*result);
        return ldap_search_s(target, dn ? dn : base, scope, filter, attrs, attrsonly, result);
    });
}

int ldap_add_s(LDAP* ld, const char* dn, LDAPMod** mods)
{
    int code = ldap_add_ext_s(ld, dn, mods, nullptr, nullptr);
    if (code != LDAP_REFERRAL)
        return code;
    return follow_referral(ld, nullptr, [&](LDAP* target, const char* referred) {
        return ldap_add_s(target, referred ? referred : dn, mods);
    });
}

int ldap_modify_s(LDAP* ld, const char* dn, LDAPMod** mods)
{
    int code = ldap_modify_ext_s(ld, dn, mods, nullptr, nullptr);
    if (code != LDAP_REFERRAL)
        return code;
    return follow_referral(ld, nullptr, [&](LDAP* target, const char* referred) {
        return ldap_modify_s(target, referred ? referred : dn, mods);
    });
}

int ldap_delete_s(LDAP* ld, const char* dn)
{
    int code = ldap_delete_ext_s(ld, dn, nullptr, nullptr);
    if (code != LDAP_REFERRAL)
        return code;
    return follow_referral(ld, nullptr, [&](LDAP* target, const char* referred) {
        return ldap_delete_s(target, referred ? referred : dn);
    });
}

int ldap_modrdn2_s(LDAP* ld, const char* dn, const char* newRDN, int deleteOldRDN)
{
    int code = ldap_rename_s(ld, dn, newRDN, nullptr, deleteOldRDN, nullptr, nullptr);
    if (code != LDAP_REFERRAL)
        return code;
    return follow_referral(ld, nullptr, [&](LDAP* target, const char* referred) {
        return ldap_modrdn2_s(target, referred ? referred : dn, newRDN, deleteOldRDN);
    });
}

int ldap_unbind(LDAP* ld)
{
    return ldap_unbind_ext_s(ld, nullptr, nullptr);
}

char** cv_get_values(LDAP* ld, LDAPMessage* entry, const char* attr)
{
    struct berval** vals = ldap_get_values_len(ld, entry, attr);
    if (!vals)
        return nullptr;
    size_t n = 0;
    while (vals[n])
        ++n;
    char** out = static_cast<char**>(calloc(n + 1, sizeof(char*)));
    for (size_t i = 0; out && i < n; ++i) {
        out[i] = static_cast<char*>(malloc(vals[i]->bv_len + 1));
        if (!out[i]) {
            cv_value_free(out);
            out = nullptr;
            break;
        }
        memcpy(out[i], vals[i]->bv_val, vals[i]->bv_len);
        out[i][vals[i]->bv_len] = '\0';
    }
    ldap_value_free_len(vals);
    return out;
}

char** cv_explode_dn(const char* dn, int notypes)
{
    LDAPDN parsed = nullptr;
    if (!dn || ldap_str2dn(dn, &parsed, LDAP_DN_FORMAT_LDAP) != LDAP_SUCCESS)
        return nullptr;
    size_t n = 0;
    while (parsed && parsed[n])
        ++n;
    char** out = static_cast<char**>(calloc(n + 1, sizeof(char*)));
    unsigned flags = notypes ? LDAP_DN_FORMAT_UFN : LDAP_DN_FORMAT_LDAPV3;
    for (size_t i = 0; out && i < n; ++i) {
        char* text = nullptr;
        if (ldap_rdn2str(parsed[i], &text, flags) != LDAP_SUCCESS || !text) {
            cv_value_free(out);
            out = nullptr;
            break;
        }
        // Our arrays are released with free(): copy out of libldap's memory.
        out[i] = strdup(text);
        ldap_memfree(text);
        if (!out[i]) {
            cv_value_free(out);
            out = nullptr;
        }
    }
    ldap_dnfree(parsed);
    return out;
}

void cv_value_free(char** values)
{
    if (!values)
        return;
    for (char** v = values; *v; ++v)
        free(*v);
    free(values);
}

std::vector<std::pair<std::string, std::string>> rdn_values(const char* dn)
{
    std::vector<std::pair<std::string, std::string>> values;
    LDAPDN raw = nullptr;
    if (!dn || ::ldap_str2dn(dn, &raw, LDAP_DN_FORMAT_LDAP) != LDAP_SUCCESS) {
        if (raw)
            ::ldap_dnfree(raw);
        return values;
    }
    std::unique_ptr<LDAPRDN, void (*)(LDAPDN)> parsed(raw, [](LDAPDN d) { ::ldap_dnfree(d); });
    if (parsed && parsed.get()[0]) {
        for (LDAPAVA** ava = parsed.get()[0]; *ava; ++ava) {
            if ((*ava)->la_flags & LDAP_AVA_BINARY)
                continue;
            values.emplace_back(std::string((*ava)->la_attr.bv_val, (*ava)->la_attr.bv_len),
                                std::string((*ava)->la_value.bv_val, (*ava)->la_value.bv_len));
        }
    }
    return values;
}

} // namespace ldapapi

#include "ldap_adapter.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cvldap.h"

namespace {

// The authority part of an URL text: after "://", up to the first '/' or
// '?' (or the end). Null when the text has no "://".
bool urlAuthority(const char* url, std::string* authority, const char** rest)
{
    const char* p = url ? strstr(url, "://") : nullptr;
    if (!p)
        return false;
    p += 3;
    size_t n = strcspn(p, "/?");
    authority->assign(p, n);
    if (rest)
        *rest = p + n;
    return true;
}

// Port text of one host item ("h", "h:389", "[::1]:389"): 0 when none, empty
// or zero, -1 when not a number.
int hostItemPort(const std::string& item)
{
    size_t colon;
    if (!item.empty() && item[0] == '[') {
        size_t close = item.find(']');
        if (close == std::string::npos)
            return -1;
        if (close + 1 >= item.size())
            return 0;
        if (item[close + 1] != ':')
            return -1;
        colon = close + 1;
    } else {
        colon = item.rfind(':');
        if (colon == std::string::npos)
            return 0;
    }
    std::string digits = item.substr(colon + 1);
    if (digits.empty())
        return 0;
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    int port = atoi(digits.c_str());
    return port > 65535 ? -1 : port;
}

std::vector<std::string> splitBlanks(const std::string& text)
{
    std::vector<std::string> items;
    size_t i = 0;
    while (i < text.size()) {
        size_t start = text.find_first_not_of(' ', i);
        if (start == std::string::npos)
            break;
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        items.push_back(text.substr(start, end - start));
        i = end;
    }
    return items;
}

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
    std::vector<std::string> hosts = splitBlanks(host ? host : "");
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
    // Without limits a server that accepts and never answers holds every
    // synchronous call forever.
    struct timeval network = {kNetworkTimeoutSeconds, 0};
    struct timeval operation = {kOperationTimeoutSeconds, 0};
    if (ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &network) != LDAP_OPT_SUCCESS ||
        ldap_set_option(ld, LDAP_OPT_TIMEOUT, &operation) != LDAP_OPT_SUCCESS) {
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
    std::string authority;
    if (!urlAuthority(url, &authority, nullptr))
        return -1;
    std::vector<std::string> hosts = splitBlanks(authority);
    return hosts.empty() ? 0 : hostItemPort(hosts[0]);
}

int cv_url_parse(const char* url, LDAPURLDesc** desc)
{
    *desc = nullptr;
    std::string authority;
    const char* rest = nullptr;
    if (!url || !urlAuthority(url, &authority, &rest))
        return LDAP_URL_ERR_BADSCHEME;
    std::vector<std::string> hosts = splitBlanks(authority);
    // libldap parses one host only: parse the URL with the first host, and
    // keep the whole list as the host text.
    std::string first = std::string(url, static_cast<size_t>(strstr(url, "://") + 3 - url));
    if (!hosts.empty())
        first += hosts[0];
    first += rest;
    int port = hosts.empty() ? 0 : hostItemPort(hosts[0]);
    if (port < 0)
        return LDAP_URL_ERR_BADURL;
    for (const std::string& h : hosts)
        if (hostItemPort(h) < 0)
            return LDAP_URL_ERR_BADURL;
    // "h:" is refused by libldap; an empty port names no port, like none.
    if (!hosts.empty() && !hosts[0].empty() && hosts[0].back() == ':')
        first = std::string(url, static_cast<size_t>(strstr(url, "://") + 3 - url)) +
                hosts[0].substr(0, hosts[0].size() - 1) + rest;
    std::string list;
    for (const std::string& h : hosts)
        list += (list.empty() ? "" : " ") + h;
    LDAPURLDesc* d = nullptr;
    int rc = ::ldap_url_parse(first.c_str(), &d);
    if (rc != LDAP_URL_SUCCESS)
        return rc;
    d->lud_port = port;
    if (hosts.size() > 1) {
        char* copy = ber_strdup(list.c_str());
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
    return ldap_search_ext_s(ld, base ? base : "", scope, filter, attrs, attrsonly, nullptr, nullptr,
                             nullptr, 0, result);
}

int ldap_add_s(LDAP* ld, const char* dn, LDAPMod** mods)
{
    return ldap_add_ext_s(ld, dn, mods, nullptr, nullptr);
}

int ldap_modify_s(LDAP* ld, const char* dn, LDAPMod** mods)
{
    return ldap_modify_ext_s(ld, dn, mods, nullptr, nullptr);
}

int ldap_delete_s(LDAP* ld, const char* dn)
{
    return ldap_delete_ext_s(ld, dn, nullptr, nullptr);
}

int ldap_modrdn2_s(LDAP* ld, const char* dn, const char* newRDN, int deleteOldRDN)
{
    return ldap_rename_s(ld, dn, newRDN, nullptr, deleteOldRDN, nullptr, nullptr);
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

int cv_ldap_rebind_proc(LDAP* ld, LDAP_CONST char* /*url*/, ber_tag_t /*request*/,
                        ber_int_t /*msgid*/, void* params)
{
    // The classic callback handed the rebind DN and password back for the
    // library to bind with and always answered success; libldap expects the
    // callback to bind on the new connection itself. The texts stay with the
    // Ldap object; nothing is freed here.
    const Ldap* ldap = static_cast<const Ldap*>(params);
    if (ldap)
        ldapapi::ldap_simple_bind_s(ld, ldap->rebindDN(), ldap->rebindPwd());
    return 0;
}

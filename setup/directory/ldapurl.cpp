// The forms in which a configuration directory is named, and the decoding of
// URL escapes in key-file URLs.
#include "hex_digit.h"
#include "setup_compat.h"
#include "setup_ldapurl.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "c_boundary.h"
#include "ldap_adapter.h"
#include "ldap_escape.h"
#include "setup_registry_consts.h"

namespace {

// A malloc'd copy of text (setupFree releases it); null when memory runs out.
char* copyText(const std::string& text)
{
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (out)
        std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

// Where the authority begins (just after "//") when url's first '/' starts
// "//"; npos otherwise.
size_t authorityStart(const std::string& url)
{
    size_t slash = url.find('/');
    if (slash == std::string::npos || slash + 1 >= url.size() || url[slash + 1] != '/')
        return std::string::npos;
    return slash + 2;
}

// url's scheme and authority ("ldap://h:p"), then "/" and path, newly
// allocated; "" when url has no authority, null for a null url.
char* serverUrlWith(const char* url, const char* path)
{
    if (!url)
        return nullptr;
    return cvGuard(static_cast<char*>(nullptr), [&] {
        // Several servers (a host list, or whole URLs) keep every host: the
        // result is the host-list form.
        ldapapi::UrlList list;
        if (ldapapi::parse_url_list(url, &list) == 0 && list.servers.size() > 1) {
            list.rest = std::string("/") + path;
            return copyText(list.text());
        }
        std::string text(url);
        size_t start = authorityStart(text);
        if (start == std::string::npos)
            return copyText(std::string());
        return copyText(text.substr(0, text.find('/', start)) + "/" + path);
    });
}

} // namespace

extern "C" {

char* setupFormConfigLdapURL(const char* url)
{
    return serverUrlWith(url, DEFAULT_ROOT_DN);
}

char* setupStripConfigLdapURL(const char* url)
{
    return serverUrlWith(url, "");
}

int setupParseLdapUrl(const char* url, char** host, int* port, char** baseDN)
{
    if (!url)
        return 0;
    if (host)
        *host = nullptr;
    if (port)
        *port = 0;
    if (baseDN)
        *baseDN = nullptr;
    return cvGuard(0, [&] {
        std::string copy(url);
        size_t start = authorityStart(copy);
        if (start == std::string::npos)
            return 0;
        if (copy.find('/', start) == std::string::npos)
            copy += '/';
        if (!ldapapi::cv_is_ldap_url(copy.c_str()))
            return 0;
        LDAPURLDesc* raw = nullptr;
        if (ldapapi::cv_url_parse(copy.c_str(), &raw) != 0 || !raw)
            return 0;
        ldapapi::UrlPtr desc(raw);
        // A URL without a host names no server that a caller could reach.
        if (!desc->lud_host || !*desc->lud_host)
            return 0;
        CvMallocPtr<char> h(copyText(desc->lud_host));
        CvMallocPtr<char> dn;
        if (!h)
            return 0;
        if (desc->lud_dn && *desc->lud_dn) {
            dn.reset(copyText(desc->lud_dn));
            if (!dn)
                return 0;
        }
        if (host)
            *host = h.release();
        if (baseDN)
            *baseDN = dn.release();
        if (port)
            *port = desc->lud_port;
        return 1;
    });
}

int setupSplitLdapUrl(const char* url, char** scheme, char** servers, char** host, int* port,
                      char** baseDN)
{
    if (!url)
        return 0;
    char** texts[] = {scheme, servers, host, baseDN};
    for (char** text : texts)
        if (text)
            *text = nullptr;
    if (port)
        *port = 0;
    return cvGuard(0, [&] {
        ldapapi::UrlList list;
        LDAPURLDesc* raw = nullptr;
        if (ldapapi::cv_url_parse(url, &raw) != 0 || !raw ||
            ldapapi::parse_url_list(url, &list) != 0) {
            if (raw)
                ldap_free_urldesc(raw);
            return 0;
        }
        ldapapi::UrlPtr desc(raw);
        std::string named;
        for (const ldapapi::UrlServer& server : list.servers)
            named += (named.empty() ? "" : " ") + server.hostText() + ":" +
                     std::to_string(server.effectivePort());
        // Each part is made before any is handed out, so a failure hands out none.
        CvMallocPtr<char> parts[4];
        const char* values[] = {list.scheme.c_str(), named.c_str(), desc->lud_host, desc->lud_dn};
        for (int i = 0; i < 4; ++i)
            if (values[i] && !(parts[i] = CvMallocPtr<char>(copyText(values[i]))))
                return 0;
        for (int i = 0; i < 4; ++i)
            if (texts[i])
                *texts[i] = parts[i].release();
        if (port)
            *port = list.servers[0].effectivePort();
        return 1;
    });
}

char* setupEncodeLdapUrlDN(const char* dn)
{
    if (!dn)
        return nullptr;
    return cvGuard(static_cast<char*>(nullptr), [&] { return copyText(cvEncodeUrlDN(dn)); });
}

char* setupEncodeLdapUrlHost(const char* text)
{
    if (!text)
        return nullptr;
    return cvGuard(static_cast<char*>(nullptr), [&] { return copyText(cvEncodeUrlHost(text)); });
}

char* setupFormAdminDomainDN(const char* name)
{
    if (!name)
        return nullptr;
    return cvGuard(static_cast<char*>(nullptr), [&] {
        if (std::strpbrk(name, "=,"))
            return copyText(name);
        return copyText(std::string("ou=") + name + LDAP_PATHSEP + DEFAULT_ROOT_DN);
    });
}

char* setupStripAdminDomainDN(const char* dn)
{
    if (!dn)
        return nullptr;
    return cvGuard(static_cast<char*>(nullptr), [&] {
        const char* first = std::strpbrk(dn, "=,");
        const char* second = first ? std::strpbrk(first + 1, "=,") : nullptr;
        if (!second)
            return copyText(dn);
        return copyText(std::string(first + 1, static_cast<size_t>(second - first - 1)));
    });
}

void unescape_ldap_basedn(char* text)
{
    if (!text)
        return;
    char* out = text;
    for (const char* in = text; *in; ++in) {
        if (*in == '%') {
            int high = cvHexDigitValue(in[1]);
            int low = high >= 0 ? cvHexDigitValue(in[2]) : -1;
            if (low >= 0 && (high | low) != 0) {
                *out++ = static_cast<char>(high * 16 + low);
                in += 2;
                continue;
            }
        }
        *out++ = *in;
    }
    *out = '\0';
}

char* formConfigLdapURL(const char* url)
{
    return setupFormConfigLdapURL(url);
}
char* stripConfigLdapURL(const char* url)
{
    return setupStripConfigLdapURL(url);
}
int ParseLdapUrl(const char* url, char** host, int* port, char** baseDN)
{
    return setupParseLdapUrl(url, host, port, baseDN);
}
char* formAdminDomainDN(const char* name)
{
    return setupFormAdminDomainDN(name);
}
char* stripAdminDomainDN(const char* dn)
{
    return setupStripAdminDomainDN(dn);
}

} // extern "C"

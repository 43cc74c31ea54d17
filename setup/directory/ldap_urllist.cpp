// The strict reading of LDAP URL texts: one URL, a host list, or a list of
// whole URLs (ldap_urllist.h).
#include "ldap_urllist.h"

#include <arpa/inet.h>
#include <ldap.h>
#include <strings.h>

#include <cctype>
#include <cstring>

namespace {

bool startsWithScheme(const std::string& text, size_t at, std::string* scheme, size_t* after)
{
    for (const char* s : {"ldaps://", "ldap://"}) {
        size_t n = strlen(s);
        if (text.size() - at >= n && strncasecmp(text.c_str() + at, s, n) == 0) {
            if (scheme)
                scheme->assign(s, n - 3);
            if (after)
                *after = at + n;
            return true;
        }
    }
    return false;
}

// RFC 1123: labels of letters, digits and '-', neither first nor last a
// '-', at most 63 characters each and 253 in all; the last label is not
// all digits (that would be a mistyped address or port). One final '.' may
// end the name.
bool validHostName(std::string name)
{
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    if (name.empty() || name.size() > 253)
        return false;
    bool allDigits = true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('.', start);
        if (end == std::string::npos)
            end = name.size();
        size_t length = end - start;
        if (length == 0 || length > 63 || name[start] == '-' || name[end - 1] == '-')
            return false;
        allDigits = true;
        for (size_t i = start; i < end; ++i) {
            unsigned char c = static_cast<unsigned char>(name[i]);
            if (!isalnum(c) && c != '-')
                return false;
            if (!isdigit(c))
                allDigits = false;
        }
        start = end + 1;
    }
    return !allDigits;
}

bool validHost(const std::string& host)
{
    struct in_addr v4;
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 || validHostName(host);
}

// Decimal, leading zeros allowed, at most 65535; "" names no port (0).
bool parsePort(const std::string& digits, int* port)
{
    long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > 65535)
            return false;
    }
    *port = static_cast<int>(value);
    return true;
}

bool parseHostItem(const std::string& item, ldapapi::UrlServer* server)
{
    std::string host;
    std::string port;
    if (!item.empty() && item[0] == '[') {
        size_t close = item.find(']');
        if (close == std::string::npos)
            return false;
        host = item.substr(1, close - 1);
        struct in6_addr v6;
        if (inet_pton(AF_INET6, host.c_str(), &v6) != 1)
            return false;
        if (close + 1 < item.size()) {
            if (item[close + 1] != ':')
                return false;
            port = item.substr(close + 2);
        }
    } else {
        size_t colon = item.find(':');
        host = item.substr(0, colon);
        if (colon != std::string::npos)
            port = item.substr(colon + 1);
        if (!validHost(host))
            return false;
    }
    server->host = host;
    return parsePort(port, &server->port);
}

// One whole URL (which may hold a host list): its scheme, servers and rest.
int parseOne(const std::string& text, ldapapi::UrlList* out)
{
    size_t at = 0;
    if (!startsWithScheme(text, 0, &out->scheme, &at))
        return LDAP_URL_ERR_BADSCHEME;
    for (char& c : out->scheme)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    size_t slash = text.find('/', at);
    std::string authority =
        text.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
    out->rest = slash == std::string::npos ? std::string() : text.substr(slash);
    if (authority.find_first_of("?#") != std::string::npos)
        return LDAP_URL_ERR_BADURL;
    std::vector<std::string> hosts = ldapapi::split_blanks(authority);
    if (hosts.empty()) {
        // RFC 4516 allows an URL without a host: the client's default.
        if (!authority.empty())
            return LDAP_URL_ERR_BADURL;
        ldapapi::UrlServer none;
        none.scheme = out->scheme;
        out->servers.push_back(none);
        return LDAP_URL_SUCCESS;
    }
    for (const std::string& item : hosts) {
        ldapapi::UrlServer server;
        server.scheme = out->scheme;
        if (!parseHostItem(item, &server))
            return LDAP_URL_ERR_BADURL;
        out->servers.push_back(server);
    }
    return LDAP_URL_SUCCESS;
}

} // namespace

namespace ldapapi {

std::string UrlServer::hostText() const
{
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

std::string UrlServer::hostPort() const
{
    std::string text = hostText();
    if (port != 0)
        text += ":" + std::to_string(port);
    return text;
}

int UrlServer::effectivePort() const
{
    return port != 0 ? port : scheme == "ldaps" ? LDAPS_PORT : LDAP_PORT;
}

std::string UrlServer::url() const
{
    return scheme + "://" + hostText() + ":" + std::to_string(effectivePort());
}

std::string UrlList::text() const
{
    std::string hosts;
    for (const UrlServer& s : servers)
        hosts += (hosts.empty() ? "" : " ") + s.hostPort();
    return scheme + "://" + hosts + rest;
}

std::vector<std::string> split_blanks(const std::string& text)
{
    std::vector<std::string> out;
    size_t i = 0;
    while ((i = text.find_first_not_of(' ', i)) != std::string::npos) {
        size_t end = text.find(' ', i);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(i, end - i));
        i = end;
    }
    return out;
}

int parse_url_list(const char* url, UrlList* out)
{
    *out = UrlList();
    if (!url)
        return LDAP_URL_ERR_PARAM;
    std::string text(url);
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return LDAP_URL_ERR_BADSCHEME;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    // Whole URLs are separated by a blank before a scheme; any other blank
    // belongs to a host list or to the base DN ("ou=a, o=b").
    std::vector<std::string> segments;
    size_t start = 0;
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i - 1] == ' ' && startsWithScheme(text, i, nullptr, nullptr)) {
            segments.push_back(text.substr(start, i - start));
            start = i;
        }
    }
    segments.push_back(text.substr(start));
    for (size_t i = 0; i < segments.size(); ++i) {
        std::string& s = segments[i];
        s.erase(s.find_last_not_of(' ') + 1);
        UrlList one;
        int rc = parseOne(s, &one);
        if (rc != LDAP_URL_SUCCESS)
            return rc;
        if (i == 0) {
            *out = one;
            continue;
        }
        // One base for all: the servers of a list are copies of one
        // directory, reached the same way.
        if (one.scheme != out->scheme || one.rest != out->rest || one.servers[0].host.empty() ||
            out->servers[0].host.empty())
            return LDAP_URL_ERR_BADURL;
        out->servers.insert(out->servers.end(), one.servers.begin(), one.servers.end());
    }
    // The rest is read by libldap's own parser, with the first host.
    LDAPURLDesc* desc = nullptr;
    std::string single = out->scheme + "://" + out->servers[0].hostPort() + out->rest;
    int rc = ::ldap_url_parse(single.c_str(), &desc);
    if (desc)
        ::ldap_free_urldesc(desc);
    return rc;
}

} // namespace ldapapi

/*
 * The LDAP URL texts the library accepts, read strictly:
 *
 *   one URL (RFC 4516)      ldap://host:389/o=CorvidRoot, ldaps://[::1]:636/...
 *   a host list             ldap://h1:389 h2:389/o=CorvidRoot
 *   a list of whole URLs    ldap://h1:389/o=CorvidRoot ldap://h2:389/o=CorvidRoot
 *
 * The scheme is "ldap" or "ldaps" (any letter case). Every host is an IP
 * literal ([IPv6], dotted IPv4) or an RFC 1123 host name whose last label
 * is not all digits; a port is decimal, leading zeros allowed, at most
 * 65535; "host:" names no port. After the authority comes nothing or "/"
 * and the rest of the URL; a '?' straight after the host is no URL. The
 * whole URLs of a list share one scheme and one rest (base DN, attributes,
 * scope, filter). Anything else is refused, so a typo ("h:3 89", "h: 389")
 * never becomes a host.
 */
#ifndef CV_LDAP_URLLIST_H
#define CV_LDAP_URLLIST_H

#include <string>
#include <vector>

namespace ldapapi {

struct UrlServer {
    std::string scheme; // "ldap" or "ldaps", lower case
    std::string host;   // IPv6 without brackets; empty when the URL names none
    int port = 0;       // 0 when the text names none (or "0")
    // The host as an URL writes it (IPv6 bracketed), and host[:port].
    std::string hostText() const;
    std::string hostPort() const;
    // The port connected to: the written one, else the scheme's default.
    int effectivePort() const;
    // scheme "://" host ":" effective port.
    std::string url() const;
};

struct UrlList {
    std::string scheme;
    std::vector<UrlServer> servers; // at least one
    std::string rest;               // "" or "/" and what follows the authority
    // The host-list form: scheme "://" h1[:p1] " " h2[:p2] ... rest.
    std::string text() const;
};

// 0 with *out filled, or a libldap URL error code (LDAP_URL_ERR_*).
int parse_url_list(const char* url, UrlList* out);

// The blank-separated items of text (a host list).
std::vector<std::string> split_blanks(const std::string& text);

} // namespace ldapapi

#endif

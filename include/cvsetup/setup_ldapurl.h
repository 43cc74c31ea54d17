/*
 * Returns: predicates 1 or 0; texts new (release with setupFree or
 * cvSetupFree) or null; setupSetDefaultLdapInfo nothing.
 *
 * Where a server root finds its configuration directory and administrator,
 * and the forms in which a configuration directory is named: a full LDAP
 * URL, a URL ending at host and port, host/port/base parts, an admin domain
 * name and an admin domain DN. Usable from C and C++; the short names that
 * forward to these functions unchanged are in setup_compat.h.
 *
 * URLs: every url argument of the library is one LDAP URL (RFC 4516), a
 * host list, or whole URLs separated by blanks:
 *   ldap://host:389/o=CorvidRoot
 *   ldaps://host:636/o=CorvidRoot
 *   ldap://h1:389 h2:389/o=CorvidRoot         (the host-list form)
 *   ldap://h1:389/o=CorvidRoot ldap://h2:389/o=CorvidRoot
 * Scheme "ldap" or "ldaps" in any case; every host an IP address ([::1] for
 * IPv6) or an RFC 1123 host name whose last label is not all digits; a port
 * decimal, leading zeros allowed, at most 65535 ("host:" names none). After
 * the hosts comes nothing or "/" and the base DN (and the URL's further
 * parts); whole URLs of one list share their scheme and everything after
 * the host. Any other text is refused, so "ldap://127.0.0.1:3 89/o=x",
 * "ldap://host: 389/" and "ldap://host?cn" name no server. A connection
 * uses the first server of the list that answers.
 *
 * Key files, below the server root:
 *   shared/config/ldap.conf      "ConfigURL <url>", "admnm  <user>",
 *                                "AdminDomain:<name>"
 *   shared/config/dbswitch.conf  "directory default <url>"
 *   shared/config/ds.conf        "AdminDomain:<name or DN>"
 */
#ifndef CV_SETUP_LDAPURL_H
#define CV_SETUP_LDAPURL_H

#include "setup_common.h"

SETUP_BEGIN_DECLS

/*
 * Each non-null out-parameter receives a new text or null (nothing found):
 *   url: ldap.conf's ConfigURL, else dbswitch.conf's "directory default";
 *        an LDAP URL has its %XX escapes decoded (unescape_ldap_basedn);
 *   user: ldap.conf's admnm;
 *   adminDomain: ldap.conf's AdminDomain, else ds.conf's, reduced from a
 *        DN to the bare name (setupStripAdminDomainDN).
 */
void setupGetDefaultLdapInfo(const char* serverRoot, char** url, char** user, char** adminDomain);

/*
 * For each non-null argument one key file is rewritten atomically (the line
 * with its key replaced, or added):
 *   url: dbswitch.conf "directory default <url>", and ldap.conf's ConfigURL
 *        line when there is one (the reader prefers it);
 *   user: ldap.conf "admnm  <user>";
 *   adminDomain: ds.conf "AdminDomain:<name>", and ldap.conf's AdminDomain
 *        line when there is one.
 * All of them change, or none: every new version is written beside its
 * file before any replaces it, so a failure (a full file system) leaves the
 * files as they were, and the failure is written to the install log. A text
 * holding a line break is not written (it would forge a key line). Missing
 * files are created with mode 0600; existing ones keep their owner, group
 * and mode. A key file that is a link is rewritten at its target, which must
 * lie below the server root: a link leading out of it, or nowhere, is
 * refused. A key file that is not a regular file (a fifo) is refused
 * without blocking. Setters running at the same time on one server root
 * take turns (an flock on shared/config), so no value is lost.
 */
void setupSetDefaultLdapInfo(const char* serverRoot, const char* url, const char* user,
                             const char* adminDomain);

/* "ldap://host:port/anything" -> "ldap://host:port/o=CorvidRoot" (the
 * scheme kept; several servers give the host-list form with all of them);
 * "" when url has no "//" at its first '/'; null for a null url. */
char* setupFormConfigLdapURL(const char* url);

/* "ldap://host:port/anything" -> "ldap://host:port/"; "" when url has no
 * "//" at its first '/'; null for a null url. */
char* setupStripConfigLdapURL(const char* url);

/*
 * 1 when url parses as an LDAP URL with a host: *host a new text, *port the
 * port written in it (0 when none), *baseDN a new text or null. "[::1]"
 * hosts are accepted (*host is then "::1"). For several servers *host is the
 * list ("h1:389 h2:389") and *port the first one's. 0 otherwise, with *host and
 * *baseDN null and *port 0; a null url leaves them untouched.
 */
int setupParseLdapUrl(const char* url, char** host, int* port, char** baseDN);

/*
 * url taken apart for a caller that writes it again with parts of its own
 * (the configuration directory of an install-info file, whose host, port
 * and suffix keys win over its URL). 1 when url is one of the forms above
 * (a URL without a host or a base DN too); each non-null out-parameter then
 * receives, "ldap://h1 h2:390/o=x" giving "ldap", "h1:389 h2:390",
 * "h1 h2:390", 389 and "o=x":
 *   *scheme   "ldap" or "ldaps", lower case;
 *   *servers  every server as "host:port", separated by blanks, an IPv6
 *             host in brackets and a port the URL does not name given as
 *             its scheme's default (389, 636): "h1:389 [::1]:636";
 *   *host     the host as setupParseLdapUrl gives it (for several servers
 *             the list as written), null when url names none;
 *   *port     the first server's port, or its scheme's default;
 *   *baseDN   the base DN with its %XX escapes decoded: empty when url
 *             ends at the "/" after its servers, null without that "/".
 * Texts are new (release with setupFree). 0 otherwise, and when memory runs
 * out, with the texts null and *port 0; a null url leaves them untouched.
 */
int setupSplitLdapUrl(const char* url, char** scheme, char** servers, char** host, int* port,
                      char** baseDN);

/*
 * Texts as an LDAP URL carries them, for callers that compose one; a new
 * text (release with setupFree), null for a null argument or when memory
 * runs out.
 *   setupEncodeLdapUrlDN: a DN as the URL's DN part: every octet outside
 *     the unreserved set and the DN's own '=', ',', '+', ';' written %XX,
 *     so blanks, '?' and '%' reach the server unchanged.
 *   setupEncodeLdapUrlHost: a host or port as the URL's host part: octets
 *     that would end or alter it (blanks, controls, non-ASCII, '/', '?',
 *     '#', '%') written %XX, which URL parsers decode there again.
 */
char* setupEncodeLdapUrlDN(const char* dn);
char* setupEncodeLdapUrlHost(const char* text);

/* A name without '=' or ',' becomes "ou=<name>, o=CorvidRoot"; a DN is
 * copied. Null for a null name. */
char* setupFormAdminDomainDN(const char* name);

/* The text between the first and the second '=' or ',' of dn (the name of
 * an admin domain DN); a copy of dn when there are not two. */
char* setupStripAdminDomainDN(const char* dn);

/*
 * 1 when host:port accepts a simple bind as bindDN and answers a base
 * search of baseDN, else 0. A bindDN with a null or empty password is an
 * unauthenticated bind and answers 0 without binding; a null bindDN binds
 * anonymously. Connecting and each operation give up after 10 seconds.
 */
int setupIsValidLdapServer(const char* host, int port, const char* baseDN, const char* bindDN,
                           const char* password);

/*
 * 1 when *user (a DN, or a user id looked up below baseDN) authenticates
 * with password on host:port, else 0. A null or empty user or password
 * answers 0 without binding; a user id "*" or one holding filter
 * characters only ever names itself. With wantDN non-zero and a result of
 * 1, *user is freed and replaced by a new text: the DN it resolved to.
 * Connecting and each operation give up after 10 seconds.
 */
int setupIsValidLdapUser(const char* host, int port, const char* baseDN, char** user,
                         const char* password, int wantDN);

/* Decodes "%XX" (two hex digits) in place. Other '%' texts, and "%00"
 * (which would cut the text short), stay as written. */
void unescape_ldap_basedn(char* text);

SETUP_END_DECLS

#endif

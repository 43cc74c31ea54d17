/*
 * Returns: 0 on success, else one of our codes 144-159 or an LDAP result code
 * (never negative); creators return null on failure.
 *
 * The directory classes for callers written against plain functions: opaque
 * connection (Ldap) and entry (LdapEntry) handles, integer result codes.
 * Usable from C and C++. Every function also has a short name without the
 * "setup" prefix that forwards to it unchanged (setup_compat.h).
 *
 * Rules of this layer:
 *  - A null handle or required text is answered with SETUP_LDAP_BAD_ARGUMENT
 *    (144), or with a null/void result, before any class is reached; the
 *    free and destroy functions accept null.
 *  - Results are the codes of the class operations: the library's own codes
 *    (setup_ldap_codes.h, mapped by the connection) or LDAP result codes
 *    (entry operations, unmapped). libldap's negative codes (a server that
 *    went away, a timeout) are given as SETUP_LDAP_CONNECT_FAILED (151), so
 *    no result is ever negative; running out of memory gives 90 (the classic
 *    API's LDAP_NO_MEMORY; OpenLDAP's constant of that name is -10).
 *  - Handles are made by the create functions and released by the matching
 *    destroy function; an entry handle must be destroyed before its
 *    connection handle.
 *  - Attribute names and values returned are copies, released with the
 *    matching free function. DNs and versions returned by setupGetUserDN,
 *    setupGetServerVersion and setupGetEntryDN belong to the handle.
 *  - Passwords are never written to any output.
 */
#ifndef CV_SETUP_LDAP_H
#define CV_SETUP_LDAP_H

#include <ldap.h>

#include "setup_common.h"
#include "setup_ldap_codes.h"

SETUP_BEGIN_DECLS

/* Connections.
 *
 * A url is one LDAP URL (RFC 4516), a host list or a list of whole URLs:
 *   ldap://host:389/o=CorvidRoot
 *   ldaps://host:636/o=CorvidRoot                 TLS from the first byte
 *   ldap://h1:389 h2:389/o=CorvidRoot            servers of one directory
 *   ldap://h1:389/o=CorvidRoot ldap://h2:389/o=CorvidRoot
 * The connection uses the first server that answers (setup_ldapurl.h has the
 * exact rules). TLS certificates are checked as OpenLDAP's client
 * configuration says (ldap.conf: TLS_CACERT, TLS_REQCERT ...; the LDAPTLS_*
 * environment variables), "demand" unless it says otherwise; a TLS failure
 * is a connection failure (151, its reason in the install log), never a
 * fallback to plain text.
 *
 * Referrals are followed with the connection's credentials only to a server
 * that url lists, with the same protection (ldaps stays ldaps; with StartTLS
 * required the referral connection starts TLS too). A request referred to
 * any other server fails with the referral code, LDAP_REFERRAL (10);
 * setupGetReferralRefusal names where it pointed. Search continuations are
 * not followed. So a read-only replica that refers writes to its provider is
 * written to through the URL "ldap://replica:389 provider:389/...". */

/* Connects to url and, when user and password are both given, authenticates
 * user (a DN, or a user id looked up with the search identity). On success
 * *handle is the new connection; on failure *handle is null (144 for a null
 * handle or url leaves it untouched). A user with an empty password gives
 * SETUP_LDAP_AUTH_FAILED (146) without a bind. */
int setupCreateLdap(Ldap** handle, const char* url, const char* user, const char* password,
                    const char* searchDN, const char* searchPwd);
void setupDestroyLdap(Ldap* ldap);
/* Process-wide, from this call on: with required non-zero every connection
 * the library opens to an ldap:// server starts TLS (the StartTLS operation)
 * before anything else is sent, and a server that refuses or fails it is no
 * connection (151); nothing goes in the clear. 0 switches it off again (the
 * default). ldaps:// servers always speak TLS. */
void setupRequireStartTLS(int required);
/* Why the last referral met on the connection was not followed: a text that
 * names the referral's URL and says to add its server to the connection's
 * URL. Null when none was refused or ldap is null; it belongs to the handle. */
const char* setupGetReferralRefusal(Ldap* ldap);
const char* setupGetUserDN(Ldap* ldap);
const char* setupGetServerVersion(Ldap* ldap);
/* ldap_modify on the connection; an LDAP result code, 144 for a null
 * connection or DN. */
int setupLdapModify(Ldap* ldap, const char* dn, LDAPMod** mods);
/* Adds suffix to "cvslapd-suffix" of the server's cn=config,cn=ldbm entry;
 * an LDAP result code, 144 for a null argument. */
int setupCreateSuffix(Ldap* ldap, const char* suffix);
/* Whether url can be opened and, when user is given, user authenticated
 * with password (a user without a password gives 146). The connection is
 * closed before returning. */
int setupVerifyLdapUrl(const char* url, const char* user, const char* password);
int setupAuthLdapUser(const char* url, const char* user, const char* password, const char* searchDN,
                      const char* searchPwd);

/* Entries. */

LdapEntry* setupCreateLdapEntry(Ldap* ldap);
void setupDestroyLdapEntry(LdapEntry* entry);
const char* setupGetEntryDN(LdapEntry* entry);
Bool setupEntryExists(LdapEntry* entry, const char* dn);
int setupRetrieveLdapEntry(LdapEntry* entry, const char* dn);
/* scope: 0 base, 1 one level, 2 subtree; a null base is passed on. */
int setupRetrieveLdapEntries(LdapEntry* entry, const char* filter, int scope, const char* base);
int setupNextLdapEntry(LdapEntry* entry);
char** setupGetLdapAttributeNames(LdapEntry* entry);
void setupFreeLdapAttributeNames(LdapEntry* entry, char** names);
char** setupGetLdapAttributes(LdapEntry* entry, const char* name);
void setupFreeLdapAttributes(LdapEntry* entry, char** values);
void setupSetLdapAttribute(LdapEntry* entry, const char* name, const char* value);
void setupAddLdapAttribute(LdapEntry* entry, const char* name, const char* value);
/* Adds the values of a null-terminated array, at most 500. */
void setupAddLdapAttributes(LdapEntry* entry, const char* name, const char** values);
int setupRenameLdapEntry(LdapEntry* entry, const char* dn, const char* newRDN);
int setupReplaceLdapEntry(LdapEntry* entry, const char* dn);
int setupInsertLdapEntry(LdapEntry* entry, const char* dn);
int setupUpdateLdapEntry(LdapEntry* entry, const char* dn);
int setupDropLdapEntry(Ldap* ldap, const char* dn);
int setupDropAllLdapEntries(Ldap* ldap, const char* dn);
/* Writes the attributes in the install-info format; a null file means
 * standard output. */
void setupPrintLdapEntry(LdapEntry* entry, const char* file);

SETUP_END_DECLS

#endif

/*
 * Returns: 0 on success, else one of our codes 144-159 (setup_ldap_codes.h)
 * or an LDAP result code (never negative); setupGuessAdminDomainName returns
 * a malloc'd text or null.
 *
 * Registration of server instances in the configuration directory, the
 * refresh of a product's version data, and the admin domain and access
 * helpers an installer uses around a registration. Usable from C and C++.
 *
 * Rules of these functions:
 *  - A null handle or required text gives SETUP_LDAP_BAD_ARGUMENT (144)
 *    before anything is read or written. The caller keeps every argument.
 *  - Filter values (server root, product, host) are escaped for filters and
 *    every name placed into a DN is escaped for DNs, so a server root
 *    holding '*' or a product "Corvid, Inc. Server" only ever match and name
 *    themselves. Access
 *    values are filled with DNs whose '"' and '\' are escaped, so a DN can
 *    never end a quoted target early. No length limits apply.
 *  - A read or search that fails with anything but "no such object" is an
 *    error that is returned, never taken for a missing entry.
 *  - Writes are not transactional: entries written before a failure stay.
 *    An entry created by setupCreateSIE is written with the member it is
 *    about to get; when that member then cannot be written, the member is
 *    taken out again.
 *  - Waits for a written entry to show test up to 5 times and sleep 5
 *    seconds only between tests, only while the entry does not show yet
 *    (the first test is the next write below it, which finds no parent);
 *    against one server no registration sleeps at all.
 *  - Nothing is written to any stream.
 */
#ifndef CV_SETUP_REGISTER_H
#define CV_SETUP_REGISTER_H

#include "setup_common.h"
#include "setup_ldap_codes.h"

SETUP_BEGIN_DECLS

/*
 * Registers one server instance: the domain's Global Preferences branch, the
 * host entry cn={hostName}, the host's admin group for serverRoot (a new one
 * is "Server Group", then "Server Group (2)", ...; registrations of one
 * server root running at the same time share the group the first of them
 * makes), the product entry
 * cn={product name} and the instance entry cn={server id} below it, each
 * linked to the next by "uniquemember", with their access values. sie must
 * carry objectclass "corvidServer" and "cvServerID"; isie object classes, a
 * product name ("cn" or "cvProductName") and "cvProductVersion". Both are
 * added to and written; on return isie holds the stored product entry. The
 * SIE goes through sie's connection, everything else through isie's.
 *   SETUP_LDAP_INCOMPLETE_ENTRY (148): an empty entry, or isie lacks a part.
 *   SETUP_LDAP_BAD_SERVER_ENTRY (154): sie lacks corvidServer or cvServerID.
 *   SETUP_LDAP_NO_CONFIG_ROOT (149): o=CorvidRoot does not exist.
 *   SETUP_LDAP_NO_ADMIN_DOMAIN (155): the domain is missing, or its Global
 *     Preferences branch cannot be written.
 *   an LDAP code: a read or search failed, or the host, admin group, product
 *     or instance entry could not be written (68 is forgiven for the
 *     Global Preferences branch, the host and the product, and for an admin
 *     group of serverRoot, never for the instance).
 */
int setupCreateSIE(LdapEntry* sie, LdapEntry* isie, const char* hostName, const char* serverRoot,
                   const char* adminDomain);

/*
 * Copies the eight version attributes (cvVendor, cvProductVersion,
 * cvBuildNumber, cvRevisionNumber, cvSerialNumber, cvExpirationDate,
 * cvBuildSecurity, cvLdapSchemaVersion) of source into the registered product
 * entry, removing those source lacks, with a new installationTimeStamp. Other
 * attributes of the product entry keep their values.
 *   0: rewritten, or the host, admin group or product is not registered
 *     (nothing changed then).
 *   SETUP_LDAP_INCOMPLETE_ENTRY (148): source holds no attributes.
 *   SETUP_LDAP_NO_ADMIN_DOMAIN (155): the domain entry cannot be read.
 *   an LDAP code: a read or the rewrite failed otherwise.
 */
int setupUpdateISIEVersionInfo(Ldap* ldap, LdapEntry* source, const char* productName,
                               const char* hostName, const char* serverRoot,
                               const char* adminDomain);

/*
 * Adds to entry's store (not to the directory) the "aci" value that gives
 * the group groupDN all rights on a server's configuration entry.
 *   SETUP_LDAP_BAD_ARGUMENT (144): also for an entry without a connection.
 */
int setupCreateACIForConfigEntry(LdapEntry* entry, const char* groupDN);

/*
 * 0 when the admin domain (a name, or a DN) exists.
 *   SETUP_LDAP_NO_CONFIG_ROOT (149): no o=CorvidRoot (tested first).
 *   SETUP_LDAP_NO_ENTRIES (153): the domain does not exist.
 */
int setupCheckAdminDomain(Ldap* ldap, const char* adminDomain);

/*
 * Tests that the domain (or, with a null adminDomain, the server container
 * ou=CorvidServers) accepts new entries, then creates or refreshes its
 * Global Preferences branch.
 *   SETUP_LDAP_NO_CONFIG_ROOT (149), SETUP_LDAP_NO_ADMIN_DOMAIN (155): the
 *     root, or the domain or container, cannot be read.
 *   an LDAP code: the write probe or the Global Preferences write failed.
 */
int setupInstallFramework(Ldap* ldap, const char* adminDomain);

/*
 * 0 when the bound user may add entries below dn: a probe entry
 * "cn=Delete Me <pid> <n>" is added and deleted again. A name that is taken
 * is never touched: another name is tried. The probe's delete is checked.
 *   an LDAP code: the probe could not be added (50 for a subtree the user
 *     may not write) or not deleted again.
 */
int setupIsSubTreeWritable(Ldap* ldap, const char* dn);

/*
 * The name of the first admin domain below o=CorvidRoot on the server of url
 * (connected as bindUser with password; both may be null), as a malloc'd
 * text the caller frees; null without url, without connection, or without
 * an admin domain. The connection is closed before returning.
 */
char* setupGuessAdminDomainName(const char* url, const char* bindUser, const char* password);

SETUP_END_DECLS

#endif

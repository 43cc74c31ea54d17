/*
 * Returns: 0 when the user directory was read, else one of our codes 144-159
 * or an LDAP result code.
 *
 * User directories in the registry: the one an admin domain names in
 * cn=UserDirectory, ou=Global Preferences, {domain DN} (written and read),
 * and the setting of a server instance or an admin group (read). The getters
 * never write to the directory; bind passwords are never written to any
 * stream or log.
 * Usable from C and C++.
 *
 * The URL is returned in the multi-host form ldap://h1:389 h2:389/base: the
 * stored "cvDirectoryURL" with the hosts of "cvDirectoryFailoverList"
 * inserted before its base part. Texts returned through char** arguments are
 * allocated with malloc; the caller releases each with free.
 */
#ifndef CV_SETUP_USERDIR_H
#define CV_SETUP_USERDIR_H

#include "setup_common.h"
#include "setup_ldap_codes.h"

SETUP_BEGIN_DECLS

/*
 * ldap: an open, bound connection; adminDomain: an admin domain name ("Sales",
 * which stands for ou=Sales, o=CorvidRoot) or DN; bindDN and bindPassword
 * may be null when the caller does not want them. *url, and *bindDN and
 * *bindPassword where given, start as null.
 *   0: success, also when the entry holds no "cvDirectoryURL" (*url null);
 *   SETUP_LDAP_BAD_ARGUMENT (144): ldap, adminDomain or url is null;
 *   SETUP_LDAP_NO_ENTRIES (153): the domain has no global user directory;
 *   an LDAP result code: the read failed otherwise.
 * Nothing is written to any stream or to the directory.
 */
int setupGetGlobalUserDirectory(Ldap* ldap, const char* adminDomain, char** url, char** bindDN,
                                char** bindPassword);

/*
 * Writes the domain's global user directory entry from the multi-host url
 * (stored as "cvDirectoryURL" ldap://h1:389/base and
 * "cvDirectoryFailoverList" "h2:389 ..."), with bindDN and bindPassword when
 * given. url may also be a list of whole URLs (setup_ldapurl.h); the base is
 * everything after the host list, split off exactly where the readers put
 * it back ("ldap://h1 h2/ou=a/b,o=x" keeps the base "ou=a/b,o=x"). An
 * existing entry is never overwritten.
 *   0: written, or the entry existed already (nothing changed then);
 *   SETUP_LDAP_BAD_ARGUMENT (144): ldap, adminDomain or url is null;
 *   SETUP_LDAP_BAD_URL (145): url is no LDAP URL;
 *   an LDAP result code: the read or the insert failed.
 */
int setupAddGlobalUserDirectory(Ldap* ldap, const char* adminDomain, const char* url,
                                const char* bindDN, const char* bindPassword);

/*
 * The user directory of a server instance: its entry cn=configuration,
 * {sieDN}, or the directory-info entry its "cvDirectoryInfoRef" names (at
 * most three reads in all). Outputs as setupGetGlobalUserDirectory.
 *   SETUP_LDAP_NO_ENTRIES (153): an entry is missing, or holds neither URL
 *     nor reference.
 */
int setupGetUserDirectory(Ldap* ldap, const char* sieDN, char** url, char** bindDN,
                          char** bindPassword);

/*
 * The user directory of the admin group of serverRoot on hostName: the group
 * entry itself, or the entry its "cvDirectoryInfoRef" names.
 *   SETUP_LDAP_NO_ENTRIES (153): no such host or admin group, or no setting.
 */
int setupGetLocalUserDirectory(Ldap* ldap, const char* adminDomain, const char* hostName,
                               const char* serverRoot, char** url, char** bindDN,
                               char** bindPassword);

SETUP_END_DECLS

#endif

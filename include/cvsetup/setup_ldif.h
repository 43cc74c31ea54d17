/*
 * Returns: 0 when every record or definition of the file was written; else
 * the code of the first one that was not (an LDAP result code, or one of the
 * library's own codes; 144 for one refused unread), the others still being
 * written. 144 for a null connection or file name, or an LDIF file that
 * cannot be opened or is not a regular file (a schema file: 1). 151 when the
 * server stopped answering (a timeout, a lost connection): the load ends
 * there, and what was in flight and what the file still held is logged as
 * not written. Never negative; 90 when memory ran out.
 *
 * Loading LDIF files (RFC 2849 content records, and change records of type
 * "add") and schema files into a directory server. Every refused record or
 * definition is logged to the install log with its DN or name and the code;
 * nothing is written to standard output. Usable from C and C++.
 */
#ifndef CV_SETUP_LDIF_H
#define CV_SETUP_LDIF_H

#include "setup_common.h"

SETUP_BEGIN_DECLS

/*
 * Loads file below suffix (a record's DN is "dn, suffix"; a record without a
 * DN names suffix itself; a null suffix leaves DNs as written). New entries
 * are added; an existing entry gets the values it lacks (update; values the
 * server takes as equal to ones it holds are skipped) or is overwritten with
 * the record (replace). With a classSuffix, every "cvClassname" value is
 * written as value "@" classSuffix. What is stored is what writing the
 * records one by one in file order stores.
 *
 * Refused, logged and counted: a record that cannot be read whole (see
 * ldifentry.h), one whose DN holds a NUL byte or does not parse, one whose
 * DN with the suffix would not end with the suffix's RDNs, and one that
 * names nothing (no DN, no suffix).
 */
int setupUpdateLdifEntries(Ldap* ldap, const char* suffix, const char* file,
                           const char* classSuffix);
int setupReplaceLdifEntries(Ldap* ldap, const char* suffix, const char* file,
                            const char* classSuffix);

/* Opens its own connection (createLdap's code when that fails), loads file as
 * setupUpdateLdifEntries does, and closes the connection. */
int setupInsertPluginLdifEntries(const char* url, const char* suffix, const char* user,
                                 const char* password, const char* file);

/*
 * Schema files. insertSchemaEntries replaces a definition the server already
 * holds unless the server marks it standard; appendSchemaEntries only adds.
 * A missing schema file gives 1. The server's subschema entry is the one its
 * root DSE names; a server that publishes its configuration as cn=config
 * (OpenLDAP slapd) gets the definitions in an olcSchemaConfig entry of ours,
 * "cn=corvid-setup,cn=schema,cn=config".
 */
int insertSchemaEntries(Ldap* ldap, const char* file);
int appendSchemaEntries(Ldap* ldap, const char* file);
int setupInsertPluginSchemaEntries(const char* url, const char* user, const char* password,
                                   const char* file);

SETUP_END_DECLS

#endif

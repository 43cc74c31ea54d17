/*
 * Returns: setupErrorString gives a static text for any code, never null.
 *
 * The setup library's own directory result codes (144 to 159). Every other
 * non-zero code is an LDAP result code. Usable from C and C++.
 */
#ifndef CV_SETUP_LDAP_CODES_H
#define CV_SETUP_LDAP_CODES_H

#define SETUP_LDAP_BAD_ARGUMENT 144
#define SETUP_LDAP_BAD_URL 145
#define SETUP_LDAP_AUTH_FAILED 146
#define SETUP_LDAP_NO_SUCH_OBJECT 147
#define SETUP_LDAP_INCOMPLETE_ENTRY 148
#define SETUP_LDAP_NO_CONFIG_ROOT 149
#define SETUP_LDAP_ENTRY_MISSING 150
#define SETUP_LDAP_CONNECT_FAILED 151
#define SETUP_LDAP_NO_ENTRIES 153
#define SETUP_LDAP_BAD_SERVER_ENTRY 154
#define SETUP_LDAP_NO_ADMIN_DOMAIN 155
#define SETUP_LDAP_NO_PARENT 159

#include "setup_common.h"

SETUP_BEGIN_DECLS

/* A readable text for any result code: ours (144 to 159), 90 (out of
 * memory, as every function of the library reports it) or an LDAP result
 * code (the LDAP library's text). Static; never null, never freed. */
const char* setupErrorString(int code);

SETUP_END_DECLS

#endif

/*
 * LdapError: result code and readable message of every directory operation.
 * Returned by value; failures are never thrown.
 */
#ifndef CV_LDAPERROR_H
#define CV_LDAPERROR_H

// A class interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include <ostream>

#include "cvstring.h"
#include "setup_ldap_codes.h"

class SETUP_EXPORT LdapError {
public:
    LdapError();
    // Message: setupErrorString(code), ".", then detail.
    LdapError(int code, const char* detail);
    LdapError(const LdapError& other) = default;
    LdapError& operator=(const LdapError& other);
    // Message: setupErrorString(code) alone (no final ".").
    LdapError& operator=(int code);
    // Writes three lines to standard output when code is not 0; the stream
    // argument is accepted for compatibility and not written to.
    LdapError& print(std::ostream& out);

    int code;
    CVString message;
};

// The folding of LDAP result codes that callers must tell apart into the
// library's own codes (the body of Ldap::mapLdapError, which needs no
// connection): client-side failures (81 to 95, and OpenLDAP's negative
// codes) give 151, while 80 (LDAP_OTHER, a server's answer) passes; partial results and unchased
// referrals (9, 10) give 150, 32 gives 147, refused credentials or access (8, 48, 49, 50) give 146;
// everything else, own codes included, passes unchanged.
SETUP_EXPORT int ldapErrorMapCode(int code);

#endif // __cplusplus

#endif

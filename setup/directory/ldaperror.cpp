#include "ldaperror.h"

#include <cstdio>
#include <cstring>
#include <ldap.h>

LdapError::LdapError() : code(0) {}

LdapError::LdapError(int c, const char* detail) : code(c)
{
    const char* text = ldap_err2string(c);
    CVString withDot = CVString(text) + ".";
    if (detail && *detail)
        message = withDot + detail;
    else
        message = withDot;
}

LdapError& LdapError::operator=(const LdapError& other)
{
    if (&other == this)
        return *this;
    code = other.code;
    message = other.message;
    return *this;
}

LdapError& LdapError::operator=(int c)
{
    code = c;
    message = ldap_err2string(c);
    return *this;
}

LdapError& LdapError::print(std::ostream& /*out*/)
{
    if (code == 0)
        return *this;
    const char* text = static_cast<const char*>(message);
    printf("-------- Ldap Error Information --------\n");
    printf(" Error Code:       %d\n", code);
    printf(" Error Message:    %s\n", text ? text : "");
    return *this;
}

int ldapErrorMapCode(int code)
{
    // OpenLDAP reports client-side failures (server down, timeout, connect
    // error, ...) as negative codes instead of 80 to 95; they mean the same.
    if (code < 0)
        return SETUP_LDAP_CONNECT_FAILED;
    if ((code & 0xF0) == 0x50)
        return SETUP_LDAP_CONNECT_FAILED;
    // 10 is the v3 referral the library did not chase: like 9, the entry
    // is not here.
    if (code == 9 || code == 10)
        return SETUP_LDAP_ENTRY_MISSING;
    if (code == 32)
        return SETUP_LDAP_NO_SUCH_OBJECT;
    if (code == 8 || code == 48 || code == 49 || code == 50)
        return SETUP_LDAP_AUTH_FAILED;
    return code;
}

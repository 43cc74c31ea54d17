#include "ldaperror.h"

#include "c_boundary.h"

#include <cstdio>
#include <cstring>
#include <ldap.h>

LdapError::LdapError() : code(0) {}

LdapError::LdapError(int c, const char* detail) : code(c)
{
    const char* text = setupErrorString(c);
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
    message = setupErrorString(c);
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
    // "Could not connect" is every failure the client side made up itself:
    // OpenLDAP's negative codes (server down, timeout, connect error, ...)
    // and the classic API's 81 to 95 for the same. 80 is not among them: it
    // is LDAP_OTHER, an answer the server sent, and passes unchanged so a
    // caller never reports a server's refusal as a lost connection.
    if (code < 0)
        return SETUP_LDAP_CONNECT_FAILED;
    if (code >= 81 && code <= 95)
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

const char* setupErrorString(int code)
{
    switch (code) {
    case SETUP_LDAP_BAD_ARGUMENT:
        return "A required argument is missing";
    case SETUP_LDAP_BAD_URL:
        return "Not a usable LDAP URL (no LDAP scheme, unparsable, or no port)";
    case SETUP_LDAP_AUTH_FAILED:
        return "The server refused the credentials or the access";
    case SETUP_LDAP_NO_SUCH_OBJECT:
        return "The named entry does not exist";
    case SETUP_LDAP_INCOMPLETE_ENTRY:
        return "The entry lacks attributes it needs";
    case SETUP_LDAP_NO_CONFIG_ROOT:
        return "The configuration root entry does not exist";
    case SETUP_LDAP_ENTRY_MISSING:
        return "The entry is not on this server (partial result, referral, or already removed)";
    case SETUP_LDAP_CONNECT_FAILED:
        return "Could not connect to the directory server";
    case SETUP_LDAP_NO_ENTRIES:
        return "No matching entry was found";
    case SETUP_LDAP_BAD_SERVER_ENTRY:
        return "The server instance entry lacks its object class or server identifier";
    case SETUP_LDAP_NO_ADMIN_DOMAIN:
        return "The admin domain entry or the server container cannot be read";
    case SETUP_LDAP_NO_PARENT:
        return "The DN has no parent";
    case kCvNoMemory:
        // The classic API's LDAP_NO_MEMORY, which every function of the
        // library returns for exhausted memory; libldap has no text for it
        // (its own constant is -10).
        return "Out of memory";
    default:
        break;
    }
    if (code >= SETUP_LDAP_BAD_ARGUMENT && code <= SETUP_LDAP_NO_PARENT)
        return "Unknown setup library error";
    return ldap_err2string(code);
}

// Texts the registration removal builds from caller values: the connection
// URL and the port check.

#include <cstring>
#include <new>
#include <string>

#include <cvsetup/setup_ldapurl.h>
#include <cvsetup/setup_util.h>

#include "unregister.h"

namespace {

std::string takeText(char* text)
{
    if (text == nullptr) {
        throw std::bad_alloc();
    }
    std::string copy(text);
    setupFree(text);
    return copy;
}

} // namespace

char* escapeBackslashes(const char* text)
{
    if (text == nullptr) {
        return nullptr;
    }
    size_t length = std::strlen(text);
    char* escaped = new char[2 * length + 2];
    char* q = escaped;
    for (const char* p = text; *p; ++p) {
        if (*p == '\\') {
            *q++ = '\\';
        }
        *q++ = *p;
    }
    *q = '\0';
    return escaped;
}

std::string cvUrlEncodedDN(const char* dn)
{
    return dn != nullptr ? takeText(setupEncodeLdapUrlDN(dn)) : std::string();
}

std::string cvUrlEncodedHost(const char* text)
{
    return text != nullptr ? takeText(setupEncodeLdapUrlHost(text)) : std::string();
}

std::string cvConfigDirectoryUrl(const char* host, const char* port, const char* suffix)
{
    return "ldap://" + cvUrlEncodedHost(host) + ":" + cvUrlEncodedHost(port) + "/" +
           cvUrlEncodedDN(suffix);
}

bool cvIsDecimalPort(const char* text)
{
    if (text == nullptr || *text == '\0') {
        return false;
    }
    long value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9' || p - text >= 5) {
            return false;
        }
        value = value * 10 + (*p - '0');
    }
    return value >= 1 && value <= 65535;
}

// Texts the registration removal builds from caller values: the connection
// URL and the port check.

#include <cstring>
#include <string>

#include "ldap_escape.h"
#include "unregister.h"

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

std::string cvConfigDirectoryUrl(const char* host, const char* port, const char* suffix)
{
    return "ldap://" + cvEncodeUrlHost(host) + ":" + cvEncodeUrlHost(port) + "/" +
           cvEncodeUrlDN(suffix);
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

// Texts the registration removal builds from caller values: the connection
// URL and the port check.

#include <cstring>
#include <string>

#include "ldap_escape.h"
#include "unregister.h"

namespace {

const char kHex[] = "0123456789abcdef";

void appendEscape(std::string& out, char prefix, unsigned char c)
{
    out += prefix;
    out += kHex[c >> 4];
    out += kHex[c & 0x0f];
}

// Host and port are written as given except for octets that would end or
// alter the URL's host part; the URL parser decodes %XX there again.
std::string encodeHostPart(const char* text)
{
    std::string out;
    if (text == nullptr) {
        return out;
    }
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p <= 0x20 || *p >= 0x7f || std::strchr("/?#%", *p) != nullptr) {
            appendEscape(out, '%', *p);
        } else {
            out += static_cast<char>(*p);
        }
    }
    return out;
}

}  // namespace

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
    return "ldap://" + encodeHostPart(host) + ":" + encodeHostPart(port) + "/" +
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

#include "ldap_escape.h"

#include <cstring>

namespace {

const char kHex[] = "0123456789abcdef";

void appendEscape(std::string& out, char prefix, unsigned char c)
{
    out += prefix;
    out += kHex[c >> 4];
    out += kHex[c & 0x0f];
}

bool isUnreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

} // namespace

std::string cvEscapeFilterValue(const char* value)
{
    std::string out;
    if (value == nullptr) {
        return out;
    }
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(value); *p; ++p) {
        // Control characters are legal in a filter; escaping them keeps a
        // diagnostic that quotes the filter on one line.
        if (*p == '*' || *p == '(' || *p == ')' || *p == '\\' || isControl(*p)) {
            appendEscape(out, '\\', *p);
        } else {
            out += static_cast<char>(*p);
        }
    }
    return out;
}

std::string cvEscapeDnValue(const char* value)
{
    std::string out;
    if (value == nullptr) {
        return out;
    }
    const size_t length = std::strlen(value);
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (isControl(c)) {
            appendEscape(out, '\\', c);
        } else if (std::strchr(",+\"\\<>;=", c) != nullptr || (i == 0 && (c == '#' || c == ' ')) ||
                   (i == length - 1 && c == ' ')) {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string cvEncodeUrlDN(const char* dn)
{
    std::string out;
    if (dn == nullptr) {
        return out;
    }
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(dn); *p; ++p) {
        if (isUnreserved(*p) || std::strchr("=,+;", *p) != nullptr) {
            out += static_cast<char>(*p);
        } else {
            appendEscape(out, '%', *p);
        }
    }
    return out;
}

std::string cvEncodeUrlHost(const char* text)
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

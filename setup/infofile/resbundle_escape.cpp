// Escape decoding of bundle texts: \n, \r and \uXXXX (to UTF-8). Other
// backslash pairs are kept as written, since bundle texts often carry
// backslashes meant for a later consumer.
#include "hex_digit.h"
#include "resbundle.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Reads four hex digits at s; -1 unless all four are there.
long four_hex(const char* s)
{
    long code = 0;
    for (int i = 0; i < 4; ++i) {
        int v = cvHexDigitValue(s[i]);
        if (v < 0)
            return -1;
        code = code * 16 + v;
    }
    return code;
}

const unsigned kReplacement = 0xFFFD;

} // namespace

int unicode_to_UTF8(unsigned code, unsigned char* out)
{
    if (!out)
        return 0;
    if (code > 0x10FFFF)
        code = kReplacement;
    int n;
    if (code < 0x80) {
        out[0] = static_cast<unsigned char>(code);
        n = 1;
    } else if (code < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        n = 2;
    } else if (code < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        n = 3;
    } else {
        out[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
        out[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        out[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        n = 4;
    }
    out[n] = '\0';
    return n;
}

char* decode_ascii(const char* text)
{
    if (!text || !*text || !strchr(text, '\\'))
        return nullptr;
    size_t length = strlen(text);
    // Every escape shrinks or keeps its length, so the text's size suffices.
    char* result = static_cast<char*>(malloc(length + 1));
    if (!result)
        return nullptr;
    char* out = result;
    const char* s = text;
    while (*s) {
        if (*s != '\\') {
            *out++ = *s++;
            continue;
        }
        char next = s[1];
        if (next == '\0') { // a lone backslash at the end is dropped
            ++s;
            break;
        }
        if (next == 'n' || next == 'r') {
            *out++ = next == 'n' ? '\n' : '\r';
            s += 2;
            continue;
        }
        if (next != 'u') {
            *out++ = '\\';
            *out++ = next;
            s += 2;
            continue;
        }
        const char* digits = s + 2;
        if (*digits != '\0' && cvHexDigitValue(*digits) < 0) {
            // "\u" without a digit: kept as text rather than becoming a NUL
            // that would cut the value short.
            *out++ = '\\';
            *out++ = 'u';
            s = digits;
            continue;
        }
        unsigned code = 0;
        int count = 0;
        while (count < 4 && cvHexDigitValue(digits[count]) >= 0)
            code = code * 16 + static_cast<unsigned>(cvHexDigitValue(digits[count++]));
        if (digits[count] == '\0' && count < 4) { // cut off by the end
            s = digits + count;
            break;
        }
        s = digits + count;
        if (count == 4 && code >= 0xD800 && code <= 0xDFFF) {
            long low = -1;
            if (code <= 0xDBFF && s[0] == '\\' && s[1] == 'u')
                low = four_hex(s + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<unsigned>(low) - 0xDC00);
                s += 6;
            } else {
                code = kReplacement; // a lone surrogate has no UTF-8 form
            }
        }
        unsigned char bytes[UTF8_MAX_BYTES + 1];
        int n = unicode_to_UTF8(code, bytes);
        memcpy(out, bytes, static_cast<size_t>(n));
        out += n;
        if (count < 4)
            *out++ = *s++; // the character that ended a short escape
    }
    *out = '\0';
    return result;
}

// Base64 (standard alphabet, "=" padding) with the LDIF folding of long
// lines. Decoding is strict: every character of every group is checked, so
// malformed text is refused instead of turning into invented bytes.
#include "setup_compat.h"
#include "setup_hash.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr unsigned char kInvalid = 0xFF;

// Indexed by unsigned char, so bytes with the top bit set land on kInvalid
// instead of reading outside the table. Built at compile time, so callers
// running before static initialisation see it filled.
struct DecodeTable {
    unsigned char value[256];
};

constexpr DecodeTable make_decode_table()
{
    DecodeTable t{};
    for (unsigned i = 0; i < 256; ++i)
        t.value[i] = kInvalid;
    for (unsigned i = 0; i < 64; ++i)
        t.value[static_cast<unsigned char>(kAlphabet[i])] = static_cast<unsigned char>(i);
    return t;
}

constexpr DecodeTable kDecode = make_decode_table();

// Two output characters per 12 input bits: halves the table lookups of the
// unfolded fast path.
struct PairTable {
    char pair[4096][2];
};

constexpr PairTable make_pair_table()
{
    PairTable t{};
    for (unsigned i = 0; i < 4096; ++i) {
        t.pair[i][0] = kAlphabet[i >> 6];
        t.pair[i][1] = kAlphabet[i & 63];
    }
    return t;
}

constexpr PairTable kPairs = make_pair_table();

// Writes one output character, first breaking the line when 77 characters
// are already on it; continuation lines start with one blank.
inline void emit(char*& out, int& column, char c)
{
    if (column >= 0) {
        if (column > 76) {
            *out++ = '\n';
            *out++ = ' ';
            column = 2;
        } else {
            ++column;
        }
    }
    *out++ = c;
}

size_t encoded_chars(unsigned int length)
{
    return 4 * ((static_cast<size_t>(length) + 2) / 3);
}

} // namespace

size_t base64_encoded_size(unsigned int length, int column)
{
    size_t chars = encoded_chars(length);
    size_t breaks = 0;
    if (column >= 0 && chars > 0) {
        size_t first = column >= 77 ? 0 : static_cast<size_t>(77 - column);
        if (chars > first)
            breaks = (chars - first + 75) / 76;
    }
    return chars + 2 * breaks + 1;
}

int base64_encode_sized(const unsigned char* source, char* target, size_t targetSize,
                        unsigned int length, int column)
{
    if (!target || (!source && length > 0))
        return BASE64_INVALID;
    size_t needed = base64_encoded_size(length, column);
    if (needed - 1 > static_cast<size_t>(INT_MAX))
        return BASE64_INVALID;
    if (targetSize < needed)
        return BASE64_TARGET_TOO_SMALL;

    char* out = target;
    unsigned int whole = length - length % 3;
    if (column < 0) {
        for (unsigned int i = 0; i < whole; i += 3) {
            uint32_t v =
                (uint32_t(source[i]) << 16) | (uint32_t(source[i + 1]) << 8) | source[i + 2];
            memcpy(out, kPairs.pair[v >> 12], 2);
            memcpy(out + 2, kPairs.pair[v & 0xFFF], 2);
            out += 4;
        }
    } else {
        for (unsigned int i = 0; i < whole; i += 3) {
            uint32_t v =
                (uint32_t(source[i]) << 16) | (uint32_t(source[i + 1]) << 8) | source[i + 2];
            emit(out, column, kAlphabet[v >> 18]);
            emit(out, column, kAlphabet[(v >> 12) & 63]);
            emit(out, column, kAlphabet[(v >> 6) & 63]);
            emit(out, column, kAlphabet[v & 63]);
        }
    }
    unsigned int rest = length - whole;
    if (rest > 0) {
        uint32_t v = uint32_t(source[whole]) << 16;
        if (rest == 2)
            v |= uint32_t(source[whole + 1]) << 8;
        emit(out, column, kAlphabet[v >> 18]);
        emit(out, column, kAlphabet[(v >> 12) & 63]);
        emit(out, column, rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
        emit(out, column, '=');
    }
    *out = '\0';
    return static_cast<int>(out - target);
}

int base64_encode(const unsigned char* source, char* target, unsigned int length, int column)
{
    return base64_encode_sized(source, target, SIZE_MAX, length, column);
}

size_t base64_decoded_size(const char* source)
{
    if (!source)
        return 0;
    return 3 * ((strlen(source) + 3) / 4);
}

int base64_decode_sized(const char* source, unsigned char* target, size_t targetSize)
{
    if (!source || !target)
        return BASE64_INVALID;
    size_t length = strlen(source);
    if (length % 4 != 0 || length / 4 * 3 > static_cast<size_t>(INT_MAX))
        return BASE64_INVALID;

    const unsigned char* in = reinterpret_cast<const unsigned char*>(source);
    const unsigned char* end = in + length;
    size_t written = 0;
    for (; in < end; in += 4) {
        unsigned char a = kDecode.value[in[0]], b = kDecode.value[in[1]];
        unsigned char c = kDecode.value[in[2]], d = kDecode.value[in[3]];
        if (((a | b | c | d) & 0x80) == 0) {
            if (targetSize - written < 3)
                return BASE64_TARGET_TOO_SMALL;
            uint32_t v = (uint32_t(a) << 18) | (uint32_t(b) << 12) | (uint32_t(c) << 6) | d;
            target[written] = static_cast<unsigned char>(v >> 16);
            target[written + 1] = static_cast<unsigned char>(v >> 8);
            target[written + 2] = static_cast<unsigned char>(v);
            written += 3;
            continue;
        }
        // Only the last group may carry padding, and only as "x=" or "==".
        if (in + 4 != end || ((a | b) & 0x80) != 0 || in[3] != '=')
            return BASE64_INVALID;
        size_t bytes;
        if (in[2] == '=')
            bytes = 1;
        else if ((c & 0x80) == 0)
            bytes = 2;
        else
            return BASE64_INVALID;
        if (targetSize - written < bytes)
            return BASE64_TARGET_TOO_SMALL;
        uint32_t v =
            (uint32_t(a) << 18) | (uint32_t(b) << 12) | (bytes == 2 ? uint32_t(c) << 6 : 0);
        target[written] = static_cast<unsigned char>(v >> 16);
        if (bytes == 2)
            target[written + 1] = static_cast<unsigned char>(v >> 8);
        written += bytes;
    }
    return static_cast<int>(written);
}

int base64_decode(const char* source, unsigned char* target)
{
    return base64_decode_sized(source, target, SIZE_MAX);
}

extern "C" {

int setupBase64_Encode(const unsigned char* source, char* target, unsigned int length, int column)
{
    return base64_encode(source, target, length, column);
}

int setupBase64_EncodeSized(const unsigned char* source, char* target, size_t targetSize,
                            unsigned int length, int column)
{
    return base64_encode_sized(source, target, targetSize, length, column);
}

size_t setupBase64_EncodedSize(unsigned int length, int column)
{
    return base64_encoded_size(length, column);
}

int setupBase64_decode(const char* source, unsigned char* target)
{
    return base64_decode(source, target);
}

int setupBase64_DecodeSized(const char* source, unsigned char* target, size_t targetSize)
{
    return base64_decode_sized(source, target, targetSize);
}

size_t setupBase64_DecodedSize(const char* source)
{
    return base64_decoded_size(source);
}

} // extern "C"

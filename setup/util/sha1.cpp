// SHA-1 (FIPS 180-1). Bytes are packed one at a time into the big-endian
// message words of the block; a full block is compressed at once.
#include "sha1.h"

#include <string.h>

namespace {

inline uint32_t rotl(uint32_t x, unsigned n)
{
    return (x << n) | (x >> (32 - n));
}

void compress(sha1_context* ctx)
{
    uint32_t* w = ctx->block;
    for (unsigned t = 16; t < 80; ++t)
        w[t] = rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

    uint32_t a = ctx->state[0], b = ctx->state[1], c = ctx->state[2];
    uint32_t d = ctx->state[3], e = ctx->state[4];
    for (unsigned t = 0; t < 80; ++t) {
        uint32_t f, k;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        uint32_t temp = rotl(a, 5) + f + e + w[t] + k;
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = temp;
    }
    ctx->state[0] += a;
    ctx->state[1] += b;
    ctx->state[2] += c;
    ctx->state[3] += d;
    ctx->state[4] += e;
    memset(ctx->block, 0, 16 * sizeof(uint32_t));
    ctx->blockBytes = 0;
}

// Adds one byte to the block without counting it in the message length;
// padding goes through here too.
inline void put_byte(sha1_context* ctx, unsigned char byte)
{
    unsigned i = ctx->blockBytes;
    ctx->block[i >> 2] |= static_cast<uint32_t>(byte) << (24 - 8 * (i & 3));
    if (++ctx->blockBytes == 64)
        compress(ctx);
}

} // namespace

void sha1_init(sha1_context* ctx)
{
    if (!ctx)
        return;
    ctx->state[0] = 0x67452301u;
    ctx->state[1] = 0xEFCDAB89u;
    ctx->state[2] = 0x98BADCFEu;
    ctx->state[3] = 0x10325476u;
    ctx->state[4] = 0xC3D2E1F0u;
    memset(ctx->block, 0, sizeof ctx->block);
    ctx->blockBytes = 0;
    ctx->bitsHigh = 0;
    ctx->bitsLow = 0;
}

void sha1_update(sha1_context* ctx, const unsigned char* bytes, unsigned int count)
{
    if (!ctx || !bytes)
        return;
    for (unsigned int n = 0; n < count; ++n) {
        put_byte(ctx, bytes[n]);
        ctx->bitsLow += 8;
        if (ctx->bitsLow < 8) // wrapped
            ++ctx->bitsHigh;
    }
}

int sha1_final(sha1_context* ctx, unsigned char* digest, unsigned int* digestLength,
               unsigned int maxDigestLen)
{
    // A short digest buffer is refused rather than overrun.
    if (!ctx || !digest || !(maxDigestLen >= SHA1_LENGTH))
        return 1;
    uint32_t high = ctx->bitsHigh, low = ctx->bitsLow;
    put_byte(ctx, 0x80);
    while (ctx->blockBytes != 56)
        put_byte(ctx, 0);
    for (int shift = 24; shift >= 0; shift -= 8)
        put_byte(ctx, static_cast<unsigned char>(high >> shift));
    for (int shift = 24; shift >= 0; shift -= 8)
        put_byte(ctx, static_cast<unsigned char>(low >> shift));
    for (unsigned i = 0; i < 5; ++i) {
        digest[4 * i] = static_cast<unsigned char>(ctx->state[i] >> 24);
        digest[4 * i + 1] = static_cast<unsigned char>(ctx->state[i] >> 16);
        digest[4 * i + 2] = static_cast<unsigned char>(ctx->state[i] >> 8);
        digest[4 * i + 3] = static_cast<unsigned char>(ctx->state[i]);
    }
    if (digestLength)
        *digestLength = SHA1_LENGTH;
    sha1_init(ctx);
    return 0;
}

int sha1_digest(unsigned char* digest, const unsigned char* bytes, unsigned int count)
{
    if (!digest || !bytes || count == 0)
        return 1;
    sha1_context ctx;
    unsigned int length = 0;
    sha1_init(&ctx);
    sha1_update(&ctx, bytes, count);
    return sha1_final(&ctx, digest, &length, SHA1_LENGTH);
}

int sha1_digest_text(unsigned char* digest, const char* text)
{
    if (!digest || !text)
        return 1;
    size_t length = strlen(text);
    if (length > 0xFFFFFFFFu)
        return 1;
    return sha1_digest(digest, reinterpret_cast<const unsigned char*>(text),
                       static_cast<unsigned int>(length));
}

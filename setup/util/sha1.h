/*
 * SHA-1 message digest (FIPS 180-1), used for the stored password form.
 * Usable from C and C++.
 */
#ifndef CV_SETUP_SHA1_H
#define CV_SETUP_SHA1_H

#include "setup_common.h"
#include <stdint.h>

#define SHA1_LENGTH 20

typedef struct sha1_context {
    uint32_t state[5];   /* chaining words */
    uint32_t block[80];  /* 16 message words (big-endian), then the schedule */
    unsigned blockBytes; /* bytes in the current block, 0..63 */
    uint32_t bitsHigh;   /* message length in bits, high half */
    uint32_t bitsLow;    /* message length in bits, low half */
} sha1_context;

/* Internal to the library: C linkage, but not SETUP_BEGIN_DECLS, which
 * would publish these names from the shared library. */
#ifdef __cplusplus
extern "C" {
#endif

void sha1_init(sha1_context* ctx);
void sha1_update(sha1_context* ctx, const unsigned char* bytes, unsigned int count);
/* Writes the 20-byte digest and re-initialises ctx. Returns 0, or 1 without
 * touching digest when an argument is null or maxDigestLen is below
 * SHA1_LENGTH. */
int sha1_final(sha1_context* ctx, unsigned char* digest, unsigned int* digestLength,
               unsigned int maxDigestLen);
/* 0 after writing SHA1_LENGTH bytes to digest; 1 when digest or bytes is null
 * or count is 0. */
int sha1_digest(unsigned char* digest, const unsigned char* bytes, unsigned int count);
/* sha1_digest over the characters of text without its NUL; 1 for a null
 * argument or an empty text. */
int sha1_digest_text(unsigned char* digest, const char* text);

#ifdef __cplusplus
}
#endif

#endif

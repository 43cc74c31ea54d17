/*
 * Returns: the coder gives the byte count written, or a negative BASE64_*
 * value; the comparison 0 for a match; hashed passwords a new text or null.
 *
 * Password hashing (the stored form: Base64 of the SHA-1 digest, no salt, no
 * scheme tag) and the Base64 coder with optional LDIF line folding.
 * Usable from C and C++. The unprefixed names (sha1_pw_enc, base64_encode
 * ...) are in setup_compat.h.
 *
 * Buffer-size contract
 *   setupBase64_Encode(source, target, length, column) writes exactly
 *   setupBase64_EncodedSize(length, column) bytes to target, its NUL
 *   included; target must hold at least that many.
 *   setupBase64_decode(source, target) writes at most
 *   setupBase64_DecodedSize(source) bytes (three per group of four
 *   characters); target must hold that many.
 *   The Sized variants take the target's size and refuse with
 *   BASE64_TARGET_TOO_SMALL instead of writing past it.
 *   After a failed decode the target's bytes are unspecified (but nothing
 *   beyond the contract is written).
 */
#ifndef CV_SETUP_HASH_H
#define CV_SETUP_HASH_H

#include "setup_common.h"
#include <stddef.h>

/* Characters of the stored password form, and its allocation with the NUL. */
#define SETUP_SHA1_PW_LENGTH 28
#define SETUP_SHA1_PW_SIZE 29

/* Failure values of the Base64 coder. */
#define BASE64_INVALID (-1)
#define BASE64_TARGET_TOO_SMALL (-2)

SETUP_BEGIN_DECLS

/* The stored form of password as a new 29-byte text released with setupFree;
 * null for a null or empty password or when memory runs out. */
char* setupSHA1_pw_enc(const char* password);

/* 0 when password hashes to stored. 1 for a null or empty password, a null
 * stored text or one of 30 or more characters, or one that does not decode to
 * exactly 20 bytes; otherwise the memcmp of the two digests. */
int setupSHA1_pw_cmp(const char* password, const char* stored);

/* Encodes length bytes with "=" padding and a NUL; returns the characters
 * written (line breaks and blanks included, NUL excluded), or BASE64_INVALID
 * for a null target, a null source with a non-zero length, or an output too
 * long for an int. column: characters already on the output line; a negative
 * value turns folding off. Folded lines continue with "\n ". */
int setupBase64_Encode(const unsigned char* source, char* target, unsigned int length, int column);
int setupBase64_EncodeSized(const unsigned char* source, char* target, size_t targetSize,
                            unsigned int length, int column);

/* Bytes setupBase64_Encode writes, its NUL included. */
size_t setupBase64_EncodedSize(unsigned int length, int column);

/* Decodes the NUL-terminated source and returns the bytes written (no NUL is
 * added), 0 for an empty source, or BASE64_INVALID: a null argument, a length
 * that is not a multiple of four, a character outside the alphabet, or "="
 * anywhere but as the padding ("x=" or "==") that ends the last group. */
int setupBase64_decode(const char* source, unsigned char* target);
int setupBase64_DecodeSized(const char* source, unsigned char* target, size_t targetSize);

/* Room setupBase64_decode needs for source: three bytes per group of four
 * characters (a partial group counts as a whole one); 0 for null. */
size_t setupBase64_DecodedSize(const char* source);

SETUP_END_DECLS

#endif

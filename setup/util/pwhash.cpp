// The stored password form: Base64 of the SHA-1 digest of the password's
// bytes, without salt or scheme tag, always 28 characters.
#include "setup_compat.h"
#include "setup_hash.h"
#include "sha1.h"

#include <stdlib.h>
#include <string.h>

char* sha1_pw_enc(const char* password)
{
    unsigned char digest[SHA1_LENGTH];
    if (!password || !*password || sha1_digest_text(digest, password) != 0)
        return nullptr;
    // Released by the caller with setupFree, which is free().
    char* stored = static_cast<char*>(malloc(SETUP_SHA1_PW_SIZE));
    if (!stored)
        return nullptr;
    if (base64_encode_sized(digest, stored, SETUP_SHA1_PW_SIZE, SHA1_LENGTH, -1) !=
        SETUP_SHA1_PW_LENGTH) {
        free(stored);
        return nullptr;
    }
    return stored;
}

int sha1_pw_cmp(const char* password, const char* stored)
{
    if (!password || !*password || !stored)
        return 1;
    if (strnlen(stored, 30) >= 30)
        return 1;
    // 29 characters at most: seven groups, 21 bytes.
    unsigned char decoded[24];
    if (base64_decode_sized(stored, decoded, sizeof decoded) != SHA1_LENGTH)
        return 1;
    unsigned char digest[SHA1_LENGTH];
    if (sha1_digest_text(digest, password) != 0)
        return 1;
    return memcmp(digest, decoded, SHA1_LENGTH);
}

extern "C" {

char* setupSHA1_pw_enc(const char* password)
{
    return sha1_pw_enc(password);
}

int setupSHA1_pw_cmp(const char* password, const char* stored)
{
    return sha1_pw_cmp(password, stored);
}

} // extern "C"

/* Compiled as C: the plain interface links under its unmangled names. */
#include <stdlib.h>
#include <string.h>

#include "setup_compat.h"
#include "setup_hash.h"

int hash_c_api_round_trip(void)
{
    char* stored = setupSHA1_pw_enc("abc");
    int ok = stored != NULL && strcmp(stored, "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=") == 0 &&
             setupSHA1_pw_cmp("abc", stored) == 0 && sha1_pw_cmp("abd", stored) != 0;
    free(stored);

    char text[16];
    unsigned char back[8];
    ok = ok && setupBase64_EncodedSize(3, -1) == 5 &&
         setupBase64_Encode((const unsigned char*)"Man", text, 3, -1) == 4 &&
         strcmp(text, "TWFu") == 0 && base64_decoded_size(text) == 3 &&
         setupBase64_decode(text, back) == 3 && memcmp(back, "Man", 3) == 0 &&
         base64_decode_sized("QUJ", back, sizeof back) == BASE64_INVALID;
    return ok;
}

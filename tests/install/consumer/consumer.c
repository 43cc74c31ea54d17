/* A consumer of the installed library: a Base64 round trip and an inf value
 * written and read back, through the umbrella header only. Prints one line
 * per check and exits 0 when all hold. Argument: a scratch directory. */
#include <stdio.h>
#include <string.h>

#include <cvsetup/cvsetup.h>

int main(int argc, char** argv)
{
    const char* text = "cn=Directory Manager\001\377";
    char coded[64];
    unsigned char plain[64];
    char path[4096];
    char* port;
    int length;
    int ok;

    if (argc != 2)
        return 2;
    length = setupBase64_Encode((const unsigned char*)text, coded, (unsigned int)strlen(text), -1);
    ok = length == 32 && setupBase64_decode(coded, plain) == (int)strlen(text) &&
         memcmp(plain, text, strlen(text)) == 0;
    printf("base64 %s %s\n", coded, ok ? "round trip" : "MISMATCH");
    if (!ok)
        return 1;

    snprintf(path, sizeof path, "%s/consumer.inf", argv[1]);
    if (!setupWriteInfString("slapd", "ServerPort", "3389", path) ||
        !setupWriteInfInt("slapd", "Workers", 8, path))
        return 1;
    port = setupGetInfString("slapd", "ServerPort", NULL, path);
    ok = port != NULL && strcmp(port, "3389") == 0 && setupGetInfInt("slapd", "Workers", -1, path) == 8;
    printf("inf ServerPort=%s %s\n", port != NULL ? port : "(none)", ok ? "read back" : "MISMATCH");
    setupFree(port);
    return ok ? 0 : 1;
}

/* An installer program written in C, built only from the installed tree
 * (pkg-config cvsetup): a Base64 round trip, then one inf value written and
 * read back. Prints what it found; the test compares the lines. */
#include <cvsetup/cvsetup.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    const char* text = "cn=Directory Manager";
    char coded[64];
    unsigned char plain[64];
    char* port;
    int n;

    if (argc != 2)
        return 2;
    if (setupBase64_Encode((const unsigned char*)text, coded, (unsigned int)strlen(text), -1) < 0)
        return 1;
    n = setupBase64_decode(coded, plain);
    printf("%s -> %.*s\n", coded, n < 0 ? 0 : n, (const char*)plain);

    if (!setupWriteInfString("slapd", "ServerPort", "389", argv[1]))
        return 1;
    port = setupGetInfString("slapd", "ServerPort", NULL, argv[1]);
    printf("ServerPort=%s\n", port ? port : "(none)");
    setupFree(port);
    return 0;
}

/* Calls one function of each area through the shared library, as an
 * installer program written in C would, and checks the answers. */
#include <cvsetup/cvsetup.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

static void check(int ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "FAILED: %s\n", what);
        failures++;
    }
}

int main(void)
{
    Ldap* handle = (Ldap*)&failures; /* must stay untouched */
    char* stored;
    char list[] = "a,b";
    char* grown;

    check(setupCreateLdap(&handle, NULL, NULL, NULL, NULL, NULL) == SETUP_LDAP_BAD_ARGUMENT,
          "null url gives 144");
    check(handle == (Ldap*)&failures, "handle untouched on a refused call");
    check(createLdapEntry(NULL) == NULL, "short name answers null for a null connection");
    check(removeSIE(NULL, "cn=x", 0) == SETUP_LDAP_BAD_ARGUMENT, "removeSIE refuses null");
    check(strcmp(DEFAULT_ROOT_DN, "o=CorvidRoot") == 0, "root DN constant");
    check(strcmp(LDAP_PATHSEP, ", ") == 0, "path separator constant");

    stored = setupSHA1_pw_enc("abc");
    check(stored != NULL && strcmp(stored, "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=") == 0,
          "stored form of abc");
    check(stored != NULL && setupSHA1_pw_cmp("abc", stored) == 0,
          "password matches its stored form");
    setupFree(stored);

    grown = setupAddNameToList(list, "c");
    check(grown != NULL && strcmp(grown, "a,b,c") == 0, "name list grows");
    setupFree(grown);
    check(setupIsAsciiBuffer("plain") == 1, "ascii test");

    if (failures == 0)
        printf("1 passed, 0 failed\n");
    return failures == 0 ? 0 : 1;
}

/* The plain-function directory interface as a C program sees it: compiled
 * as C, linked against the library. Each check returns 0 when it holds, or
 * the line of the first expectation that failed. */
#include <stdlib.h>
#include <string.h>

#include "setup_compat.h"
#include "setup_ldap.h"
#include "setup_registry_consts.h"
#include "setup_userdir.h"

#include "c_api_checks.h"

#define EXPECT(cond)                                                                               \
    do {                                                                                           \
        if (!(cond))                                                                               \
            return __LINE__;                                                                       \
    } while (0)

int capi_null_arguments(void)
{
    Ldap* untouched = (Ldap*)&untouched;
    const char* names[] = {NULL};
    EXPECT(setupCreateLdap(NULL, "ldap://127.0.0.1:1/", NULL, NULL, NULL, NULL) ==
           SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(setupCreateLdap(&untouched, NULL, NULL, NULL, NULL, NULL) == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(untouched == (Ldap*)&untouched);
    setupDestroyLdap(NULL);
    EXPECT(setupGetUserDN(NULL) == NULL);
    EXPECT(setupGetServerVersion(NULL) == NULL);
    EXPECT(setupLdapModify(NULL, "cn=x", NULL) == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(setupCreateSuffix(NULL, "o=x") == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(setupCreateLdapEntry(NULL) == NULL);
    setupDestroyLdapEntry(NULL);
    EXPECT(setupGetEntryDN(NULL) == NULL);
    EXPECT(setupEntryExists(NULL, "o=x") == 0);
    EXPECT(setupRetrieveLdapEntry(NULL, "o=x") == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(setupRetrieveLdapEntries(NULL, "(cn=*)", 2, "o=x") == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(setupNextLdapEntry(NULL) == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(setupGetLdapAttributeNames(NULL) == NULL);
    setupFreeLdapAttributeNames(NULL, NULL);
    EXPECT(setupGetLdapAttributes(NULL, "cn") == NULL);
    setupFreeLdapAttributes(NULL, NULL);
    setupSetLdapAttribute(NULL, "cn", "x");
    setupAddLdapAttribute(NULL, "cn", "x");
    setupAddLdapAttributes(NULL, "cn", names);
    EXPECT(setupRenameLdapEntry(NULL, "cn=a", "cn=b") == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(setupReplaceLdapEntry(NULL, "cn=a") == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(setupInsertLdapEntry(NULL, "cn=a") == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(setupUpdateLdapEntry(NULL, "cn=a") == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(setupDropLdapEntry(NULL, "cn=a") == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(setupDropAllLdapEntries(NULL, "cn=a") == SETUP_LDAP_BAD_ARGUMENT);
    setupPrintLdapEntry(NULL, NULL);
    EXPECT(getGlobalUserDirectory(NULL, "x", NULL, NULL, NULL) == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(strcmp(DEFAULT_ROOT_DN, "o=CorvidRoot") == 0);
    EXPECT(strcmp(LDAP_PATHSEP, ", ") == 0);
    return 0;
}

int capi_connections(const char* url, const char* deadUrl, const char* rootDN, const char* rootPw)
{
    Ldap* ldap = (Ldap*)&ldap;
    EXPECT(setupCreateLdap(&ldap, deadUrl, NULL, NULL, NULL, NULL) == SETUP_LDAP_CONNECT_FAILED);
    EXPECT(ldap == NULL);
    EXPECT(setupVerifyLdapUrl(url, NULL, NULL) == 0);
    EXPECT(setupVerifyLdapUrl("ldap://127.0.0.1:0/", NULL, NULL) == SETUP_LDAP_BAD_URL);
    EXPECT(setupVerifyLdapUrl(url, rootDN, rootPw) == 0);
    EXPECT(setupVerifyLdapUrl(url, rootDN, "wrong") == SETUP_LDAP_AUTH_FAILED);
    EXPECT(setupVerifyLdapUrl(url, rootDN, "") == SETUP_LDAP_AUTH_FAILED);
    EXPECT(setupVerifyLdapUrl(url, rootDN, NULL) == SETUP_LDAP_AUTH_FAILED);
    EXPECT(setupAuthLdapUser(url, "alice", "alice-pw", NULL, NULL) == 0);
    EXPECT(setupAuthLdapUser(url, "alice", "", NULL, NULL) == SETUP_LDAP_AUTH_FAILED);
    EXPECT(setupAuthLdapUser(url, "*", "alice-pw", NULL, NULL) == SETUP_LDAP_NO_ENTRIES);
    EXPECT(verifyLdapUrl(url, NULL, NULL) == 0);
    EXPECT(authLdapUser(url, "alice", "wrong", NULL, NULL) == SETUP_LDAP_AUTH_FAILED);

    EXPECT(createLdap(&ldap, url, "alice", "alice-pw", NULL, NULL) == 0);
    EXPECT(ldap != NULL);
    EXPECT(strcmp(setupGetUserDN(ldap), "uid=alice,ou=People,o=CorvidRoot") == 0);
    EXPECT(strcmp(userDN(ldap), setupGetUserDN(ldap)) == 0);
    EXPECT(strcmp(setupGetServerVersion(ldap), "4.0") == 0);
    EXPECT(strcmp(ldapServerVersion(ldap), "4.0") == 0);
    EXPECT(setupLdapModify(ldap, NULL, NULL) == SETUP_LDAP_BAD_ARGUMENT);
    destroyLdap(ldap);
    return 0;
}

static int countValues(char** values)
{
    int n = 0;
    while (values && values[n])
        ++n;
    return n;
}

int capi_entries(const char* url, const char* rootDN, const char* rootPw, const char* base)
{
    Ldap* ldap = NULL;
    LdapEntry* entry;
    LdapEntry* reader;
    char** names;
    char** values;
    const char* many[] = {"one", "two", "ONE", NULL};
    const char* empty[] = {NULL};
    char dn[256];
    char child[256];

    EXPECT(setupCreateLdap(&ldap, url, rootDN, rootPw, NULL, NULL) == 0);
    entry = setupCreateLdapEntry(ldap);
    EXPECT(entry != NULL);
    EXPECT(setupNextLdapEntry(entry) == SETUP_LDAP_NO_ENTRIES);
    EXPECT(setupGetEntryDN(entry) == NULL);
    EXPECT(setupGetLdapAttributeNames(entry) == NULL);
    EXPECT(setupInsertLdapEntry(entry, "cn=x, o=CorvidRoot") == SETUP_LDAP_INCOMPLETE_ENTRY);

    strcpy(dn, "cn=capi, ");
    strcat(dn, base);
    setupSetLdapAttribute(entry, "objectclass", "cvTestEntry");
    setupAddLdapAttribute(entry, "cn", "capi");
    setupAddLdapAttributes(entry, "description", many);
    setupAddLdapAttributes(entry, "seeAlso", empty);
    setupSetLdapAttribute(entry, "cn", NULL);
    EXPECT(setupInsertLdapEntry(entry, dn) == 0);
    EXPECT(strcmp(setupGetEntryDN(entry), dn) == 0);
    EXPECT(setupInsertLdapEntry(entry, dn) == 68);
    EXPECT(setupEntryExists(entry, dn) == 1);
    EXPECT(entryExists(entry, "cn=none, o=CorvidRoot") == 0);

    reader = createLdapEntry(ldap);
    EXPECT(setupRetrieveLdapEntry(reader, dn) == 0);
    values = setupGetLdapAttributes(reader, "description");
    EXPECT(countValues(values) == 2);
    EXPECT(strcmp(values[0], "one") == 0 && strcmp(values[1], "two") == 0);
    setupFreeLdapAttributes(reader, values);
    EXPECT(getLdapAttributes(reader, "seeAlso") == NULL);
    names = getLdapAttributeNames(reader);
    EXPECT(countValues(names) == 3);
    freeLdapAttributeNames(reader, names);
    setupFreeLdapAttributes(reader, NULL);

    strcpy(child, "cn=kid, ");
    strcat(child, dn);
    setLdapAttribute(entry, "cn", "kid");
    EXPECT(insertLdapEntry(entry, child) == 0);
    EXPECT(setupRetrieveLdapEntries(reader, "(objectclass=cvTestEntry)", 2, base) == 0);
    EXPECT(setupNextLdapEntry(reader) == 0);
    EXPECT(nextLdapEntry(reader) == SETUP_LDAP_NO_ENTRIES);
    EXPECT(retrieveLdapEntries(reader, "(cn=kid)", 2, NULL) == SETUP_LDAP_NO_ENTRIES);
    EXPECT(retrieveLdapEntry(reader, child) == 0);
    EXPECT(strcmp(entryDN(reader), "cn=kid,cn=capi,ou=CApi,o=CorvidRoot") == 0);

    setupSetLdapAttribute(entry, "description", "three");
    EXPECT(setupUpdateLdapEntry(entry, dn) == 0);
    EXPECT(updateLdapEntry(entry, "cn=none, o=CorvidRoot") == SETUP_LDAP_NO_ENTRIES);
    EXPECT(setupReplaceLdapEntry(entry, child) == 0);
    EXPECT(replaceLdapEntry(entry, "cn=none, o=CorvidRoot") == SETUP_LDAP_NO_ENTRIES);
    EXPECT(setupRenameLdapEntry(entry, child, NULL) == SETUP_LDAP_BAD_ARGUMENT);
    EXPECT(renameLdapEntry(entry, child, "cn=kid2") == 0);
    setupPrintLdapEntry(entry, NULL);
    printLdapEntry(entry, NULL);

    EXPECT(setupCreateSuffix(ldap, "o=NewSuffix") == 0);
    EXPECT(setupCreateSuffix(ldap, NULL) == SETUP_LDAP_BAD_ARGUMENT);

    destroyLdapEntry(reader);
    setupDestroyLdapEntry(entry);
    EXPECT(setupDropLdapEntry(ldap, dn) == 66);
    EXPECT(setupDropAllLdapEntries(ldap, dn) == 0);
    EXPECT(dropAllLdapEntries(ldap, dn) == 32);
    EXPECT(dropLdapEntry(ldap, dn) == 32);
    setupDestroyLdap(ldap);
    return 0;
}

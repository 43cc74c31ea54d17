/* Registration and user directories called from C, on the handles of the
 * C directory interface: the headers compile as C and the functions carry
 * their plain names. */
#include <stdlib.h>

#include "setup_compat.h"
#include "setup_ldap.h"
#include "setup_register.h"
#include "setup_userdir.h"

/* Registers one instance through the C handles; the setupCreateSIE result. */
int cv_register_from_c(const char* url, const char* bindDN, const char* password, const char* host,
                       const char* root)
{
    Ldap* ldap = NULL;
    int code = setupCreateLdap(&ldap, url, bindDN, password, NULL, NULL);
    if (code != 0)
        return code;
    LdapEntry* sie = setupCreateLdapEntry(ldap);
    LdapEntry* isie = setupCreateLdapEntry(ldap);
    setupAddLdapAttribute(sie, "objectclass", "corvidServer");
    setupSetLdapAttribute(sie, "cvServerID", "slapd-c");
    setupSetLdapAttribute(sie, "serverRoot", root);
    setupAddLdapAttribute(isie, "objectclass", "top");
    setupSetLdapAttribute(isie, "cvProductName", "C Product");
    setupSetLdapAttribute(isie, "cvProductVersion", "1.0");
    code = createSIE(sie, isie, host, root, "example.com");
    setupDestroyLdapEntry(sie);
    setupDestroyLdapEntry(isie);
    setupDestroyLdap(ldap);
    return code;
}

int cv_register_null_results(int results[8])
{
    char* url = NULL;
    results[0] = setupCreateSIE(NULL, NULL, "h", "/r", "d");
    results[1] = updateISIEVersionInfo(NULL, NULL, "p", "h", "/r", "d");
    results[2] = createACIForConfigEntry(NULL, "cn=g");
    results[3] = checkAdminDomain(NULL, "d");
    results[4] = isSubTreeWritable(NULL, "o=CorvidRoot");
    results[5] = addGlobalUserDirectory(NULL, "d", "ldap://h:389/o=x", NULL, NULL);
    results[6] = getUserDirectory(NULL, "cn=x", &url, NULL, NULL);
    results[7] = getLocalUserDirectory(NULL, "d", "h", "/r", &url, NULL, NULL);
    return guessAdminDomainName(NULL, NULL, NULL) == NULL ? 8 : -1;
}

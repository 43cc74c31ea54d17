// Refresh of a registered product entry's version attributes.
#include "setup_register.h"

#include <string>

#include "c_boundary.h"
#include "cvldap.h"
#include "ldapentry.h"
#include "register_internal.h"
#include "setup_compat.h"
#include "setup_registry_consts.h"

namespace {

const char* const kVersionAttributes[] = {
    "cvVendor",       "cvProductVersion", "cvBuildNumber",   "cvRevisionNumber",
    "cvSerialNumber", "cvExpirationDate", "cvBuildSecurity", "cvLdapSchemaVersion",
};

// A missing level of the path (153) means "not registered": nothing to do.
int missingIsDone(int code)
{
    return code == SETUP_LDAP_NO_ENTRIES ? 0 : code;
}

int updateVersionChecked(Ldap* ldap, LdapEntry* source, const char* productName,
                         const char* hostName, const char* serverRoot, const char* adminDomain)
{
    char** names = source->getAttributeNames();
    if (!names)
        return SETUP_LDAP_INCOMPLETE_ENTRY;
    NVPair::freeListItems(names);

    std::string domainDN = cvAdminDomainDN(adminDomain);
    LdapEntry entry(ldap);
    int code = cvRead(entry, domainDN);
    if (code == SETUP_LDAP_NO_ENTRIES)
        return SETUP_LDAP_NO_ADMIN_DOMAIN;
    if (code != 0)
        return code;
    std::string hostDN = cvChildDN("cn", hostName, domainDN);
    if ((code = cvRead(entry, hostDN)) != 0)
        return missingIsDone(code);
    code = entry.retrieve(formAdminGroupFilter(serverRoot).c_str(), 1, hostDN.c_str()).code;
    if (code != 0)
        return missingIsDone(code);
    std::string productDN = cvChildDN("cn", productName, entry.entryDN());

    LdapEntry product(ldap);
    if ((code = cvRead(product, productDN)) != 0)
        return missingIsDone(code);
    for (const char* name : kVersionAttributes) {
        std::string value;
        if (cvFirstValue(*source, name, &value))
            product.setAttribute(name, value.c_str());
        else
            product.deleteAttribute(name);
    }
    product.setAttribute("installationTimeStamp", cvTimeStamp().c_str());
    return product.replace(productDN.c_str()).code;
}

} // namespace

int setupUpdateISIEVersionInfo(Ldap* ldap, LdapEntry* source, const char* productName,
                               const char* hostName, const char* serverRoot,
                               const char* adminDomain)
{
    if (!ldap || !source || !productName || !hostName || !serverRoot || !adminDomain)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] {
        int code =
            updateVersionChecked(ldap, source, productName, hostName, serverRoot, adminDomain);
        return cvResultCode(code);
    });
}

int updateISIEVersionInfo(Ldap* ldap, LdapEntry* source, const char* productName,
                          const char* hostName, const char* serverRoot, const char* adminDomain)
{
    return setupUpdateISIEVersionInfo(ldap, source, productName, hostName, serverRoot, adminDomain);
}

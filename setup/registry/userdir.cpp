#include "setup_userdir.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "c_boundary.h"
#include "cvldap.h"
#include "ldapentry.h"
#include "register_internal.h"
#include "setup_compat.h"
#include "setup_registry_consts.h"

std::string globalUserDirectoryDN(const char* adminDomain)
{
    std::string dn = std::string(DEFAULT_USER_DIRINFO_RDN) + LDAP_PATHSEP +
                     DEFAULT_GLOBAL_PREFS_RDN + LDAP_PATHSEP;
    if (strpbrk(adminDomain, "=,"))
        return dn + adminDomain;
    return dn + "ou=" + adminDomain + LDAP_PATHSEP + DEFAULT_ROOT_DN;
}

namespace {

char* copyText(const std::string& text)
{
    char* copy = static_cast<char*>(malloc(text.size() + 1));
    if (copy)
        memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// The stored URL with the failover hosts placed between its host part and
// its base part. The base starts at the first '/' after the scheme's "://":
// a base DN may itself hold '/', and a URL may have no base at all.
std::string multiHostUrl(const std::string& stored, const std::string& failover)
{
    size_t scheme = stored.find("://");
    size_t from = scheme == std::string::npos ? 0 : scheme + 3;
    size_t slash = stored.find('/', from);
    if (slash == std::string::npos)
        return stored + " " + failover;
    return stored.substr(0, slash) + " " + failover + stored.substr(slash);
}

} // namespace

int readDirectoryInfo(const LdapEntry& entry, char** url, char** bindDN, char** bindPassword)
{
    char* stored = entry.getAttribute("cvDirectoryURL");
    if (stored && url) {
        char* failover = entry.getAttribute("cvDirectoryFailoverList");
        if (failover && *failover) {
            *url = copyText(multiHostUrl(stored, failover));
            free(stored);
        } else {
            *url = stored;
        }
        stored = nullptr;
        free(failover);
    }
    free(stored);
    if (bindDN)
        *bindDN = entry.getAttribute("cvBindDN");
    if (bindPassword)
        *bindPassword = entry.getAttribute("cvBindPassword");
    return 0;
}

int setupGetGlobalUserDirectory(Ldap* ldap, const char* adminDomain, char** url, char** bindDN,
                                char** bindPassword)
{
    if (!ldap || !adminDomain || !url)
        return SETUP_LDAP_BAD_ARGUMENT;
    *url = nullptr;
    if (bindDN)
        *bindDN = nullptr;
    if (bindPassword)
        *bindPassword = nullptr;
    return cvGuard(kCvNoMemory, [&] {
        LdapEntry entry(ldap);
        // The entry's read answers libldap's codes unmapped.
        LdapError err = entry.retrieve(globalUserDirectoryDN(adminDomain).c_str());
        if (err.code != 0)
            return cvResultCode(err.code);
        return readDirectoryInfo(entry, url, bindDN, bindPassword);
    });
}

int getGlobalUserDirectory(Ldap* ldap, const char* adminDomain, char** url, char** bindDN,
                           char** bindPassword)
{
    return setupGetGlobalUserDirectory(ldap, adminDomain, url, bindDN, bindPassword);
}

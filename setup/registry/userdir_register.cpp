// User directories in the registry: writing a domain's global setting and
// reading the setting of an instance or an admin group.
#include "setup_userdir.h"

#include <string>

#include "c_boundary.h"
#include "cvldap.h"
#include "ldap_urllist.h"
#include "ldapentry.h"
#include "register_internal.h"
#include "setup_compat.h"
#include "setup_registry_consts.h"

namespace {

void clearOutputs(char** url, char** bindDN, char** bindPassword)
{
    *url = nullptr;
    if (bindDN)
        *bindDN = nullptr;
    if (bindPassword)
        *bindPassword = nullptr;
}

// The stored form of a multi-host URL "ldap://h1:389 h2:389/base" (or of
// a list of whole URLs): the first host with the base, and the further
// hosts. The base is all that follows the authority, as the reader takes
// it (a base DN may hold '/'). False for a text that is no LDAP URL.
bool splitMultiHostUrl(const std::string& url, std::string* primary, std::string* failover)
{
    ldapapi::UrlList list;
    if (ldapapi::parse_url_list(url.c_str(), &list) != 0)
        return false;
    *primary = list.scheme + "://" + list.servers[0].hostPort() + list.rest;
    failover->clear();
    for (size_t i = 1; i < list.servers.size(); ++i)
        *failover += (failover->empty() ? "" : " ") + list.servers[i].hostPort();
    return true;
}

int addGlobalChecked(Ldap* ldap, const char* adminDomain, const char* url, const char* bindDN,
                     const char* bindPassword)
{
    std::string dn = globalUserDirectoryDN(adminDomain);
    LdapEntry entry(ldap);
    int code = cvRead(entry, dn);
    // An existing setting is never overwritten.
    if (code != SETUP_LDAP_NO_ENTRIES)
        return code;
    LdapEntry fresh(ldap);
    fresh.setAttribute("objectclass", "top");
    fresh.addAttribute("objectclass", DEFAULT_USER_DIRINFO_OBJECT);
    fresh.setAttribute("cn", DEFAULT_USER_DIRINFO);
    std::string primary, failover;
    if (!splitMultiHostUrl(url, &primary, &failover))
        return SETUP_LDAP_BAD_URL;
    fresh.setAttribute("cvDirectoryURL", primary.c_str());
    // Directory strings cannot be empty on most servers (slapd refuses
    // them with 21): no failover hosts leave the attribute out, which every
    // reader takes as an empty list.
    if (!failover.empty())
        fresh.setAttribute("cvDirectoryFailoverList", failover.c_str());
    if (bindDN) {
        fresh.setAttribute("cvBindDN", bindDN);
        if (bindPassword)
            fresh.setAttribute("cvBindPassword", bindPassword);
    }
    return fresh.insert(dn.c_str()).code;
}

int getLocalChecked(Ldap* ldap, const char* adminDomain, const char* hostName,
                    const char* serverRoot, char** url, char** bindDN, char** bindPassword)
{
    std::string hostDN = cvChildDN("cn", hostName, cvAdminDomainDN(adminDomain));
    LdapEntry entry(ldap);
    int code = entry.retrieve(formAdminGroupFilter(serverRoot).c_str(), 2, hostDN.c_str()).code;
    if (code != 0)
        return code;
    std::string groupDN = entry.entryDN();
    code = resolveDirectoryInfo(&entry, groupDN.c_str());
    if (code != 0)
        return code;
    return readDirectoryInfo(entry, url, bindDN, bindPassword);
}

} // namespace

int setupAddGlobalUserDirectory(Ldap* ldap, const char* adminDomain, const char* url,
                                const char* bindDN, const char* bindPassword)
{
    if (!ldap || !adminDomain || !url)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] {
        return cvResultCode(addGlobalChecked(ldap, adminDomain, url, bindDN, bindPassword));
    });
}

int setupGetUserDirectory(Ldap* ldap, const char* sieDN, char** url, char** bindDN,
                          char** bindPassword)
{
    if (!ldap || !sieDN || !url)
        return SETUP_LDAP_BAD_ARGUMENT;
    clearOutputs(url, bindDN, bindPassword);
    return cvGuard(kCvNoMemory, [&] {
        LdapEntry entry(ldap);
        std::string dn = std::string("cn=configuration") + LDAP_PATHSEP + sieDN;
        int code = resolveDirectoryInfo(&entry, dn.c_str());
        if (code != 0)
            return cvResultCode(code);
        return readDirectoryInfo(entry, url, bindDN, bindPassword);
    });
}

int setupGetLocalUserDirectory(Ldap* ldap, const char* adminDomain, const char* hostName,
                               const char* serverRoot, char** url, char** bindDN,
                               char** bindPassword)
{
    if (!ldap || !adminDomain || !hostName || !serverRoot || !url)
        return SETUP_LDAP_BAD_ARGUMENT;
    clearOutputs(url, bindDN, bindPassword);
    return cvGuard(kCvNoMemory, [&] {
        return cvResultCode(
            getLocalChecked(ldap, adminDomain, hostName, serverRoot, url, bindDN, bindPassword));
    });
}

int addGlobalUserDirectory(Ldap* ldap, const char* adminDomain, const char* url, const char* bindDN,
                           const char* bindPassword)
{
    return setupAddGlobalUserDirectory(ldap, adminDomain, url, bindDN, bindPassword);
}

int getUserDirectory(Ldap* ldap, const char* sieDN, char** url, char** bindDN, char** bindPassword)
{
    return setupGetUserDirectory(ldap, sieDN, url, bindDN, bindPassword);
}

int getLocalUserDirectory(Ldap* ldap, const char* adminDomain, const char* hostName,
                          const char* serverRoot, char** url, char** bindDN, char** bindPassword)
{
    return setupGetLocalUserDirectory(ldap, adminDomain, hostName, serverRoot, url, bindDN,
                                      bindPassword);
}

// Server instance registration: domain, host, admin group, product entry and
// instance entry, each linked to the next through group membership.
#include "setup_register.h"

#include <string>
#include <strings.h>

#include "c_boundary.h"
#include "cvldap.h"
#include "ldap_escape.h"
#include "ldapentry.h"
#include "register_internal.h"
#include "remove_internal.h"
#include "setup_registry_consts.h"
#include "sysinfo.h"

namespace {

const char kAdminServerProduct[] = "Administration Server";

bool holdsAttributes(const LdapEntry& entry)
{
    char** names = entry.getAttributeNames();
    bool any = names != nullptr;
    NVPair::freeListItems(names);
    return any;
}

bool holdsValue(const LdapEntry& entry, const char* name, const char* value)
{
    for (const std::string& v : cvAllValues(entry, name))
        if (strcasecmp(v.c_str(), value) == 0)
            return true;
    return false;
}

bool isVersion4(const Ldap* ldap)
{
    const char* version = ldap->version();
    return version && version[0] == '4';
}

// The domain's own access value: its "ou" goes into a target filter, so it
// is escaped as a filter value.
std::string domainAci(const LdapEntry& domain)
{
    std::string ou;
    cvFirstValue(domain, "ou", &ou);
    std::string aci = DEFAULT_PX_CONTAINER_ACI;
    size_t at = aci.find("%s");
    if (at != std::string::npos)
        aci.replace(at, 2, cvEscapeFilterValue(ou.c_str()));
    return aci;
}

std::string adminSieDNOf(const char* hostName, const std::string& groupDN)
{
    std::string host = hostName;
    std::string shortHost = host.substr(0, host.find('.'));
    return cvChildDN("cn", ("admin-serv-" + shortHost).c_str(),
                     cvChildDN("cn", kAdminServerProduct, groupDN));
}

// Adds member to the "uniquemember" values of dn; the result is not examined
// by the registration (a stale member list is repaired by the next one).
// One modify that adds the value, where a merging update would read the
// entry first: a member already listed (20) is as good as added.
void addMember(Ldap* ldap, const std::string& dn, const std::string& member)
{
    char type[] = "uniquemember";
    char* values[] = {const_cast<char*>(member.c_str()), nullptr};
    LDAPMod mod;
    mod.mod_op = LDAP_MOD_ADD;
    mod.mod_type = type;
    mod.mod_values = values;
    LDAPMod* mods[] = {&mod, nullptr};
    ldap->modify(dn.c_str(), mods);
}

struct Registration {
    Registration(LdapEntry* s, LdapEntry* i, const char* host, const char* root, const char* domain)
        : sie(s), isie(i), hostName(host), serverRoot(root), adminDomain(domain)
    {
    }

    LdapEntry* sie;
    LdapEntry* isie;
    const char* hostName;
    const char* serverRoot;
    const char* adminDomain;
    Ldap* conn = nullptr;     // the configuration directory (isie's)
    Ldap* sieConn = nullptr;  // where the instance entry goes (sie's)
    bool v4 = false;
    std::string product;
    std::string domainDN;
    std::string hostDN;
    std::string groupDN;
    std::string adminSieDN;
    std::string isieDN;
    std::string stamp;

    int run();
    int checkEntries();
    int ensureHost();
    int ensureAdminGroup();
    int createAdminGroup();
    int writeProduct();
    int writeInstance();
};

int Registration::checkEntries()
{
    if (!holdsAttributes(*sie) || !holdsAttributes(*isie))
        return SETUP_LDAP_INCOMPLETE_ENTRY;
    std::string serverId;
    if (!holdsValue(*sie, "objectclass", "corvidServer") || !cvFirstValue(*sie, "cvServerID", &serverId))
        return SETUP_LDAP_BAD_SERVER_ENTRY;
    v4 = isVersion4(conn);
    std::string version;
    if (!cvFirstValue(*isie, "cn", &product)) {
        if (cvFirstValue(*isie, "cvProductName", &product))
            isie->setAttribute("cn", product.c_str());
    }
    if (cvAllValues(*isie, "objectclass").empty() || product.empty() ||
        !cvFirstValue(*isie, "cvProductVersion", &version))
        return SETUP_LDAP_INCOMPLETE_ENTRY;
    return 0;
}

int Registration::ensureHost()
{
    LdapEntry domain(conn);
    int code = cvRead(domain, domainDN);
    if (code == SETUP_LDAP_NO_ENTRIES)
        return SETUP_LDAP_NO_ADMIN_DOMAIN;
    if (code != 0)
        return code;
    if (ensureGlobalPreferences(conn, domainDN.c_str()) != 0)
        return SETUP_LDAP_NO_ADMIN_DOMAIN;
    domain.setAttribute("aci", domainAci(domain).c_str());

    hostDN = cvChildDN("cn", hostName, domainDN);
    LdapEntry host(conn);
    code = cvRead(host, hostDN);
    if (code == SETUP_LDAP_NO_ENTRIES) {
        SysInfo system;
        host.setAttribute("objectclass", "top");
        host.addAttribute("objectclass", "cvHost");
        host.addAttribute("objectclass", GROUP_OBJECT_CLASS);
        host.setAttribute("cn", hostName);
        host.setAttribute("serverHostname", hostName);
        host.setAttribute("cvOsVersion", system.get("osVersion"));
        host.setAttribute("cvHardwarePlatform", system.get("hardwarePlatform"));
        if (!v4)
            host.setAttribute("aci", cvFillAci(DEFAULT_HOST_ACI, hostDN).c_str());
        code = host.insert(hostDN.c_str()).code;
        if (code != 0 && code != LDAP_ALREADY_EXISTS)
            return code;
        domain.replace(domainDN.c_str());
    } else if (code != 0) {
        return code;
    }
    waitForEntry(conn, hostDN.c_str(), nullptr, nullptr);
    return 0;
}

int Registration::ensureAdminGroup()
{
    LdapEntry group(conn);
    int code = group.retrieve(formAdminGroupFilter(serverRoot).c_str(), 1, hostDN.c_str()).code;
    if (code == SETUP_LDAP_NO_ENTRIES)
        return createAdminGroup();
    // Anything but "none there" is an error: a failed search must not make a
    // second group beside the one that exists.
    if (code != 0)
        return code;
    // The group's own RDN below the host DN as composed here: the DN the
    // server reports is spelled its own way, and access values filled with
    // it would stand beside the earlier ones instead of replacing them.
    std::vector<std::string> parts;
    if (!cvSplitDN(group.entryDN(), parts) || parts.empty())
        return LDAP_INVALID_DN_SYNTAX;
    groupDN = parts[0] + LDAP_PATHSEP + hostDN;
    adminSieDN = adminSieDNOf(hostName, groupDN);
    group.addAttribute("aci", cvFillAci(DEFAULT_ADMINGRP4_ACI, adminSieDN).c_str());
    if (!v4)
        group.addAttribute("aci", cvFillAci(DEFAULT_ADMINGRP_ACI, groupDN).c_str());
    group.replace(groupDN.c_str());
    return 0;
}

int Registration::createAdminGroup()
{
    std::string name = DEFAULT_ADMIN_GROUP;
    groupDN = cvChildDN("cn", name.c_str(), hostDN);
    LdapEntry probe(conn);
    for (int n = 2;; ++n) {
        int code = cvRead(probe, groupDN);
        if (code == SETUP_LDAP_NO_ENTRIES)
            break;
        if (code != 0)
            return code;
        name = std::string(DEFAULT_ADMIN_GROUP) + " (" + std::to_string(n) + ")";
        groupDN = cvChildDN("cn", name.c_str(), hostDN);
    }
    adminSieDN = adminSieDNOf(hostName, groupDN);
    LdapEntry group(conn);
    group.setAttribute("objectclass", DEFAULT_ADMIN_GROUP_OBJECT);
    group.addAttribute("objectclass", GROUP_OBJECT_CLASS);
    group.setAttribute("cvAdminGroupName", name.c_str());
    group.setAttribute("cvConfigRoot", serverRoot);
    group.addAttribute("objectclass", DEFAULT_USER_DIRINFO_OBJECT);
    std::string userDirectory =
        std::string(DEFAULT_USER_DIRINFO_RDN) + LDAP_PATHSEP + DEFAULT_GLOBAL_PREFS_RDN + LDAP_PATHSEP + domainDN;
    group.setAttribute("cvDirectoryInfoRef", userDirectory.c_str());
    group.setAttribute("cvAdminSIEDN", adminSieDN.c_str());
    if (!v4) {
        group.addAttribute("aci", cvFillAci(DEFAULT_ADMINGRP_ACI, groupDN).c_str());
        group.addAttribute("aci", cvFillAci(DEFAULT_ADMINGRP4_ACI, adminSieDN).c_str());
    } else if (strcasecmp(product.c_str(), kAdminServerProduct) != 0) {
        group.addAttribute("aci", cvFillAci(DEFAULT_ADMINGRP4_ACI, adminSieDN).c_str());
    }
    int code = group.insert(groupDN.c_str()).code;
    if (code != 0 && code != LDAP_ALREADY_EXISTS)
        return code;
    waitForEntry(conn, groupDN.c_str(), nullptr, nullptr);
    addMember(conn, hostDN, groupDN);
    return 0;
}

int Registration::writeProduct()
{
    isieDN = cvChildDN("cn", product.c_str(), groupDN);
    stamp = cvTimeStamp();
    isie->addAttribute("objectclass", GROUP_OBJECT_CLASS);
    isie->addAttribute("objectclass", "cvApplication");
    isie->setAttribute("installationTimeStamp", stamp.c_str());
    LdapEntry stored(conn);
    int code = cvRead(stored, isieDN);
    if (code == SETUP_LDAP_NO_ENTRIES) {
        if (!v4)
            isie->addAttribute("aci", cvFillAci(DEFAULT_PRODUCT_ACI, isieDN).c_str());
        code = isie->insert(isieDN.c_str()).code;
        if (code == 0 || code == LDAP_ALREADY_EXISTS)
            addMember(conn, groupDN, isieDN);
    } else if (code == 0) {
        for (const std::string& member : cvAllValues(stored, "uniquemember"))
            isie->addAttribute("uniquemember", member.c_str());
        for (const std::string& aci : cvAllValues(stored, "aci"))
            isie->addAttribute("aci", aci.c_str());
        code = isie->replace(isieDN.c_str()).code;
    }
    // Any other read failure is returned: the stored product entry, members
    // and all, must never be overwritten blind.
    if (code != 0 && code != LDAP_ALREADY_EXISTS)
        return code;
    waitForEntry(conn, isieDN.c_str(), "installationTimeStamp", stamp.c_str());
    return 0;
}

int Registration::writeInstance()
{
    // The reload leaves the stored product entry in isie for the caller. The
    // instance goes below the product DN composed above, whether or not the
    // reload worked: the DN the server reports names the same entry in its
    // own spelling, and a failed reload reports none.
    isie->retrieve(isieDN.c_str());
    const std::string& parentDN = isieDN;

    sie->addAttribute("objectclass", GROUP_OBJECT_CLASS);
    sie->setAttribute("serverHostName", hostName);
    std::string instance;
    if (!cvFirstValue(*sie, "cn", &instance)) {
        cvFirstValue(*sie, "cvServerId", &instance);
        sie->setAttribute("cn", instance.c_str());
    }
    std::string sieDN = cvChildDN("cn", instance.c_str(), parentDN);
    sie->addAttribute("aci", cvFillAci(DEFAULT_SIE_ACI_1, sieDN).c_str());
    sie->addAttribute("aci", cvFillAci(DEFAULT_SIE_ACI_2, sieDN).c_str());
    sie->addAttribute("uniquemember", sieDN.c_str());
    if (!adminSieDN.empty())
        sie->addAttribute("uniquemember", adminSieDN.c_str());
    sie->setAttribute("installationTimeStamp", stamp.c_str());

    LdapEntry stored(sieConn);
    int code = cvRead(stored, sieDN);
    if (code == 0)
        code = sie->replace(sieDN.c_str()).code;
    else if (code == SETUP_LDAP_NO_ENTRIES)
        code = sie->insert(sieDN.c_str()).code;
    if (code != 0)
        return code;
    waitForEntry(sieConn, sieDN.c_str(), "installationTimeStamp", stamp.c_str());
    isie->addAttribute("uniquemember", sieDN.c_str());
    addMember(conn, isieDN, sieDN);
    return 0;
}

int Registration::run()
{
    conn = isie->connection();
    sieConn = sie->connection();
    if (!conn || !sieConn)
        return SETUP_LDAP_BAD_ARGUMENT;
    int code = checkEntries();
    if (code != 0)
        return code;
    LdapEntry root(conn);
    code = cvRead(root, DEFAULT_ROOT_DN);
    if (code == SETUP_LDAP_NO_ENTRIES)
        return SETUP_LDAP_NO_CONFIG_ROOT;
    if (code != 0)
        return code;
    domainDN = cvAdminDomainDN(adminDomain);
    if ((code = ensureHost()) != 0 || (code = ensureAdminGroup()) != 0 || (code = writeProduct()) != 0)
        return code;
    return writeInstance();
}

} // namespace

int setupCreateSIE(LdapEntry* sie, LdapEntry* isie, const char* hostName, const char* serverRoot,
                   const char* adminDomain)
{
    if (!sie || !isie || !hostName || !serverRoot || !adminDomain)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(LDAP_NO_MEMORY, [&] {
        Registration r(sie, isie, hostName, serverRoot, adminDomain);
        int code = r.run();
        return code < 0 ? SETUP_LDAP_CONNECT_FAILED : code;
    });
}

int createSIE(LdapEntry* sie, LdapEntry* isie, const char* hostName, const char* serverRoot,
              const char* adminDomain)
{
    return setupCreateSIE(sie, isie, hostName, serverRoot, adminDomain);
}

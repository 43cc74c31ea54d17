// Admin domain and access helpers: the configuration entry's access value,
// domain checks, the domain framework, the write probe and the guess of the
// domain's name.
#include "setup_register.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>

#include "c_boundary.h"
#include "cvldap.h"
#include "ldap_adapter.h"
#include "ldapentry.h"
#include "register_internal.h"
#include "setup_compat.h"
#include "setup_registry_consts.h"

namespace {

// Probe names taken by someone else before one is free.
const int kProbeNames = 8;

// 0 when the configuration root exists, 149 when it does not, the read's
// code when it could not be read.
int checkConfigRoot(Ldap* ldap)
{
    LdapEntry root(ldap);
    int code = cvRead(root, DEFAULT_ROOT_DN);
    return code == SETUP_LDAP_NO_ENTRIES ? SETUP_LDAP_NO_CONFIG_ROOT : code;
}

// "Delete Me <pid> <random>": unique per call, so two installers probing the
// same subtree at once never delete each other's probe.
std::string probeName()
{
    static std::atomic<unsigned> calls{0};
    static const unsigned seed = std::random_device{}();
    std::minstd_rand draw(seed + calls++);
    return "Delete Me " + std::to_string(getpid()) + " " + std::to_string(draw());
}

int probeSubtree(Ldap* ldap, const char* dn)
{
    int code = LDAP_ALREADY_EXISTS;
    for (int attempt = 0; attempt < kProbeNames && code == LDAP_ALREADY_EXISTS; ++attempt) {
        std::string name = probeName();
        std::string probeDN = cvChildDN("cn", name.c_str(), dn);
        LdapEntry probe(ldap);
        probe.setAttribute("objectclass", "top");
        probe.addAttribute("objectclass", "cvResourceRef");
        probe.setAttribute("cn", name.c_str());
        code = probe.insert(probeDN.c_str()).code;
        // A taken name belongs to someone else: leave it, try another.
        if (code == 0)
            return probe.drop(probeDN.c_str()).code;
    }
    return code;
}

int installFrameworkChecked(Ldap* ldap, const char* adminDomain)
{
    int code = checkConfigRoot(ldap);
    if (code != 0)
        return code;
    LdapEntry base(ldap);
    if (adminDomain)
        code = cvRead(base, cvAdminDomainDN(adminDomain));
    else
        code = base.retrieve(DEFAULT_PX_CONTAINER_FILTER, 2, DEFAULT_ROOT_DN).code;
    if (code == SETUP_LDAP_NO_ENTRIES)
        return SETUP_LDAP_NO_ADMIN_DOMAIN;
    if (code != 0)
        return code;
    std::string baseDN = base.entryDN();
    code = probeSubtree(ldap, baseDN.c_str());
    if (code != 0)
        return code;
    return ensureGlobalPreferences(ldap, baseDN.c_str());
}

char* copyText(const std::string& text)
{
    char* copy = static_cast<char*>(malloc(text.size() + 1));
    if (copy)
        memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

char* guessDomainChecked(const char* url, const char* bindUser, const char* password)
{
    LdapError err;
    Ldap ldap(err, url, bindUser, password, nullptr, nullptr);
    if (err.code != 0)
        return nullptr;
    LdapEntry domains(&ldap);
    if (domains.retrieve("(objectclass=cvAdminDomain)", 1, DEFAULT_ROOT_DN).code != 0 ||
        !domains.entryDN())
        return nullptr;
    auto values = ldapapi::rdn_values(domains.entryDN());
    return values.empty() ? nullptr : copyText(values.front().second);
}

} // namespace

int setupCreateACIForConfigEntry(LdapEntry* entry, const char* groupDN)
{
    if (!entry || !groupDN || !entry->connection())
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] {
        entry->addAttribute("aci", cvFillAci(DEFAULT_SIE_CONFIG_ACI, groupDN).c_str());
        return 0;
    });
}

int setupCheckAdminDomain(Ldap* ldap, const char* adminDomain)
{
    if (!ldap)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] {
        int code = checkConfigRoot(ldap);
        if (code != 0)
            return cvResultCode(code);
        if (!adminDomain)
            return SETUP_LDAP_BAD_ARGUMENT;
        LdapEntry domain(ldap);
        return cvResultCode(cvRead(domain, cvAdminDomainDN(adminDomain)));
    });
}

int setupInstallFramework(Ldap* ldap, const char* adminDomain)
{
    if (!ldap)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory,
                   [&] { return cvResultCode(installFrameworkChecked(ldap, adminDomain)); });
}

int setupIsSubTreeWritable(Ldap* ldap, const char* dn)
{
    if (!ldap || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] { return cvResultCode(probeSubtree(ldap, dn)); });
}

char* setupGuessAdminDomainName(const char* url, const char* bindUser, const char* password)
{
    if (!url)
        return nullptr;
    return cvGuard<char*>(nullptr, [&] { return guessDomainChecked(url, bindUser, password); });
}

int createACIForConfigEntry(LdapEntry* entry, const char* groupDN)
{
    return setupCreateACIForConfigEntry(entry, groupDN);
}

int checkAdminDomain(Ldap* ldap, const char* adminDomain)
{
    return setupCheckAdminDomain(ldap, adminDomain);
}

int isSubTreeWritable(Ldap* ldap, const char* dn)
{
    return setupIsSubTreeWritable(ldap, dn);
}

char* guessAdminDomainName(const char* url, const char* bindUser, const char* password)
{
    return setupGuessAdminDomainName(url, bindUser, password);
}

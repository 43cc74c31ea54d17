// Helpers shared by the registration operations.
#include "register_internal.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <unistd.h>

#include "c_boundary.h"
#include "cvldap.h"
#include "ldap_escape.h"
#include "ldapentry.h"
#include "setup_infofile.h"
#include "setup_ldap_codes.h"
#include "setup_ldapurl.h"
#include "setup_registry_consts.h"

namespace {

struct FreeText {
    void operator()(char* p) const { free(p); }
};
using Text = std::unique_ptr<char, FreeText>;

} // namespace

std::string cvAdminDomainDN(const char* adminDomain)
{
    Text dn(setupFormAdminDomainDN(adminDomain));
    if (!dn)
        throw std::bad_alloc();
    return std::string(dn.get());
}

std::string cvChildDN(const char* type, const char* value, const std::string& parent)
{
    return std::string(type) + "=" + cvEscapeDnValue(value) + LDAP_PATHSEP + parent;
}

std::string formAdminGroupFilter(const char* serverRoot)
{
    return "(&(objectclass=" + std::string(DEFAULT_ADMIN_GROUP_OBJECT) +
           ")(cvConfigRoot=" + cvEscapeFilterValue(serverRoot) + "))";
}

std::string cvFillAci(const char* aciTemplate, const std::string& dn)
{
    std::string quoted;
    for (char c : dn) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    std::string aci = aciTemplate;
    size_t at = aci.find("%s");
    if (at != std::string::npos)
        aci.replace(at, 2, quoted);
    return aci;
}

std::string cvTimeStamp()
{
    char buffer[32] = "";
    setupGetGmtime(buffer, sizeof buffer);
    return buffer;
}

bool cvFirstValue(const LdapEntry& entry, const char* name, std::string* value)
{
    Text text(entry.getAttribute(name));
    if (!text)
        return false;
    *value = text.get();
    return true;
}

std::vector<std::string> cvAllValues(const LdapEntry& entry, const char* name)
{
    std::vector<std::string> out;
    char** values = entry.getAttributes(name);
    try {
        for (char** v = values; v && *v; ++v)
            out.emplace_back(*v);
    } catch (...) {
        NVPair::freeListItems(values);
        throw;
    }
    NVPair::freeListItems(values);
    return out;
}

int cvRead(LdapEntry& entry, const std::string& dn)
{
    return cvResultCode(entry.retrieve(dn.c_str()).code);
}

int cvDropMember(Ldap* ldap, const std::string& dn, const std::string& member)
{
    char type[] = "uniquemember";
    char* values[] = {const_cast<char*>(member.c_str()), nullptr};
    LDAPMod mod;
    mod.mod_op = LDAP_MOD_DELETE;
    mod.mod_type = type;
    mod.mod_values = values;
    LDAPMod* mods[] = {&mod, nullptr};
    return cvResultCode(ldap->modify(dn.c_str(), mods));
}

std::string cvGlobalPreferencesDN(const char* domain)
{
    return std::string(DEFAULT_GLOBAL_PREFS_RDN) + LDAP_PATHSEP + cvAdminDomainDN(domain);
}

bool cvHoldsOnly(const LdapEntry& entry, const char* name, const char* value)
{
    std::vector<std::string> values = cvAllValues(entry, name);
    return values.size() == 1 && values[0] == value;
}

int refreshGlobalPreferences(LdapEntry& prefs, int readCode, const std::string& dn)
{
    static const char kDescription[] =
        "Default branch for Halcyon Server Products Global Preferences";
    if (readCode == SETUP_LDAP_NO_ENTRIES) {
        prefs.setAttribute("objectclass", DEFAULT_GLOBAL_PREFS_OBJECT);
        prefs.setAttribute("ou", DEFAULT_GLOBAL_PREFS);
        prefs.setAttribute("aci", DEFAULT_GLOBAL_PREFS_ACI);
        prefs.setAttribute("description", kDescription);
        int code = cvResultCode(prefs.insert(dn.c_str()).code);
        // A registration running at the same time made the branch, with
        // these very values, since it was read.
        return code == LDAP_ALREADY_EXISTS ? 0 : code;
    }
    if (readCode != 0)
        return readCode;
    // A branch that already holds exactly these values is left as it is:
    // the rewrite would store what is there.
    if (cvHoldsOnly(prefs, "aci", DEFAULT_GLOBAL_PREFS_ACI) &&
        cvHoldsOnly(prefs, "description", kDescription))
        return 0;
    prefs.setAttribute("aci", DEFAULT_GLOBAL_PREFS_ACI);
    prefs.setAttribute("description", kDescription);
    return cvResultCode(prefs.replace(dn.c_str()).code);
}

int ensureGlobalPreferences(Ldap* ldap, const char* domain)
{
    std::string dn = cvGlobalPreferencesDN(domain);
    LdapEntry prefs(ldap);
    int code = cvRead(prefs, dn);
    return refreshGlobalPreferences(prefs, code, dn);
}

int resolveDirectoryInfo(LdapEntry* entry, const char* dn)
{
    std::string next = dn;
    int code = 0;
    for (int read = 0; read < 3; ++read) {
        code = cvRead(*entry, next);
        if (code != 0)
            continue;
        std::string value;
        if (cvFirstValue(*entry, "cvDirectoryURL", &value))
            return 0;
        if (!cvFirstValue(*entry, "cvDirectoryInfoRef", &value))
            return SETUP_LDAP_NO_ENTRIES;
        next = value;
    }
    return code;
}

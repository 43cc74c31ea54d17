// Instance registration removal: the decisions of cvPlanRegistry (which SIE,
// which product entry, trim or delete, how far to prune) carried out: delete
// the SIE, then either take it out of a product entry that still serves
// other instances, or delete the product entry and prune the ancestors it
// leaves empty.

#include "unregister.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "cvldap.h"
#include "ldapentry.h"
#include "remove_internal.h"
#include "setup_registry_consts.h"
#include "registry_plan.h"
#include "setup_remove.h"

namespace {

void writeDiagnostic(const std::string& what, int code)
{
    std::fprintf(stderr, "Error: could not %s: error = %d\n", what.c_str(), code);
    std::fflush(stderr);
}

int dropMember(Ldap& ldap, const std::string& isieDN, const std::string& sieDN)
{
    char* values[2] = {const_cast<char*>(sieDN.c_str()), nullptr};
    LDAPMod mod;
    mod.mod_op = LDAP_MOD_DELETE;
    mod.mod_type = const_cast<char*>("uniquemember");
    mod.mod_values = values;
    LDAPMod* mods[2] = {&mod, nullptr};
    int code = ldap.modify(isieDN.c_str(), mods);
    // A product entry that never listed the SIE has nothing to give up.
    if (code != LDAP_SUCCESS && code != LDAP_NO_SUCH_ATTRIBUTE) {
        writeDiagnostic("remove " + sieDN + " from the members of ISIE entry " + isieDN, code);
        return code;
    }
    return 0;
}

}  // namespace

int removeISIEAndPrune(LdapEntry& isie)
{
    if (isie.entryDN() == nullptr) {
        return 0;
    }
    // A copy: the walk's searches move cursors to other entries.
    const std::string dn = isie.entryDN();
    int code = cvDropAndPrune(isie.connection(), dn, false);
    if (code != 0) {
        writeDiagnostic("remove ISIE entry " + dn, code);
    }
    return 0;
}

UnregisterResult cvUnregisterInstance(const char* host, const char* port, const char* suffix,
                                      const char* bindDN, const char* bindPassword,
                                      const char* instanceName, const char* machineName,
                                      const char* serverRoot)
{
    UnregisterResult result;
    ConfigConnection conn = cvConnectConfigDirectory(host, port, suffix, bindDN, bindPassword);
    result.url = conn.url;
    if (conn.code != 0) {
        result.code = conn.code;
        writeDiagnostic("connect to the configuration directory " + result.url, conn.code);
        return result;
    }
    Ldap& ldap = *conn.ldap;

    // Every decision comes from the one function remove-instance-plan
    // prints; this only carries them out.
    const RegistryPlan plan = cvPlanRegistry(ldap, instanceName, machineName, serverRoot);
    if (plan.code != 0) {
        result.code = plan.code;
        writeDiagnostic(plan.failure, plan.code);
        return result;
    }
    result.found = true;
    if (plan.siblingsCode != 0) {
        writeDiagnostic("read the entries below ISIE entry " + plan.isieDN, plan.siblingsCode);
    }

    int code = removeSIE(&ldap, plan.sieDN.c_str(), 0);
    if (code != 0) {
        writeDiagnostic("remove SIE entry " + plan.sieDN, code);
        result.code = code;
    }
    if (plan.deleteProduct) {
        // Never further up than planned; each ancestor is still tested for
        // children right before it goes.
        code = cvDropAndPrune(&ldap, plan.isieDN, false, plan.prune.size());
        if (code != 0) {
            writeDiagnostic("remove ISIE entry " + plan.isieDN, code);
            if (result.code == 0) {
                result.code = code;
            }
        }
    } else if (code == 0 || code == SETUP_LDAP_ENTRY_MISSING) {
        // Other instances of the product keep their product entry, which
        // stops listing this SIE once the SIE is gone (and only then).
        code = dropMember(ldap, plan.isieDN, plan.sieDN);
        if (code != 0 && result.code == 0) {
            result.code = code;
        }
    }
    return result;
}

int removeInstanceLDAPEntries(const char* host, const char* port, const char* suffix,
                              const char* bindDN, const char* bindPassword,
                              const char* instanceName, const char* machineName,
                              const char* serverRoot)
{
    UnregisterResult result = cvUnregisterInstance(host, port, suffix, bindDN, bindPassword,
                                                   instanceName, machineName, serverRoot);
    return result.found ? 0 : 1;
}

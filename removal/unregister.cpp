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

// A referral the connection would not follow is named in the line: where
// it pointed, and that the server must be added to the URL to follow it.
void writeDiagnostic(const std::string& what, int code, const Ldap* ldap = nullptr)
{
    std::string text = what;
    const char* refusal = ldap != nullptr ? ldap->referralRefusal() : nullptr;
    if (code == LDAP_REFERRAL && refusal != nullptr) {
        text += " (" + std::string(refusal) + ")";
    }
    std::fprintf(stderr, "Error: could not %s: error = %d\n", text.c_str(), code);
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
        writeDiagnostic("remove " + sieDN + " from the members of ISIE entry " + isieDN, code, &ldap);
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
        writeDiagnostic("remove ISIE entry " + dn, code, isie.connection());
    }
    return 0;
}

UnregisterResult cvUnregisterInstance(const std::string& url, const char* bindDN,
                                      const char* bindPassword, const char* instanceName,
                                      const char* machineName, const char* serverRoot)
{
    UnregisterResult result;
    ConfigConnection conn = cvConnectConfigDirectory(url, bindDN, bindPassword);
    result.url = conn.url;
    if (conn.code != 0) {
        result.code = conn.code;
        // Why no server could be used (refused, no TLS, an untrusted
        // certificate) is told; a bad URL or refused credentials speak for
        // themselves.
        std::string what = "connect to the configuration directory " + result.url;
        if (conn.code == SETUP_LDAP_CONNECT_FAILED && !conn.reason.empty()) {
            what += " (" + conn.reason + ")";
        }
        writeDiagnostic(what, conn.code);
        return result;
    }
    Ldap& ldap = *conn.ldap;

    // Every decision comes from the one function remove-instance-plan
    // prints; this only carries them out.
    const RegistryPlan plan = cvPlanRegistry(ldap, instanceName, machineName, serverRoot);
    if (plan.code != 0) {
        result.code = plan.code;
        writeDiagnostic(plan.failure, plan.code, &ldap);
        return result;
    }
    result.found = true;
    if (plan.siblingsCode != 0) {
        writeDiagnostic("read the entries below ISIE entry " + plan.isieDN, plan.siblingsCode, &ldap);
    }

    int code = removeSIE(&ldap, plan.sieDN.c_str(), 0);
    if (code != 0) {
        writeDiagnostic("remove SIE entry " + plan.sieDN, code, &ldap);
        result.code = code;
    }
    if (plan.deleteProduct) {
        // Never further up than planned; each ancestor is still tested for
        // children right before it goes.
        code = cvDropAndPrune(&ldap, plan.isieDN, false, plan.prune.size());
        if (code != 0) {
            writeDiagnostic("remove ISIE entry " + plan.isieDN, code, &ldap);
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
    UnregisterResult result = cvUnregisterInstance(cvConfigDirectoryUrl(host, port, suffix), bindDN,
                                                   bindPassword, instanceName, machineName,
                                                   serverRoot);
    return result.found ? 0 : 1;
}

// Instance registration removal: the setup library's registry plan for the
// instance (cvPlanRegistry) carried out (cvApplyRegistryPlan), with the
// diagnostics of the removal tool.

#include "unregister.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "cvldap.h"
#include "ldapentry.h"
#include "registry_plan.h"
#include "remove_internal.h"
#include "setup_ldap_codes.h"

namespace {

void writeDiagnostic(const std::string& what, int code)
{
    std::fprintf(stderr, "Error: could not %s: error = %d\n", what.c_str(), code);
    std::fflush(stderr);
}

void writeFailure(const std::string& what, const std::string& cause, int code)
{
    writeDiagnostic(cause.empty() ? what : what + ": " + cause, code);
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
        writeFailure("remove ISIE entry " + dn, cvRegistryCause(code), cvRegistryCode(code));
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
        result.cause = plan.cause;
        writeFailure(plan.failure, plan.cause, plan.code);
        return result;
    }
    result.found = plan.registered;
    result.notRegistered = !plan.registered;
    result.absence = plan.absence;
    result.repaired = plan.repairs.size();
    if (plan.siblingsCode != 0) {
        writeDiagnostic("read the entries below ISIE entry " + plan.isieDN, plan.siblingsCode);
    }
    RegistryFailure failure = cvApplyRegistryPlan(ldap, plan);
    if (failure.code != 0) {
        result.code = failure.code;
        result.cause = failure.cause;
        writeFailure(failure.what, failure.cause, failure.code);
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
    if (result.notRegistered && result.code == 0) {
        writeDiagnostic(result.absence, SETUP_LDAP_NO_ENTRIES);
    }
    return result.found ? 0 : 1;
}

// Instance registration removal: the setup library's registry plan for the
// instance (cvPlanRegistry) carried out (cvApplyRegistryPlan, then the
// product entry's pruning walk through removeISIEAndPrune), with the
// diagnostics of the removal tool.

#include "unregister.h"

#include <cstdio>
#include <cstring>
#include <ldap.h>
#include <string>

#include <cvsetup/cvldap.h>
#include <cvsetup/ldapentry.h>
#include <cvsetup/setup_ldap_codes.h>
#include <cvsetup/unregister_plan.h>

#include "registry_plan.h"

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

void writeFailure(const std::string& what, const std::string& cause, int code,
                  const Ldap* ldap = nullptr)
{
    writeDiagnostic(cause.empty() ? what : what + ": " + cause, code, ldap);
}

} // namespace

int removeISIEAndPrune(LdapEntry& isie, const RegistryPlan& plan, UnregisterResult& result)
{
    RegistryFailure failure;
    int code = cvRemoveProductAndPrune(isie, &plan, failure);
    if (code != 0) {
        result.cause = failure.cause;
        writeFailure(failure.what, failure.cause, code, isie.connection());
    }
    return code;
}

int removeISIEAndPrune(LdapEntry& isie)
{
    if (isie.entryDN() == nullptr) {
        return 0;
    }
    RegistryFailure failure;
    int code = cvRemoveProductAndPrune(isie, nullptr, failure);
    if (code != 0) {
        writeFailure(failure.what, failure.cause, code, isie.connection());
    }
    return 0;
}

int cvUnregisterInstance(const std::string& url, const char* bindDN, const char* bindPassword,
                         const char* instanceName, const char* machineName, const char* serverRoot,
                         UnregisterResult& result)
{
    result = UnregisterResult();
    ConfigConnection conn;
    int code = cvConnectConfigDirectory(url, bindDN, bindPassword, conn);
    result.url = conn.url;
    if (code != 0) {
        // Why no server could be used (refused, no TLS, an untrusted
        // certificate) is told; a bad URL or refused credentials speak for
        // themselves.
        std::string what = "connect to the configuration directory " + result.url;
        if (code == SETUP_LDAP_CONNECT_FAILED && !conn.reason.empty()) {
            what += " (" + conn.reason + ")";
        }
        writeDiagnostic(what, code);
        return code;
    }
    Ldap& ldap = *conn.ldap;

    // Every decision comes from the one function remove-instance-plan
    // prints; this only carries them out.
    RegistryPlan plan;
    LdapEntry isie(&ldap);
    code = cvPlanRegistry(ldap, instanceName, machineName, serverRoot, plan, &isie);
    if (code != 0) {
        result.cause = plan.cause;
        writeFailure(plan.failure, plan.cause, code, &ldap);
        return code;
    }
    result.found = plan.registered;
    result.notRegistered = !plan.registered;
    result.absence = plan.absence;
    result.repaired = plan.repairs.size();
    if (plan.siblingsCode != 0) {
        writeDiagnostic("read the entries below ISIE entry " + plan.isieDN, plan.siblingsCode,
                        &ldap);
    }

    RegistryFailure failure;
    code = cvApplyRegistryPlan(ldap, plan, failure);
    if (code != 0) {
        result.cause = failure.cause;
        writeFailure(failure.what, failure.cause, code, &ldap);
        return code;
    }
    // The product entry after its last instance, with its emptied parents.
    return plan.deleteProduct ? removeISIEAndPrune(isie, plan, result) : 0;
}

int removeInstanceLDAPEntries(const char* host, const char* port, const char* suffix,
                              const char* bindDN, const char* bindPassword,
                              const char* instanceName, const char* machineName,
                              const char* serverRoot)
{
    UnregisterResult result;
    int code = cvUnregisterInstance(cvConfigDirectoryUrl(host, port, suffix), bindDN, bindPassword,
                                    instanceName, machineName, serverRoot, result);
    if (result.notRegistered && code == 0) {
        writeDiagnostic(result.absence, SETUP_LDAP_NO_ENTRIES);
    }
    return result.found ? 0 : 1;
}

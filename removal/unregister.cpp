// Instance registration removal: the setup library's registry plan for the
// instance (cvPlanRegistry) carried out (cvApplyRegistryPlan), with the
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
        writeFailure("remove ISIE entry " + dn, cvRegistryCause(code), cvRegistryCode(code),
                     isie.connection());
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
        result.cause = plan.cause;
        writeFailure(plan.failure, plan.cause, plan.code, &ldap);
        return result;
    }
    result.found = plan.registered;
    result.notRegistered = !plan.registered;
    result.absence = plan.absence;
    result.repaired = plan.repairs.size();
    if (plan.siblingsCode != 0) {
        writeDiagnostic("read the entries below ISIE entry " + plan.isieDN, plan.siblingsCode, &ldap);
    }

    RegistryFailure failure = cvApplyRegistryPlan(ldap, plan);
    if (failure.code != 0) {
        result.code = failure.code;
        result.cause = failure.cause;
        writeFailure(failure.what, failure.cause, failure.code, &ldap);
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
    if (result.notRegistered && result.code == 0) {
        writeDiagnostic(result.absence, SETUP_LDAP_NO_ENTRIES);
    }
    return result.found ? 0 : 1;
}

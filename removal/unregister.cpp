// Instance registration removal: find the instance's SIE and its product's
// ISIE below the configuration root, delete the SIE, then either take it out
// of a product entry that still serves other instances, or delete the product
// entry and prune the ancestors it leaves empty.

#include "unregister.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "cvldap.h"
#include "ldapentry.h"
#include "remove_internal.h"
#include "setup_registry_consts.h"
#include "setup_remove.h"

namespace {

const int kScopeOneLevel = 1;
const int kScopeSubtree = 2;

void writeDiagnostic(const std::string& what, int code)
{
    std::fprintf(stderr, "Error: could not %s: error = %d\n", what.c_str(), code);
    std::fflush(stderr);
}

std::string textOf(const char* text)
{
    return text != nullptr ? std::string(text) : std::string();
}

// 0: no entry below the ISIE but the SIE being removed; 1: another instance
// (or any other entry) remains; -1: it could not be told, which keeps the
// product entry as if another instance remained.
int otherEntriesBelow(Ldap& ldap, const std::string& isieDN, const std::string& sieDN)
{
    LdapEntry children(&ldap);
    LdapError err = children.retrieve(OBJECT_CLASS_FILTER, kScopeOneLevel, isieDN.c_str());
    if (err.code == SETUP_LDAP_NO_ENTRIES) {
        return 0;
    }
    if (err.code != 0) {
        writeDiagnostic("read the entries below ISIE entry " + isieDN, err.code);
        return -1;
    }
    for (int i = 0; i < children.numEntries(); ++i) {
        if (!cvSameDN(children.entryDN(), sieDN.c_str())) {
            return 1;
        }
        children.next();
    }
    return 0;
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

// A value of attr that equals want byte for byte: the directory matches
// filters without regard to case and insignificant blanks, so a filter hit
// alone does not prove that the entry is this instance's.
bool hasExactValue(LdapEntry& entry, const char* attr, const char* want)
{
    if (want == nullptr) {
        return false;
    }
    char** values = entry.getAttributes(attr);
    bool found = false;
    for (char** v = values; v != nullptr && *v != nullptr && !found; ++v) {
        found = std::strcmp(*v, want) == 0;
    }
    entry.freeAttributes(values);
    return found;
}

// Moves the cursor to the first result that is exactly this instance; false
// when none is.
bool findExactSIE(LdapEntry& sie, const char* instanceName, const char* serverRoot)
{
    for (int i = 0; i < sie.numEntries(); ++i) {
        if (i > 0 && sie.next().code != 0) {
            return false;
        }
        if (hasExactValue(sie, "cn", instanceName) &&
            hasExactValue(sie, "serverroot", serverRoot)) {
            return true;
        }
    }
    return false;
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
    result.url = cvConfigDirectoryUrl(host, port, suffix);
    // A port text that is no port is refused here, whole, rather than cut or
    // read up to its first non-digit by the URL parser.
    if (!cvIsDecimalPort(port)) {
        result.code = SETUP_LDAP_BAD_URL;
        writeDiagnostic("connect to the configuration directory " + result.url, result.code);
        return result;
    }
    LdapError err;
    Ldap ldap(err, result.url.c_str(), bindDN, bindPassword, nullptr, nullptr);
    if (err.code != 0) {
        result.code = err.code;
        writeDiagnostic("connect to the configuration directory " + result.url, err.code);
        return result;
    }

    const std::string root = cvEscapeFilterValue(serverRoot);
    const std::string sieFilter = "(&(serverhostname=" + cvEscapeFilterValue(machineName) +
                                  ")(cn=" + cvEscapeFilterValue(instanceName) +
                                  ")(serverroot=" + root + "))";
    LdapEntry sie(&ldap);
    err = sie.retrieve(sieFilter.c_str(), kScopeSubtree, DEFAULT_ROOT_DN);
    if (err.code != 0) {
        result.code = err.code;
        writeDiagnostic("read the SIE entry using filter " + sieFilter, err.code);
        return result;
    }
    if (!findExactSIE(sie, instanceName, serverRoot)) {
        result.code = SETUP_LDAP_NO_ENTRIES;
        writeDiagnostic("read the SIE entry using filter " + sieFilter +
                            " (no entry found has exactly this cn and serverroot)",
                        result.code);
        return result;
    }
    const std::string sieDN = textOf(sie.entryDN());

    const std::string isieFilter = "(&(objectclass=cvApplication)(uniquemember=" +
                                   cvEscapeFilterValue(sieDN.c_str()) +
                                   ")(cvinstalledlocation=" + root + "))";
    LdapEntry isie(&ldap);
    err = isie.retrieve(isieFilter.c_str(), kScopeSubtree, DEFAULT_ROOT_DN);
    if (err.code != 0) {
        result.code = err.code;
        writeDiagnostic("read the ISIE entry using filter " + isieFilter, err.code);
        return result;
    }
    result.found = true;
    const std::string isieDN = textOf(isie.entryDN());

    // Decided before anything is deleted, so that a failed SIE delete does
    // not make this instance's own SIE look like another instance.
    const int others = otherEntriesBelow(ldap, isieDN, sieDN);

    int code = removeSIE(&ldap, sieDN.c_str(), 0);
    if (code != 0) {
        writeDiagnostic("remove SIE entry " + sieDN, code);
        result.code = code;
    }
    if (others == 0) {
        code = cvDropAndPrune(&ldap, isieDN, false);
        if (code != 0) {
            writeDiagnostic("remove ISIE entry " + isieDN, code);
            if (result.code == 0) {
                result.code = code;
            }
        }
    } else if (code == 0 || code == SETUP_LDAP_ENTRY_MISSING) {
        // Other instances of the product keep their product entry, which
        // stops listing this SIE once the SIE is gone (and only then).
        code = dropMember(ldap, isieDN, sieDN);
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

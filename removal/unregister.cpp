// Instance registration removal: find the instance's SIE and its product's
// ISIE below the configuration root, delete the SIE, then either take it out
// of a product entry that still serves other instances, or delete the product
// entry and prune the ancestors it leaves empty.

#include "unregister.h"

#include <cstdio>
#include <string>
#include <vector>

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

void dropMember(Ldap& ldap, const std::string& isieDN, const std::string& sieDN)
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
    }
}

}  // namespace

int removeISIEAndPrune(LdapEntry& isie)
{
    if (isie.entryDN() == nullptr) {
        return 0;
    }
    // A copy: the walk's searches move the cursor to other entries.
    const std::string dn = isie.entryDN();
    LdapError err = isie.dropAll(dn.c_str());
    if (err.code != 0) {
        writeDiagnostic("remove ISIE entry " + dn, err.code);
    }
    std::vector<std::string> parts;
    if (!cvSplitDN(dn.c_str(), parts)) {
        return 0;
    }
    for (size_t start = 0; start < parts.size(); ++start) {
        std::string candidate = cvJoinDN(parts, start);
        if (cvIsConfigRoot(candidate)) {
            break;
        }
        // Anything but "no entries" ends the walk: children remain, or the
        // candidate could not be searched.
        err = isie.retrieve(OBJECT_CLASS_FILTER, kScopeOneLevel, candidate.c_str());
        if (err.code != SETUP_LDAP_NO_ENTRIES) {
            break;
        }
        isie.drop(candidate.c_str());
    }
    return 0;
}

int removeInstanceLDAPEntries(const char* host, const char* port, const char* suffix,
                              const char* bindDN, const char* bindPassword,
                              const char* instanceName, const char* machineName,
                              const char* serverRoot)
{
    const std::string url = cvConfigDirectoryUrl(host, port, suffix);
    // A port text that is no port is refused here, whole, rather than cut or
    // read up to its first non-digit by the URL parser.
    if (!cvIsDecimalPort(port)) {
        writeDiagnostic("connect to the configuration directory " + url, SETUP_LDAP_BAD_URL);
        return 1;
    }
    LdapError err;
    Ldap ldap(err, url.c_str(), bindDN, bindPassword, nullptr, nullptr);
    if (err.code != 0) {
        writeDiagnostic("connect to the configuration directory " + url, err.code);
        return 1;
    }

    const std::string root = cvEscapeFilterValue(serverRoot);
    const std::string sieFilter = "(&(serverhostname=" + cvEscapeFilterValue(machineName) +
                                  ")(cn=" + cvEscapeFilterValue(instanceName) +
                                  ")(serverroot=" + root + "))";
    LdapEntry sie(&ldap);
    err = sie.retrieve(sieFilter.c_str(), kScopeSubtree, DEFAULT_ROOT_DN);
    if (err.code != 0) {
        writeDiagnostic("read the SIE entry using filter " + sieFilter, err.code);
        return 1;
    }
    const std::string sieDN = textOf(sie.entryDN());

    const std::string isieFilter = "(&(objectclass=cvApplication)(uniquemember=" +
                                   cvEscapeFilterValue(sieDN.c_str()) +
                                   ")(cvinstalledlocation=" + root + "))";
    LdapEntry isie(&ldap);
    err = isie.retrieve(isieFilter.c_str(), kScopeSubtree, DEFAULT_ROOT_DN);
    if (err.code != 0) {
        writeDiagnostic("read the ISIE entry using filter " + isieFilter, err.code);
        return 1;
    }
    const std::string isieDN = textOf(isie.entryDN());

    // Decided before anything is deleted, so that a failed SIE delete does
    // not make this instance's own SIE look like another instance.
    const int others = otherEntriesBelow(ldap, isieDN, sieDN);

    int code = removeSIE(&ldap, sieDN.c_str(), 0);
    if (code != 0) {
        writeDiagnostic("remove SIE entry " + sieDN, code);
    }
    if (others == 0) {
        removeISIEAndPrune(isie);
    } else if (code == 0 || code == SETUP_LDAP_ENTRY_MISSING) {
        // Other instances of the product keep their product entry, which
        // stops listing this SIE once the SIE is gone (and only then).
        dropMember(ldap, isieDN, sieDN);
    }
    return 0;
}

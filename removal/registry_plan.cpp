// The registry decisions of a removal, from reads only.

#include "registry_plan.h"

#include <cstring>

#include "cvldap.h"
#include "ldap_escape.h"
#include "ldapentry.h"
#include "remove_internal.h"
#include "setup_registry_consts.h"
#include "setup_ldap_codes.h"
#include "unregister.h"

namespace {

const int kScopeSubtree = 2;

std::string textOf(const char* text)
{
    return text != nullptr ? std::string(text) : std::string();
}

// A value of attr that equals want byte for byte.
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

// The one-level children of dn other than the entry `gone` (which the
// removal deletes before it looks), all of them or (with first) only the
// first: whether there is one, and which, is all the prune walk needs of a
// parent that may hold thousands. 0 and the list, or the search's code.
int otherChildren(Ldap& ldap, const std::string& dn, const std::string& gone,
                  std::vector<std::string>& others, bool first = false)
{
    others.clear();
    std::vector<std::string> children;
    int code = cvFirstChildren(&ldap, dn, first ? 2 : 0, &children);
    if (code == LDAP_NO_SUCH_OBJECT) {
        return 0;
    }
    if (code != 0) {
        return code;
    }
    for (const std::string& child : children) {
        if (!cvSameDN(child.c_str(), gone.c_str())) {
            others.push_back(child);
            if (first) {
                break;
            }
        }
    }
    return 0;
}

// The walk of cvDropAndPrune, predicted: each ancestor is deleted when the
// entry deleted before it was its only child.
void planPrune(Ldap& ldap, RegistryPlan& plan)
{
    std::vector<std::string> parts;
    plan.pruneStopWhy = PruneStop::OutOfTree;
    if (!cvSplitDN(plan.isieDN.c_str(), parts)) {
        return;
    }
    std::string gone = plan.isieDN;
    for (size_t start = 1; start < parts.size(); ++start) {
        std::string candidate = cvJoinDN(parts, start);
        plan.pruneStop = candidate;
        if (cvIsConfigRoot(candidate)) {
            plan.pruneStopWhy = PruneStop::ConfigRoot;
            return;
        }
        std::vector<std::string> others;
        int code = otherChildren(ldap, candidate, gone, others, true);
        if (code != 0) {
            plan.pruneStopWhy = PruneStop::Unreadable;
            plan.pruneStopCode = code;
            return;
        }
        if (!others.empty()) {
            plan.pruneStopWhy = PruneStop::HasChildren;
            plan.pruneKeeper = others.front();
            return;
        }
        plan.prune.push_back(candidate);
        gone = candidate;
    }
    plan.pruneStop.clear();
    plan.pruneStopWhy = PruneStop::OutOfTree;
}

} // namespace

ConfigConnection::ConfigConnection() = default;
ConfigConnection::~ConfigConnection() = default;
ConfigConnection::ConfigConnection(ConfigConnection&&) noexcept = default;
ConfigConnection& ConfigConnection::operator=(ConfigConnection&&) noexcept = default;

ConfigConnection cvConnectConfigDirectory(const char* host, const char* port, const char* suffix,
                                          const char* bindDN, const char* bindPassword)
{
    ConfigConnection conn;
    conn.url = cvConfigDirectoryUrl(host, port, suffix);
    // A port text that is no port is refused here, whole, rather than cut or
    // read up to its first non-digit by the URL parser.
    if (!cvIsDecimalPort(port)) {
        conn.code = SETUP_LDAP_BAD_URL;
        return conn;
    }
    LdapError err;
    std::unique_ptr<Ldap> ldap(new Ldap(err, conn.url.c_str(), bindDN, bindPassword, nullptr,
                                        nullptr));
    conn.code = err.code;
    if (conn.code == 0) {
        conn.ldap = std::move(ldap);
    }
    return conn;
}

RegistryPlan cvPlanRegistry(Ldap& ldap, const char* instanceName, const char* machineName,
                            const char* serverRoot)
{
    RegistryPlan plan;
    const std::string root = cvEscapeFilterValue(serverRoot);
    plan.sieFilter = "(&(serverhostname=" + cvEscapeFilterValue(machineName) +
                     ")(cn=" + cvEscapeFilterValue(instanceName) + ")(serverroot=" + root + "))";
    LdapEntry sie(&ldap);
    LdapError err = sie.retrieve(plan.sieFilter.c_str(), kScopeSubtree, DEFAULT_ROOT_DN);
    if (err.code != 0) {
        plan.code = err.code;
        plan.failure = "read the SIE entry using filter " + plan.sieFilter;
        return plan;
    }
    if (!findExactSIE(sie, instanceName, serverRoot)) {
        plan.code = SETUP_LDAP_NO_ENTRIES;
        plan.failure = "read the SIE entry using filter " + plan.sieFilter +
                       " (no entry found has exactly this cn and serverroot)";
        return plan;
    }
    plan.sieDN = textOf(sie.entryDN());

    plan.isieFilter = "(&(objectclass=cvApplication)(uniquemember=" +
                      cvEscapeFilterValue(plan.sieDN.c_str()) + ")(cvinstalledlocation=" + root +
                      "))";
    LdapEntry isie(&ldap);
    err = isie.retrieve(plan.isieFilter.c_str(), kScopeSubtree, DEFAULT_ROOT_DN);
    if (err.code != 0) {
        plan.code = err.code;
        plan.failure = "read the ISIE entry using filter " + plan.isieFilter;
        return plan;
    }
    plan.isieDN = textOf(isie.entryDN());

    plan.siblingsCode = otherChildren(ldap, plan.isieDN, plan.sieDN, plan.siblings);
    plan.deleteProduct = plan.siblingsCode == 0 && plan.siblings.empty();
    if (plan.deleteProduct) {
        planPrune(ldap, plan);
    }
    return plan;
}

// What an interrupted removal of an instance left behind, found through the
// instance's name, host and server root only.

#include "unregister_internal.h"

#include "c_boundary.h"
#include "cvldap.h"
#include "ldap_dn.h"
#include "ldap_escape.h"
#include "ldapentry.h"
#include "register_internal.h"
#include "remove_internal.h"
#include "setup_ldap_codes.h"
#include "setup_registry_consts.h"

namespace {

const int kScopeSubtree = 2;

// The DNs of the entries below base that match filter and hold attr equal
// to want byte for byte (all of them without attr): 0, or the search's code.
int findExact(Ldap& ldap, const std::string& base, const std::string& filter, const char* attr,
              const char* want, std::vector<std::string>& dns)
{
    dns.clear();
    LdapEntry found(&ldap);
    int code = cvResultCode(found.retrieve(filter.c_str(), kScopeSubtree, base.c_str()).code);
    if (code == SETUP_LDAP_NO_ENTRIES)
        return 0;
    for (int i = 0; code == 0 && i < found.numEntries(); ++i) {
        if (i > 0 && found.next().code != 0)
            break;
        if (attr == nullptr || cvHasExactValue(found, attr, want))
            dns.push_back(found.entryDN());
    }
    return code;
}

// 0 with empty true when dn has no entry below it, else the search's code.
int holdsNothing(Ldap& ldap, const std::string& dn, bool& empty)
{
    std::vector<std::string> children;
    int code = cvFirstChildren(&ldap, dn, 1, &children);
    empty = children.empty();
    return code == LDAP_NO_SUCH_OBJECT ? 0 : code;
}

// A product entry of this host and server root: this instance's listing
// when its server entry is gone, or the whole entry when it holds nothing
// and lists nothing that exists.
int inspectProduct(Ldap& ldap, const std::string& dn, const char* instanceName, RegistryPlan& plan,
                   std::vector<std::string>& emptied)
{
    LdapEntry product(&ldap);
    int code = cvRead(product, dn);
    if (code != 0)
        return code == SETUP_LDAP_NO_ENTRIES ? 0 : code;
    std::vector<std::string> children;
    code = cvFirstChildren(&ldap, dn, 0, &children);
    if (code != 0)
        return code == LDAP_NO_SUCH_OBJECT ? 0 : code;
    const std::vector<std::string> members = cvAllValues(product, "uniquemember");
    bool listsLiving = false;
    for (size_t i = 0; children.empty() && !listsLiving && i < members.size(); ++i) {
        LdapEntry probe(&ldap);
        code = cvRead(probe, members[i]);
        if (code != 0 && code != SETUP_LDAP_NO_ENTRIES)
            return code;
        listsLiving = code == 0;
    }
    if (children.empty() && !listsLiving) {
        emptied.push_back(dn);
        return 0;
    }
    const std::string sieDN = cvChildDN("cn", instanceName, dn);
    for (const std::string& member : members) {
        if (cvSameDN(member.c_str(), sieDN.c_str()) && !cvAmongDNs(member, children)) {
            RegistryRepair repair;
            repair.kind = RegistryRepair::Kind::DanglingMember;
            repair.dn = dn;
            repair.member = member;
            plan.repairs.push_back(repair);
            plan.writes.push_back({RegistryWrite::Kind::DropMember, dn, member});
        }
    }
    return 0;
}

// The leftovers below one host entry: dangling listings first, then the
// emptied entries from the bottom up (products, admin groups, the host).
int inspectHost(Ldap& ldap, const std::string& host, const char* instanceName,
                const char* serverRoot, RegistryPlan& plan, std::vector<std::string>& emptied)
{
    const std::string root = cvEscapeFilterValue(serverRoot);
    std::vector<std::string> dns;
    int code =
        findExact(ldap, host, "(&(objectclass=cvApplication)(cvinstalledlocation=" + root + "))",
                  "cvinstalledlocation", serverRoot, dns);
    for (size_t i = 0; code == 0 && i < dns.size(); ++i)
        code = inspectProduct(ldap, dns[i], instanceName, plan, emptied);
    if (code == 0)
        code = findExact(ldap, host, formAdminGroupFilter(serverRoot), "cvconfigroot", serverRoot,
                         dns);
    dns.push_back(host);
    for (size_t i = 0; code == 0 && i < dns.size(); ++i) {
        bool empty = false;
        code = holdsNothing(ldap, dns[i], empty);
        if (code == 0 && empty)
            emptied.push_back(dns[i]);
    }
    return code;
}

} // namespace

int cvPlanRepairs(Ldap& ldap, const char* instanceName, const char* machineName,
                  const char* serverRoot, RegistryPlan& plan)
{
    if (instanceName == nullptr || machineName == nullptr || serverRoot == nullptr)
        return 0;
    const std::string host = cvEscapeFilterValue(machineName);
    std::vector<std::string> hosts;
    int code = findExact(ldap, DEFAULT_ROOT_DN,
                         "(&(objectclass=cvHost)(|(cn=" + host + ")(serverhostname=" + host + ")))",
                         nullptr, nullptr, hosts);
    std::vector<std::string> emptied;
    for (size_t i = 0; code == 0 && i < hosts.size(); ++i)
        code = inspectHost(ldap, hosts[i], instanceName, serverRoot, plan, emptied);
    if (code != 0)
        return code;

    // One walk per emptied entry that no earlier walk takes along.
    std::vector<std::string> deleted;
    for (const std::string& dn : emptied) {
        if (cvAmongDNs(dn, deleted))
            continue;
        RegistryRepair repair;
        repair.kind = RegistryRepair::Kind::EmptiedEntry;
        repair.dn = dn;
        code = cvPlanPrune(ldap, dn, deleted, repair.chain);
        if (code != 0)
            return code;
        deleted.push_back(dn);
        deleted.insert(deleted.end(), repair.chain.prune.begin(), repair.chain.prune.end());
        cvChainWrites(dn, repair.chain, {}, plan.writes);
        plan.repairs.push_back(repair);
    }
    return 0;
}

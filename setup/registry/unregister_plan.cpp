// The registry decisions of one instance's removal, from reads only.

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

const int kScopeBase = 0;
const int kScopeSubtree = 2;

std::string textOf(const char* text)
{
    return text != nullptr ? std::string(text) : std::string();
}

// Moves the cursor to the first result that is exactly this instance; false
// when none is.
bool findExactSIE(LdapEntry& sie, const char* instanceName, const char* serverRoot)
{
    for (int i = 0; i < sie.numEntries(); ++i) {
        if (i > 0 && sie.next().code != 0)
            return false;
        if (cvHasExactValue(sie, "cn", instanceName) &&
            cvHasExactValue(sie, "serverroot", serverRoot))
            return true;
    }
    return false;
}

// The one-level children of dn other than those in gone (which the removal
// deletes before it looks), all of them or (with first) only the first:
// whether there is one, and which, is all the prune walk needs of a parent
// that may hold thousands. 0 and the list, or the search's code.
int otherChildren(Ldap& ldap, const std::string& dn, const std::vector<std::string>& gone,
                  std::vector<std::string>& others, bool first = false)
{
    others.clear();
    std::vector<std::string> children;
    int code = cvFirstChildren(&ldap, dn, first ? static_cast<int>(gone.size()) + 1 : 0, &children);
    if (code == LDAP_NO_SUCH_OBJECT)
        return 0;
    if (code != 0)
        return code;
    for (const std::string& child : children) {
        if (!cvAmongDNs(child, gone)) {
            others.push_back(child);
            if (first)
                break;
        }
    }
    return 0;
}

// A failed read ends the plan: nothing is written. Returns code.
int fail(Ldap& ldap, RegistryPlan& plan, int code, const std::string& what)
{
    plan.cause = cvResultCause(ldap, code);
    plan.failure = what;
    plan.repairs.clear();
    plan.writes.clear();
    return code;
}

// The value of keeper's "uniquemember" naming dn into member ("" when it
// lists none): 0, or the read's code.
int listingOf(Ldap& ldap, const std::string& keeper, const std::string& dn, std::string& member)
{
    member.clear();
    LdapEntry entry(&ldap);
    int code = cvRead(entry, keeper);
    if (code != 0)
        return code == SETUP_LDAP_NO_ENTRIES ? 0 : code;
    for (const std::string& value : cvAllValues(entry, "uniquemember"))
        if (cvSameDN(value.c_str(), dn.c_str()))
            member = value;
    return 0;
}

// The product entry of the SIE: the one the filter finds, else the SIE's
// parent when it is this server root's cvApplication entry. 0 with isie
// loaded, or the code of the failing read.
int findProduct(RegistryPlan& plan, const char* serverRoot, LdapEntry& isie)
{
    int code =
        cvResultCode(isie.retrieve(plan.isieFilter.c_str(), kScopeSubtree, DEFAULT_ROOT_DN).code);
    if (code != SETUP_LDAP_NO_ENTRIES)
        return code;
    std::vector<std::string> parts;
    if (!cvSplitDN(plan.sieDN.c_str(), parts) || parts.size() < 2)
        return code;
    int parentCode = cvResultCode(
        isie.retrieve("(objectclass=cvApplication)", kScopeBase, cvJoinDN(parts, 1).c_str()).code);
    if (parentCode != 0)
        return parentCode;
    return cvHasExactValue(isie, "cvinstalledlocation", serverRoot) ? 0 : code;
}

} // namespace

bool cvHasExactValue(const LdapEntry& entry, const char* attr, const char* want)
{
    if (want == nullptr)
        return false;
    for (const std::string& value : cvAllValues(entry, attr))
        if (value == want)
            return true;
    return false;
}

int cvPlanPrune(Ldap& ldap, const std::string& dn, std::vector<std::string> gone, PrunePlan& chain)
{
    chain = PrunePlan();
    chain.pruneStopWhy = PruneStop::OutOfTree;
    std::vector<std::string> parts;
    if (!cvSplitDN(dn.c_str(), parts))
        return 0;
    if (!cvAmongDNs(dn, gone))
        gone.push_back(dn);
    std::string top = dn;
    for (size_t start = 1; start < parts.size(); ++start) {
        std::string candidate = cvJoinDN(parts, start);
        chain.pruneStop = candidate;
        if (cvIsConfigRoot(candidate)) {
            chain.pruneStopWhy = PruneStop::ConfigRoot;
            return 0;
        }
        LdapEntry domain(&ldap);
        int code = cvResultCode(
            domain.retrieve("(objectclass=cvAdminDomain)", kScopeBase, candidate.c_str()).code);
        if (code == 0) {
            chain.pruneStopWhy = PruneStop::AdminDomain;
            return listingOf(ldap, candidate, top, chain.keeperMember);
        }
        std::vector<std::string> others;
        if (code == SETUP_LDAP_NO_ENTRIES)
            code = otherChildren(ldap, candidate, gone, others, true);
        if (code != 0) {
            if (code == SETUP_LDAP_CONNECT_FAILED)
                return code;
            chain.pruneStopWhy = PruneStop::Unreadable;
            chain.pruneStopCode = code;
            return 0;
        }
        if (!others.empty()) {
            chain.pruneStopWhy = PruneStop::HasChildren;
            chain.pruneKeeper = others.front();
            return listingOf(ldap, candidate, top, chain.keeperMember);
        }
        chain.prune.push_back(candidate);
        gone.push_back(candidate);
        top = candidate;
    }
    chain.pruneStop.clear();
    chain.pruneStopWhy = PruneStop::OutOfTree;
    return 0;
}

void cvChainWrites(const std::string& dn, const PrunePlan& chain,
                   const std::vector<RegistryWrite>& before, std::vector<RegistryWrite>& writes,
                   bool withEntry)
{
    using Kind = RegistryWrite::Kind;
    if (!chain.keeperMember.empty())
        writes.push_back({Kind::DropMember, chain.pruneStop, chain.keeperMember});
    writes.insert(writes.end(), before.begin(), before.end());
    if (withEntry)
        writes.push_back({Kind::DeleteAndPrune, dn, std::string(), chain.prune.size()});
}

int cvPlanRegistry(Ldap& ldap, const char* instanceName, const char* machineName,
                   const char* serverRoot, RegistryPlan& plan, LdapEntry* isieCursor)
{
    using Kind = RegistryWrite::Kind;
    plan = RegistryPlan();
    const std::string root = cvEscapeFilterValue(serverRoot);
    plan.sieFilter = "(&(serverhostname=" + cvEscapeFilterValue(machineName) +
                     ")(cn=" + cvEscapeFilterValue(instanceName) + ")(serverroot=" + root + "))";
    LdapEntry sie(&ldap);
    int code =
        cvResultCode(sie.retrieve(plan.sieFilter.c_str(), kScopeSubtree, DEFAULT_ROOT_DN).code);
    plan.absence = "read the SIE entry using filter " + plan.sieFilter;
    if (code == 0 && !findExactSIE(sie, instanceName, serverRoot)) {
        code = SETUP_LDAP_NO_ENTRIES;
        plan.absence += " (no entry found has exactly this cn and serverroot)";
    }
    if (code == SETUP_LDAP_NO_ENTRIES) {
        // Not registered: only what an interrupted removal left is done.
        code = cvPlanRepairs(ldap, instanceName, machineName, serverRoot, plan);
        if (code != 0)
            return fail(ldap, plan, code,
                        "read the entries an interrupted removal of this instance may have left");
        return 0;
    }
    if (code != 0)
        return fail(ldap, plan, code, plan.absence);
    plan.registered = true;
    plan.absence.clear();
    plan.sieDN = textOf(sie.entryDN());

    plan.isieFilter =
        "(&(objectclass=cvApplication)(uniquemember=" + cvEscapeFilterValue(plan.sieDN.c_str()) +
        ")(cvinstalledlocation=" + root + "))";
    LdapEntry ownCursor(&ldap);
    LdapEntry& isie = isieCursor != nullptr ? *isieCursor : ownCursor;
    code = findProduct(plan, serverRoot, isie);
    if (code != 0)
        return fail(ldap, plan, code, "read the ISIE entry using filter " + plan.isieFilter);
    plan.isieDN = textOf(isie.entryDN());
    std::vector<RegistryWrite> first;
    for (const std::string& member : cvAllValues(isie, "uniquemember")) {
        if (cvSameDN(member.c_str(), plan.sieDN.c_str())) {
            plan.productListsSIE = true;
            first.push_back({Kind::DropMember, plan.isieDN, member});
        }
    }
    first.push_back({Kind::DeleteSubtree, plan.sieDN, std::string()});

    code = otherChildren(ldap, plan.isieDN, {plan.sieDN}, plan.siblings);
    if (code == SETUP_LDAP_CONNECT_FAILED)
        return fail(ldap, plan, code, "read the entries below ISIE entry " + plan.isieDN);
    plan.siblingsCode = code;
    plan.deleteProduct = code == 0 && plan.siblings.empty();
    if (!plan.deleteProduct) {
        plan.writes = first;
        return 0;
    }
    code = cvPlanPrune(ldap, plan.isieDN, {plan.sieDN}, plan);
    if (code != 0)
        return fail(ldap, plan, code, "read the parents of ISIE entry " + plan.isieDN);
    // The product entry and its emptied parents go last, through the tool's
    // removeISIEAndPrune.
    cvChainWrites(plan.isieDN, plan, first, plan.writes, false);
    return 0;
}

// Carrying out a removal's registry plan, one write after the other, and the
// product entry's removal with its pruning last.

#include "unregister_internal.h"

#include <ldap.h>

#include "c_boundary.h"
#include "cvldap.h"
#include "ldapentry.h"
#include "ldapentry_internal.h"
#include "register_internal.h"
#include "remove_internal.h"
#include "setup_ldap_codes.h"

namespace {

// The write's work is done: the entry or the value is not there (any more).
bool alreadyDone(const RegistryWrite& write, int code)
{
    return code == LDAP_SUCCESS || code == LDAP_NO_SUCH_OBJECT ||
           (write.kind == RegistryWrite::Kind::DropMember && code == LDAP_NO_SUCH_ATTRIBUTE);
}

// An entry that holds nothing, deleted alone (so that one which holds an
// entry again is refused), then its emptied ancestors.
int deleteAndPrune(Ldap& ldap, const std::string& dn, size_t ancestors, std::string* failedAt)
{
    PruneWalk walk;
    walk.subtree = false;
    walk.maxAncestors = ancestors;
    return cvDropAndPrune(&ldap, dn, walk, failedAt);
}

int make(Ldap& ldap, const RegistryWrite& write, std::string* failedAt)
{
    *failedAt = write.dn;
    switch (write.kind) {
    case RegistryWrite::Kind::DropMember:
        return cvDropMember(&ldap, write.dn, write.member);
    case RegistryWrite::Kind::DeleteSubtree: {
        LdapEntry entry(&ldap);
        return cvResultCode(entry.dropAll(write.dn.c_str()).code);
    }
    case RegistryWrite::Kind::DeleteAndPrune:
        break;
    }
    return deleteAndPrune(ldap, write.dn, write.ancestors, failedAt);
}

// The diagnostic's words for a deletion that failed at failedAt, of dn or
// of one of the ancestors its walk deletes.
std::string describeDeletion(const RegistryPlan& plan, const std::string& dn,
                             const std::string& failedAt)
{
    if (failedAt != dn)
        return "remove the emptied parent " + failedAt;
    return (dn == plan.isieDN ? "remove ISIE entry " : "remove the emptied entry ") + dn;
}

std::string describe(const RegistryPlan& plan, const RegistryWrite& write,
                     const std::string& failedAt)
{
    switch (write.kind) {
    case RegistryWrite::Kind::DropMember:
        if (write.dn == plan.isieDN && !plan.sieDN.empty())
            return "remove " + plan.sieDN + " from the members of ISIE entry " + write.dn;
        return "remove " + write.member + " from the members of " + write.dn;
    case RegistryWrite::Kind::DeleteSubtree:
        return "remove SIE entry " + write.dn;
    case RegistryWrite::Kind::DeleteAndPrune:
        break;
    }
    return describeDeletion(plan, write.dn, failedAt);
}

int refuse(Ldap& ldap, int code, const std::string& what, RegistryFailure& failure)
{
    failure.what = what;
    failure.cause = cvResultCause(ldap, code);
    return code;
}

} // namespace

std::string cvResultCause(Ldap& ldap, int code)
{
    if (code != SETUP_LDAP_CONNECT_FAILED)
        return std::string();
    // libldap keeps the code of the last request it answered on the handle:
    // the failure it made up itself, before the fold made it 151.
    int raw = 0;
    LDAP* ld = LdapEntryAccess::handle(&ldap);
    if (ld == nullptr || ldap_get_option(ld, LDAP_OPT_RESULT_CODE, &raw) != LDAP_OPT_SUCCESS ||
        raw == SETUP_LDAP_CONNECT_FAILED || cvResultCode(raw) != SETUP_LDAP_CONNECT_FAILED)
        return std::string();
    const char* text = ldap_err2string(raw);
    return text != nullptr ? text : std::string();
}

int cvApplyRegistryPlan(Ldap& ldap, const RegistryPlan& plan, RegistryFailure& failure)
{
    failure = RegistryFailure();
    for (const RegistryWrite& write : plan.writes) {
        std::string failedAt;
        int code = make(ldap, write, &failedAt);
        if (!alreadyDone(write, code))
            return refuse(ldap, code, describe(plan, write, failedAt), failure);
    }
    return 0;
}

int cvRemoveProductAndPrune(LdapEntry& isie, const RegistryPlan* plan, RegistryFailure& failure)
{
    failure = RegistryFailure();
    Ldap* ldap = isie.connection();
    if (ldap == nullptr || isie.entryDN() == nullptr)
        return SETUP_LDAP_BAD_ARGUMENT;
    // A copy: the walk's searches move cursors to other entries.
    const std::string dn = isie.entryDN();
    std::string failedAt;
    if (plan != nullptr) {
        // The plan found nothing else below the product entry: it goes
        // alone, so that an instance registered since is never taken along.
        int code = deleteAndPrune(*ldap, dn, plan->prune.size(), &failedAt);
        return code == 0 ? 0 : refuse(*ldap, code, describeDeletion(*plan, dn, failedAt), failure);
    }
    RegistryPlan walk;
    walk.isieDN = dn;
    walk.deleteProduct = true;
    int code = cvPlanPrune(*ldap, dn, {}, walk);
    if (code != 0)
        return refuse(*ldap, code, "read the parents of ISIE entry " + dn, failure);
    cvChainWrites(dn, walk, {}, walk.writes, false);
    code = cvApplyRegistryPlan(*ldap, walk, failure);
    if (code != 0)
        return code;
    // The product entry with everything below it, other instances included.
    PruneWalk whole;
    whole.maxAncestors = walk.prune.size();
    code = cvDropAndPrune(ldap, dn, whole, &failedAt);
    return code == 0 ? 0 : refuse(*ldap, code, describeDeletion(walk, dn, failedAt), failure);
}

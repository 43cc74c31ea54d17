// Carrying out a removal's registry plan, one write after the other.

#include "unregister_plan.h"

#include "c_boundary.h"

#include <ldap.h>

#include "cvldap.h"
#include "ldaperror.h"
#include "ldapentry.h"
#include "setup_ldap_codes.h"

namespace {

// The write's work is done: the entry or the value is not there (any more).
bool alreadyDone(const RegistryWrite& write, int code)
{
    return code == LDAP_SUCCESS || code == LDAP_NO_SUCH_OBJECT ||
           (write.kind == RegistryWrite::Kind::DropMember && code == LDAP_NO_SUCH_ATTRIBUTE);
}

int dropMember(Ldap& ldap, const RegistryWrite& write)
{
    char* values[2] = {const_cast<char*>(write.member.c_str()), nullptr};
    LDAPMod mod;
    mod.mod_op = LDAP_MOD_DELETE;
    mod.mod_type = const_cast<char*>("uniquemember");
    mod.mod_values = values;
    LDAPMod* mods[2] = {&mod, nullptr};
    return ldap.modify(write.dn.c_str(), mods);
}

int make(Ldap& ldap, const RegistryWrite& write)
{
    LdapEntry entry(&ldap);
    switch (write.kind) {
    case RegistryWrite::Kind::DropMember:
        return dropMember(ldap, write);
    case RegistryWrite::Kind::DeleteSubtree:
        return entry.dropAll(write.dn.c_str()).code;
    case RegistryWrite::Kind::DeleteEntry:
    case RegistryWrite::Kind::PruneEntry:
        break;
    }
    return entry.drop(write.dn.c_str()).code;
}

std::string describe(const RegistryPlan& plan, const RegistryWrite& write)
{
    switch (write.kind) {
    case RegistryWrite::Kind::DropMember:
        if (write.dn == plan.isieDN && !plan.sieDN.empty())
            return "remove " + plan.sieDN + " from the members of ISIE entry " + write.dn;
        return "remove " + write.member + " from the members of " + write.dn;
    case RegistryWrite::Kind::DeleteSubtree:
        return "remove SIE entry " + write.dn;
    case RegistryWrite::Kind::DeleteEntry:
        return (write.dn == plan.isieDN ? "remove ISIE entry " : "remove the emptied entry ") +
               write.dn;
    case RegistryWrite::Kind::PruneEntry:
        break;
    }
    return "remove the emptied parent " + write.dn;
}

} // namespace

int cvRegistryCode(int code)
{
    if (code < 0)
        return cvPlainCode(code);
    return ldapErrorMapCode(code) == SETUP_LDAP_CONNECT_FAILED ? SETUP_LDAP_CONNECT_FAILED : code;
}

std::string cvRegistryCause(int code)
{
    if (code == SETUP_LDAP_CONNECT_FAILED || cvRegistryCode(code) != SETUP_LDAP_CONNECT_FAILED)
        return std::string();
    const char* text = ldap_err2string(code);
    return text != nullptr ? text : std::string();
}

RegistryFailure cvApplyRegistryPlan(Ldap& ldap, const RegistryPlan& plan)
{
    RegistryFailure failure;
    bool walkEnded = false;
    for (const RegistryWrite& write : plan.writes) {
        const bool prune = write.kind == RegistryWrite::Kind::PruneEntry;
        if (!prune)
            walkEnded = false;
        else if (walkEnded)
            continue;
        int code = make(ldap, write);
        if (alreadyDone(write, code))
            continue;
        // An ancestor that holds an entry again, or that may not be deleted,
        // stays, and so does every one above it.
        if (prune && cvRegistryCode(code) != SETUP_LDAP_CONNECT_FAILED) {
            walkEnded = true;
            continue;
        }
        failure.code = cvRegistryCode(code);
        failure.cause = cvRegistryCause(code);
        failure.what = describe(plan, write);
        return failure;
    }
    return failure;
}

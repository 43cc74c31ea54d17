// Registration removal: SIE and ISIE deletion with the upward pruning walk.

#include "setup_remove.h"

#include <memory>
#include <strings.h>
#include <unistd.h>

#include "c_boundary.h"
#include "cvldap.h"
#include "ldap_adapter.h"
#include "ldap_dn.h"
#include "ldapentry.h"
#include "ldapentry_internal.h"
#include "remove_internal.h"
#include "setup_compat.h"
#include "setup_registry_consts.h"

bool cvIsConfigRoot(const std::string& dn)
{
    return strcasecmp(dn.c_str(), DEFAULT_ROOT_DN) == 0;
}

int cvFirstChildren(Ldap* ldap, const std::string& dn, int limit,
                    std::vector<std::string>* children)
{
    children->clear();
    LDAP* ld = LdapEntryAccess::handle(ldap);
    if (!ld)
        return SETUP_LDAP_CONNECT_FAILED;
    char noAttributes[] = LDAP_NO_ATTRS;
    char* attrs[] = {noAttributes, nullptr};
    LDAPMessage* raw = nullptr;
    int code = ldap_search_ext_s(ld, dn.c_str(), LDAP_SCOPE_ONELEVEL, OBJECT_CLASS_FILTER, attrs, 1,
                                 nullptr, nullptr, nullptr, limit, &raw);
    ldapapi::MessagePtr answer(raw);
    if (code != LDAP_SUCCESS && code != LDAP_SIZELIMIT_EXCEEDED)
        return cvResultCode(code);
    for (LDAPMessage* e = ldap_first_entry(ld, answer.get()); e; e = ldap_next_entry(ld, e)) {
        ldapapi::TextPtr name(ldap_get_dn(ld, e));
        if (name)
            children->push_back(name.get());
    }
    return 0;
}

int cvDropAndPrune(Ldap* ldap, const std::string& dn, const PruneWalk& walk, std::string* failedAt)
{
    failedAt->clear();
    LdapEntry cursor(ldap);
    std::vector<std::string> parts;
    if (!cvSplitDN(dn.c_str(), parts)) {
        *failedAt = dn;
        return SETUP_LDAP_BAD_ARGUMENT;
    }
    int code =
        cvResultCode((walk.subtree ? cursor.dropAll(dn.c_str()) : cursor.drop(dn.c_str())).code);
    if (code != 0 && code != LDAP_NO_SUCH_OBJECT) {
        *failedAt = dn;
        return code;
    }
    if (walk.waitUntilGone) {
        waitForEntryRemoval(ldap, dn.c_str());
    }
    for (size_t start = 1; start < parts.size() && start <= walk.maxAncestors; ++start) {
        std::string candidate = cvJoinDN(parts, start);
        if (cvIsConfigRoot(candidate)) {
            break;
        }
        code = cvResultCode(cursor.drop(candidate.c_str()).code);
        if (code == SETUP_LDAP_CONNECT_FAILED) {
            *failedAt = candidate;
            return code;
        }
        if (code != 0 && code != LDAP_NO_SUCH_OBJECT) {
            break;
        }
    }
    return 0;
}

namespace {

int removeISIEChecked(Ldap* ldap, const char* isieDN);

int removeSIEChecked(Ldap* ldap, const char* sieDN, int alsoISIE)
{
    // The deletion is the existence test: an instance entry is a leaf, and
    // one request both finds and deletes it.
    LdapEntry entry(ldap);
    LdapError err = entry.dropAll(sieDN);
    if (err.code == LDAP_NO_SUCH_OBJECT) {
        return SETUP_LDAP_ENTRY_MISSING;
    }
    if (err.code != 0) {
        return err.code;
    }
    // The parent comes from the parsed DN: cutting the text at its first ','
    // would, for an RDN such as "cn=a\, b", name an entry that is no parent.
    std::vector<std::string> parts;
    if (!cvSplitDN(sieDN, parts) || parts.size() < 2) {
        return SETUP_LDAP_NO_PARENT;
    }
    if (!alsoISIE) {
        return 0;
    }
    std::string parent = cvJoinDN(parts, 1);
    return removeISIEChecked(ldap, parent.c_str());
}

int removeISIEChecked(Ldap* ldap, const char* isieDN)
{
    LdapEntry entry(ldap);
    LdapError err = entry.retrieve(OBJECT_CLASS_FILTER, 0, isieDN);
    if (err.code != 0) {
        return err.code;
    }
    // Once the product entry is read, what the later deletes report does
    // not change the result.
    PruneWalk walk;
    walk.waitUntilGone = true;
    std::string failedAt;
    int code = cvDropAndPrune(ldap, isieDN, walk, &failedAt);
    return failedAt == isieDN ? code : 0;
}

} // namespace

int setupRemoveSIE(Ldap* ldap, const char* sieDN, int alsoISIE)
{
    if (ldap == nullptr || sieDN == nullptr)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory,
                   [&] { return cvResultCode(removeSIEChecked(ldap, sieDN, alsoISIE)); });
}

int setupRemoveISIE(Ldap* ldap, const char* isieDN)
{
    if (ldap == nullptr || isieDN == nullptr)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] { return cvResultCode(removeISIEChecked(ldap, isieDN)); });
}

int removeSIE(Ldap* ldap, const char* sieDN, int alsoISIE)
{
    return setupRemoveSIE(ldap, sieDN, alsoISIE);
}

int removeISIE(Ldap* ldap, const char* isieDN)
{
    return setupRemoveISIE(ldap, isieDN);
}

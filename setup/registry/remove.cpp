// Registration removal: SIE and ISIE deletion with the upward pruning walk.

#include "setup_remove.h"

#include <memory>
#include <strings.h>
#include <unistd.h>

#include "c_boundary.h"
#include "cvldap.h"
#include "ldap_adapter.h"
#include "ldapentry.h"
#include "ldapentry_internal.h"
#include "remove_internal.h"
#include "setup_compat.h"
#include "setup_registry_consts.h"
#include "unregister_plan.h"

bool cvSplitDN(const char* dn, std::vector<std::string>& parts)
{
    parts.clear();
    if (dn == nullptr) {
        return false;
    }
    // Types are kept (second argument 0): the candidates the walks build are
    // full DNs that the server must resolve.
    std::unique_ptr<char*, void (*)(char**)> exploded(ldapapi::cv_explode_dn(dn, 0), ldapapi::cv_value_free);
    if (!exploded) {
        return false;
    }
    for (char** p = exploded.get(); *p != nullptr; ++p) {
        parts.emplace_back(*p);
    }
    return true;
}

std::string cvJoinDN(const std::vector<std::string>& parts, size_t from)
{
    std::string dn;
    for (size_t i = from; i < parts.size(); ++i) {
        if (i > from) {
            dn += LDAP_PATHSEP;
        }
        dn += parts[i];
    }
    return dn;
}

bool cvIsConfigRoot(const std::string& dn)
{
    return strcasecmp(dn.c_str(), DEFAULT_ROOT_DN) == 0;
}

bool cvSameDN(const char* a, const char* b)
{
    std::vector<std::string> pa;
    std::vector<std::string> pb;
    if (!cvSplitDN(a, pa) || !cvSplitDN(b, pb) || pa.size() != pb.size()) {
        return false;
    }
    for (size_t i = 0; i < pa.size(); ++i) {
        if (strcasecmp(pa[i].c_str(), pb[i].c_str()) != 0) {
            return false;
        }
    }
    return true;
}

int cvFirstChildren(Ldap* ldap, const std::string& dn, int limit, std::vector<std::string>* children)
{
    children->clear();
    LDAP* ld = LdapEntryAccess::handle(ldap);
    if (!ld)
        return LDAP_SERVER_DOWN;
    char noAttributes[] = LDAP_NO_ATTRS;
    char* attrs[] = {noAttributes, nullptr};
    LDAPMessage* raw = nullptr;
    int code = ldap_search_ext_s(ld, dn.c_str(), LDAP_SCOPE_ONELEVEL, OBJECT_CLASS_FILTER, attrs, 1, nullptr,
                                 nullptr, nullptr, limit, &raw);
    ldapapi::MessagePtr answer(raw);
    if (code != LDAP_SUCCESS && code != LDAP_SIZELIMIT_EXCEEDED)
        return code;
    for (LDAPMessage* e = ldap_first_entry(ld, answer.get()); e; e = ldap_next_entry(ld, e)) {
        ldapapi::TextPtr name(ldap_get_dn(ld, e));
        if (name)
            children->push_back(name.get());
    }
    return 0;
}

int cvDropAndPrune(Ldap* ldap, const std::string& dn, bool waitUntilGone, size_t maxAncestors)
{
    LdapEntry cursor(ldap);
    std::vector<std::string> parts;
    if (!cvSplitDN(dn.c_str(), parts)) {
        return SETUP_LDAP_BAD_ARGUMENT;
    }
    LdapError err = cursor.dropAll(dn.c_str());
    if (err.code != 0) {
        return err.code;
    }
    if (waitUntilGone) {
        waitForEntryRemoval(ldap, dn.c_str());
    }
    for (size_t start = 1; start < parts.size() && start <= maxAncestors; ++start) {
        std::string candidate = cvJoinDN(parts, start);
        if (cvIsConfigRoot(candidate)) {
            break;
        }
        // A server deletes only leaves: an ancestor that still holds
        // entries refuses (66), and the walk stops there.
        if (cursor.drop(candidate.c_str()).code != 0) {
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
    return cvDropAndPrune(ldap, isieDN, true);
}

} // namespace

int setupRemoveSIE(Ldap* ldap, const char* sieDN, int alsoISIE)
{
    if (ldap == nullptr || sieDN == nullptr)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory,
                   [&] { return cvRegistryCode(removeSIEChecked(ldap, sieDN, alsoISIE)); });
}

int setupRemoveISIE(Ldap* ldap, const char* isieDN)
{
    if (ldap == nullptr || isieDN == nullptr)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] { return cvRegistryCode(removeISIEChecked(ldap, isieDN)); });
}

int removeSIE(Ldap* ldap, const char* sieDN, int alsoISIE)
{
    return setupRemoveSIE(ldap, sieDN, alsoISIE);
}

int removeISIE(Ldap* ldap, const char* isieDN)
{
    return setupRemoveISIE(ldap, isieDN);
}

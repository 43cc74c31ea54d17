// LdapEntry: writing, renaming and deleting entries.
#include "ldapentry.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

#include "cvldap_internal.h"
#include "ldap_adapter.h"
#include "ldap_dn.h"
#include "ldapentry_internal.h"
#include "setup_registry_consts.h"

namespace {

bool hasValues(const NVPair& store)
{
    for (int i = 0; i < store.numList(); ++i)
        if (store.numListItems(store.list(i)) > 0)
            return true;
    return false;
}

// Names of the attributes that hold values, in store order.
std::vector<const char*> attributeNames(const NVPair& store)
{
    std::vector<const char*> names;
    for (int i = 0; i < store.numList(); ++i) {
        const char* name = store.list(i);
        if (name && store.numListItems(name) > 0)
            names.push_back(name);
    }
    return names;
}

bool containsName(const std::vector<const char*>& names, const char* name)
{
    for (const char* n : names)
        if (strcasecmp(n, name) == 0)
            return true;
    return false;
}

// The checks of a rewrite, then the read of what is stored at dn into
// stored: 0, or the code that ends the rewrite.
int readForRewrite(const NVPair& store, const char* dn, LdapEntry& stored)
{
    if (!hasValues(store))
        return SETUP_LDAP_INCOMPLETE_ENTRY;
    if (!dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return stored.retrieve(dn).code;
}

} // namespace

LDAP* LdapEntryAccess::handle(const Ldap* ldap)
{
    return ldap ? Ldap::State::of(*ldap).handle : nullptr;
}

LDAP* LdapEntryAccess::handle(const LdapEntry& entry)
{
    return handle(LdapEntry::State::of(entry).ldap);
}

int LdapEntryAccess::prepareInsert(LdapEntry& entry, const char* dn, ModList& mods)
{
    const NVPair& store = LdapEntry::State::of(entry).attributes;
    if (!hasValues(store))
        return SETUP_LDAP_INCOMPLETE_ENTRY;
    if (!dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    entry.addAttribute("objectclass", "top");
    if (!handle(entry))
        return LDAP_SERVER_DOWN;
    // Some servers add the naming values of a new entry themselves; slapd
    // refuses an entry that lacks them (64). They go into the store first,
    // as replace does.
    for (const auto& ava : ldapapi::rdn_values(dn))
        entry.addAttribute(ava.first.c_str(), ava.second.c_str());
    for (const char* name : attributeNames(store))
        mods.add(LDAP_MOD_ADD, name, store.getListItems(name));
    return 0;
}

void LdapEntryAccess::wrote(LdapEntry& entry, const char* dn, int code)
{
    if (code == 0) {
        LdapEntry::State& s = LdapEntry::State::of(entry);
        s.entryDN = dn;
        s.numEntries = 1;
    }
}

LdapError LdapEntry::insert(const char* dn)
{
    ModList mods;
    int code = LdapEntryAccess::prepareInsert(*this, dn, mods);
    if (code != 0)
        return LdapError(code, "");
    code = ldapapi::ldap_add_s(LdapEntryAccess::handle(*this), dn, mods.get());
    LdapEntryAccess::wrote(*this, dn, code);
    return LdapError(code, "");
}

LdapError LdapEntry::update(const char* dn)
{
    LdapEntry stored(state_->ldap);
    if (int code = readForRewrite(state_->attributes, dn, stored))
        return LdapError(code, "");
    ModList mods;
    NVPair& storedValues = LdapEntry::State::of(stored).attributes;
    for (const char* name : attributeNames(state_->attributes)) {
        const char* first = state_->attributes.getListItem(name, 0);
        if (storedValues.numListItems(name) < 1) {
            mods.add(LDAP_MOD_REPLACE, name, state_->attributes.getListItems(name));
        } else if (first && !*first) {
            mods.add(LDAP_MOD_DELETE, name, nullptr);
        } else {
            // Stored values in their order, then the new ones not yet there.
            // Every value is kept: a merge never drops values past a cap.
            for (int i = 0; const char* v = state_->attributes.getListItem(name, i); ++i)
                stored.addAttribute(name, v);
            mods.add(LDAP_MOD_REPLACE, name, storedValues.getListItems(name));
        }
    }
    int code = ldapapi::ldap_modify_s(LdapEntryAccess::handle(*this), dn, mods.get());
    LdapEntryAccess::wrote(*this, dn, code);
    return LdapError(code, "");
}

LdapError LdapEntry::replace(const char* dn)
{
    LdapEntry stored(state_->ldap);
    if (int code = readForRewrite(state_->attributes, dn, stored))
        return LdapError(code, "");
    ModList mods;
    int code = LdapEntryAccess::prepareReplace(*this, stored, dn, mods);
    if (code != 0)
        return LdapError(code, "");
    code = ldapapi::ldap_modify_s(LdapEntryAccess::handle(*this), dn, mods.get());
    LdapEntryAccess::wrote(*this, dn, code);
    return LdapError(code, "");
}

int LdapEntryAccess::prepareReplace(LdapEntry& entry, const LdapEntry& stored, const char* dn,
                                    ModList& mods)
{
    const NVPair& store = LdapEntry::State::of(entry).attributes;
    if (!hasValues(store))
        return SETUP_LDAP_INCOMPLETE_ENTRY;
    if (!dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    if (!handle(entry))
        return LDAP_SERVER_DOWN;
    entry.addAttribute("objectclass", "top");

    // The naming values stay: every attribute value assertion of the first
    // RDN, parsed (escaped commas, "cn=a+uid=b"), goes into the store.
    for (const auto& ava : ldapapi::rdn_values(dn))
        entry.addAttribute(ava.first.c_str(), ava.second.c_str());

    std::vector<const char*> storedNames = attributeNames(LdapEntry::State::of(stored).attributes);
    std::vector<const char*> storeNames = attributeNames(store);
    std::vector<const char*> names = storedNames;
    for (const char* n : storeNames)
        if (!containsName(names, n))
            names.push_back(n);

    for (const char* name : names) {
        bool inStore = containsName(storeNames, name);
        bool inStored = containsName(storedNames, name);
        if (inStore && inStored)
            mods.add(LDAP_MOD_REPLACE, name, store.getListItems(name));
        else if (strcmp(name, "passwordExpirationTime") == 0 ||
                 strcmp(name, "passwordexpirationtime") == 0)
            mods.add(LDAP_MOD_REPLACE, name, store.getListItems(name));
        else if (inStore)
            mods.add(LDAP_MOD_ADD, name, store.getListItems(name));
        else
            mods.add(LDAP_MOD_DELETE, name, nullptr);
    }
    return 0;
}

LdapError LdapEntry::rename(const char* dn, const char* newRDN)
{
    if (!newRDN || !dn)
        return LdapError(SETUP_LDAP_BAD_ARGUMENT, "");
    if (!LdapEntryAccess::handle(*this))
        return LdapError(LDAP_SERVER_DOWN, "");
    int code = ldapapi::ldap_modrdn2_s(LdapEntryAccess::handle(*this), dn, newRDN, 1);
    if (code == 0) {
        std::vector<std::string> parts;
        std::string renamed = newRDN;
        if (cvSplitDN(dn, parts) && parts.size() > 1)
            renamed += LDAP_PATHSEP + cvJoinDN(parts, 1);
        state_->entryDN = renamed.c_str();
    }
    return LdapError(code, "");
}

LdapError LdapEntry::drop(const char* dn) const
{
    if (!dn)
        return LdapError(SETUP_LDAP_BAD_ARGUMENT, "");
    if (!LdapEntryAccess::handle(*this))
        return LdapError(LDAP_SERVER_DOWN, "");
    return LdapError(ldapapi::ldap_delete_s(LdapEntryAccess::handle(*this), dn), "");
}

namespace {

// Deletes of leaves kept in flight at once by dropAll.
const size_t kDeleteWindow = 32;

struct MessageFree {
    void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};

// Leaf deletes of one level, a bounded number in flight. The first failure
// in the order the deletes were sent is the one reported; once a failure
// is known no further delete is sent.
class LeafDeletes {
public:
    explicit LeafDeletes(LDAP* ld) : ld_(ld) {}
    ~LeafDeletes()
    {
        for (const auto& p : pending_)
            ldap_abandon_ext(ld_, p.msgid, nullptr, nullptr);
    }
    LeafDeletes(const LeafDeletes&) = delete;
    LeafDeletes& operator=(const LeafDeletes&) = delete;

    bool failed() const { return firstFailure_ != 0; }
    int failure() const { return firstFailure_; }

    void send(const char* dn)
    {
        while (pending_.size() >= kDeleteWindow && !failed())
            harvest();
        if (failed())
            return;
        int msgid = 0;
        int code = ldap_delete_ext(ld_, dn, nullptr, nullptr, &msgid);
        long order = sent_++;
        if (code != LDAP_SUCCESS)
            note(order, code);
        else
            pending_.push_back(Pending{msgid, order, dn});
    }
    // Waits for every delete in flight.
    void drain()
    {
        while (!pending_.empty())
            harvest();
    }

private:
    void harvest()
    {
        LDAPMessage* raw = nullptr;
        int type = ldap_result(ld_, LDAP_RES_ANY, LDAP_MSG_ALL, nullptr, &raw);
        std::unique_ptr<LDAPMessage, MessageFree> answer(raw);
        if (type <= 0 || !raw) {
            for (const auto& p : pending_)
                note(p.order, LDAP_SERVER_DOWN);
            pending_.clear();
            return;
        }
        int msgid = ldap_msgid(raw);
        auto it = std::find_if(pending_.begin(), pending_.end(),
                               [&](const Pending& p) { return p.msgid == msgid; });
        if (it == pending_.end())
            return;
        int code = LDAP_OTHER;
        char** refs = nullptr;
        if (ldap_parse_result(ld_, answer.release(), &code, nullptr, nullptr, &refs, nullptr, 1) !=
            LDAP_SUCCESS)
            code = LDAP_DECODING_ERROR;
        if (code == LDAP_REFERRAL)
            code = ldapapi::follow_referral(ld_, refs, [&](LDAP* target, const char* dn) {
                return ldapapi::ldap_delete_s(target, dn ? dn : it->dn.c_str());
            });
        ber_memvfree(reinterpret_cast<void**>(refs));
        if (code != LDAP_SUCCESS)
            note(it->order, code);
        pending_.erase(it);
    }
    void note(long order, int code)
    {
        if (firstFailure_ == 0 || order < firstOrder_) {
            firstFailure_ = code;
            firstOrder_ = order;
        }
    }

    struct Pending {
        int msgid;
        long order; // order sent
        std::string dn;
    };
    LDAP* ld_;
    std::vector<Pending> pending_;
    long sent_ = 0;
    int firstFailure_ = 0;
    long firstOrder_ = 0;
};

// dn's subtree, children first; dn itself last.
LdapError dropChildrenFirst(LdapEntry& self, LDAP* ld, const char* dn)
{
    // Only whether each child has children of its own is read: leaves are
    // deleted several at a time, the others walked first (one at a time,
    // so each level's answers stay its own).
    char hasSubordinates[] = "hasSubordinates";
    char* attrs[] = {hasSubordinates, nullptr};
    for (;;) {
        LDAPMessage* raw = nullptr;
        int code = ldapapi::ldap_search_s(ld, dn, LDAP_SCOPE_ONELEVEL, OBJECT_CLASS_FILTER, attrs,
                                          0, &raw);
        std::unique_ptr<LDAPMessage, MessageFree> children(raw);
        int count = raw ? ldap_count_entries(ld, raw) : 0;
        if (code == LDAP_NO_SUCH_OBJECT || (code == LDAP_SUCCESS && count <= 0))
            return self.drop(dn);
        // A server that caps the entries a search returns sends the first
        // ones with "size limit exceeded": delete those and ask again until
        // no child is left.
        bool partial = code == LDAP_SIZELIMIT_EXCEEDED;
        if (code != 0 && !partial)
            return LdapError(code, "");
        LeafDeletes leaves(ld);
        int deleted = 0;
        for (LDAPMessage* e = ldap_first_entry(ld, raw); e && !leaves.failed();
             e = ldap_next_entry(ld, e)) {
            char* childDN = ldap_get_dn(ld, e);
            if (!childDN) {
                leaves.drain();
                return LdapError(leaves.failed() ? leaves.failure() : LDAP_DECODING_ERROR, "");
            }
            char** sub = ldapapi::cv_get_values(ld, e, "hasSubordinates");
            // A server that does not say is asked about the child's children.
            bool leaf = sub && sub[0] && strcasecmp(sub[0], "FALSE") == 0;
            bool told = sub && sub[0];
            ldapapi::cv_value_free(sub);
            if (leaf) {
                try {
                    leaves.send(childDN);
                } catch (...) {
                    ldap_memfree(childDN);
                    throw;
                }
                ldap_memfree(childDN);
            } else {
                leaves.drain();
                // A child the server says has children is walked at once;
                // one it says nothing about may be a leaf after all.
                LdapError result = leaves.failed() ? LdapError(leaves.failure(), "")
                                   : told          ? dropChildrenFirst(self, ld, childDN)
                                                   : self.dropAll(childDN);
                ldap_memfree(childDN);
                if (result.code != 0)
                    return result;
            }
            ++deleted;
        }
        leaves.drain();
        if (leaves.failed())
            return LdapError(leaves.failure(), "");
        if (!partial)
            return self.drop(dn);
        if (deleted == 0)
            return LdapError(code, "");
    }
}

} // namespace

LdapError LdapEntry::dropAll(const char* dn)
{
    if (!dn)
        return LdapError(SETUP_LDAP_BAD_ARGUMENT, "");
    if (!LdapEntryAccess::handle(*this))
        return LdapError(LDAP_SERVER_DOWN, "");
    // A leaf goes with one request; a server deletes only leaves, so an
    // entry with children is refused whole (66) and walked below.
    int code = ldapapi::ldap_delete_s(LdapEntryAccess::handle(*this), dn);
    if (code == LDAP_SUCCESS || code == LDAP_NO_SUCH_OBJECT)
        return LdapError(code, "");
    return dropChildrenFirst(*this, LdapEntryAccess::handle(*this), dn);
}

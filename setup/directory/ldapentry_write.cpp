// LdapEntry: writing, renaming and deleting entries.
#include "ldapentry.h"

#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

#include "ldap_adapter.h"
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

} // namespace

LdapError LdapEntry::insert(const char* dn)
{
    if (!hasValues(attributes_))
        return LdapError(SETUP_LDAP_INCOMPLETE_ENTRY, "");
    if (!dn)
        return LdapError(SETUP_LDAP_BAD_ARGUMENT, "");
    addAttribute("objectclass", "top");
    if (!ldap_ || !ldap_->handle_)
        return LdapError(LDAP_SERVER_DOWN, "");
    // Some servers add the naming values of a new entry themselves; slapd
    // refuses an entry that lacks them (64). They go into the store first,
    // as replace does.
    for (const auto& ava : ldapapi::rdn_values(dn))
        addAttribute(ava.first.c_str(), ava.second.c_str());
    ModList mods;
    for (const char* name : attributeNames(attributes_))
        mods.add(LDAP_MOD_ADD, name, attributes_.getListItems(name));
    int code = ldapapi::ldap_add_s(ldap_->handle_, dn, mods.get());
    if (code == 0) {
        entryDN_ = dn;
        numEntries_ = 1;
    }
    return LdapError(code, "");
}

LdapError LdapEntry::update(const char* dn)
{
    if (!hasValues(attributes_))
        return LdapError(SETUP_LDAP_INCOMPLETE_ENTRY, "");
    if (!dn)
        return LdapError(SETUP_LDAP_BAD_ARGUMENT, "");
    LdapEntry stored(ldap_);
    LdapError err = stored.retrieve(dn);
    if (err.code != 0)
        return err;
    ModList mods;
    for (const char* name : attributeNames(attributes_)) {
        const char* first = attributes_.getListItem(name, 0);
        if (stored.attributes_.numListItems(name) < 1) {
            mods.add(LDAP_MOD_REPLACE, name, attributes_.getListItems(name));
        } else if (first && !*first) {
            mods.add(LDAP_MOD_DELETE, name, nullptr);
        } else {
            // Stored values in their order, then the new ones not yet there.
            // Every value is kept: a merge never drops values past a cap.
            for (int i = 0; const char* v = attributes_.getListItem(name, i); ++i)
                stored.addAttribute(name, v);
            mods.add(LDAP_MOD_REPLACE, name, stored.attributes_.getListItems(name));
        }
    }
    int code = ldapapi::ldap_modify_s(ldap_->handle_, dn, mods.get());
    if (code == 0) {
        entryDN_ = dn;
        numEntries_ = 1;
    }
    return LdapError(code, "");
}

LdapError LdapEntry::replace(const char* dn)
{
    if (!hasValues(attributes_))
        return LdapError(SETUP_LDAP_INCOMPLETE_ENTRY, "");
    if (!dn)
        return LdapError(SETUP_LDAP_BAD_ARGUMENT, "");
    addAttribute("objectclass", "top");
    LdapEntry stored(ldap_);
    LdapError err = stored.retrieve(dn);
    if (err.code != 0)
        return err;

    // The naming values stay: every attribute value assertion of the first
    // RDN, parsed (escaped commas, "cn=a+uid=b"), goes into the store.
    for (const auto& ava : ldapapi::rdn_values(dn))
        addAttribute(ava.first.c_str(), ava.second.c_str());

    std::vector<const char*> storedNames = attributeNames(stored.attributes_);
    std::vector<const char*> storeNames = attributeNames(attributes_);
    std::vector<const char*> names = storedNames;
    for (const char* n : storeNames)
        if (!containsName(names, n))
            names.push_back(n);

    ModList mods;
    for (const char* name : names) {
        bool inStore = containsName(storeNames, name);
        bool inStored = containsName(storedNames, name);
        if (inStore && inStored)
            mods.add(LDAP_MOD_REPLACE, name, attributes_.getListItems(name));
        else if (strcmp(name, "passwordExpirationTime") == 0 || strcmp(name, "passwordexpirationtime") == 0)
            mods.add(LDAP_MOD_REPLACE, name, attributes_.getListItems(name));
        else if (inStore)
            mods.add(LDAP_MOD_ADD, name, attributes_.getListItems(name));
        else
            mods.add(LDAP_MOD_DELETE, name, nullptr);
    }
    int code = ldapapi::ldap_modify_s(ldap_->handle_, dn, mods.get());
    if (code == 0) {
        entryDN_ = dn;
        numEntries_ = 1;
    }
    return LdapError(code, "");
}

LdapError LdapEntry::rename(const char* dn, const char* newRDN)
{
    if (!newRDN || !dn)
        return LdapError(SETUP_LDAP_BAD_ARGUMENT, "");
    if (!ldap_ || !ldap_->handle_)
        return LdapError(LDAP_SERVER_DOWN, "");
    int code = ldapapi::ldap_modrdn2_s(ldap_->handle_, dn, newRDN, 1);
    if (code == 0) {
        std::unique_ptr<char*, void (*)(char**)> parts(ldapapi::cv_explode_dn(dn, 0), ldapapi::cv_value_free);
        std::string renamed = newRDN;
        for (int i = 1; parts && parts.get()[0] && parts.get()[i]; ++i)
            renamed += std::string(LDAP_PATHSEP) + parts.get()[i];
        parts.reset();
        entryDN_ = renamed.c_str();
    }
    return LdapError(code, "");
}

LdapError LdapEntry::drop(const char* dn) const
{
    if (!dn)
        return LdapError(SETUP_LDAP_BAD_ARGUMENT, "");
    if (!ldap_ || !ldap_->handle_)
        return LdapError(LDAP_SERVER_DOWN, "");
    return LdapError(ldapapi::ldap_delete_s(ldap_->handle_, dn), "");
}

LdapError LdapEntry::dropAll(const char* dn)
{
    if (!dn)
        return LdapError(SETUP_LDAP_BAD_ARGUMENT, "");
    LdapEntry children(ldap_);
    for (;;) {
        LdapError found = children.retrieve(OBJECT_CLASS_FILTER, LDAP_SCOPE_ONELEVEL, dn);
        if (found.code == SETUP_LDAP_NO_ENTRIES)
            return drop(dn);
        // A server that caps the entries a search returns sends the first
        // ones with "size limit exceeded": delete those and ask again until
        // no child is left.
        bool partial = found.code == LDAP_SIZELIMIT_EXCEEDED;
        if (found.code != 0 && !partial)
            return found;
        LDAP* ld = ldap_->handle_;
        int deleted = 0;
        for (LDAPMessage* e = ldap_first_entry(ld, children.result_); e; e = ldap_next_entry(ld, e)) {
            char* childDN = ldap_get_dn(ld, e);
            LdapError result = childDN ? dropAll(childDN) : LdapError(LDAP_DECODING_ERROR, "");
            ldap_memfree(childDN);
            if (result.code != 0)
                return result;
            ++deleted;
        }
        if (!partial)
            return drop(dn);
        if (deleted == 0)
            return found;
    }
}

// LdapEntry: construction and the attribute store.
#include "ldapentry.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "ldapentry_internal.h"

namespace {

// addAttributes takes at most this many values per call.
const int kMaxValuesPerCall = 500;

// userPassword, cvBindPassword and the like, and the password history.
bool isSecretAttribute(const char* name)
{
    static const char suffix[] = "password";
    size_t n = strlen(name), s = sizeof suffix - 1;
    return (n >= s && strcasecmp(name + n - s, suffix) == 0) ||
           strcasecmp(name, "passwordHistory") == 0;
}

} // namespace

ModList::~ModList()
{
    for (LDAPMod* m : mods_) {
        if (!m)
            continue; // the terminator added by get()
        NVPair::freeListItems(m->mod_values);
        delete m;
    }
}

void ModList::add(int op, const char* type, char** values)
{
    // The list takes the values over even when it cannot grow, so a failed
    // allocation leaks nothing; room for the terminator is kept as well.
    LDAPMod* m = nullptr;
    try {
        mods_.reserve(mods_.size() + 2);
        m = new LDAPMod();
    } catch (...) {
        NVPair::freeListItems(values);
        throw;
    }
    m->mod_op = op;
    m->mod_type = const_cast<char*>(type);
    m->mod_values = values;
    mods_.push_back(m);
}

LDAPMod** ModList::get()
{
    if (mods_.empty() || mods_.back() != nullptr)
        mods_.push_back(nullptr);
    return mods_.data();
}

LdapEntry::LdapEntry(const Ldap* ldap) : state_(new State(const_cast<Ldap*>(ldap))) {}

LdapEntry::~LdapEntry() = default;

void LdapEntry::change_ldap(Ldap* ldap)
{
    state_->ldap = ldap;
}

Ldap* LdapEntry::connection() const
{
    return state_->ldap;
}

const char* LdapEntry::entryDN() const
{
    return state_->entryDN;
}

int LdapEntry::numEntries() const
{
    return state_->numEntries;
}

void LdapEntry::printEntry(const char* file) const
{
    // Passwords and bind secrets never reach an output: print a copy of
    // the store without them.
    NVPair shown(state_->attributes);
    std::vector<std::string> secret;
    for (int i = 0; i < shown.numList(); ++i) {
        const char* name = shown.list(i);
        if (name && isSecretAttribute(name))
            secret.push_back(name);
    }
    for (const std::string& name : secret)
        shown.delList(name.c_str());
    shown.write(file);
}

void LdapEntry::setAttribute(const char* name, const char* value)
{
    if (!name)
        return;
    state_->attributes.delList(name);
    state_->attributes.add(name, value);
}

void LdapEntry::addAttribute(const char* name, const char* value)
{
    state_->attributes.add(name, value);
}

void LdapEntry::addAttributes(const char* name, const char** values)
{
    if (!name || !values)
        return;
    for (int i = 0; values[i] && i < kMaxValuesPerCall; ++i)
        state_->attributes.add(name, values[i]);
}

char* LdapEntry::getAttribute(const char* name) const
{
    if (!name)
        return nullptr;
    const char* value = state_->attributes.getListItem(name, 0);
    return value ? strdup(value) : nullptr;
}

char** LdapEntry::getAttributes(const char* name) const
{
    return name ? state_->attributes.getListItems(name) : nullptr;
}

char** LdapEntry::getAttributeNames() const
{
    int n = state_->attributes.numList();
    char** names = static_cast<char**>(calloc(static_cast<size_t>(n) + 1, sizeof(char*)));
    if (!names)
        return nullptr;
    int used = 0;
    for (int i = 0; i < n; ++i) {
        const char* name = state_->attributes.list(i);
        // An attribute exists only while it holds a value.
        if (!name || state_->attributes.numListItems(name) < 1)
            continue;
        names[used] = strdup(name);
        if (!names[used]) {
            NVPair::freeListItems(names);
            return nullptr;
        }
        ++used;
    }
    if (used == 0) {
        free(names);
        return nullptr;
    }
    return names;
}

void LdapEntry::freeAttributeNames(char** names)
{
    NVPair::freeListItems(names);
}

void LdapEntry::freeAttributes(char** values)
{
    NVPair::freeListItems(values);
}

void LdapEntry::deleteAttribute(const char* name)
{
    if (name)
        state_->attributes.delList(name);
}

Bool LdapEntry::checkAttribute(const char* name, const char* value) const
{
    return state_->attributes.inList(name, value) ? 1 : 0;
}

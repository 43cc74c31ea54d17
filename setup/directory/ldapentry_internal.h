/*
 * Shared by the LdapEntry source files: the attributes every loading search
 * requests, and the owner of a modification list under construction.
 */
#ifndef CV_LDAPENTRY_INTERNAL_H
#define CV_LDAPENTRY_INTERNAL_H

#include <ldap.h>
#include <vector>

// "*" and the operational attributes that travel with an entry read and
// written back: access control, password policy state, limits and roles.
extern const char* const cvRequestedAttributes[];

// LDAPMod array whose value arrays were allocated with malloc (NVPair item
// arrays); everything is released with the list.
class ModList {
public:
    ModList() = default;
    ~ModList();
    ModList(const ModList&) = delete;
    ModList& operator=(const ModList&) = delete;

    // Takes ownership of values (may be null: a delete of all values, or a
    // replace with none). type must outlive the list.
    void add(int op, const char* type, char** values);
    bool empty() const { return mods_.empty(); }
    // Null-terminated array for the LDAP calls.
    LDAPMod** get();

private:
    std::vector<LDAPMod*> mods_;
};

#endif

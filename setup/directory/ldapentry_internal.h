/*
 * Shared by the LdapEntry source files: the entry's state behind its public
 * class, the attributes every loading search requests, and the owner of a
 * modification list under construction.
 */
#ifndef CV_LDAPENTRY_INTERNAL_H
#define CV_LDAPENTRY_INTERNAL_H

#include <ldap.h>
#include <vector>

#include "cvstring.h"
#include "ldapentry.h"
#include "nvpair.h"

struct LdapEntry::State {
    explicit State(Ldap* connection) : ldap(connection) {}
    ~State()
    {
        if (result)
            ldap_msgfree(result);
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    Ldap* ldap;
    // The last search's answer, and the entry of it that is loaded.
    LDAPMessage* cursor = nullptr;
    LDAPMessage* result = nullptr;
    CVString entryDN;
    int numEntries = 0;
    NVPair attributes;

    static State& of(const LdapEntry& entry) { return *entry.state_; }
};

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

// The steps of LdapEntry's reads and writes that do not talk to the server:
// a write's modification list is built here and sent by whoever keeps the
// request in flight, and an answer is loaded into the entry the way a
// synchronous call would have loaded it.
class LdapEntryAccess {
public:
    // The connection's handle, null when there is none.
    static LDAP* handle(const Ldap* ldap);
    static LDAP* handle(const LdapEntry& entry);
    // The add of entry at dn: 0 with mods filled, or the code that refuses
    // it before anything is sent. Adds "objectclass: top" and the RDN's
    // values to entry's store.
    static int prepareInsert(LdapEntry& entry, const char* dn, ModList& mods);
    // The modify that leaves dn, now stored as stored, with exactly entry's
    // attributes (the RDN's values kept): 0 with mods filled, or the code
    // that refuses it.
    static int prepareReplace(LdapEntry& entry, const LdapEntry& stored, const char* dn,
                              ModList& mods);
    // After a write of dn answered code: on success the entry names dn.
    static void wrote(LdapEntry& entry, const char* dn, int code);
    // Loads a search's answer (owned from here on) into entry as retrieve
    // does: 0 with the first entry loaded, SETUP_LDAP_NO_ENTRIES (153) for
    // no such object or no entry, else code.
    static int adopt(LdapEntry& entry, int code, LDAPMessage* answer);
    // Loads message, one entry of a search's answer on ld, into entry: its
    // DN, and its attributes in place of those the store held.
    static void fill(LdapEntry& entry, LDAP* ld, LDAPMessage* message);
};

#endif

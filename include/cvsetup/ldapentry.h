/*
 * LdapEntry: cursor over the last search result, attribute store, and writer
 * of entries, all over the handle of one Ldap connection (which must outlive
 * it). Returns LDAP result codes unmapped, besides its own 144, 148 and 153.
 */
#ifndef CV_LDAPENTRY_H
#define CV_LDAPENTRY_H

// A class interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include <memory>

#include "cvldap.h"
#include "cvstring.h"
#include "ldaperror.h"
#include "nvpair.h"
#include "setup_common.h"

class SETUP_EXPORT LdapEntry {
public:
    explicit LdapEntry(const Ldap* ldap);
    ~LdapEntry();
    LdapEntry(const LdapEntry&) = delete;
    LdapEntry& operator=(const LdapEntry&) = delete;

    void change_ldap(Ldap* ldap);
    // The connection the entry reads and writes through (null when none).
    Ldap* connection() const;
    const char* entryDN() const;
    int numEntries() const;
    void printEntry(const char* file) const;

    void setAttribute(const char* name, const char* value);
    void addAttribute(const char* name, const char* value);
    void addAttributes(const char* name, const char** values);
    char* getAttribute(const char* name) const;
    char** getAttributes(const char* name) const;
    char** getAttributeNames() const;
    void freeAttributeNames(char** names);
    void freeAttributes(char** values);
    void deleteAttribute(const char* name);
    Bool checkAttribute(const char* name, const char* value) const;

    Bool exists(const char* dn);
    LdapError retrieve(const char* dn);
    LdapError retrieve(const char* filter, int scope, const char* base);
    LdapError next();

    LdapError insert(const char* dn);
    LdapError update(const char* dn);
    LdapError replace(const char* dn);
    LdapError rename(const char* dn, const char* newRDN);
    LdapError drop(const char* dn) const;
    LdapError dropAll(const char* dn);

    // The entry's state (connection, last search result and its cursor, DN,
    // attribute store), defined and used inside the library only.
    struct State;

private:
    std::unique_ptr<State> state_;
};

#endif // __cplusplus

#endif

// The plain-function directory interface over Ldap and LdapEntry.
#include "setup_ldap.h"

#include "cvldap.h"
#include "ldapentry.h"

namespace {

const int kMaxValuesPerCall = 500;

// A user without a password must not authenticate: hand the connection an
// empty password, which it refuses without binding, instead of letting a
// null password turn the check into an anonymous connection.
const char* checkedPassword(const char* user, const char* password)
{
    if (user && *user && !password)
        return "";
    return password;
}

} // namespace

extern "C" {

int setupCreateLdap(Ldap** handle, const char* url, const char* user, const char* password,
                    const char* searchDN, const char* searchPwd)
{
    if (!handle || !url)
        return SETUP_LDAP_BAD_ARGUMENT;
    LdapError err;
    Ldap* ldap = new Ldap(err, url, user, password, searchDN, searchPwd);
    if (err.code != 0) {
        delete ldap;
        ldap = nullptr;
    }
    *handle = ldap;
    return err.code;
}

void setupDestroyLdap(Ldap* ldap)
{
    delete ldap;
}

const char* setupGetUserDN(Ldap* ldap)
{
    return ldap ? ldap->userDN() : nullptr;
}

const char* setupGetServerVersion(Ldap* ldap)
{
    return ldap ? ldap->version() : nullptr;
}

int setupLdapModify(Ldap* ldap, const char* dn, LDAPMod** mods)
{
    if (!ldap || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return ldap->modify(dn, mods);
}

int setupCreateSuffix(Ldap* ldap, const char* suffix)
{
    if (!ldap || !suffix)
        return 0;
    char type[] = "cvslapd-suffix";
    char* values[] = {const_cast<char*>(suffix), nullptr};
    LDAPMod mod;
    mod.mod_op = LDAP_MOD_ADD;
    mod.mod_type = type;
    mod.mod_values = values;
    LDAPMod* mods[] = {&mod, nullptr};
    return ldap->modify("cn=config,cn=ldbm", mods);
}

int setupVerifyLdapUrl(const char* url, const char* user, const char* password)
{
    LdapError err;
    Ldap ldap(err, url, user, checkedPassword(user, password), nullptr, nullptr);
    return err.code;
}

int setupAuthLdapUser(const char* url, const char* user, const char* password, const char* searchDN,
                      const char* searchPwd)
{
    LdapError err;
    Ldap ldap(err, url, user, checkedPassword(user, password), searchDN, searchPwd);
    return err.code;
}

LdapEntry* setupCreateLdapEntry(Ldap* ldap)
{
    return ldap ? new LdapEntry(ldap) : nullptr;
}

void setupDestroyLdapEntry(LdapEntry* entry)
{
    delete entry;
}

const char* setupGetEntryDN(LdapEntry* entry)
{
    return entry ? entry->entryDN() : nullptr;
}

Bool setupEntryExists(LdapEntry* entry, const char* dn)
{
    return entry && dn ? entry->exists(dn) : 0;
}

int setupRetrieveLdapEntry(LdapEntry* entry, const char* dn)
{
    if (!entry || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return entry->retrieve(dn).code;
}

int setupRetrieveLdapEntries(LdapEntry* entry, const char* filter, int scope, const char* base)
{
    if (!entry || !filter)
        return SETUP_LDAP_BAD_ARGUMENT;
    return entry->retrieve(filter, scope, base).code;
}

int setupNextLdapEntry(LdapEntry* entry)
{
    if (!entry)
        return SETUP_LDAP_BAD_ARGUMENT;
    return entry->next().code;
}

char** setupGetLdapAttributeNames(LdapEntry* entry)
{
    return entry ? entry->getAttributeNames() : nullptr;
}

void setupFreeLdapAttributeNames(LdapEntry* entry, char** names)
{
    if (entry && names)
        entry->freeAttributeNames(names);
}

char** setupGetLdapAttributes(LdapEntry* entry, const char* name)
{
    return entry && name ? entry->getAttributes(name) : nullptr;
}

void setupFreeLdapAttributes(LdapEntry* entry, char** values)
{
    if (entry)
        entry->freeAttributes(values);
}

void setupSetLdapAttribute(LdapEntry* entry, const char* name, const char* value)
{
    if (entry && name && value)
        entry->setAttribute(name, value);
}

void setupAddLdapAttribute(LdapEntry* entry, const char* name, const char* value)
{
    if (entry && name && value)
        entry->addAttribute(name, value);
}

void setupAddLdapAttributes(LdapEntry* entry, const char* name, const char** values)
{
    if (!entry || !name || !values)
        return;
    for (int i = 0; values[i] && i < kMaxValuesPerCall; ++i)
        entry->addAttribute(name, values[i]);
}

int setupRenameLdapEntry(LdapEntry* entry, const char* dn, const char* newRDN)
{
    if (!entry || !dn || !newRDN)
        return SETUP_LDAP_BAD_ARGUMENT;
    return entry->rename(dn, newRDN).code;
}

int setupReplaceLdapEntry(LdapEntry* entry, const char* dn)
{
    if (!entry || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return entry->replace(dn).code;
}

int setupInsertLdapEntry(LdapEntry* entry, const char* dn)
{
    if (!entry || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return entry->insert(dn).code;
}

int setupUpdateLdapEntry(LdapEntry* entry, const char* dn)
{
    if (!entry || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return entry->update(dn).code;
}

int setupDropLdapEntry(Ldap* ldap, const char* dn)
{
    if (!ldap || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    LdapEntry entry(ldap);
    return entry.drop(dn).code;
}

int setupDropAllLdapEntries(Ldap* ldap, const char* dn)
{
    if (!ldap || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    LdapEntry entry(ldap);
    return entry.dropAll(dn).code;
}

void setupPrintLdapEntry(LdapEntry* entry, const char* file)
{
    if (entry)
        entry->printEntry(file);
}

// Short names.

int createLdap(Ldap** handle, const char* url, const char* user, const char* password,
               const char* searchDN, const char* searchPwd)
{
    return setupCreateLdap(handle, url, user, password, searchDN, searchPwd);
}
void destroyLdap(Ldap* ldap) { setupDestroyLdap(ldap); }
const char* userDN(Ldap* ldap) { return setupGetUserDN(ldap); }
const char* ldapServerVersion(Ldap* ldap) { return setupGetServerVersion(ldap); }
int verifyLdapUrl(const char* url, const char* user, const char* password)
{
    return setupVerifyLdapUrl(url, user, password);
}
int authLdapUser(const char* url, const char* user, const char* password, const char* searchDN,
                 const char* searchPwd)
{
    return setupAuthLdapUser(url, user, password, searchDN, searchPwd);
}
LdapEntry* createLdapEntry(Ldap* ldap) { return setupCreateLdapEntry(ldap); }
void destroyLdapEntry(LdapEntry* entry) { setupDestroyLdapEntry(entry); }
const char* entryDN(LdapEntry* entry) { return setupGetEntryDN(entry); }
Bool entryExists(LdapEntry* entry, const char* dn) { return setupEntryExists(entry, dn); }
int retrieveLdapEntry(LdapEntry* entry, const char* dn) { return setupRetrieveLdapEntry(entry, dn); }
int retrieveLdapEntries(LdapEntry* entry, const char* filter, int scope, const char* base)
{
    return setupRetrieveLdapEntries(entry, filter, scope, base);
}
int nextLdapEntry(LdapEntry* entry) { return setupNextLdapEntry(entry); }
char** getLdapAttributeNames(LdapEntry* entry) { return setupGetLdapAttributeNames(entry); }
void freeLdapAttributeNames(LdapEntry* entry, char** names) { setupFreeLdapAttributeNames(entry, names); }
char** getLdapAttributes(LdapEntry* entry, const char* name) { return setupGetLdapAttributes(entry, name); }
void freeLdapAttributes(LdapEntry* entry, char** values) { setupFreeLdapAttributes(entry, values); }
void setLdapAttribute(LdapEntry* entry, const char* name, const char* value)
{
    setupSetLdapAttribute(entry, name, value);
}
void addLdapAttribute(LdapEntry* entry, const char* name, const char* value)
{
    setupAddLdapAttribute(entry, name, value);
}
void addLdapAttributes(LdapEntry* entry, const char* name, const char** values)
{
    setupAddLdapAttributes(entry, name, values);
}
int renameLdapEntry(LdapEntry* entry, const char* dn, const char* newRDN)
{
    return setupRenameLdapEntry(entry, dn, newRDN);
}
int replaceLdapEntry(LdapEntry* entry, const char* dn) { return setupReplaceLdapEntry(entry, dn); }
int insertLdapEntry(LdapEntry* entry, const char* dn) { return setupInsertLdapEntry(entry, dn); }
int updateLdapEntry(LdapEntry* entry, const char* dn) { return setupUpdateLdapEntry(entry, dn); }
int dropLdapEntry(Ldap* ldap, const char* dn) { return setupDropLdapEntry(ldap, dn); }
int dropAllLdapEntries(Ldap* ldap, const char* dn) { return setupDropAllLdapEntries(ldap, dn); }
void printLdapEntry(LdapEntry* entry, const char* file) { setupPrintLdapEntry(entry, file); }

} // extern "C"

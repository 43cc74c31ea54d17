// The plain-function directory interface over Ldap and LdapEntry.
#include "setup_ldap.h"

#include "c_boundary.h"
#include "cvldap.h"
#include "ldap_adapter.h"
#include "ldapentry.h"
#include "setup_compat.h"
#include "setup_util.h"

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
    *handle = nullptr;
    return cvGuard(kCvNoMemory, [&] {
        LdapError err;
        Ldap* ldap = new Ldap(err, url, user, password, searchDN, searchPwd);
        if (err.code != 0) {
            // The caller gets a code only: why no server could be used (an
            // untrusted certificate, StartTLS refused) goes to the log.
            if (err.code == SETUP_LDAP_CONNECT_FAILED && err.message)
                setupLogMessage(SETUP_LOG_FATAL, "ldap", "cannot connect to %s: %s", url,
                                static_cast<const char*>(err.message));
            delete ldap;
        } else {
            *handle = ldap;
        }
        return cvResultCode(err.code);
    });
}

void setupRequireStartTLS(int required)
{
    ldapapi::set_require_starttls(required != 0);
}

const char* setupGetReferralRefusal(Ldap* ldap)
{
    return ldap ? ldap->referralRefusal() : nullptr;
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
    return cvGuard(kCvNoMemory, [&] { return cvResultCode(ldap->modify(dn, mods)); });
}

int setupCreateSuffix(Ldap* ldap, const char* suffix)
{
    if (!ldap || !suffix)
        return SETUP_LDAP_BAD_ARGUMENT;
    char type[] = "cvslapd-suffix";
    char* values[] = {const_cast<char*>(suffix), nullptr};
    LDAPMod mod;
    mod.mod_op = LDAP_MOD_ADD;
    mod.mod_type = type;
    mod.mod_values = values;
    LDAPMod* mods[] = {&mod, nullptr};
    return setupLdapModify(ldap, "cn=config,cn=ldbm", mods);
}

int setupVerifyLdapUrl(const char* url, const char* user, const char* password)
{
    return cvGuard(kCvNoMemory, [&] {
        LdapError err;
        Ldap ldap(err, url, user, checkedPassword(user, password), nullptr, nullptr);
        return cvResultCode(err.code);
    });
}

int setupAuthLdapUser(const char* url, const char* user, const char* password, const char* searchDN,
                      const char* searchPwd)
{
    return cvGuard(kCvNoMemory, [&] {
        LdapError err;
        Ldap ldap(err, url, user, checkedPassword(user, password), searchDN, searchPwd);
        return cvResultCode(err.code);
    });
}

LdapEntry* setupCreateLdapEntry(Ldap* ldap)
{
    if (!ldap)
        return nullptr;
    return cvGuard<LdapEntry*>(nullptr, [&] { return new LdapEntry(ldap); });
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
    if (!entry || !dn)
        return 0;
    return cvGuard<Bool>(0, [&] { return entry->exists(dn); });
}

int setupRetrieveLdapEntry(LdapEntry* entry, const char* dn)
{
    if (!entry || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] { return cvResultCode(entry->retrieve(dn).code); });
}

int setupRetrieveLdapEntries(LdapEntry* entry, const char* filter, int scope, const char* base)
{
    if (!entry || !filter)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory,
                   [&] { return cvResultCode(entry->retrieve(filter, scope, base).code); });
}

int setupNextLdapEntry(LdapEntry* entry)
{
    if (!entry)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] { return cvResultCode(entry->next().code); });
}

char** setupGetLdapAttributeNames(LdapEntry* entry)
{
    if (!entry)
        return nullptr;
    return cvGuard<char**>(nullptr, [&] { return entry->getAttributeNames(); });
}

void setupFreeLdapAttributeNames(LdapEntry* entry, char** names)
{
    if (entry && names)
        entry->freeAttributeNames(names);
}

char** setupGetLdapAttributes(LdapEntry* entry, const char* name)
{
    if (!entry || !name)
        return nullptr;
    return cvGuard<char**>(nullptr, [&] { return entry->getAttributes(name); });
}

void setupFreeLdapAttributes(LdapEntry* entry, char** values)
{
    if (entry)
        entry->freeAttributes(values);
}

void setupSetLdapAttribute(LdapEntry* entry, const char* name, const char* value)
{
    if (entry && name && value)
        cvGuardVoid([&] { entry->setAttribute(name, value); });
}

void setupAddLdapAttribute(LdapEntry* entry, const char* name, const char* value)
{
    if (entry && name && value)
        cvGuardVoid([&] { entry->addAttribute(name, value); });
}

void setupAddLdapAttributes(LdapEntry* entry, const char* name, const char** values)
{
    if (!entry || !name || !values)
        return;
    cvGuardVoid([&] {
        for (int i = 0; values[i] && i < kMaxValuesPerCall; ++i)
            entry->addAttribute(name, values[i]);
    });
}

int setupRenameLdapEntry(LdapEntry* entry, const char* dn, const char* newRDN)
{
    if (!entry || !dn || !newRDN)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] { return cvResultCode(entry->rename(dn, newRDN).code); });
}

int setupReplaceLdapEntry(LdapEntry* entry, const char* dn)
{
    if (!entry || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] { return cvResultCode(entry->replace(dn).code); });
}

int setupInsertLdapEntry(LdapEntry* entry, const char* dn)
{
    if (!entry || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] { return cvResultCode(entry->insert(dn).code); });
}

int setupUpdateLdapEntry(LdapEntry* entry, const char* dn)
{
    if (!entry || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] { return cvResultCode(entry->update(dn).code); });
}

int setupDropLdapEntry(Ldap* ldap, const char* dn)
{
    if (!ldap || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] {
        LdapEntry entry(ldap);
        return cvResultCode(entry.drop(dn).code);
    });
}

int setupDropAllLdapEntries(Ldap* ldap, const char* dn)
{
    if (!ldap || !dn)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] {
        LdapEntry entry(ldap);
        return cvResultCode(entry.dropAll(dn).code);
    });
}

void setupPrintLdapEntry(LdapEntry* entry, const char* file)
{
    if (entry)
        cvGuardVoid([&] { entry->printEntry(file); });
}

// Short names.

int createLdap(Ldap** handle, const char* url, const char* user, const char* password,
               const char* searchDN, const char* searchPwd)
{
    return setupCreateLdap(handle, url, user, password, searchDN, searchPwd);
}
void destroyLdap(Ldap* ldap)
{
    setupDestroyLdap(ldap);
}
void requireStartTLS(int required)
{
    setupRequireStartTLS(required);
}
const char* referralRefusal(Ldap* ldap)
{
    return setupGetReferralRefusal(ldap);
}
const char* userDN(Ldap* ldap)
{
    return setupGetUserDN(ldap);
}
const char* ldapServerVersion(Ldap* ldap)
{
    return setupGetServerVersion(ldap);
}
int verifyLdapUrl(const char* url, const char* user, const char* password)
{
    return setupVerifyLdapUrl(url, user, password);
}
int authLdapUser(const char* url, const char* user, const char* password, const char* searchDN,
                 const char* searchPwd)
{
    return setupAuthLdapUser(url, user, password, searchDN, searchPwd);
}
LdapEntry* createLdapEntry(Ldap* ldap)
{
    return setupCreateLdapEntry(ldap);
}
void destroyLdapEntry(LdapEntry* entry)
{
    setupDestroyLdapEntry(entry);
}
const char* entryDN(LdapEntry* entry)
{
    return setupGetEntryDN(entry);
}
Bool entryExists(LdapEntry* entry, const char* dn)
{
    return setupEntryExists(entry, dn);
}
int retrieveLdapEntry(LdapEntry* entry, const char* dn)
{
    return setupRetrieveLdapEntry(entry, dn);
}
int retrieveLdapEntries(LdapEntry* entry, const char* filter, int scope, const char* base)
{
    return setupRetrieveLdapEntries(entry, filter, scope, base);
}
int nextLdapEntry(LdapEntry* entry)
{
    return setupNextLdapEntry(entry);
}
char** getLdapAttributeNames(LdapEntry* entry)
{
    return setupGetLdapAttributeNames(entry);
}
void freeLdapAttributeNames(LdapEntry* entry, char** names)
{
    setupFreeLdapAttributeNames(entry, names);
}
char** getLdapAttributes(LdapEntry* entry, const char* name)
{
    return setupGetLdapAttributes(entry, name);
}
void freeLdapAttributes(LdapEntry* entry, char** values)
{
    setupFreeLdapAttributes(entry, values);
}
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
int replaceLdapEntry(LdapEntry* entry, const char* dn)
{
    return setupReplaceLdapEntry(entry, dn);
}
int insertLdapEntry(LdapEntry* entry, const char* dn)
{
    return setupInsertLdapEntry(entry, dn);
}
int updateLdapEntry(LdapEntry* entry, const char* dn)
{
    return setupUpdateLdapEntry(entry, dn);
}
int dropLdapEntry(Ldap* ldap, const char* dn)
{
    return setupDropLdapEntry(ldap, dn);
}
int dropAllLdapEntries(Ldap* ldap, const char* dn)
{
    return setupDropAllLdapEntries(ldap, dn);
}
void printLdapEntry(LdapEntry* entry, const char* file)
{
    setupPrintLdapEntry(entry, file);
}

} // extern "C"

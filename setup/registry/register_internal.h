/*
 * Pieces shared by the registration operations (instance registration,
 * version refresh, domain and access helpers, user directories) and the
 * registration removal. C++ only; not part of the plain-function interface.
 * Nothing here throws except std::bad_alloc, which the plain functions'
 * cvGuard turns into a result. Codes are 0 or a code of the library
 * (cvResultCode), never the client library's negative ones.
 */
#ifndef CV_REGISTER_INTERNAL_H
#define CV_REGISTER_INTERNAL_H

#include <string>
#include <vector>

class Ldap;
class LdapEntry;

// The admin-domain DN of a name or DN (the URL helpers' rule).
std::string cvAdminDomainDN(const char* adminDomain);

// "type=value, parent" with value escaped as an RDN value.
std::string cvChildDN(const char* type, const char* value, const std::string& parent);

// "(&(objectclass=cvAdminGroup)(cvConfigRoot=<escaped root>))".
std::string formAdminGroupFilter(const char* serverRoot);

// template with its one "%s" replaced by dn, '"' and '\' of dn escaped with
// a backslash so the value stays one quoted target of the access syntax.
std::string cvFillAci(const char* aciTemplate, const std::string& dn);

// The current UTC time as "%Y%m%d%H%M%SZ".
std::string cvTimeStamp();

// The first value of name in entry's store; false when there is none.
bool cvFirstValue(const LdapEntry& entry, const char* name, std::string* value);
// All values of name in entry's store, in store order.
std::vector<std::string> cvAllValues(const LdapEntry& entry, const char* name);

// Base read of dn into entry: 0 found, SETUP_LDAP_NO_ENTRIES (153) when it
// does not exist, any other code when the read failed.
int cvRead(LdapEntry& entry, const std::string& dn);

// Takes member out of the "uniquemember" values of dn, the value as stored
// (the one way the registry drops a member): 0, or the modify's code
// (LDAP_NO_SUCH_ATTRIBUTE, 16, when dn does not list it; 32 when dn does not
// exist).
int cvDropMember(Ldap* ldap, const std::string& dn, const std::string& member);

// 1 once dn shows (holding attr = value when both are given), 0 when it still
// does not once the wait's budget is spent (cvWaitUntil, registry_wait.h:
// pauses from 50 ms, doubling, 25 s in all); a null ldap or dn gives 1 at
// once.
int waitForEntry(Ldap* ldap, const char* dn, const char* attr, const char* value);

// Pauses taken by the registry's waits in this process so far: the
// registration's promise that a server showing its writes at once costs no
// pause is testable.
unsigned long cvRegistryWaitSleeps();

// Creates ou=Global Preferences, {domain DN} or refreshes its "aci" and
// "description"; the insert's or rewrite's code, or the read's code when the
// read failed otherwise than "no such object".
int ensureGlobalPreferences(Ldap* ldap, const char* domain);
// Its two halves: the branch's DN for a domain name or DN, and the create or
// refresh once the branch was read into prefs with readCode. A branch that
// already holds exactly the values is not rewritten.
std::string cvGlobalPreferencesDN(const char* domain);
int refreshGlobalPreferences(LdapEntry& prefs, int readCode, const std::string& dn);

// True when name has exactly one value in entry's store, and it is value.
bool cvHoldsOnly(const LdapEntry& entry, const char* name, const char* value);

// DN of an admin domain's global directory-info entry.
std::string globalUserDirectoryDN(const char* adminDomain);

// Reads a loaded directory-info entry into the caller's texts (malloc'd;
// each out-parameter may be null): the multi-host URL (left untouched when
// the entry has no "cvDirectoryURL"), the bind DN and the bind password.
// The stored URL is split into its host part and its base part at the first
// '/' after "://", so a base DN holding '/' and a URL without a base both
// keep their meaning. Returns 0.
int readDirectoryInfo(const LdapEntry& entry, char** url, char** bindDN, char** bindPassword);

// Loads the directory-info entry for dn into entry, following
// "cvDirectoryInfoRef" with at most three reads in all: 0 when loaded
// (holding "cvDirectoryURL", or a further reference once the reads are used
// up), 153 when neither URL nor reference, else the last read's code.
int resolveDirectoryInfo(LdapEntry* entry, const char* dn);

#endif

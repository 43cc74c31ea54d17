/*
 * Instance registration removal: takes one server instance off the registry
 * of the configuration directory (its SIE and, when it was the product's last
 * instance, the product entry and every ancestor left empty, never an admin
 * domain or the configuration root), in the setup library's crash-safe order
 * (unregister_plan.h): run again after an interruption, it finishes the job.
 * Diagnostics go to the standard error stream, one line each,
 * "Error: could not ...: error = N", N never negative.
 */
#ifndef CV_UNREGISTER_H
#define CV_UNREGISTER_H

#include <string>

class LdapEntry;
struct RegistryPlan;

// What one unregistration achieved, beside its code.
struct UnregisterResult {
    // Both entries were found, so their deletion was attempted.
    bool found = false;
    // No SIE of this instance: it is not registered (any more). absence is
    // the SIE search, in the words of the diagnostic; repaired counts the
    // leftovers of an interrupted removal mended on the way.
    bool notRegistered = false;
    std::string absence;
    size_t repaired = 0;
    // For a timeout or a lost connection (151), the client library's text.
    std::string cause;
    // The configuration directory (no password): the server that answered
    // and the suffix once connected, else the URL as configured.
    std::string url;
};

/*
 * The unregistration of removeInstanceLDAPEntries, with its outcome in
 * result. The SIE used is the first search result whose "cn" equals
 * instanceName and whose "serverroot" equals serverRoot byte for byte; a
 * result that matches the filter only without regard to case or blanks is
 * another instance. Without an exact one the instance is not registered:
 * only the leftovers of an interrupted removal are mended, and nothing is
 * written to the error stream. Pruning ancestors that stay behind is not a
 * failure: the instance's own entries are gone. Returns 0 when the
 * instance's registration is gone (also when it was not there); otherwise
 * the code of the first failure (connection, search, or a write the
 * directory refused), never negative: a timeout or a lost connection is 151.
 */
int cvUnregisterInstance(const std::string& url, const char* bindDN, const char* bindPassword,
                         const char* instanceName, const char* machineName, const char* serverRoot,
                         UnregisterResult& result);

/*
 * Any argument may be null. Returns 0 when the SIE and the ISIE were found
 * and their deletion was attempted (even when a deletion failed), 1 when the
 * connection or either search failed (an SIE search that finds nothing gets
 * its diagnostic, code 153, after the leftovers of an interrupted removal
 * were mended); nothing of the instance is written to the directory before
 * both searches have succeeded. When the product entry still holds another
 * instance, only this instance's SIE is removed and its DN is taken out of
 * the product entry's "uniquemember" values first.
 */
int removeInstanceLDAPEntries(const char* host, const char* port, const char* suffix,
                              const char* bindDN, const char* bindPassword,
                              const char* instanceName, const char* machineName,
                              const char* serverRoot);

/*
 * Null for null; otherwise a new array (release with delete[]) of twice the
 * text's length plus two bytes, holding the text with every backslash
 * doubled. Published for callers that build old-style filters; the searches
 * of the removal (the library's cvPlanRegistry) escape their filter values
 * as RFC 4515 asks.
 */
char* escapeBackslashes(const char* text);

/*
 * Deletes the ISIE that the cursor holds, with its subtree, then prunes each
 * ancestor left without children, stopping at the first one that still has
 * children or is an admin domain, and never touching the configuration root:
 * the walk of the removal (cvRemoveProductAndPrune), the topmost entry's
 * listing in the ancestor that stays taken out first. A failure gets its
 * diagnostic. Always 0.
 */
int removeISIEAndPrune(LdapEntry& isie);

/*
 * The same walk as cvUnregisterInstance runs it, last, after the other
 * writes of plan (the instance's registry plan, whose product entry the
 * cursor holds): the entry alone and the ancestors the plan found. A failure
 * gets its diagnostic and its cause in result. Returns 0 or the failure's
 * code.
 */
int removeISIEAndPrune(LdapEntry& isie, const RegistryPlan& plan, UnregisterResult& result);

// The library's URL encodings (setupEncodeLdapUrlDN, setupEncodeLdapUrlHost)
// as strings; a null text gives "". Running out of memory throws bad_alloc.
std::string cvUrlEncodedDN(const char* dn);
std::string cvUrlEncodedHost(const char* text);

// "ldap://" host ":" port "/" encoded suffix; a null part contributes nothing.
// The URL of removeInstanceLDAPEntries, whose parameters name no scheme.
std::string cvConfigDirectoryUrl(const char* host, const char* port, const char* suffix);

// True when text is a decimal port number from 1 to 65535.
bool cvIsDecimalPort(const char* text);

#endif

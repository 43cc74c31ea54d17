/*
 * Pieces shared by the registration removal (setupRemoveSIE,
 * setupRemoveISIE) and the removal tool's registry plan. C++ only; not part
 * of the plain-function interface. Results are 0 or a code of the library
 * (cvResultCode): never one of the client library's negative codes.
 */
#ifndef CV_REMOVE_INTERNAL_H
#define CV_REMOVE_INTERNAL_H

#include <cstddef>
#include <string>
#include <vector>

class Ldap;

// 1 once an existence test no longer finds dn (at once for a null dn), 0 when
// it still finds it once the wait's budget is spent (cvWaitUntil,
// registry_wait.h), so a deletion that already shows costs no pause at all.
int waitForEntryRemoval(Ldap* ldap, const char* dn);

// True when dn names the configuration root, compared without regard to case.
bool cvIsConfigRoot(const std::string& dn);

// The DNs of at most limit children of dn (all for 0), names only: 0 (also
// when dn has more children than that), or the search's failure code (32 when dn does
// not exist). An entry's child count matters here only as "none", "one" or
// "more", so a parent of thousands costs no more than a parent of two.
int cvFirstChildren(Ldap* ldap, const std::string& dn, int limit,
                    std::vector<std::string>* children);

// How cvDropAndPrune deletes.
struct PruneWalk {
    // dn with everything below it; otherwise dn alone, which the directory
    // refuses (66) while it still holds an entry.
    bool subtree = true;
    // Before the ancestors are deleted, wait (waitForEntryRemoval) until dn's
    // deletion shows, for replicated directories that apply it late.
    bool waitUntilGone = false;
    // At most this many ancestors are deleted (the removal tool passes the
    // number its plan found).
    size_t maxAncestors = static_cast<size_t>(-1);
};

// The one pruning walk of the system. Deletes dn, then each ancestor in
// turn, nearest first, never the configuration root itself: a server
// deletes only leaves, so an ancestor that still holds entries refuses
// (66), and it stays with every one above it. An entry already gone counts
// as deleted. Returns 0 when dn is gone; otherwise the code of dn's
// deletion, or of a client-side failure while pruning (the walk stopped
// without knowing which ancestors stay), with *failedAt naming the entry.
// A dn that cannot be parsed gives SETUP_LDAP_BAD_ARGUMENT, nothing deleted.
int cvDropAndPrune(Ldap* ldap, const std::string& dn, const PruneWalk& walk, std::string* failedAt);

#endif

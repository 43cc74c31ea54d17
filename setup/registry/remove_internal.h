/*
 * Pieces shared by the registration removal and its pruning walk
 * (cvDropAndPrune, unregister_plan.h). C++ only; not part of the
 * plain-function interface.
 */
#ifndef CV_REMOVE_INTERNAL_H
#define CV_REMOVE_INTERNAL_H

#include <string>
#include <vector>

class Ldap;

// 1 once an existence test no longer finds dn (at once for a null dn), 0 when
// it still finds it once the wait's budget is spent (cvWaitUntil,
// registry_wait.h), so a deletion that already shows costs no pause at all.
int waitForEntryRemoval(Ldap* ldap, const char* dn);

// The RDN components of dn, each with its attribute type, from the entry's
// own RDN up to the top-level one. False when dn cannot be parsed; a walk
// over such a DN must delete nothing.
bool cvSplitDN(const char* dn, std::vector<std::string>& parts);

// Components from..end joined with LDAP_PATHSEP (empty when from is past
// the end).
std::string cvJoinDN(const std::vector<std::string>& parts, size_t from);

// True when dn names the configuration root, compared without regard to case.
bool cvIsConfigRoot(const std::string& dn);

// True when both texts parse and name the same entry: the same number of
// components, each equal without regard to case.
bool cvSameDN(const char* a, const char* b);

// The DNs of at most limit children of dn (all for 0), names only: 0 (also
// when dn has more children than that), or the search's failure code (32 when dn does
// not exist). An entry's child count matters here only as "none", "one" or
// "more", so a parent of thousands costs no more than a parent of two.
int cvFirstChildren(Ldap* ldap, const std::string& dn, int limit, std::vector<std::string>* children);

#endif

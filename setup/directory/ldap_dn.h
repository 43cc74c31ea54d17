/*
 * The library's one reading of a DN: its RDN components in the LDAPv3
 * string form (each with its attribute type), and the comparisons and joins
 * built on them. Internal; not part of the installed interface.
 */
#ifndef CV_LDAP_DN_H
#define CV_LDAP_DN_H

#include <string>
#include <vector>

// The RDN components of dn, each with its attribute type, from the entry's
// own RDN up to the top-level one. False (parts empty) when dn is null or
// cannot be parsed; a walk over such a DN must delete nothing.
bool cvSplitDN(const char* dn, std::vector<std::string>& parts);

// Components from..end joined with LDAP_PATHSEP (empty when from is past
// the end).
std::string cvJoinDN(const std::vector<std::string>& parts, size_t from);

// True when both texts parse and name the same entry: the same number of
// components, each equal without regard to case.
bool cvSameDN(const char* a, const char* b);

// True when dns holds an entry of the same DN as dn.
bool cvAmongDNs(const std::string& dn, const std::vector<std::string>& dns);

#endif

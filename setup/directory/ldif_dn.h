/*
 * The DN of an LDIF record: composed with the load's suffix, checked, and
 * keyed so the loader can tell which writes depend on each other. Internal;
 * not part of the installed interface.
 */
#ifndef CV_LDIF_DN_H
#define CV_LDIF_DN_H

#include <string>
#include <vector>

class LdifDnMaker {
public:
    // suffix empty: DNs are taken as written.
    explicit LdifDnMaker(const std::string& suffix);

    // The DN of a record: its "dn" value (null when the record has none)
    // followed by ", " and the suffix, and its ordering key (below). False,
    // with why set, when the record must not be written: the value holds a
    // NUL or does not parse as a DN, the suffix does not parse, neither is
    // given, or the composition does not end with the suffix's RDNs (a
    // value that would escape the separator, "ou=x\", must never name an
    // entry outside the suffix).
    bool make(const std::string* value, std::string* dn, std::vector<std::string>* key,
              std::string* why) const;

private:
    std::string suffix_;
    bool suffixParses_;
    std::vector<std::string> suffixRdns_;
};

// Ordering keys: one per RDN, leaf first. Keys hold RDN values only, in
// ASCII lower case without blanks or non-ASCII bytes, so DNs that a server
// might take as the same entry (other case, spacing, attribute type alias,
// AVA order) get the same keys; other DNs may share them too, which only
// costs waiting.
// Whether writes on the two DNs can change each other's outcome: one names
// the other or one of its ancestors.
bool ldifDependent(const std::vector<std::string>& a, const std::vector<std::string>& b);

#endif

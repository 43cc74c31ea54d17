// DN components, joins and comparisons over the adapter's DN explode.
#include "ldap_dn.h"

#include <strings.h>

#include "ldap_adapter.h"
#include "setup_registry_consts.h"

bool cvSplitDN(const char* dn, std::vector<std::string>& parts)
{
    parts.clear();
    // Types are kept (second argument 0): the DNs built from the parts are
    // full DNs that a server must resolve.
    ldapapi::ValuesPtr exploded(ldapapi::cv_explode_dn(dn, 0));
    if (!exploded)
        return false;
    for (char** p = exploded.get(); *p != nullptr; ++p)
        parts.emplace_back(*p);
    return true;
}

std::string cvJoinDN(const std::vector<std::string>& parts, size_t from)
{
    std::string dn;
    for (size_t i = from; i < parts.size(); ++i) {
        if (i > from)
            dn += LDAP_PATHSEP;
        dn += parts[i];
    }
    return dn;
}

bool cvSameDN(const char* a, const char* b)
{
    std::vector<std::string> pa;
    std::vector<std::string> pb;
    if (!cvSplitDN(a, pa) || !cvSplitDN(b, pb) || pa.size() != pb.size())
        return false;
    for (size_t i = 0; i < pa.size(); ++i)
        if (strcasecmp(pa[i].c_str(), pb[i].c_str()) != 0)
            return false;
    return true;
}

bool cvAmongDNs(const std::string& dn, const std::vector<std::string>& dns)
{
    for (const std::string& other : dns)
        if (cvSameDN(dn.c_str(), other.c_str()))
            return true;
    return false;
}

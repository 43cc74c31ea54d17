// The realistic registry every registration-removal test starts from
// (tests/support/data/registry.ldif), loaded into a test slapd, a suite whose
// tests each start from it, and helpers that compare what the registry
// holds before and after a removal.
#ifndef CV_TEST_REGISTRY_FIXTURE_H
#define CV_TEST_REGISTRY_FIXTURE_H

#include <algorithm>
#include <cctype>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include <ldap.h>

#include "slapd.h"
#include "tempdir.h"

namespace cvtest {

struct RegistryRoots {
    std::string alpha = "/srv/corvid/alpha";
    std::string beta = "/srv/corvid/beta";
    std::string lab = "/srv/corvid/lab";
};

// DNs of the fixture, in the spelling the LDIF uses.
namespace reg {
const std::string kDomain = "ou=example.com, o=CorvidRoot";
const std::string kLabDomain = "ou=lab.example.com, o=CorvidRoot";
const std::string kAlpha = "cn=alpha.example.com, " + kDomain;
const std::string kAlphaGroup = "cn=Server Group, " + kAlpha;
const std::string kAlphaAdmin = "cn=Administration Server, " + kAlphaGroup;
const std::string kAlphaDS = "cn=Corvid Directory Server, " + kAlphaGroup;
const std::string kEast = "cn=slapd-east, " + kAlphaDS;
const std::string kEastConfig = "cn=configuration, " + kEast;
const std::string kWest = "cn=slapd-west, " + kAlphaDS;
const std::string kBeta = "cn=beta.example.com, " + kDomain;
const std::string kBetaGroup = "cn=Server Group, " + kBeta;
const std::string kBetaDS = "cn=Corvid Directory Server, " + kBetaGroup;
const std::string kBetaSlapd = "cn=slapd-beta, " + kBetaDS;
const std::string kBetaMsg = "cn=Corvid Message Server, " + kBetaGroup;
const std::string kBetaMsgInst = "cn=msg-beta, " + kBetaMsg;
const std::string kWin = "cn=winhost.example.com, " + kDomain;
const std::string kWinGroup = "cn=Server Group, " + kWin;
const std::string kWinDS = "cn=Corvid Directory Server, " + kWinGroup;
const std::string kWinSlapd = "cn=slapd-win, " + kWinDS;
const std::string kGamma = "cn=gamma.lab.example.com, " + kLabDomain;
const std::string kGammaGroup = "cn=Server Group, " + kGamma;
const std::string kGammaDS = "cn=Corvid Directory Server, " + kGammaGroup;
const std::string kLabSlapd = "cn=slapd-lab, " + kGammaDS;
const std::string kWinRoot = "C:\\Corvid\\Servers";
} // namespace reg

inline std::string lower(std::string s)
{
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A DN in one comparable spelling: parsed and written back in the LDAPv3
// form (no blanks between components, one escape style), in lower case.
inline std::string normDN(const std::string& dn)
{
    std::string out = dn;
    char* normalized = nullptr;
    if (ldap_dn_normalize(dn.c_str(), LDAP_DN_FORMAT_LDAP, &normalized, LDAP_DN_FORMAT_LDAPV3) ==
            LDAP_SUCCESS &&
        normalized != nullptr) {
        out = normalized;
    }
    ldap_memfree(normalized);
    return lower(out);
}

inline std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

inline std::string registryLdif(const RegistryRoots& roots)
{
    std::string ldif =
        replaceAll(readFile(std::string(CV_SOURCE_DIR) + "/tests/support/data/registry.ldif"),
                   "@ROOT_A@", roots.alpha);
    ldif = replaceAll(ldif, "@ROOT_B@", roots.beta);
    return replaceAll(ldif, "@ROOT_LAB@", roots.lab);
}

// Every DN below (and including) base, normalized.
inline std::set<std::string> registryEntries(Slapd& slapd, const std::string& base = Slapd::kBase)
{
    std::set<std::string> dns;
    std::istringstream lines(slapd.search(base, "(objectclass=*)", "sub", {"1.1"}));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("dn: ", 0) == 0) {
            dns.insert(normDN(line.substr(4)));
        }
    }
    return dns;
}

// attribute (lower case) -> values (lower case, sorted), per normalized DN.
using EntryDump = std::map<std::string, std::multiset<std::string>>;
using RegistryDump = std::map<std::string, EntryDump>;

// Every entry below (and including) the configuration root with its user
// attributes and "aci", in one spelling, for comparing the registry as a
// whole: before and after what must change nothing, or two ways to the same
// end.
inline RegistryDump dumpRegistry(Slapd& slapd)
{
    RegistryDump dump;
    std::istringstream lines(slapd.search(Slapd::kBase, "(objectclass=*)", "sub", {"*", "aci"}));
    std::string line, dn;
    while (std::getline(lines, line)) {
        size_t colon = line.find(": ");
        if (line.empty() || colon == std::string::npos)
            continue;
        std::string attr = lower(line.substr(0, colon));
        std::string value = line.substr(colon + 2);
        if (attr == "dn") {
            dn = normDN(value);
            dump[dn];
        } else {
            // DN-valued attributes compare in one spelling.
            if (attr == "uniquemember" || attr == "cvadminsiedn" || attr == "cvdirectoryinforef")
                value = normDN(value);
            dump[dn][attr].insert(lower(value));
        }
    }
    return dump;
}

// Deletes everything below the configuration root, which stays.
inline bool clearRegistry(Slapd& slapd, std::string* out = nullptr)
{
    std::istringstream lines(slapd.search(Slapd::kBase, "(objectclass=*)", "one", {"1.1"}));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("dn: ", 0) == 0 && !slapd.remove(line.substr(4), true, out)) {
            return false;
        }
    }
    return true;
}

// Empties the configuration root and loads the fixture registry.
inline bool resetRegistry(Slapd& slapd, const RegistryRoots& roots = RegistryRoots(),
                          std::string* out = nullptr)
{
    return clearRegistry(slapd, out) && slapd.add(registryLdif(roots), out);
}

// The entries of before that are missing from after.
inline std::set<std::string> removedEntries(const std::set<std::string>& before,
                                            const std::set<std::string>& after)
{
    std::set<std::string> gone;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                        std::inserter(gone, gone.begin()));
    return gone;
}

inline std::set<std::string> normSet(std::initializer_list<std::string> dns)
{
    std::set<std::string> out;
    for (const auto& dn : dns) {
        out.insert(normDN(dn));
    }
    return out;
}

// One server per suite; every test starts from the fixture registry, with
// roots_ as its server roots (a deriving SetUp may name others before it
// calls this one). before_ holds the registry's entries at the start (a
// test that adds to it takes it again); removed() is what has gone since.
template <class Derived>
class FixtureRegistrySuite : public SlapdSuite<Derived> {
protected:
    void SetUp() override
    {
        SlapdSuite<Derived>::SetUp();
        if (testing::Test::HasFatalFailure())
            return;
        std::string out;
        ASSERT_TRUE(resetRegistry(this->slapd(), roots_, &out)) << out;
        before_ = registryEntries(this->slapd());
    }

    std::set<std::string> removed()
    {
        return removedEntries(before_, registryEntries(this->slapd()));
    }

    RegistryRoots roots_;
    std::set<std::string> before_;
};

} // namespace cvtest

#endif

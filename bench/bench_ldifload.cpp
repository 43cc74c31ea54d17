// LDIF loading: setupUpdateLdifEntries against `ldapadd -f`, on the same
// private slapd in the same run, in two cases: one 10,000-entry file, and
// one record of 200,000 values of one attribute. Each case is loaded into an
// empty suffix with each (the same records, each below its own suffix); the
// suffixes are checked to hold the same, and both medians and their ratio
// are printed.
//
//   bench_ldifload [rounds]     (default 3)

#include "slapd_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cvsetup.h"

namespace {

// 1 + 99 + 99 x 100 = 10,000 entries below suffix.
std::string treeLdif(const std::string& suffix)
{
    std::string top = "ou=Load," + suffix;
    std::string ldif = "dn: " + top + "\nobjectclass: organizationalUnit\nou: Load\n\n";
    for (int i = 0; i < 99; ++i) {
        std::string parent = "ou=p" + std::to_string(i) + "," + top;
        ldif += "dn: " + parent + "\nobjectclass: organizationalUnit\nou: p" + std::to_string(i) +
                "\n\n";
        for (int j = 0; j < 100; ++j)
            ldif += "dn: cn=e" + std::to_string(j) + "," + parent +
                    "\nobjectclass: cvTestEntry\ncn: e" + std::to_string(j) +
                    "\ndescription: entry " + std::to_string(i) + "/" + std::to_string(j) + "\n\n";
    }
    return ldif;
}

// One entry holding 200,000 values of description.
std::string wideLdif(const std::string& suffix)
{
    std::string ldif = "dn: cn=Wide," + suffix + "\nobjectclass: cvTestEntry\ncn: Wide\n";
    for (int i = 0; i < 200000; ++i)
        ldif += "description: value " + std::to_string(i) + "\n";
    return ldif;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Case {
    const char* title;
    std::string (*ldif)(const std::string& suffix);
    const char* top; // the entry below each suffix that the case writes
    // Whether what each suffix holds below top is the same.
    bool (*same)(cvtest::Slapd& slapd, const std::string& ours, const std::string& theirs);
};

bool sameCount(cvtest::Slapd& slapd, const std::string& ours, const std::string& theirs)
{
    int a = slapd.count(ours), b = slapd.count(theirs);
    if (a != 10000 || b != 10000)
        fprintf(stderr, "stored %d and %d entries, not 10000 each\n", a, b);
    return a == 10000 && b == 10000;
}

bool sameValues(cvtest::Slapd& slapd, const std::string& ours, const std::string& theirs)
{
    size_t a = slapd.values(ours, "description").size(),
           b = slapd.values(theirs, "description").size();
    if (a != 200000 || b != 200000)
        fprintf(stderr, "stored %zu and %zu values, not 200000 each\n", a, b);
    return a == 200000 && b == 200000;
}

// Medians of our load and of ldapadd over rounds; false when a load failed.
bool measure(cvtest::Slapd& slapd, Ldap* ldap, const Case& c, int rounds, double* ours,
             double* theirs)
{
    std::string oursFile = slapd.dir() + "/ours.ldif", theirsFile = slapd.dir() + "/theirs.ldif";
    std::ofstream(oursFile) << c.ldif("o=LoadOurs");
    std::ofstream(theirsFile) << c.ldif("o=LoadTheirs");
    std::string oursTop = std::string(c.top) + ",o=LoadOurs",
                theirsTop = std::string(c.top) + ",o=LoadTheirs";
    std::vector<double> a, b;
    for (int r = 0; r < rounds; ++r) {
        for (int which = 0; which < 2; ++which) {
            bool useOurs = (which == 0) == (r % 2 == 0);
            auto start = std::chrono::steady_clock::now();
            if (useOurs) {
                int code = setupUpdateLdifEntries(ldap, nullptr, oursFile.c_str(), nullptr);
                if (code != 0) {
                    fprintf(stderr, "our load failed: %d\n", code);
                    return false;
                }
                a.push_back(seconds(start));
            } else {
                std::string out;
                if (slapd.tool("ldapadd", {"-f", theirsFile}, &out) != 0) {
                    fprintf(stderr, "ldapadd failed: %s\n", out.substr(0, 500).c_str());
                    return false;
                }
                b.push_back(seconds(start));
            }
        }
        if (!c.same(slapd, oursTop, theirsTop))
            return false;
        if (!slapd.remove(oursTop, true) || !slapd.remove(theirsTop, true)) {
            fprintf(stderr, "cannot empty the suffixes\n");
            return false;
        }
    }
    *ours = median(a);
    *theirs = median(b);
    printf("%s, %d rounds\n", c.title, rounds);
    printf("setupUpdateLdifEntries  median %.3f s\n", *ours);
    printf("ldapadd -f              median %.3f s\n", *theirs);
    printf("ratio ours / ldapadd: %.2f\n", *ours / *theirs);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    cvtest::SlapdOptions options;
    options.extraSuffixes = {"o=LoadOurs", "o=LoadTheirs"};
    cvtest::Slapd slapd(options);
    if (!slapd.start()) {
        fprintf(stderr, "slapd did not start: %s\n", slapd.error().c_str());
        return 1;
    }
    Ldap* ldap = nullptr;
    if (setupCreateLdap(&ldap, slapd.url().c_str(), cvtest::Slapd::kRootDN,
                        cvtest::Slapd::kRootPassword, nullptr, nullptr) != 0) {
        fprintf(stderr, "cannot connect\n");
        return 1;
    }
    const Case cases[] = {
        {"LDIF file of 10000 entries", treeLdif, "ou=Load", sameCount},
        {"LDIF record of 200000 values of one attribute", wideLdif, "cn=Wide", sameValues},
    };
    bool ok = true;
    for (const Case& c : cases) {
        double ours = 0, theirs = 0;
        ok = measure(slapd, ldap, c, rounds, &ours, &theirs) && ok;
    }
    setupDestroyLdap(ldap);
    return ok ? 0 : 1;
}

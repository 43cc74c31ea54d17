// LDIF loading: setupUpdateLdifEntries against `ldapadd -f`, on the same
// private slapd in the same run. Loads one 10,000-entry file into an empty
// suffix with each (the same records, each below its own suffix), checks
// both suffixes hold the same number of entries, and prints both medians
// and their ratio.
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
        ldif += "dn: " + parent + "\nobjectclass: organizationalUnit\nou: p" + std::to_string(i) + "\n\n";
        for (int j = 0; j < 100; ++j)
            ldif += "dn: cn=e" + std::to_string(j) + "," + parent + "\nobjectclass: cvTestEntry\ncn: e" +
                    std::to_string(j) + "\ndescription: entry " + std::to_string(i) + "/" + std::to_string(j) +
                    "\n\n";
    }
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
    std::string oursFile = slapd.dir() + "/ours.ldif", theirsFile = slapd.dir() + "/theirs.ldif";
    std::ofstream(oursFile) << treeLdif("o=LoadOurs");
    std::ofstream(theirsFile) << treeLdif("o=LoadTheirs");
    Ldap* ldap = nullptr;
    if (setupCreateLdap(&ldap, slapd.url().c_str(), cvtest::Slapd::kRootDN, cvtest::Slapd::kRootPassword, nullptr,
                        nullptr) != 0) {
        fprintf(stderr, "cannot connect\n");
        return 1;
    }
    std::vector<double> ours, theirs;
    for (int r = 0; r < rounds; ++r) {
        for (int which = 0; which < 2; ++which) {
            bool useOurs = (which == 0) == (r % 2 == 0);
            auto start = std::chrono::steady_clock::now();
            if (useOurs) {
                int code = setupUpdateLdifEntries(ldap, nullptr, oursFile.c_str(), nullptr);
                if (code != 0) {
                    fprintf(stderr, "our load failed: %d\n", code);
                    return 1;
                }
                ours.push_back(seconds(start));
            } else {
                std::string out;
                if (slapd.tool("ldapadd", {"-f", theirsFile}, &out) != 0) {
                    fprintf(stderr, "ldapadd failed: %s\n", out.substr(0, 500).c_str());
                    return 1;
                }
                theirs.push_back(seconds(start));
            }
        }
        int a = slapd.count("ou=Load,o=LoadOurs"), b = slapd.count("ou=Load,o=LoadTheirs");
        if (a != 10000 || b != 10000) {
            fprintf(stderr, "stored %d and %d entries, not 10000 each\n", a, b);
            return 1;
        }
        if (!slapd.remove("ou=Load,o=LoadOurs", true) || !slapd.remove("ou=Load,o=LoadTheirs", true)) {
            fprintf(stderr, "cannot empty the suffixes\n");
            return 1;
        }
    }
    setupDestroyLdap(ldap);
    double a = median(ours), b = median(theirs);
    printf("LDIF file of 10000 entries, %d rounds\n", rounds);
    printf("setupUpdateLdifEntries  median %.3f s\n", a);
    printf("ldapadd -f              median %.3f s\n", b);
    printf("ratio ours / ldapadd: %.2f\n", a / b);
    return 0;
}

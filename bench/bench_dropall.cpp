// Subtree deletion: LdapEntry::dropAll against `ldapdelete -r`, on the same
// private slapd in the same run. Builds a 10,000-entry subtree (100 x 100),
// deletes it with each in turn, and prints both medians and their ratio.
//
//   bench_dropall [rounds]     (default 3)

// The private slapd is the one the tests run against.
#include "slapd_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cvldap.h"
#include "ldapentry.h"

namespace {

const char* const kTop = "ou=Bench, o=CorvidRoot";

std::string subtreeLdif(int wide, int deep)
{
    std::string ldif =
        std::string("dn: ") + kTop + "\nobjectclass: organizationalUnit\nou: Bench\n\n";
    for (int i = 0; i < wide; ++i) {
        std::string child = "cn=c" + std::to_string(i) + ", " + kTop;
        ldif += "dn: " + child + "\nobjectclass: cvTestEntry\ncn: c" + std::to_string(i) + "\n\n";
        for (int j = 0; j < deep; ++j)
            ldif += "dn: cn=g" + std::to_string(j) + ", " + child +
                    "\nobjectclass: cvTestEntry\ncn: g" + std::to_string(j) +
                    "\ndescription: leaf " + std::to_string(i) + "/" + std::to_string(j) + "\n\n";
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
    cvtest::Slapd slapd;
    if (!slapd.start()) {
        fprintf(stderr, "slapd did not start: %s\n", slapd.error().c_str());
        return 1;
    }
    const std::string ldif = subtreeLdif(100, 100);
    std::vector<double> ours, theirs;
    for (int r = 0; r < rounds; ++r) {
        for (int which = 0; which < 2; ++which) {
            // Alternate who goes first, so neither always meets a warmer server.
            bool useOurs = (which == 0) == (r % 2 == 0);
            std::string out;
            if (!slapd.add(ldif, &out)) {
                fprintf(stderr, "loading the subtree failed: %s\n", out.substr(0, 500).c_str());
                return 1;
            }
            auto start = std::chrono::steady_clock::now();
            if (useOurs) {
                LdapError err;
                Ldap ldap(err, slapd.url().c_str(), cvtest::Slapd::kRootDN,
                          cvtest::Slapd::kRootPassword, nullptr, nullptr);
                LdapEntry entry(&ldap);
                LdapError dropped = err.code == 0 ? entry.dropAll(kTop) : err;
                if (dropped.code != 0) {
                    fprintf(stderr, "dropAll failed: %d\n", dropped.code);
                    return 1;
                }
                ours.push_back(seconds(start));
            } else {
                if (!slapd.remove(kTop, true, &out)) {
                    fprintf(stderr, "ldapdelete -r failed: %s\n", out.c_str());
                    return 1;
                }
                theirs.push_back(seconds(start));
            }
            if (slapd.exists("ou=Bench,o=CorvidRoot")) {
                fprintf(stderr, "the subtree survived its deletion\n");
                return 1;
            }
        }
    }
    double a = median(ours), b = median(theirs);
    printf("subtree of 10101 entries (100 x 100), %d rounds\n", rounds);
    printf("dropAll          median %.3f s\n", a);
    printf("ldapdelete -r    median %.3f s\n", b);
    printf("ratio dropAll / ldapdelete -r: %.2f\n", a / b);
    return 0;
}

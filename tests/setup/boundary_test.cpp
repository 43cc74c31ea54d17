// An allocation that fails inside a plain function must come back to a C
// caller as that function's failure result: an exception escaping through
// extern "C" would terminate the process. Each case makes the n-th
// allocation throw, for n = 0, 1, 2, ... until the call gets through
// without reaching the failing one, and checks the result every time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <string>

#include "c_boundary.h"
#include "ldapentry.h"
#include "setup_infofile.h"
#include "setup_infvalues.h"
#include "setup_ldap.h"
#include "setup_ldif.h"
#include "setup_register.h"
#include "setup_remove.h"
#include "setup_util.h"
#include "slapd.h"
#include "tempdir.h"

namespace {

// Allocations left before the one that throws; -1 disarms.
int g_allocationsLeft = -1;
bool g_failed = false;

} // namespace

void* operator new(std::size_t size)
{
    if (g_allocationsLeft == 0) {
        g_allocationsLeft = -1;
        g_failed = true;
        throw std::bad_alloc();
    }
    if (g_allocationsLeft > 0)
        --g_allocationsLeft;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

// Runs call with the n-th allocation failing for every n up to the number
// the call makes, and checks each result; prepare (not failing) runs before
// each try. Returns how many failures were injected (0 when a memory
// checker replaced operator new).
int failEachAllocation(const char* what, const std::function<int()>& call,
                       const std::function<bool(int)>& acceptable,
                       const std::function<void()>& prepare = nullptr)
{
    int injected = 0;
    for (int n = 0; n < 10000; ++n) {
        if (prepare)
            prepare();
        g_failed = false;
        g_allocationsLeft = n;
        int result = call();
        g_allocationsLeft = -1;
        EXPECT_TRUE(acceptable(result))
            << what << ": result " << result << " with allocation " << n << " failing";
        if (!g_failed)
            break;
        ++injected;
    }
    return injected;
}

using cvtest::Slapd;

bool sameText(char* v, const char* expected)
{
    bool same = v != nullptr && std::string(v) == expected;
    free(v);
    return same;
}

TEST(PlainFunctionBoundary, AllocationFailuresBecomeResultCodesInFileAndInfFunctions)
{
    cvtest::TempDir dir;
    dir.write("setup.inf",
              "[General]\nFullMachineName= host.example.com\n\n[slapd]\nServerPort= 389\n");
    const std::string inf = dir.file("setup.inf");
    dir.write("ldap.conf", "ConfigURL ldap://h:389/o=x\n");
    const std::string conf = dir.file("ldap.conf");
    const std::string tree = dir.file("tree");

    failEachAllocation(
        "setupWriteInfString",
        [&] { return setupWriteInfString("slapd", "Suffix", "o=x", inf.c_str()); },
        [](int r) { return r == 0 || r == 1; });
    const std::string written = dir.read("setup.inf");
    EXPECT_NE(written.find("ServerPort=   389"), std::string::npos) << written;
    EXPECT_NE(written.find("Suffix=   o=x"), std::string::npos) << written;
    failEachAllocation(
        "setupGetInfInt", [&] { return setupGetInfInt("slapd", "ServerPort", -7, inf.c_str()); },
        [](int r) { return r == 389 || r == -7; });
    char* text = nullptr;
    failEachAllocation(
        "setupGetInfString",
        [&] {
            text = setupGetInfString("General", "FullMachineName", "none", inf.c_str());
            return 0;
        },
        [&](int) { return text == nullptr || sameText(text, "host.example.com"); });
    const char* keys[] = {"admnm", nullptr};
    const char* lines[] = {"admnm  admin", nullptr};
    failEachAllocation(
        "setupFileUpdateLines", [&] { return setupFileUpdateLines(keys, lines, conf.c_str()); },
        [](int r) { return r == 0 || r == 3; });
    EXPECT_NE(dir.read("ldap.conf").find("ConfigURL ldap://h:389/o=x\n"), std::string::npos);
    failEachAllocation(
        "setupDeleteDir", [&] { return setupDeleteDir(tree.c_str()); },
        [](int r) { return r == 0 || r == -1; },
        [&] {
            dir.mkdirs("tree/a/b");
            dir.write("tree/a/b/file", "x");
        });
    failEachAllocation(
        "setupLocalToUtf8",
        [&] {
            text = setupLocalToUtf8("plain text");
            return 0;
        },
        [&](int) { return text == nullptr || sameText(text, "plain text"); });
}

TEST(PlainFunctionBoundary, AllocationFailuresBecomeResultCodesInDirectoryFunctions)
{
    Slapd server;
    ASSERT_TRUE(server.start()) << server.error();
    ASSERT_TRUE(server.add(
        "dn: ou=Boundary, o=CorvidRoot\nobjectclass: organizationalUnit\nou: Boundary\n"));
    const std::string url = server.url();

    Ldap* ldap = nullptr;
    int injected = failEachAllocation(
        "setupCreateLdap",
        [&] {
            ldap = nullptr;
            return setupCreateLdap(&ldap, url.c_str(), Slapd::kRootDN, Slapd::kRootPassword,
                                   nullptr, nullptr);
        },
        [&](int r) {
            bool ok = (r == 0 && ldap != nullptr) || (r == kCvNoMemory && ldap == nullptr);
            setupDestroyLdap(ldap);
            return ok;
        });
    if (injected == 0)
        GTEST_SKIP() << "operator new is replaced by a memory checker; nothing was injected";

    ASSERT_EQ(
        setupCreateLdap(&ldap, url.c_str(), Slapd::kRootDN, Slapd::kRootPassword, nullptr, nullptr),
        0);
    LdapEntry* entry = setupCreateLdapEntry(ldap);
    ASSERT_NE(entry, nullptr);
    failEachAllocation(
        "setupRetrieveLdapEntries",
        [&] { return setupRetrieveLdapEntries(entry, "(objectclass=*)", 2, "o=CorvidRoot"); },
        [](int r) { return r == 0 || r == kCvNoMemory; });
    const char* child = "ou=Child, ou=Boundary, o=CorvidRoot";
    // A fresh store: the search left o=CorvidRoot's attributes in this one.
    setupDestroyLdapEntry(entry);
    entry = setupCreateLdapEntry(ldap);
    auto childAttributes = [&] {
        setupSetLdapAttribute(entry, "objectclass", "organizationalUnit");
        setupSetLdapAttribute(entry, "ou", "Child");
        setupSetLdapAttribute(entry, "description", "written");
    };
    failEachAllocation(
        "setupInsertLdapEntry", [&] { return setupInsertLdapEntry(entry, child); },
        [](int r) { return r == 0 || r == kCvNoMemory || r == LDAP_ALREADY_EXISTS; },
        childAttributes);
    failEachAllocation(
        "setupReplaceLdapEntry", [&] { return setupReplaceLdapEntry(entry, child); },
        [](int r) { return r == 0 || r == kCvNoMemory; }, childAttributes);
    EXPECT_EQ(server.values("ou=Child,ou=Boundary,o=CorvidRoot", "description"),
              std::vector<std::string>{"written"});
    failEachAllocation(
        "setupRemoveSIE", [&] { return setupRemoveSIE(ldap, child, 0); },
        [](int r) { return r == 0 || r == kCvNoMemory || r == SETUP_LDAP_ENTRY_MISSING; });
    EXPECT_FALSE(server.exists("ou=Child,ou=Boundary,o=CorvidRoot"));
    setupDestroyLdapEntry(entry);

    // A registration that fails part-way leaves what it wrote (nothing is
    // rolled back), so each later try finds more of the path in place.
    ASSERT_TRUE(server.add("dn: ou=example.com, o=CorvidRoot\nobjectclass: organizationalUnit\n"
                           "objectclass: cvAdminDomain\nou: example.com\n"));
    // In place, not on the heap: this program's operator new is the one
    // under test.
    std::optional<LdapEntry> sie, isie;
    auto instanceEntries = [&] {
        sie.emplace(ldap);
        sie->addAttribute("objectclass", "corvidServer");
        sie->setAttribute("cvServerID", "slapd-boundary");
        sie->setAttribute("serverRoot", "/srv/boundary");
        isie.emplace(ldap);
        isie->addAttribute("objectclass", "top");
        isie->setAttribute("cn", "Corvid Directory Server");
        isie->setAttribute("cvProductVersion", "5.2");
    };
    failEachAllocation(
        "setupCreateSIE",
        [&] {
            return setupCreateSIE(&*sie, &*isie, "alpha.example.com", "/srv/boundary",
                                  "example.com");
        },
        [](int r) { return r == 0 || r == kCvNoMemory; }, instanceEntries);
    EXPECT_TRUE(server.exists("cn=slapd-boundary, cn=Corvid Directory Server, cn=Server Group, "
                              "cn=alpha.example.com, ou=example.com, o=CorvidRoot"));
    sie.reset();
    isie.reset();
    setupDestroyLdap(ldap);
}

TEST(PlainFunctionBoundary, AllocationFailuresInLdifAndSchemaLoadsGiveTheClassicNoMemoryCode)
{
    Slapd server;
    ASSERT_TRUE(server.start()) << server.error();
    cvtest::TempDir dir;
    dir.write("a.ldif", "dn: ou=Loaded\nobjectclass: organizationalUnit\n\n"
                        "dn: cn=c,ou=Loaded\nobjectclass: cvTestEntry\ndescription: d\n");
    dir.write("a.schema", "attribute corvidBoundary 1.3.6.1.4.1.99999.9.70 cis\n");
    const std::string ldif = dir.file("a.ldif"), schema = dir.file("a.schema");
    Ldap* ldap = nullptr;
    ASSERT_EQ(setupCreateLdap(&ldap, server.url().c_str(), Slapd::kRootDN, Slapd::kRootPassword,
                              nullptr, nullptr),
              0);
    // 90, as the LDAP C API numbers it; never OpenLDAP's -10.
    int injected = failEachAllocation(
        "setupUpdateLdifEntries",
        [&] { return setupUpdateLdifEntries(ldap, "o=CorvidRoot", ldif.c_str(), nullptr); },
        [](int r) { return r == 0 || r == 90; });
    if (injected == 0)
        GTEST_SKIP() << "operator new is replaced by a memory checker; nothing was injected";
    EXPECT_TRUE(server.exists("cn=c,ou=Loaded,o=CorvidRoot"));
    // This server refuses schema writes (no cn=config): its answer, or 90.
    int refused = appendSchemaEntries(ldap, schema.c_str());
    EXPECT_GT(refused, 0);
    failEachAllocation(
        "appendSchemaEntries", [&] { return appendSchemaEntries(ldap, schema.c_str()); },
        [&](int r) { return r == refused || r == 90; });
    setupDestroyLdap(ldap);
}

} // namespace

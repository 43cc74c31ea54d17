// Caller values composed into DNs and filters name and match only
// themselves, on a real server.
#include "c_text.h"
#include "entry_fixture.h"
#include "ldap_escape.h"

namespace {

class Escaping : public cvtest::EntrySuite<Escaping> {};

const char* const kHostileValues[] = {
    "Corvid, Inc. Server",
    "a+b",
    "x=y;z",
    "q\"uote\\back",
    "<angle>",
    "#hash",
    " lead",
    "trail ",
    "star*",
    "(paren)",
    "tab\there",
};

TEST_F(Escaping, HostileRdnValuesAddAndAreFoundExactlyOnce)
{
    std::string base = container("Escapes");
    for (const char* value : kHostileValues) {
        LdapEntry entry(ldap_.get());
        entry.addAttribute("objectclass", "cvTestEntry");
        entry.addAttribute("cn", value);
        std::string dn = "cn=" + cvEscapeDnValue(value) + ", " + base;
        ASSERT_EQ(entry.insert(dn.c_str()).code, 0) << dn;
    }
    // A sibling that a loosely escaped value would match as well.
    LdapEntry decoy(ldap_.get());
    decoy.addAttribute("objectclass", "cvTestEntry");
    decoy.addAttribute("cn", "starlight");
    ASSERT_EQ(decoy.insert(("cn=starlight, " + base).c_str()).code, 0);

    for (const char* value : kHostileValues) {
        LdapEntry found(ldap_.get());
        std::string filter = "(cn=" + cvEscapeFilterValue(value) + ")";
        ASSERT_EQ(found.retrieve(filter.c_str(), LDAP_SCOPE_ONELEVEL, base.c_str()).code, 0)
            << filter;
        EXPECT_EQ(found.numEntries(), 1) << filter;
        EXPECT_EQ(cvtest::taken(found.getAttribute("cn")), value);
    }
}

TEST_F(Escaping, UrlDnKeepsDnSyntaxAndEncodesTheRest)
{
    EXPECT_EQ(cvEncodeUrlDN("o=Corvid Root, c=us"), "o=Corvid%20Root,%20c=us");
    EXPECT_EQ(cvEncodeUrlDN("ou=a?b%c#d"), "ou=a%3fb%25c%23d");
    EXPECT_EQ(cvEscapeFilterValue(nullptr), "");
    EXPECT_EQ(cvEscapeDnValue(nullptr), "");
}

} // namespace

// The adapter gives the classes the classic calls' results over libldap:
// compared here with libldap's own deprecated forms and with URL texts.
#undef LDAP_DEPRECATED
#define LDAP_DEPRECATED 1
#include <ldap.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ldap_adapter.h"

namespace {

std::vector<std::string> toVector(char** values)
{
    std::vector<std::string> out;
    for (char** v = values; v && *v; ++v)
        out.push_back(*v);
    return out;
}

TEST(LdapAdapter, ExplodeDnMatchesTheDeprecatedCall)
{
    const char* dns[] = {
        "cn=a, ou=b, o=CorvidRoot", "cn=Smith\\, John,o=x", "cn=a+uid=b, o=x", "o=CorvidRoot", "",
        "cn=x\\2Cy , o=z"};
    for (const char* dn : dns) {
        for (int notypes = 0; notypes < 2; ++notypes) {
            char** ours = ldapapi::cv_explode_dn(dn, notypes);
            char** theirs = ::ldap_explode_dn(dn, notypes);
            EXPECT_EQ(toVector(ours), toVector(theirs)) << dn << " notypes=" << notypes;
            ldapapi::cv_value_free(ours);
            ::ldap_value_free(theirs);
        }
    }
}

TEST(LdapAdapter, ExplodeDnRefusesWhatDoesNotParse)
{
    EXPECT_EQ(ldapapi::cv_explode_dn("no equals sign", 0), nullptr);
    EXPECT_EQ(ldapapi::cv_explode_dn(nullptr, 0), nullptr);
}

TEST(LdapAdapter, PortIsReadFromTheUrlText)
{
    EXPECT_EQ(ldapapi::url_text_port("ldap://h:1389/o=x"), 1389);
    EXPECT_EQ(ldapapi::url_text_port("ldap://h/o=x"), 0);
    EXPECT_EQ(ldapapi::url_text_port("ldap://h:/o=x"), 0);
    EXPECT_EQ(ldapapi::url_text_port("ldap://h:0/o=x"), 0);
    EXPECT_EQ(ldapapi::url_text_port("ldap://[::1]:636"), 636);
    EXPECT_EQ(ldapapi::url_text_port("ldap://h:12x/"), -1);
    EXPECT_EQ(ldapapi::url_text_port("ldap://h1:10 h2:20/o=x"), 10);
}

TEST(LdapAdapter, UrlParseKeepsTheTextPortAndTheHostList)
{
    LDAPURLDesc* d = nullptr;
    ASSERT_EQ(ldapapi::cv_url_parse("ldap://h:0/o=x", &d), 0);
    EXPECT_EQ(d->lud_port, 0);
    ldap_free_urldesc(d);

    ASSERT_EQ(ldapapi::cv_url_parse("ldap://h:/o=x", &d), 0);
    EXPECT_EQ(d->lud_port, 0);
    EXPECT_STREQ(d->lud_dn, "o=x");
    ldap_free_urldesc(d);

    ASSERT_EQ(ldapapi::cv_url_parse("ldap://h1:389 h2:1389/o=example", &d), 0);
    EXPECT_STREQ(d->lud_host, "h1:389 h2:1389");
    EXPECT_EQ(d->lud_port, 389);
    EXPECT_STREQ(d->lud_dn, "o=example");
    ldap_free_urldesc(d);

    EXPECT_NE(ldapapi::cv_url_parse("ldap://h:99999/o=x", &d), 0);
    EXPECT_EQ(d, nullptr);
    EXPECT_NE(ldapapi::cv_url_parse("not a url", &d), 0);
}

TEST(LdapAdapter, UrlTextsAreReadStrictly)
{
    // One URL, a host list and a list of whole URLs, in the forms people
    // write; leading zeros in a port are a port.
    struct Good {
        const char* text;
        const char* list;
    } good[] = {
        {"ldap://ds.example.com:389/o=CorvidRoot", "ldap://ds.example.com:389/o=CorvidRoot"},
        {"LDAPS://ds.example.com:0636/o=x", "ldaps://ds.example.com:636/o=x"},
        {"ldap://127.0.0.1", "ldap://127.0.0.1"},
        {"ldap://[::1]:389/ou=a, o=b", "ldap://[::1]:389/ou=a, o=b"},
        {"ldap://h1:389 h2 10.0.0.2:1389/o=x", "ldap://h1:389 h2 10.0.0.2:1389/o=x"},
        {"ldap://h1:389/o=x ldap://h2:389/o=x", "ldap://h1:389 h2:389/o=x"},
        {" ldaps://a.example.com:636/o=x?cn?sub ", "ldaps://a.example.com:636/o=x?cn?sub"},
        {"ldap:///o=x", "ldap:///o=x"},
    };
    for (const Good& g : good) {
        ldapapi::UrlList list;
        ASSERT_EQ(ldapapi::parse_url_list(g.text, &list), 0) << g.text;
        EXPECT_EQ(list.text(), g.list);
    }
    // A typo never becomes a host, and no host is made of digits alone.
    for (const char* bad :
         {"ldap://127.0.0.1:3 89/o=x", "ldap://host: 389/", "ldap://ds.example.com?cn",
          "ldap://h:12x/", "ldap://h:65536/", "ldap://-h/", "ldap://h_1/", "ldap://a..b/",
          "ldap://h/o=x ldaps://h2/o=x", "ldap://h/o=x ldap://h2/o=y", "ldap://[::1/",
          "ldap://[zz]/", "ldapi://%2Fsock/", "ldap://127.1/", "http://h/", ""}) {
        ldapapi::UrlList list;
        LDAPURLDesc* d = nullptr;
        EXPECT_NE(ldapapi::parse_url_list(bad, &list), 0) << bad;
        EXPECT_NE(ldapapi::cv_url_parse(bad, &d), 0) << bad;
        EXPECT_EQ(d, nullptr);
    }
}

TEST(LdapAdapter, InitAcceptsAHostList)
{
    LDAP* ld = ldapapi::prldap_init("h1:1389 h2", 389, 1);
    ASSERT_NE(ld, nullptr);
    char* uri = nullptr;
    ASSERT_EQ(ldap_get_option(ld, LDAP_OPT_URI, &uri), LDAP_OPT_SUCCESS);
    EXPECT_STREQ(uri, "ldap://h1:1389 ldap://h2:389");
    ldap_memfree(uri);
    ldapapi::ldap_unbind(ld);
}

} // namespace

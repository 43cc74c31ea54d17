// The forms of a configuration directory's name: URLs, their parts, admin
// domain names and DNs, and the decoding of URL escapes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "c_text.h"
#include "setup_compat.h"
#include "setup_ldapurl.h"
#include "setup_util.h"

namespace {

using cvtest::taken;

struct UrlParts {
    int ok;
    std::string host;
    int port;
    std::string base;
};

UrlParts parseUrl(const char* url)
{
    char* host = nullptr;
    char* base = nullptr;
    int port = -7;
    int ok = setupParseLdapUrl(url, &host, &port, &base);
    return {ok, taken(host), port, taken(base)};
}

TEST(UrlFormTest, FormAndStripKeepSchemeHostAndPort)
{
    for (const char* url : {"ldap://h:389", "ldap://h:389/", "ldap://h:389/o=Other,c=x"}) {
        EXPECT_EQ(taken(setupFormConfigLdapURL(url)), "ldap://h:389/o=CorvidRoot") << url;
        EXPECT_EQ(taken(setupStripConfigLdapURL(url)), "ldap://h:389/") << url;
    }
    EXPECT_EQ(taken(formConfigLdapURL("ldap://[::1]:636/o=x")), "ldap://[::1]:636/o=CorvidRoot");
    EXPECT_EQ(taken(stripConfigLdapURL("ldap://h")), "ldap://h/");
    // TLS and several servers are kept: the result is the host-list form.
    EXPECT_EQ(taken(formConfigLdapURL("ldaps://h:636/o=x")), "ldaps://h:636/o=CorvidRoot");
    EXPECT_EQ(taken(formConfigLdapURL("ldaps://h1:636 h2:636/o=x")),
              "ldaps://h1:636 h2:636/o=CorvidRoot");
    EXPECT_EQ(taken(stripConfigLdapURL("ldap://h1:389/o=x ldap://h2:389/o=x")),
              "ldap://h1:389 h2:389/");
}

TEST(UrlFormTest, TextsWithoutDoubleSlashGiveEmptyTextsAndNullGivesNull)
{
    for (const char* url : {"", "h:389", "ldap:/h//x", "o=CorvidRoot"}) {
        EXPECT_EQ(taken(setupFormConfigLdapURL(url)), "") << url;
        EXPECT_EQ(taken(setupStripConfigLdapURL(url)), "") << url;
    }
    EXPECT_EQ(setupFormConfigLdapURL(nullptr), nullptr);
    EXPECT_EQ(setupStripConfigLdapURL(nullptr), nullptr);
}

TEST(UrlParseTest, HostPortAndBaseDn)
{
    UrlParts p = parseUrl("ldap://cfg.example:389");
    EXPECT_EQ(p.ok, 1);
    EXPECT_EQ(p.host, "cfg.example");
    EXPECT_EQ(p.port, 389);
    EXPECT_EQ(p.base, "(null)");

    p = parseUrl("ldap://cfg.example:3890/ou=a%20b,o=CorvidRoot");
    EXPECT_EQ(p.ok, 1);
    EXPECT_EQ(p.port, 3890);
    EXPECT_EQ(p.base, "ou=a b,o=CorvidRoot");

    p = parseUrl("ldap://cfg.example/o=x");
    EXPECT_EQ(p.ok, 1);
    EXPECT_EQ(p.port, 0);
    EXPECT_EQ(p.base, "o=x");
}

TEST(UrlParseTest, HostListGivesTheListAndTheFirstPort)
{
    UrlParts p = parseUrl("ldaps://h1:0636 h2:1636/o=x");
    EXPECT_EQ(p.ok, 1);
    EXPECT_EQ(p.host, "h1:636 h2:1636");
    EXPECT_EQ(p.port, 636);
    EXPECT_EQ(p.base, "o=x");
}

TEST(UrlParseTest, BracketedIpv6HostComesBackBare)
{
    UrlParts p = parseUrl("ldap://[::1]:389/o=x");
    EXPECT_EQ(p.ok, 1);
    EXPECT_EQ(p.host, "::1");
    EXPECT_EQ(p.port, 389);
    EXPECT_EQ(p.base, "o=x");
}

TEST(UrlParseTest, RejectedTextsClearTheOutputs)
{
    for (const char* url : {"", "h:389", "http://h:389/o=x", "ldap:///o=x", "ldap://",
                            "ldap://h:99999/", "ldap://h:x/", "ldap://127.0.0.1:3 89/o=x",
                            "ldap://host: 389/", "ldap://ds.example.com?cn"}) {
        UrlParts p = parseUrl(url);
        EXPECT_EQ(p.ok, 0) << url;
        EXPECT_EQ(p.host, "(null)") << url;
        EXPECT_EQ(p.port, 0) << url;
        EXPECT_EQ(p.base, "(null)") << url;
    }
    char* host = reinterpret_cast<char*>(1);
    int port = 5;
    EXPECT_EQ(ParseLdapUrl(nullptr, &host, &port, nullptr), 0);
    EXPECT_EQ(host, reinterpret_cast<char*>(1));
    EXPECT_EQ(port, 5);
}

TEST(UrlParseTest, LongBaseDnParses)
{
    std::string dn = "o=" + std::string(3000, 'q');
    UrlParts p = parseUrl(("ldap://h:389/" + dn).c_str());
    EXPECT_EQ(p.ok, 1);
    EXPECT_EQ(p.base, dn);
}

TEST(AdminDomainTest, FormAndStripAreInverse)
{
    EXPECT_EQ(taken(setupFormAdminDomainDN("example.com")), "ou=example.com, o=CorvidRoot");
    EXPECT_EQ(taken(formAdminDomainDN("ou=example.com, o=CorvidRoot")),
              "ou=example.com, o=CorvidRoot");
    EXPECT_EQ(taken(setupStripAdminDomainDN("ou=example.com, o=CorvidRoot")), "example.com");
    EXPECT_EQ(taken(stripAdminDomainDN("example.com")), "example.com");
    EXPECT_EQ(taken(setupStripAdminDomainDN("ou=only")), "ou=only");
    EXPECT_EQ(setupFormAdminDomainDN(nullptr), nullptr);
    EXPECT_EQ(setupStripAdminDomainDN(nullptr), nullptr);
}

TEST(UnescapeTest, DecodesOnlyPercentWithTwoHexDigits)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"o%3DCorvidRoot", "o=CorvidRoot"},
        {"%41%62", "Ab"},
        {"%4a%4A", "JJ"},
        {"ends%4", "ends%4"},
        {"ends%", "ends%"},
        {"%zz%g1%1", "%zz%g1%1"},
        {"cut%00here", "cut%00here"},
        {"100%%41", "100%A"},
        {"plain", "plain"},
    };
    for (const Case& c : cases) {
        std::vector<char> text(c.in, c.in + std::string(c.in).size() + 1);
        unescape_ldap_basedn(text.data());
        EXPECT_STREQ(text.data(), c.out) << c.in;
    }
    unescape_ldap_basedn(nullptr);
}

// setupSplitLdapUrl's result and parts, as "ok|scheme|servers|host|port|base".
std::string split(const char* url)
{
    char* scheme = nullptr;
    char* servers = nullptr;
    char* host = nullptr;
    char* base = nullptr;
    int port = -7;
    int ok = setupSplitLdapUrl(url, &scheme, &servers, &host, &port, &base);
    return std::to_string(ok) + "|" + taken(scheme) + "|" + taken(servers) + "|" + taken(host) +
           "|" + std::to_string(port) + "|" + taken(base);
}

TEST(UrlSplitTest, PartsComeBackWithEveryServerAndItsEffectivePort)
{
    struct Case {
        const char* url;
        const char* parts;
    } cases[] = {
        {"ldaps://[::1]/o=a%20b", "1|ldaps|[::1]:636|::1|636|o=a b"},
        {"LDAP://h1 h2:390/o=x", "1|ldap|h1:389 h2:390|h1 h2:390|389|o=x"},
        {"ldap://h1/o=x ldap://h2:7/o=x", "1|ldap|h1:389 h2:7|h1 h2:7|389|o=x"},
        // Without a host, or without a base DN, the URL is still taken apart.
        {"ldap:///o=x", "1|ldap|:389|(null)|389|o=x"},
        {"ldap://h:389", "1|ldap|h:389|h|389|(null)"},
        {"ldap://h:389/", "1|ldap|h:389|h|389|"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(split(c.url), c.parts) << c.url;
}

TEST(UrlSplitTest, RefusedTextsClearTheOutputs)
{
    for (const char* url : {"", "nope", "http://h/o=x", "ldap://h:3 89/", "ldap://h:99999/"})
        EXPECT_EQ(split(url), "0|(null)|(null)|(null)|0|(null)") << url;
    EXPECT_EQ(setupSplitLdapUrl(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST(UrlEncodeTest, EncodedPartsReadBackAsWritten)
{
    const char* dn = "ou=a b?%, o=Corvid\\, Inc.";
    std::string url = "ldap://" + taken(setupEncodeLdapUrlHost("h")) + ":" +
                      taken(setupEncodeLdapUrlHost("389")) + "/" + taken(setupEncodeLdapUrlDN(dn));
    EXPECT_EQ(url.find(' '), std::string::npos) << url;
    UrlParts p = parseUrl(url.c_str());
    EXPECT_EQ(p.ok, 1) << url;
    EXPECT_EQ(p.base, dn);
    EXPECT_EQ(taken(setupEncodeLdapUrlHost("h 1/x")), "h%201%2fx");
    EXPECT_EQ(setupEncodeLdapUrlDN(nullptr), nullptr);
    EXPECT_EQ(setupEncodeLdapUrlHost(nullptr), nullptr);
}

} // namespace

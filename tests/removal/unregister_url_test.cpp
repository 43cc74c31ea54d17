// The connection URL as the LDAP library's own parser reads it back, and the
// published backslash escape.

#include <gtest/gtest.h>

#include <ldap.h>

#include <memory>
#include <string>

#include "unregister.h"

namespace {

struct Parsed {
    int rc = -1;
    std::string host;
    int port = 0;
    std::string dn;
};

Parsed parse(const std::string& url)
{
    Parsed p;
    LDAPURLDesc* desc = nullptr;
    p.rc = ldap_url_parse(url.c_str(), &desc);
    if (p.rc == 0) {
        p.host = desc->lud_host ? desc->lud_host : "";
        p.port = desc->lud_port;
        p.dn = desc->lud_dn ? desc->lud_dn : "";
        ldap_free_urldesc(desc);
    }
    return p;
}

} // namespace

TEST(ConfigDirectoryUrl, SuffixReachesTheParserUnchanged)
{
    for (const char* suffix :
         {"o=CorvidRoot", "ou=Admins 100% sure?, o=CorvidRoot", "ou=a#b/c, o=CorvidRoot",
          "cn=Smith\\, John, o=CorvidRoot", "ou=\xc3\xbcml\xc3\xa4ut, o=CorvidRoot",
          "ou=%41, o=CorvidRoot", "ou=x?one?(objectclass=*), o=CorvidRoot"}) {
        Parsed p = parse(cvConfigDirectoryUrl("ldap.example.com", "3890", suffix));
        ASSERT_EQ(p.rc, 0) << suffix;
        EXPECT_EQ(p.host, "ldap.example.com");
        EXPECT_EQ(p.port, 3890);
        EXPECT_EQ(p.dn, suffix);
    }
}

TEST(EscapeBackslashes, DoublesEveryBackslash)
{
    EXPECT_EQ(escapeBackslashes(nullptr), nullptr);
    std::unique_ptr<char[]> plain(escapeBackslashes("/srv/corvid"));
    EXPECT_STREQ(plain.get(), "/srv/corvid");
    std::unique_ptr<char[]> win(escapeBackslashes("C:\\Corvid\\\\Servers\\"));
    EXPECT_STREQ(win.get(), "C:\\\\Corvid\\\\\\\\Servers\\\\");
}

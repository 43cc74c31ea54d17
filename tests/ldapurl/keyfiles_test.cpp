// The key files of a server root, in a temporary server root.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "ldapurl_internal.h"
#include "scratch_mount.h"
#include "setup_ldapurl.h"
#include "setup_util.h"
#include "tempdir.h"

namespace {

class KeyFilesTest : public ::testing::Test {
protected:
    cvtest::TempDir root{"cvkeyfiles"};

    void SetUp() override { root.mkdirs("shared/config"); }

    struct Info {
        std::string url, user, domain;
    };
    static std::string take(char* p)
    {
        std::string s = p ? p : "(null)";
        setupFree(p);
        return s;
    }
    Info get()
    {
        char *url = nullptr, *user = nullptr, *domain = nullptr;
        setupGetDefaultLdapInfo(root.path().c_str(), &url, &user, &domain);
        return {take(url), take(user), take(domain)};
    }
    int set(const char* url, const char* user, const char* domain)
    {
        return cvSetDefaultLdapInfo(root.path().c_str(), url, user, domain);
    }
    mode_t mode(const std::string& rel)
    {
        struct stat st;
        return stat(root.file(rel).c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
    }
};

TEST_F(KeyFilesTest, MissingFilesAndKeysGiveNulls)
{
    Info info = get();
    EXPECT_EQ(info.url, "(null)");
    EXPECT_EQ(info.user, "(null)");
    EXPECT_EQ(info.domain, "(null)");
    root.write("shared/config/ldap.conf", "other value\n");
    EXPECT_EQ(get().user, "(null)");
}

TEST_F(KeyFilesTest, DbswitchUrlIsReadWithItsEscapesDecoded)
{
    root.write("shared/config/dbswitch.conf",
               "directory default ldap://cfg.example:3890/o%3DCorvidRoot\n");
    EXPECT_EQ(get().url, "ldap://cfg.example:3890/o=CorvidRoot");
}

TEST_F(KeyFilesTest, ConfigUrlOfLdapConfIsPreferredAndUserIsTrimmed)
{
    root.write("shared/config/ldap.conf", "ConfigURL ldap://a:1/o=CorvidRoot\nadmnm  admin \n");
    root.write("shared/config/dbswitch.conf", "directory default ldap://b:2/o=CorvidRoot\n");
    Info info = get();
    EXPECT_EQ(info.url, "ldap://a:1/o=CorvidRoot");
    EXPECT_EQ(info.user, "admin");
}

TEST_F(KeyFilesTest, TlsAndHostListUrlsAreStoredAndReadBackWhole)
{
    for (const char* url : {"ldaps://cfg.example:636/o=CorvidRoot", "ldap://h1:389 h2:389/o=CorvidRoot"}) {
        ASSERT_EQ(set(url, nullptr, nullptr), 0) << url;
        EXPECT_EQ(get().url, url);
        char* formed = setupFormConfigLdapURL(get().url.c_str());
        EXPECT_EQ(take(formed), url);
    }
}

TEST_F(KeyFilesTest, AdminDomainOfDsConfIsReadAsDnAndOfLdapConfAsIs)
{
    root.write("shared/config/ds.conf", "AdminDomain:ou=example.com, o=CorvidRoot\n");
    EXPECT_EQ(get().domain, "example.com");
    root.write("shared/config/ldap.conf", "AdminDomain:plain.org\n");
    EXPECT_EQ(get().domain, "plain.org");
}

TEST_F(KeyFilesTest, NewFilesHoldTheDocumentedLinesWithModeSixHundred)
{
    ASSERT_EQ(set("ldap://h:389/o=CorvidRoot", "admin", "example.com"), 0);
    EXPECT_EQ(root.read("shared/config/dbswitch.conf"), "directory default ldap://h:389/o=CorvidRoot\n");
    EXPECT_EQ(root.read("shared/config/ldap.conf"), "admnm  admin\n");
    EXPECT_EQ(root.read("shared/config/ds.conf"), "AdminDomain:example.com\n");
    for (const char* f : {"shared/config/dbswitch.conf", "shared/config/ldap.conf", "shared/config/ds.conf"})
        EXPECT_EQ(mode(f), 0600u) << f;
    Info info = get();
    EXPECT_EQ(info.url, "ldap://h:389/o=CorvidRoot");
    EXPECT_EQ(info.user, "admin");
    EXPECT_EQ(info.domain, "example.com");
}

TEST_F(KeyFilesTest, SetReplacesStaleLinesTheReaderPrefersAndKeepsModes)
{
    root.write("shared/config/ldap.conf",
               "ConfigURL ldap://old:1/o=CorvidRoot\nadmnm  old\nAdminDomain:old.org\nkeep me\n");
    chmod(root.file("shared/config/ldap.conf").c_str(), 0640);
    ASSERT_EQ(set("ldap://new:2/o=CorvidRoot", "uid=new, o=CorvidRoot", "new.org"), 0);
    EXPECT_EQ(root.read("shared/config/ldap.conf"),
              "ConfigURL ldap://new:2/o=CorvidRoot\nadmnm  uid=new, o=CorvidRoot\nAdminDomain:new.org\nkeep me\n");
    EXPECT_EQ(mode("shared/config/ldap.conf"), 0640u);
    Info info = get();
    EXPECT_EQ(info.url, "ldap://new:2/o=CorvidRoot");
    EXPECT_EQ(info.user, "uid=new, o=CorvidRoot");
    EXPECT_EQ(info.domain, "new.org");
}

TEST_F(KeyFilesTest, LongValuesRoundTripWhole)
{
    std::string dn = "o=" + std::string(3000, 'x');
    std::string url = "ldap://h:389/" + dn;
    std::string user = "uid=" + std::string(3000, 'u') + ", o=CorvidRoot";
    std::string domain(3000, 'd');
    ASSERT_EQ(set(url.c_str(), user.c_str(), domain.c_str()), 0);
    Info info = get();
    EXPECT_EQ(info.url, url);
    EXPECT_EQ(info.user, user);
    EXPECT_EQ(info.domain, domain);
}

TEST_F(KeyFilesTest, ValueWithLineBreakIsRefusedAndFileKept)
{
    root.write("shared/config/ldap.conf", "admnm  admin\n");
    EXPECT_EQ(set(nullptr, "evil\nadmnm  intruder", nullptr), 4);
    setupSetDefaultLdapInfo(root.path().c_str(), nullptr, "x\radmnm y", nullptr);
    EXPECT_EQ(root.read("shared/config/ldap.conf"), "admnm  admin\n");
    EXPECT_FALSE(root.exists("shared/config/dbswitch.conf"));
}

TEST_F(KeyFilesTest, ReadOnlyDirectoryLeavesFileByteIdenticalAndReportsFailure)
{
    utiltest::ScratchMount mount(root.file("shared/config"));
    if (!mount.available())
        GTEST_SKIP() << "needs root to mount a scratch file system";
    const std::string before = "directory default ldap://keep:1/o=CorvidRoot\n";
    root.write("shared/config/dbswitch.conf", before);
    ASSERT_TRUE(mount.makeReadOnly());
    EXPECT_EQ(set("ldap://new:2/o=CorvidRoot", nullptr, nullptr), 2);
    EXPECT_NE(set(nullptr, "admin", nullptr), 0); // ldap.conf cannot be created
    EXPECT_EQ(root.read("shared/config/dbswitch.conf"), before);
    EXPECT_FALSE(root.exists("shared/config/ldap.conf"));
    EXPECT_EQ(get().url, "ldap://keep:1/o=CorvidRoot");
}

} // namespace

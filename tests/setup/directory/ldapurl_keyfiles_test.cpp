// The key files of a server root, in a temporary server root.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "c_text.h"
#include "child.h"
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
    Info get()
    {
        char *url = nullptr, *user = nullptr, *domain = nullptr;
        setupGetDefaultLdapInfo(root.path().c_str(), &url, &user, &domain);
        return {cvtest::taken(url), cvtest::taken(user), cvtest::taken(domain)};
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
    // The setter's result in a child process whose install log is log: the
    // log is process-wide and opened once.
    int setLogged(const std::string& log, const char* url, const char* user, const char* domain)
    {
        return utiltest::runInChild([&] {
            setupSetLogFile(log.c_str());
            return set(url, user, domain);
        });
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
    for (const char* url :
         {"ldaps://cfg.example:636/o=CorvidRoot", "ldap://h1:389 h2:389/o=CorvidRoot"}) {
        ASSERT_EQ(set(url, nullptr, nullptr), 0) << url;
        EXPECT_EQ(get().url, url);
        char* formed = setupFormConfigLdapURL(get().url.c_str());
        EXPECT_EQ(cvtest::taken(formed), url);
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
    EXPECT_EQ(root.read("shared/config/dbswitch.conf"),
              "directory default ldap://h:389/o=CorvidRoot\n");
    EXPECT_EQ(root.read("shared/config/ldap.conf"), "admnm  admin\n");
    EXPECT_EQ(root.read("shared/config/ds.conf"), "AdminDomain:example.com\n");
    for (const char* f :
         {"shared/config/dbswitch.conf", "shared/config/ldap.conf", "shared/config/ds.conf"})
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
              "ConfigURL ldap://new:2/o=CorvidRoot\nadmnm  uid=new, "
              "o=CorvidRoot\nAdminDomain:new.org\nkeep me\n");
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

TEST_F(KeyFilesTest, RewriteKeepsOwnerGroupAndModeOfTheReplacedFile)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file to another user";
    root.write("shared/config/ldap.conf", "admnm  old\n");
    ASSERT_EQ(chmod(root.path().c_str(), 0711), 0);
    const std::string conf = root.file("shared/config/ldap.conf");
    ASSERT_EQ(chown(conf.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(conf.c_str(), 02640), 0);
    ASSERT_EQ(set("ldap://h:389/o=CorvidRoot", "admin", nullptr), 0);
    struct stat st;
    ASSERT_EQ(stat(conf.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 02640u);
    EXPECT_EQ(root.read("shared/config/ldap.conf"), "admnm  admin\n");
    // The server's user still reads it; a new file is root's alone.
    EXPECT_EQ(utiltest::runUnprivileged([&] { return access(conf.c_str(), R_OK); }), 0);
    EXPECT_EQ(mode("shared/config/dbswitch.conf"), 0600u);
}

TEST_F(KeyFilesTest, LinksLeadingOutOfTheServerRootOrNowhereAreRefused)
{
    cvtest::TempDir outside{"cvkeyout"};
    outside.write("passwd", "root:x:0:0\n");
    const std::string log = outside.file("install.log");
    root.symlink(outside.file("passwd"), "shared/config/ldap.conf");
    EXPECT_EQ(setLogged(log, nullptr, "admin", nullptr), 6);
    EXPECT_EQ(outside.read("passwd"), "root:x:0:0\n");
    EXPECT_NE(cvtest::readFile(log).find("could not set the key files of " + root.path() + ": " +
                                         root.file("shared/config/ldap.conf") +
                                         " leads out of the server root"),
              std::string::npos)
        << cvtest::readFile(log);

    // A link that leads nowhere stays a link: no world-readable file appears.
    root.symlink(outside.file("gone"), "shared/config/dbswitch.conf");
    EXPECT_EQ(set("ldap://h:389/o=CorvidRoot", nullptr, nullptr), 6);
    EXPECT_FALSE(outside.exists("gone"));
    struct stat st;
    ASSERT_EQ(lstat(root.file("shared/config/dbswitch.conf").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // A link within the server root is rewritten at its target.
    root.write("shared/real/ds.conf", "AdminDomain:old.org\n");
    root.symlink("../real/ds.conf", "shared/config/ds.conf");
    EXPECT_EQ(set(nullptr, nullptr, "new.org"), 0);
    EXPECT_EQ(root.read("shared/real/ds.conf"), "AdminDomain:new.org\n");
    ASSERT_EQ(lstat(root.file("shared/config/ds.conf").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(KeyFilesTest, FifoKeyFileIsRefusedWithoutBlocking)
{
    ASSERT_EQ(mkfifo(root.file("shared/config/ldap.conf").c_str(), 0600), 0);
    // A reader or writer that opened the fifo would wait for a peer forever:
    // the alarm ends such a child, which then does not exit normally.
    int status = utiltest::runInChild([&] {
        alarm(10);
        if (get().user != "(null)")
            return 1;
        if (set(nullptr, "admin", nullptr) != 1)
            return 2;
        const char* keys[] = {"admnm", nullptr};
        const char* lines[] = {"admnm  admin", nullptr};
        return setupFileUpdateLines(keys, lines, root.file("shared/config/ldap.conf").c_str()) == 1
                   ? 0
                   : 3;
    });
    EXPECT_EQ(status, 0);
    struct stat st;
    ASSERT_EQ(lstat(root.file("shared/config/ldap.conf").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(KeyFilesTest, SettersRunningAtOnceLoseNoValue)
{
    // Two processes released together: one sets the URL (dbswitch.conf and
    // ldap.conf's ConfigURL), the other the administrator (ldap.conf).
    const int kTrials = 100;
    int lost = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        root.write("shared/config/ldap.conf", "ConfigURL ldap://old:1/o=CorvidRoot\nadmnm  old\n");
        const std::string url = "ldap://new" + std::to_string(trial) + ":389/o=CorvidRoot";
        const std::string user = "admin" + std::to_string(trial);
        std::vector<int> statuses =
            utiltest::runTogether({[&](const std::function<void()>& gate) {
                                       gate();
                                       return set(url.c_str(), nullptr, nullptr);
                                   },
                                   [&](const std::function<void()>& gate) {
                                       gate();
                                       return set(nullptr, user.c_str(), nullptr);
                                   }});
        EXPECT_EQ(statuses, (std::vector<int>{0, 0}));
        Info info = get();
        if (info.url != url || info.user != user ||
            root.read("shared/config/dbswitch.conf") != "directory default " + url + "\n")
            ++lost;
    }
    EXPECT_EQ(lost, 0) << "of " << kTrials << " trials";
}

TEST_F(KeyFilesTest, FullFileSystemLeavesThePreviousPairAndIsLogged)
{
    cvtest::TempDir logDir{"cvkeylog"};
    const std::string log = logDir.file("install.log");
    utiltest::ScratchMount mount(root.file("shared/config"), "size=64k");
    if (!mount.available())
        GTEST_SKIP() << "needs root to mount a scratch file system";
    // ldap.conf fills one page and needs a second with the new URL;
    // dbswitch.conf's new version fits in one.
    const std::string dbswitch = "directory default ldap://old:1/o=CorvidRoot\n";
    const std::string ldapConf =
        "ConfigURL ldap://old:1/o=CorvidRoot\n# " + std::string(4000, 'x') + "\n";
    root.write("shared/config/dbswitch.conf", dbswitch);
    root.write("shared/config/ldap.conf", ldapConf);
    // Fill the file system, then free exactly one page.
    const std::string filler = root.file("shared/config/filler");
    int fd = open(filler.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    std::string block(4096, 'f');
    off_t size = 0;
    ssize_t n;
    while ((n = write(fd, block.data(), block.size())) > 0)
        size += n;
    ASSERT_EQ(ftruncate(fd, size - 4096), 0);
    close(fd);

    const std::string url = "ldap://new:2/o=" + std::string(200, 'n');
    EXPECT_EQ(setLogged(log, url.c_str(), nullptr, nullptr), 2);
    EXPECT_EQ(root.read("shared/config/dbswitch.conf"), dbswitch);
    EXPECT_EQ(root.read("shared/config/ldap.conf"), ldapConf);
    EXPECT_EQ(root.countEntries("shared/config"), 3u); // no temporary left
    EXPECT_EQ(get().url, "ldap://old:1/o=CorvidRoot");
    EXPECT_NE(cvtest::readFile(log).find("[setup] Fatal could not set the key files of " +
                                         root.path() + ": " + root.file("shared/config/ldap.conf") +
                                         " cannot be written (No space left on device)"),
              std::string::npos)
        << cvtest::readFile(log);
}

} // namespace

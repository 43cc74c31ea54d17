// Host name, network domain, free ports and the host description.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "host_internal.h"
#include "setup_host.h"
#include "setup_util.h"
#include "sysinfo.h"
#include "tempdir.h"

namespace {

class DomainTest : public ::testing::Test {
protected:
    cvtest::TempDir dir{"cvresolv"};
    std::string domainOf(const std::string& content)
    {
        dir.write("resolv.conf", content);
        return cvNetworkDomain(dir.file("resolv.conf").c_str());
    }
};

TEST_F(DomainTest, FirstDomainLineGivesItsFirstWord)
{
    EXPECT_EQ(
        domainOf("search a.b\nnameserver 10.0.0.1\ndomain example.org extra\ndomain second.org\n"),
        "example.org");
    EXPECT_EQ(domainOf("domain .lead.example\n"), "lead.example");
    EXPECT_EQ(domainOf("DoMaIn Mixed.Case\n"), "Mixed.Case");
    std::string longDomain(3000, 'd');
    EXPECT_EQ(domainOf(std::string(400, '#') + "\ndomain " + longDomain + "\n"), longDomain);
}

TEST_F(DomainTest, WithoutADomainLineTheCanonicalNameAnswers)
{
    std::string fallback = cvNetworkDomain(dir.file("missing").c_str());
    EXPECT_EQ(domainOf("domain\texample.org\n"), fallback);
    EXPECT_EQ(domainOf("domainexample.org\nsearch x\n"), fallback);
    EXPECT_EQ(cvNetworkDomain(dir.file("missing").c_str()), fallback);
    EXPECT_TRUE(fallback.empty() || fallback[0] != '.');
}

TEST_F(DomainTest, HostNameIsQualifiedOnlyWhenBare)
{
    dir.write("resolv.conf", "domain example.org\n");
    std::string path = dir.file("resolv.conf");
    EXPECT_EQ(cvQualifiedHostName("db", path.c_str()), "db.example.org");
    EXPECT_EQ(cvQualifiedHostName("db.other.net", path.c_str()), "db.other.net");

    char* name = setupGetHostName();
    ASSERT_NE(name, nullptr);
    EXPECT_GT(std::strlen(name), 0u);
    setupFree(name);
    char* domain = setupGetNetworkDomain();
    ASSERT_NE(domain, nullptr);
    EXPECT_NE(domain[0], '.');
    setupFree(domain);
}

size_t openDescriptors()
{
    size_t n = 0;
    DIR* d = opendir("/proc/self/fd");
    while (d && readdir(d))
        ++n;
    if (d)
        closedir(d);
    return n;
}

TEST(PortTest, HeldPortIsRefusedAndProbeClosesItsSocket)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(fd, 1), 0);
    socklen_t len = sizeof addr;
    ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    int port = ntohs(addr.sin_port);

    size_t before = openDescriptors();
    EXPECT_EQ(setupIsValidNetworkPort(port), 0);
    close(fd);
    EXPECT_EQ(setupIsValidNetworkPort(port), 1);
    EXPECT_EQ(setupIsValidNetworkPort(port), 1); // the first probe let go of it
    EXPECT_EQ(openDescriptors(), before - 1);
    for (int bad : {0, -1, 65536, 1 << 20})
        EXPECT_EQ(setupIsValidNetworkPort(bad), 0) << bad;
}

TEST(PortTest, RandomPortsStayInRangeAndDoNotRepeatASequence)
{
    int first = setupGetRandomNetworkPort();
    bool differs = false;
    for (int i = 0; i < 10000; ++i) {
        int port = setupGetRandomNetworkPort();
        ASSERT_GE(port, 1024);
        ASSERT_LE(port, 65534);
        differs = differs || port != first;
    }
    EXPECT_TRUE(differs);
}

TEST(SysInfoTest, TwoValuesInOrderFromUname)
{
    SysInfo info;
    ASSERT_EQ(info.numName(), 2);
    EXPECT_STREQ(info.name(0), "osVersion");
    EXPECT_STREQ(info.name(1), "hardwarePlatform");
    struct utsname u;
    ASSERT_EQ(uname(&u), 0);
    EXPECT_EQ(std::string(info.get("osVersion")),
              std::string(u.sysname) + " " + u.release + " " + u.version);
    std::string hw = info.get("hardwarePlatform");
    EXPECT_EQ(hw.compare(0, std::strlen(u.machine) + 1, std::string(u.machine) + " "), 0) << hw;
}

bool noArchitecture(int command, std::string& out)
{
    if (command == CV_SI_ARCHITECTURE)
        return false;
    out = "part" + std::to_string(command);
    return true;
}

int asked = 0;
bool noSystemName(int command, std::string& out)
{
    if (command == CV_SI_SYSNAME)
        return false;
    if (command == CV_SI_RELEASE || command == CV_SI_VERSION)
        ++asked;
    out = "x";
    return true;
}

TEST(SysInfoTest, FailedQueriesLeaveTheirPartOut)
{
    SysInfo partial(noArchitecture);
    EXPECT_STREQ(partial.get("osVersion"), "part1 part3 part4");
    EXPECT_STREQ(partial.get("hardwarePlatform"), "part5 part513");
    SysInfo unknown(noSystemName);
    EXPECT_STREQ(unknown.get("osVersion"), "Unknown");
    EXPECT_EQ(asked, 0);
}

} // namespace

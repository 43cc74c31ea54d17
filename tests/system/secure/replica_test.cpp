// A replicated configuration directory: a provider and a read-only consumer
// that refers every write to it. Through "ldap://consumer provider/..." the
// library reads from the consumer and writes go to the provider; through
// the consumer alone a write fails and says which server to add. A host
// list whose first host is down connects to the next.
#include <gtest/gtest.h>

#include <chrono>

#include "directory_fixture.h"
#include "register_fixture.h"
#include "registry_wait.h"
#include "setup_ldap.h"
#include "setup_ldif.h"
#include "tempdir.h"
#include "unregister.h"

namespace {

using namespace cvtest;

class Replica : public RegisterSuite<Replica> {
public:
    static SlapdOptions slapdOptions()
    {
        SlapdOptions o = RegisterSuite<Replica>::slapdOptions();
        o.provider = true;
        return o;
    }
    static void SetUpTestSuite()
    {
        RegisterSuite<Replica>::SetUpTestSuite();
        SlapdOptions o;
        o.consumerOf = "ldap://" + slapd().hostPort();
        consumer_ = new Slapd(o);
        consumer_->start();
    }
    static void TearDownTestSuite()
    {
        delete consumer_;
        consumer_ = nullptr;
        RegisterSuite<Replica>::TearDownTestSuite();
    }

    // The consumer first: reads are served there, writes referred on.
    std::string connectionUrl()
    {
        return consumerOnly_
                   ? consumer_->url()
                   : "ldap://" + consumer_->hostPort() + " " + slapd().hostPort() + "/o=CorvidRoot";
    }

protected:
    void SetUp() override
    {
        ASSERT_TRUE(consumer_ && consumer_->running()) << (consumer_ ? consumer_->error() : "");
        RegisterSuite<Replica>::SetUp();
        if (HasFatalFailure())
            return;
        // The reset reached the consumer before a test reads it.
        ASSERT_EQ(cvWaitUntil(
                      [] { return consumer_->count(Slapd::kBase) == slapd().count(Slapd::kBase); }),
                  1);
    }

    static Slapd* consumer_;
    bool consumerOnly_ = false;
};

Slapd* Replica::consumer_ = nullptr;

TEST_F(Replica, RegistrationsThroughTheConsumerAreWrittenToTheProviderQuickly)
{
    EXPECT_EQ(std::string(ldap_->server()), "ldap://" + consumer_->hostPort());
    auto start = std::chrono::steady_clock::now();
    for (const char* id : {"slapd-one", "slapd-two", "slapd-three"})
        ASSERT_EQ(registerInstance({id, "Corvid Directory Server", "rep.example.com", "/srv/rep"}),
                  0)
            << id;
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 3.0);
    const std::string product = "cn=Corvid Directory Server, " + groupDN("rep.example.com");
    for (const char* id : {"slapd-one", "slapd-two", "slapd-three"})
        EXPECT_TRUE(server().exists(std::string("cn=") + id + ", " + product)) << id;
    EXPECT_EQ(members(product).size(), 3u);
    // The version update reads through the consumer and writes to the provider.
    LdapEntry* source = entry();
    source->setAttribute("cvProductVersion", "6.0");
    EXPECT_EQ(setupUpdateISIEVersionInfo(ldap_.get(), source, "Corvid Directory Server",
                                         "rep.example.com", "/srv/rep", "example.com"),
              0);
    EXPECT_EQ(values(product, "cvProductVersion"), (std::vector<std::string>{"6.0"}));
}

TEST_F(Replica, RegisterThenRemoveLeavesTheProviderRegistryAsBefore)
{
    ASSERT_EQ(
        registerInstance({"slapd-stays", "Corvid Directory Server", "rep.example.com", "/srv/rep"}),
        0);
    TempDir dir("replica");
    dir.write("load.ldif", "dn: ou=Loaded\nobjectclass: organizationalUnit\nou: Loaded\n");
    ASSERT_EQ(setupReplaceLdifEntries(ldap_.get(), "o=CorvidRoot", dir.file("load.ldif").c_str(),
                                      nullptr),
              0);
    EXPECT_TRUE(server().exists("ou=Loaded,o=CorvidRoot"));
    ASSERT_EQ(
        cvWaitUntil([] { return consumer_->count(Slapd::kBase) == slapd().count(Slapd::kBase); }),
        1);
    RegistryDump before = dumpRegistry(server());

    ASSERT_EQ(registerInstance(
                  {"slapd-goes", "Corvid Message Server", "other.example.com", "/srv/other"}),
              0);
    EXPECT_NE(dumpRegistry(server()), before);
    UnregisterResult result;
    EXPECT_EQ(cvUnregisterInstance(connectionUrl(), Slapd::kRootDN, Slapd::kRootPassword,
                                   "slapd-goes", "other.example.com", "/srv/other", result),
              0);
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.url, "ldap://" + consumer_->hostPort() + "/o=CorvidRoot");
    EXPECT_EQ(dumpRegistry(server()), before);
}

TEST_F(Replica, WriteThroughTheConsumerAloneNamesTheProviderToAdd)
{
    consumerOnly_ = true;
    connect();
    // The first write refused is the Global Preferences branch (155).
    EXPECT_EQ(
        registerInstance({"slapd-x", "Corvid Directory Server", "rep.example.com", "/srv/rep"}),
        SETUP_LDAP_NO_ADMIN_DOMAIN);
    const char* why = setupGetReferralRefusal(ldap_.get());
    ASSERT_NE(why, nullptr);
    EXPECT_NE(std::string(why).find("ldap://" + slapd().hostPort()), std::string::npos) << why;
    EXPECT_NE(std::string(why).find("Add that server to the URL"), std::string::npos) << why;
    EXPECT_FALSE(server().exists(hostDN("rep.example.com")));
}

TEST_F(Replica, RemovalThroughTheConsumerAloneSaysWhichServerToAdd)
{
    ASSERT_EQ(
        registerInstance({"slapd-kept", "Corvid Directory Server", "rep.example.com", "/srv/rep"}),
        0);
    ASSERT_EQ(
        cvWaitUntil([] { return consumer_->count(Slapd::kBase) == slapd().count(Slapd::kBase); }),
        1);
    testing::internal::CaptureStderr();
    UnregisterResult result;
    int code = cvUnregisterInstance(consumer_->url(), Slapd::kRootDN, Slapd::kRootPassword,
                                    "slapd-kept", "rep.example.com", "/srv/rep", result);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, LDAP_REFERRAL);
    // The first write of a removal takes the instance out of its product's
    // members: that is the one the consumer refers.
    EXPECT_EQ(err.rfind("Error: could not remove cn=slapd-kept,", 0), 0u) << err;
    EXPECT_NE(err.find(" from the members of ISIE entry "), std::string::npos) << err;
    EXPECT_NE(err.find("referred the request to ldap://" + slapd().hostPort()), std::string::npos)
        << err;
    EXPECT_NE(err.find("Add that server to the URL"), std::string::npos) << err;
    EXPECT_TRUE(server().exists("cn=slapd-kept, cn=Corvid Directory Server, " +
                                groupDN("rep.example.com")));
}

TEST_F(Replica, HostListWhoseFirstHostIsDownConnectsToTheNext)
{
    const std::string url = "ldap://127.0.0.1:" + std::to_string(closedPort()) + " " +
                            consumer_->hostPort() + "/o=CorvidRoot";
    LdapError err;
    Ldap ldap(err, url.c_str(), Slapd::kRootDN, Slapd::kRootPassword, nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    EXPECT_EQ(std::string(ldap.server()), "ldap://" + consumer_->hostPort());
    LdapEntry root(&ldap);
    EXPECT_EQ(root.retrieve(Slapd::kBase).code, 0);
}

} // namespace

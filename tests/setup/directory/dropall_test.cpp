// dropAll deletes whole subtrees, children first, also where the server
// caps what one search returns; a failing child stops it.
#include "entry_fixture.h"

namespace {

using cvtest::Slapd;

const char* const kWriter = "uid=writer, o=CorvidRoot";
const char* const kReader = "uid=reader, o=CorvidRoot";

class SubtreeDeletion : public cvtest::EntrySuite<SubtreeDeletion> {
public:
    static cvtest::SlapdOptions slapdOptions()
    {
        cvtest::SlapdOptions o;
        o.sizeLimit = 20;
        o.writers = {kWriter};
        return o;
    }
    static void SetUpTestSuite()
    {
        SlapdSuite::SetUpTestSuite();
        if (slapd().running())
            slapd().add(Slapd::personLdif(kWriter, "writer", "writer-pw") +
                        Slapd::personLdif(kReader, "reader", "reader-pw"));
    }

protected:
    // base with `wide` children, each with `deep` children of its own.
    std::string tree(const std::string& name, int wide, int deep)
    {
        std::string base = container(name);
        std::string ldif;
        for (int i = 0; i < wide; ++i) {
            std::string child = "cn=c" + std::to_string(i) + ", " + base;
            ldif +=
                "dn: " + child + "\nobjectclass: cvTestEntry\ncn: c" + std::to_string(i) + "\n\n";
            for (int j = 0; j < deep; ++j)
                ldif += "dn: cn=g" + std::to_string(j) + ", " + child +
                        "\nobjectclass: cvTestEntry\ncn: g" + std::to_string(j) + "\n\n";
        }
        std::string out;
        EXPECT_TRUE(slapd().add(ldif, &out)) << out;
        return base;
    }
};

TEST_F(SubtreeDeletion, DeletesALeafAndReportsAMissingDn)
{
    std::string base = tree("Leaf", 0, 0);
    LdapEntry entry(ldap_.get());
    EXPECT_EQ(entry.dropAll(base.c_str()).code, 0);
    EXPECT_FALSE(slapd().exists("ou=Leaf,o=CorvidRoot"));
    EXPECT_EQ(entry.dropAll(base.c_str()).code, LDAP_NO_SUCH_OBJECT);
}

TEST_F(SubtreeDeletion, DeletesEveryLevelChildrenFirst)
{
    std::string base = tree("Deep", 4, 3);
    ASSERT_EQ(slapd().count("ou=Deep,o=CorvidRoot"), 17);
    LdapEntry entry(ldap_.get());
    EXPECT_EQ(entry.dropAll(base.c_str()).code, 0);
    EXPECT_EQ(slapd().count("ou=Deep,o=CorvidRoot"), -1);
    EXPECT_TRUE(slapd().exists("o=CorvidRoot"));
}

TEST_F(SubtreeDeletion, DeletesSubtreesLargerThanTheSizeLimit)
{
    std::string base = tree("Large", 30, 25);
    LdapError err;
    Ldap writer(err, slapd().url().c_str(), kWriter, "writer-pw", nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    {
        LdapEntry probe(&writer);
        // The limit holds for this identity: one search cannot list them.
        ASSERT_EQ(probe.retrieve("(objectclass=*)", 1, base.c_str()).code, LDAP_SIZELIMIT_EXCEEDED);
    }
    LdapEntry entry(&writer);
    LdapError dropped = entry.dropAll(base.c_str());
    EXPECT_EQ(dropped.code, 0) << dropped.message;
    EXPECT_FALSE(slapd().exists("ou=Large,o=CorvidRoot"));
}

TEST_F(SubtreeDeletion, FirstFailingChildStopsTheWalk)
{
    std::string base = tree("Guarded", 3, 2);
    LdapError err;
    Ldap reader(err, slapd().url().c_str(), kReader, "reader-pw", nullptr, nullptr);
    ASSERT_EQ(err.code, 0) << err.message;
    LdapEntry entry(&reader);
    EXPECT_EQ(entry.dropAll(base.c_str()).code, LDAP_INSUFFICIENT_ACCESS);
    EXPECT_EQ(slapd().count("ou=Guarded,o=CorvidRoot"), 10);
}

} // namespace

// The LDIF loader against a real slapd, and against ldapadd on the same server.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "ldif_fixture.h"
#include "setup_compat.h"

namespace {

// ldapsearch output with the suffix written as SUFFIX and the entries
// sorted: the order in which a server lists siblings is not stored content.
std::string canonical(const std::string& ldif, const std::string& suffix)
{
    std::string text = ldif;
    for (size_t at; (at = text.find(suffix)) != std::string::npos;)
        text.replace(at, suffix.size(), "SUFFIX");
    std::vector<std::string> entries;
    std::istringstream in(text);
    std::string entry;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            if (!entry.empty())
                entries.push_back(entry);
            entry.clear();
        } else {
            entry += line + "\n";
        }
    }
    if (!entry.empty())
        entries.push_back(entry);
    std::sort(entries.begin(), entries.end());
    std::string out;
    for (const std::string& e : entries)
        out += e + "\n";
    return out;
}

} // namespace

TEST_F(LdifLoadTest, StoresWhatLdapaddStores)
{
    std::string fixture =
        cvtest::readFile(std::string(CV_SOURCE_DIR) + "/tests/setup/directory/parity.ldif");
    ASSERT_FALSE(fixture.empty());
    // ldapadd needs whole DNs: every "dn: " line gets the suffix appended.
    std::string theirs;
    std::istringstream in(fixture);
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 4, "dn: ") == 0) {
            bool cr = !line.empty() && line.back() == '\r';
            if (cr)
                line.pop_back();
            line += ", o=LdifTheirs" + std::string(cr ? "\r" : "");
        }
        theirs += line + "\n";
    }
    std::string out;
    ASSERT_TRUE(slapd().add(theirs, &out)) << out;

    std::string path = std::string(CV_SOURCE_DIR) + "/tests/setup/directory/parity.ldif";
    EXPECT_EQ(setupUpdateLdifEntries(ldap_, "o=LdifOurs", path.c_str(), nullptr), 0) << newLog();
    std::string ours = slapd().search("ou=Folks,o=LdifOurs");
    std::string reference = slapd().search("ou=Folks,o=LdifTheirs");
    EXPECT_EQ(std::count(reference.begin(), reference.end(), '\n') > 20, true) << reference;
    EXPECT_EQ(canonical(ours, "o=LdifOurs"), canonical(reference, "o=LdifTheirs"));
    // The fold kept its meaningful blank; the case-differing URIs both stayed.
    EXPECT_EQ(slapd().values("ou=Folks,o=LdifOurs", "description"),
              std::vector<std::string>{"a folded value with a meaningful blank: two words"});
    EXPECT_EQ(slapd().values("cn=Zoe,ou=Folks,o=LdifOurs", "labeledURI").size(), 2u);
    slapd().remove("ou=Folks,o=LdifOurs", true);
    slapd().remove("ou=Folks,o=LdifTheirs", true);
}

TEST_F(LdifLoadTest, UpdateMergesAndReplaceOverwritesExistingEntries)
{
    ASSERT_TRUE(slapd().add("dn: ou=T,o=LdifOurs\nobjectclass: organizationalUnit\nou: T\n"
                            "description: old\nbusinessCategory: kept by update\n"));
    std::string f = file("t.ldif", "dn: ou=T\nobjectclass: organizationalUnit\ndescription: new\n"
                                   "telephoneNumber: 1\n");
    EXPECT_EQ(setupUpdateLdifEntries(ldap_, "o=LdifOurs", f.c_str(), nullptr), 0) << newLog();
    EXPECT_EQ(slapd().values("ou=T,o=LdifOurs", "description"),
              (std::vector<std::string>{"old", "new"}));
    EXPECT_EQ(slapd().values("ou=T,o=LdifOurs", "businessCategory").size(), 1u);
    EXPECT_EQ(slapd().values("ou=T,o=LdifOurs", "telephoneNumber"), std::vector<std::string>{"1"});

    EXPECT_EQ(setupReplaceLdifEntries(ldap_, "o=LdifOurs", f.c_str(), nullptr), 0) << newLog();
    EXPECT_EQ(slapd().values("ou=T,o=LdifOurs", "description"), std::vector<std::string>{"new"});
    EXPECT_TRUE(slapd().values("ou=T,o=LdifOurs", "businessCategory").empty());
    // The naming value survives a record that does not repeat it.
    EXPECT_EQ(slapd().values("ou=T,o=LdifOurs", "ou"), std::vector<std::string>{"T"});
}

TEST_F(LdifLoadTest, RefusedRecordInTheMiddleIsLoggedAndTheRestLoads)
{
    std::string f =
        file("m.ldif", "dn: ou=T\nobjectclass: organizationalUnit\n\n"
                       "dn: cn=bad,ou=T\nobjectclass: noSuchClass\ncn: bad\n\n"
                       "dn: cn=orphan,cn=missing,ou=T\nobjectclass: cvTestEntry\ncn: orphan\n\n"
                       "dn: cn=modify,ou=T\nchangetype: modify\nreplace: cn\ncn: x\n\n"
                       "dn: cn=good,ou=T\nobjectclass: cvTestEntry\ncn: good\n");
    int code = setupUpdateLdifEntries(ldap_, "o=LdifOurs", f.c_str(), nullptr);
    // The first failure decides (an unknown class: 21), not the last (144).
    EXPECT_EQ(code, LDAP_INVALID_SYNTAX) << newLog();
    EXPECT_TRUE(slapd().exists("cn=good,ou=T,o=LdifOurs"));
    EXPECT_FALSE(slapd().exists("cn=bad,ou=T,o=LdifOurs"));
    EXPECT_FALSE(slapd().exists("cn=modify,ou=T,o=LdifOurs"));
    std::string log = newLog();
    EXPECT_NE(log.find("[ldif] Fatal updating dn: cn=bad,ou=T, o=LdifOurs: error "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("updating dn: cn=orphan,cn=missing,ou=T, o=LdifOurs: error 32 "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("unsupported change type \"modify\""), std::string::npos) << log;
    EXPECT_NE(log.find("3 of 5 records not written"), std::string::npos) << log;
    EXPECT_LT(log.find("cn=bad"), log.find("cn=orphan"));
}

TEST_F(LdifLoadTest, SuffixAloneClassSuffixAndRecordsWithoutDn)
{
    ASSERT_TRUE(slapd().add("dn: ou=T,o=LdifOurs\nobjectclass: organizationalUnit\nou: T\n"));
    std::string f =
        file("c.ldif", "objectclass: cvTestEntry\ncn: alone\ncvClassname: a.B\ncvClassname: c\n");
    EXPECT_EQ(setupUpdateLdifEntries(ldap_, "cn=alone,ou=T,o=LdifOurs", f.c_str(), "sfx"), 0)
        << newLog();
    EXPECT_EQ(slapd().values("cn=alone,ou=T,o=LdifOurs", "cvClassname"),
              (std::vector<std::string>{"a.B@sfx", "c@sfx"}));
    // Without a suffix, a record without "dn" names nothing: refused.
    EXPECT_EQ(setupUpdateLdifEntries(ldap_, nullptr, f.c_str(), nullptr), SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_NE(
        newLog().find("updating dn: (unknown): error 144 (no DN, and no suffix to name the entry"),
        std::string::npos)
        << newLog();
}

TEST_F(LdifLoadTest, ManyRecordsAndChildrenRightAfterTheirParents)
{
    std::string text = "dn: ou=T\nobjectclass: organizationalUnit\n\n";
    for (int i = 0; i < 30; ++i) {
        text += "dn: ou=p" + std::to_string(i) + ",ou=T\nobjectclass: organizationalUnit\n\n";
        for (int j = 0; j < 5; ++j)
            text += "dn: cn=c" + std::to_string(j) + ",ou=p" + std::to_string(i) +
                    ",ou=T\nobjectclass: cvTestEntry\n\n";
    }
    // The same entry twice: the second merges into the first.
    text += "dn: cn=c0,ou=p0,ou=T\nobjectclass: cvTestEntry\ndescription: again\n";
    std::string f = file("many.ldif", text);
    EXPECT_EQ(insertLdifEntries(ldap_, "o=LdifOurs", f.c_str(), nullptr), 0) << newLog();
    EXPECT_EQ(slapd().count("ou=T,o=LdifOurs"), 1 + 30 * 6);
    EXPECT_EQ(slapd().values("cn=c0,ou=p0,ou=T,o=LdifOurs", "description"),
              std::vector<std::string>{"again"});
}

TEST_F(LdifLoadTest, BadArgumentsAndPluginConnection)
{
    std::string f = file("p.ldif", "dn: ou=T\nobjectclass: organizationalUnit\n");
    EXPECT_EQ(setupUpdateLdifEntries(nullptr, "o=LdifOurs", f.c_str(), nullptr),
              SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(setupReplaceLdifEntries(ldap_, "o=LdifOurs", nullptr, nullptr),
              SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(setupUpdateLdifEntries(ldap_, "o=LdifOurs", dir_.file("missing").c_str(), nullptr),
              SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(setupInsertPluginLdifEntries(slapd().url().c_str(), "o=LdifOurs",
                                           cvtest::Slapd::kRootDN, "wrong", f.c_str()),
              SETUP_LDAP_AUTH_FAILED);
    EXPECT_EQ(insertPluginLdifEntries(slapd().url().c_str(), "o=LdifOurs", cvtest::Slapd::kRootDN,
                                      cvtest::Slapd::kRootPassword, f.c_str()),
              0);
    EXPECT_TRUE(slapd().exists("ou=T,o=LdifOurs"));
}

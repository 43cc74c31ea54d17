// Schema files written to real servers: slapd through cn=config, and the
// subschema modify path against a scripted LDAP peer that records every
// operation.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cvsetup.h"
#include "install_log.h"
#include "ldapschema.h"
#include "nvpair.h"
#include "slapd.h"
#include "subprocess.h"
#include "tempdir.h"

namespace {

const char* const kColor =
    "( 1.3.6.1.4.1.99999.9.1 NAME 'corvidSetupColor' SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' ";

} // namespace

class SchemaConfigTest : public cvtest::SlapdSuite<SchemaConfigTest> {
public:
    static cvtest::SlapdOptions slapdOptions()
    {
        cvtest::SlapdOptions o;
        o.configDatabase = true;
        return o;
    }

protected:
    void SetUp() override
    {
        SlapdSuite<SchemaConfigTest>::SetUp();
        ASSERT_EQ(setupCreateLdap(&ldap_, slapd().url().c_str(), cvtest::Slapd::kRootDN,
                                  cvtest::Slapd::kRootPassword, nullptr, nullptr),
                  0);
    }
    void TearDown() override { setupDestroyLdap(ldap_); }
    std::string file(const std::string& name, const std::string& text)
    {
        dir_.write(name, text);
        return dir_.file(name);
    }
    std::vector<std::string> ours(const std::string& attr)
    {
        std::string dn =
            slapd().search("cn=schema,cn=config", "(cn=*}corvid-setup)", "one", {"1.1"});
        if (dn.compare(0, 4, "dn: ") != 0)
            return {};
        return slapd().values(dn.substr(4, dn.find('\n') - 4), attr);
    }

    Ldap* ldap_ = nullptr;
    cvtest::TempDir dir_;
    cvtest::TestLog log_;
};

TEST_F(SchemaConfigTest, LoadedTypeAndClassServeANewEntryAndReplaceSwapsOurValue)
{
    std::string f =
        file("s.schema", "attribute corvidSetupColor 1.3.6.1.4.1.99999.9.1 cis single\n\n"
                         "objectclass corvidSetupThing\n oid 1.3.6.1.4.1.99999.9.2\n superior top\n"
                         " requires cn\n allows corvidSetupColor, description\n");
    ASSERT_EQ(insertSchemaEntries(ldap_, f.c_str()), 0) << log_.lines();
    EXPECT_EQ(ours("olcAttributeTypes"),
              std::vector<std::string>{std::string("{0}") + kColor + "SINGLE-VALUE  )"});
    std::string out;
    ASSERT_TRUE(slapd().add("dn: cn=thing,o=CorvidRoot\nobjectclass: corvidSetupThing\ncn: thing\n"
                            "corvidSetupColor: red\n",
                            &out))
        << out;
    EXPECT_EQ(slapd().values("cn=thing,o=CorvidRoot", "corvidSetupColor"),
              std::vector<std::string>{"red"});
    EXPECT_FALSE(
        slapd().modify("dn: cn=thing,o=CorvidRoot\nchangetype: modify\nadd: corvidSetupColor\n"
                       "corvidSetupColor: blue\n"));

    // Without "single" the type takes several values: our one value changed.
    std::string multi = file("m.schema", "attribute corvidSetupColor 1.3.6.1.4.1.99999.9.1 cis\n");
    EXPECT_EQ(insertSchemaEntries(ldap_, multi.c_str()), 0) << log_.lines();
    std::vector<std::string> types = ours("olcAttributeTypes");
    ASSERT_EQ(types.size(), 1u);
    EXPECT_NE(types[0].find(std::string(kColor) + ")"), std::string::npos) << types[0];
    // (The type has no equality rule, so values cannot be added one by one.)
    EXPECT_TRUE(
        slapd().add("dn: cn=thing2,o=CorvidRoot\nobjectclass: corvidSetupThing\ncn: thing2\n"
                    "corvidSetupColor: red\ncorvidSetupColor: blue\n",
                    &out))
        << out;

    // Appending what the server holds is refused and logged; the rest loads.
    std::string again = file("a.schema", "attribute corvidSetupColor 1.3.6.1.4.1.99999.9.1 cis\n"
                                         "attribute corvidSetupSize 1.3.6.1.4.1.99999.9.3 int\n");
    EXPECT_NE(appendSchemaEntries(ldap_, again.c_str()), 0);
    EXPECT_NE(
        log_.lines().find(
            "[schema] Fatal writing new attributetypes: attributetypes,( 1.3.6.1.4.1.99999.9.1 "),
        std::string::npos)
        << log_.lines();
    EXPECT_EQ(ours("olcAttributeTypes").size(), 2u);
    slapd().remove("cn=thing,o=CorvidRoot");
    slapd().remove("cn=thing2,o=CorvidRoot");
}

TEST_F(SchemaConfigTest, BadArgumentsAndMissingFiles)
{
    EXPECT_EQ(insertSchemaEntries(nullptr, "x"), SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(appendSchemaEntries(ldap_, nullptr), SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_EQ(insertSchemaEntries(ldap_, dir_.file("missing").c_str()), 1);
    EXPECT_EQ(
        setupInsertPluginSchemaEntries(slapd().url().c_str(), cvtest::Slapd::kRootDN, "wrong", "x"),
        SETUP_LDAP_AUTH_FAILED);
    std::string f =
        file("p.schema", "attribute corvidSetupWeight 1.3.6.1.4.1.99999.9.4 int single\n");
    EXPECT_EQ(setupInsertPluginSchemaEntries(slapd().url().c_str(), cvtest::Slapd::kRootDN,
                                             cvtest::Slapd::kRootPassword, f.c_str()),
              0);
    // A malformed line ends the load and is no success.
    std::string bad = file("b.schema", "attribute x\n");
    EXPECT_EQ(insertSchemaEntries(ldap_, bad.c_str()), SETUP_LDAP_BAD_ARGUMENT);
    EXPECT_NE(log_.lines().find("Parsing error on line: attribute x"), std::string::npos);
}

TEST_F(SchemaConfigTest, NamesOidsAndListsThatCouldBreakOutOfTheirDefinitionAreRefused)
{
    std::string f =
        file("forged.schema", "attribute cvE1'DESC'forged 1.3.6.1.4.1.99999.9.40 cis\n"
                              "attribute corvidSetupAlias x'y 1.3.6.1.4.1.99999.9.41 cis\n"
                              "attribute corvidSetupSyn 1.3.6.1.4.1.99999.9.42 1.2')(x\n\n"
                              "objectclass corvidSetupForged\n oid 1.3.6.1.4.1.99999.9.43\n"
                              " superior top'\n\n"
                              "objectclass corvidSetupListed\n oid 1.3.6.1.4.1.99999.9.44\n"
                              " requires cn, sn)\n\n"
                              "objectclass corvidSetupKeyword\n oid NAME\n\n"
                              "attribute corvidSetupFine 1.3.6.1.4.1.99999.9.45 cis\n");
    EXPECT_EQ(appendSchemaEntries(ldap_, f.c_str()), SETUP_LDAP_BAD_ARGUMENT);
    std::string stored;
    for (const std::string& v : ours("olcAttributeTypes"))
        stored += v + "\n";
    for (const std::string& v : ours("olcObjectClasses"))
        stored += v + "\n";
    EXPECT_NE(stored.find("NAME 'corvidSetupFine'"), std::string::npos) << stored;
    for (const char* forged : {"forged", "Alias", "Syn", "Listed", "Keyword"})
        EXPECT_EQ(stored.find(forged), std::string::npos) << stored;
    std::string log = log_.lines();
    EXPECT_NE(log.find("refusing attribute cvE1'DESC'forged: the name is no RFC 4512 descriptor"),
              std::string::npos)
        << log;
    EXPECT_NE(
        log.find(
            "refusing attribute corvidSetupAlias: the alias \"x'y\" is no RFC 4512 descriptor"),
        std::string::npos);
    EXPECT_NE(log.find("refusing attribute corvidSetupSyn: the syntax \"1.2')(x\" is neither"),
              std::string::npos);
    EXPECT_NE(log.find("refusing objectclass corvidSetupForged: the superior list \"top'\""),
              std::string::npos);
    EXPECT_NE(log.find("refusing objectclass corvidSetupListed: the requires list"),
              std::string::npos);
    EXPECT_NE(log.find("refusing objectclass corvidSetupKeyword: the OID \"NAME\" is a keyword "
                       "of the definition"),
              std::string::npos);
}

TEST_F(SchemaConfigTest, ThePlainSchemaInterfaceFormsReadsAndWritesDefinitions)
{
    NVPair definition;
    definition.set("objectclass", "corvidSetupPlain");
    definition.set("oid", "1.3.6.1.4.1.99999.9.50");
    definition.set("superior", "top");
    definition.set("requires", "cn $ corvidSetupShade");
    char type[LdapSchema::kNameSize] = "objectclasses", name[LdapSchema::kNameSize] = "";
    char value[LdapSchema::kValueSize] = "";
    EXPECT_TRUE(LdapSchema::formValue(type, &definition, value));
    EXPECT_STREQ(value, "( 1.3.6.1.4.1.99999.9.50 NAME 'corvidSetupPlain' SUP 'top' MUST ( cn $ "
                        "corvidSetupShade ) )");
    char other[] = "ditcontentrules";
    EXPECT_FALSE(LdapSchema::formValue(other, &definition, value));
    NVPair nameless;
    EXPECT_TRUE(LdapSchema::formValue(type, &nameless, value)); // value untouched
    EXPECT_NE(std::string(value).find("corvidSetupPlain"), std::string::npos);
    EXPECT_TRUE(LdapSchema::isBlank(" \t"));
    char text[] = "  a b  ";
    LdapSchema::stripBlank(text, 1);
    EXPECT_STREQ(text, "a b");

    LdapSchema schema(ldap_);
    ASSERT_EQ(schema.retrieve(), 0);
    std::string f =
        file("plain.schema",
             "attribute corvidSetupShade 1.3.6.1.4.1.99999.9.51 cis\nnot a keyword\n"
             "attribute corvidSetup" +
                 std::string(200, 'x') +
                 " 1.3.6.1.4.1.99999.9.52 cis\n\n"
                 "objectclass corvidSetupPlain\n oid 1.3.6.1.4.1.99999.9.50\n superior top\n"
                 " requires cn, corvidSetupShade\n");
    ASSERT_EQ(schema.openFile(f.c_str()), 0);
    std::vector<std::string> seen;
    while (schema.nextEntry(type, name, value)) {
        seen.push_back(std::string(type) + " " + name + " " + (*value ? "written" : "skipped"));
        if (*value) {
            EXPECT_EQ(schema.updateEntryValue(type, name, value, 1), 0) << log_.lines();
        }
    }
    // The line of neither keyword and the name too long for its buffer leave
    // type and name as they were.
    EXPECT_EQ(seen, (std::vector<std::string>{"attributetypes corvidSetupShade written",
                                              "attributetypes corvidSetupShade skipped",
                                              "attributetypes corvidSetupShade skipped",
                                              "objectclasses corvidSetupPlain written"}));
    std::string out;
    EXPECT_TRUE(slapd().add("dn: cn=plain,o=CorvidRoot\nobjectclass: corvidSetupPlain\ncn: plain\n"
                            "corvidSetupShade: dark\n",
                            &out))
        << out;
    slapd().remove("cn=plain,o=CorvidRoot");
    // slapd keeps its subschema entry read-only: the server's own refusal.
    char attributeTypes[] = "attributetypes";
    char* values[] = {value, nullptr};
    LDAPMod mod = {LDAP_MOD_ADD, attributeTypes, {values}};
    LDAPMod* mods[] = {&mod, nullptr};
    int code = schema.domodify(mods);
    EXPECT_GT(code, 0);
    EXPECT_LT(code, SETUP_LDAP_BAD_ARGUMENT);
}

TEST_F(SchemaConfigTest, FailedWritesAreLoggedAsWritingNewOrUpdating)
{
    std::string hue = file("hue.schema", "attribute corvidSetupHue 1.3.6.1.4.1.99999.9.60 cis\n");
    ASSERT_EQ(insertSchemaEntries(ldap_, hue.c_str()), 0) << log_.lines();
    // An unknown syntax: the server refuses the replacement and the addition.
    std::string bad =
        file("bad.schema", "attribute corvidSetupHue 1.3.6.1.4.1.99999.9.60 1.2.3.4.5\n"
                           "attribute corvidSetupTint 1.3.6.1.4.1.99999.9.61 1.2.3.4.5\n");
    EXPECT_NE(insertSchemaEntries(ldap_, bad.c_str()), 0);
    std::string log = log_.lines();
    EXPECT_NE(
        log.find(
            "[schema] Fatal updating attributetypes: attributetypes,( 1.3.6.1.4.1.99999.9.60 NAME "
            "'corvidSetupHue' SYNTAX '1.2.3.4.5' ) (error "),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("[schema] Fatal writing new attributetypes: attributetypes,( "
                       "1.3.6.1.4.1.99999.9.61 NAME "
                       "'corvidSetupTint' SYNTAX '1.2.3.4.5' ) (error "),
              std::string::npos)
        << log;
}

// The scripted peer: started on a free loopback port, always stopped.
class SchemaPeerTest : public ::testing::Test {
protected:
    void start(const std::string& definitions)
    {
        dir_.write("defs", definitions);
        peer_.reset(new cvtest::BackgroundProcess(
            "perl", {std::string(CV_SOURCE_DIR) + "/tests/setup/directory/schema_peer.pl",
                     dir_.file("port"), dir_.file("record"), dir_.file("defs")}));
        for (int i = 0; i < 500 && !dir_.exists("port"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(dir_.exists("port")) << "the scripted peer did not start";
        url_ = "ldap://127.0.0.1:" + std::to_string(std::stoi(dir_.read("port"))) + "/";
    }
    // The modifications recorded, in order.
    std::vector<std::string> modifications()
    {
        std::vector<std::string> out;
        std::istringstream in(dir_.exists("record") ? dir_.read("record") : "");
        for (std::string line; std::getline(in, line);)
            if (line.compare(0, 7, "modify ") == 0 || line.compare(0, 7, "result ") == 0)
                out.push_back(line);
        return out;
    }

    cvtest::TempDir dir_;
    std::unique_ptr<cvtest::BackgroundProcess> peer_;
    std::string url_;
    cvtest::TestLog log_;
};

TEST_F(SchemaPeerTest, ReplaceDeletesThenAddsUserDefinitionsAndOnlyAddsStandardOnes)
{
    const std::string user =
        "( 1.2.3 NAME 'userAttr' SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' X-ORIGIN 'user defined' )";
    const std::string standard =
        "( 2.5.4.3 NAME ( 'cn' 'commonName' ) DESC 'Standard Attribute' SUP name )";
    const std::string cls = "( 1.2.4 NAME 'userClass' MUST ( cn ) )";
    ASSERT_NO_FATAL_FAILURE(start("attributetypes " + user + "\nattributetypes " + standard +
                                  "\nobjectclasses " + cls + "\n"));
    dir_.write("s.schema", "attribute userAttr 1.2.3 ces\nattribute cn 2.5.4.3 cis\n\n"
                           "objectclass userClass\n oid 1.2.4\n requires cn\n");
    int code = setupInsertPluginSchemaEntries(url_.c_str(), "cn=admin", "pw",
                                              dir_.file("s.schema").c_str());
    // The repeated class is its own text: deleted and added back whole.
    EXPECT_EQ(code, 0) << log_.lines();
    std::vector<std::string> expected = {
        "modify cn=schema delete attributetypes " + user,
        "modify cn=schema add attributetypes ( 1.2.3 NAME 'userAttr' SYNTAX "
        "'1.3.6.1.4.1.1466.115.121.1.26' )",
        "result 0",
        "modify cn=schema add attributetypes ( 2.5.4.3 NAME 'cn' SYNTAX "
        "'1.3.6.1.4.1.1466.115.121.1.15' )",
        "result 0",
        "modify cn=schema delete objectclasses " + cls,
        "modify cn=schema add objectclasses " + cls,
        "result 0",
    };
    EXPECT_EQ(modifications(), expected);
    std::string record = dir_.read("record");
    EXPECT_NE(record.find("search base=\"\" attrs=subschemaSubentry,configContext"),
              std::string::npos)
        << record;
    EXPECT_NE(record.find("search base=\"cn=schema\" attrs=attributeTypes,objectClasses"),
              std::string::npos);
}

TEST_F(SchemaPeerTest, AppendReportsTheFirstRefusalAndGoesOn)
{
    const std::string held = "( 1.2.5 NAME 'held' SYNTAX '1.3.6.1.4.1.1466.115.121.1.27' )";
    ASSERT_NO_FATAL_FAILURE(start("attributetypes " + held + "\n"));
    dir_.write("s.schema",
               "attribute held 1.2.5 int\nunknown line\nattribute fresh 1.2.6 bin single\n");
    Ldap* ldap = nullptr;
    ASSERT_EQ(setupCreateLdap(&ldap, url_.c_str(), "cn=admin", "pw", nullptr, nullptr), 0);
    EXPECT_EQ(appendSchemaEntries(ldap, dir_.file("s.schema").c_str()), 20);
    setupDestroyLdap(ldap);
    std::vector<std::string> expected = {
        "modify cn=schema add attributetypes " + held,
        "result 20",
        "modify cn=schema add attributetypes ( 1.2.6 NAME 'fresh' SYNTAX "
        "'1.3.6.1.4.1.1466.115.121.1.5' SINGLE-VALUE  )",
        "result 0",
    };
    EXPECT_EQ(modifications(), expected);
    std::string log = log_.lines();
    EXPECT_NE(log.find("[schema] Fatal writing new attributetypes: attributetypes," + held +
                       " (error 20)"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[schema] Warning skipping line: unknown line"), std::string::npos) << log;
}

// The schema file format: the definition texts made from each line or block.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "c_text.h"
#include "ldapschema.h"

namespace {

struct Def {
    std::string type, name, value;
};

std::vector<Def> parseSchema(const std::string& text)
{
    std::vector<Def> out;
    LdapSchema::parseText(text,
                          [&](const std::string& t, const std::string& n, const std::string& v) {
                              out.push_back(Def{t, n, v});
                          });
    return out;
}

std::string nameOf(const char* definition)
{
    return cvtest::taken(LdapSchema::getSchemaName(definition));
}

} // namespace

TEST(SchemaParse, AttributeLineGivesItsDefinitionText)
{
    auto d = parseSchema("# comment\n\n  attribute\tmyAttr 1234 cis single  \n");
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].type, "attributetypes");
    EXPECT_EQ(d[0].name, "myAttr");
    EXPECT_EQ(d[0].value,
              "( 1234 NAME 'myAttr' SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' SINGLE-VALUE  )");
}

TEST(SchemaParse, DottedOidsAreKeptAndOnlyOtherOidsBecomeNameOid)
{
    auto d = parseSchema("attribute a 1.2.840.5 dn\nattribute b b-oid ces\nattribute c 1..2 tel\n"
                         "attribute e alias1 alias2 2.5 1.3.6.1.4.1.1466.115.121.1.40\n");
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(d[0].value, "( 1.2.840.5 NAME 'a' SYNTAX '1.3.6.1.4.1.1466.115.121.1.12' )");
    EXPECT_EQ(d[1].value, "( b-oid NAME 'b' SYNTAX '1.3.6.1.4.1.1466.115.121.1.26' )");
    EXPECT_EQ(d[2].value, "( c-oid NAME 'c' SYNTAX '1.3.6.1.4.1.1466.115.121.1.50' )");
    // A syntax not in the table is written as given; aliases are not written.
    EXPECT_EQ(d[3].value, "( 2.5 NAME 'e' SYNTAX '1.3.6.1.4.1.1466.115.121.1.40' )");
}

TEST(SchemaParse, MalformedAttributeLinesEndTheLoad)
{
    EXPECT_TRUE(parseSchema("attribute a 1 2 3 4 5 6 7 8 9\nattribute b 1.2 cis\n").empty());
    EXPECT_TRUE(parseSchema("attribute a\nattribute b 1.2 cis\n").empty());
    EXPECT_EQ(parseSchema("attribute a b c d e f g 1.2 cis\n").size(),
              1u); // ten tokens are allowed
}

TEST(SchemaParse, ObjectClassBlockGivesItsPartsInOrder)
{
    auto d = parseSchema(
        "objectclass myClass\n  oid 1.2.3\n  superior top\n  requires cn,\n"
        "# a comment inside\n    sn\n  allows description, seeAlso\n\nobjectclass Other\n"
        "requires cn\n\nobjectclass Multi\nsuperior top, person\n");
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].type, "objectclasses");
    EXPECT_EQ(d[0].name, "myClass");
    EXPECT_EQ(d[0].value,
              "( 1.2.3 NAME 'myClass' SUP 'top' MUST ( cn $ sn ) MAY ( description $ seeAlso ) )");
    EXPECT_EQ(d[1].value, "( Other-oid NAME 'Other' MUST ( cn ) )");
    // Several superiors are an oid list, not one quoted name.
    EXPECT_EQ(d[2].value, "( Multi-oid NAME 'Multi' SUP ( top $ person ) )");
}

TEST(SchemaParse, OtherLinesAndLongerKeywordsAreSkipped)
{
    std::string longName(5000, 'n');
    auto d = parseSchema("attributes x 1.2 cis\nobjectclasses y\nsomething else\nattribute " +
                         longName + " 1.5 cis\n");
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].name, longName);
}

TEST(SchemaParse, NamesStandardMarksAndSyntaxes)
{
    EXPECT_EQ(nameOf("( 1.2 NAME 'a' SYNTAX x )"), "a");
    EXPECT_EQ(nameOf("( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )"), "cn");
    EXPECT_EQ(nameOf("( 1.2 NAME bare DESC 'x' )"), "bare");
    EXPECT_EQ(nameOf("( 1.2 DESC 'no name' )"), "(null)");
    EXPECT_EQ(nameOf("( 1.2 NAME 'open"), "(null)");
    EXPECT_TRUE(LdapSchema::isStandardSchema("( 1 NAME 'a' DESC 'Standard Attribute' )"));
    EXPECT_FALSE(LdapSchema::isStandardSchema(
        "( 1 NAME 'a' DESC 'Standard Attribute' X-ORIGIN 'user defined' )"));
    EXPECT_FALSE(LdapSchema::isStandardSchema("( 1 NAME 'a' )"));
    EXPECT_STREQ(LdapSchema::syntaxToOID("INT"), "1.3.6.1.4.1.1466.115.121.1.27");
    EXPECT_EQ(LdapSchema::syntaxToOID("nope"), nullptr);
}

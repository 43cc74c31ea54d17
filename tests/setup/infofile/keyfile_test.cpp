#include "tempdir.h"
#include <cvsetup/setup_infvalues.h>
#include <cvsetup/setup_util.h>

#include <gtest/gtest.h>
#include <string>

namespace {

class KeyFileTest : public ::testing::Test {
protected:
    cvtest::TempDir dir{"cvkey"};
    std::string path = dir.file("ldap.conf");

    // The value as text, "(null)" for no value.
    std::string value(const char* key, const char* separator)
    {
        char* text = setupGetFileString(key, separator, path.c_str());
        std::string out = text != nullptr ? std::string("[") + text + "]" : "(null)";
        setupFree(text);
        return out;
    }
};

TEST_F(KeyFileTest, KeyAloneGivesEmptyValue)
{
    dir.write("ldap.conf", "other: 1\nadmnm\n");
    EXPECT_EQ(value("admnm", " "), "[]");
}

TEST_F(KeyFileTest, OneCharacterSeparatorIsSkippedOnceAndBlanksTrimmed)
{
    dir.write("ldap.conf", "AdminDomain:example.com\nadmnm  admin \r\n");
    EXPECT_EQ(value("AdminDomain", ":"), "[example.com]");
    EXPECT_EQ(value("admnm", " "), "[admin]");
}

TEST_F(KeyFileTest, KeyMatchesAsPrefixAndWithCase)
{
    dir.write("ldap.conf", "ADMNM: upper\nadmnmX rest of line\nadmnm second\n");
    EXPECT_EQ(value("admnm", " "), "[X rest of line]");
    EXPECT_EQ(value("Admnm", " "), "(null)");
}

TEST_F(KeyFileTest, ValueKeepsEqualsSignsAndInnerBlanks)
{
    dir.write("ldap.conf",
              "ConfigURL=ldap://host:389/o=CorvidRoot\ndirectory default ldap://h:389/o=a b\n");
    EXPECT_EQ(value("ConfigURL", "="), "[ldap://host:389/o=CorvidRoot]");
    EXPECT_EQ(value("directory default", " "), "[ldap://h:389/o=a b]");
    EXPECT_EQ(value("ConfigURL", nullptr), "[=ldap://host:389/o=CorvidRoot]");
}

TEST_F(KeyFileTest, LongerSeparatorTakesFirstToken)
{
    // Without a token (the last line has no newline) the rest is taken whole.
    dir.write("ldap.conf", "k==:value=more\nonly=:=");
    EXPECT_EQ(value("k", "=:"), "[value]");
    EXPECT_EQ(value("only", "=:"), "[=:=]");
}

TEST_F(KeyFileTest, LinesHaveNoLengthLimit)
{
    std::string big(5000, 'v');
    dir.write("ldap.conf", std::string(3000, 'x') + "\nConfigURL: " + big + "\n");
    EXPECT_EQ(value("ConfigURL", ":"), "[" + big + "]");
}

TEST_F(KeyFileTest, MissingFileOrKeyGivesNoValue)
{
    EXPECT_EQ(value("admnm", " "), "(null)");
    EXPECT_EQ(setupGetFileInt("port", " ", path.c_str()), -1);
    dir.write("ldap.conf", "x\n");
    EXPECT_EQ(value("admnm", " "), "(null)");
    EXPECT_EQ(setupGetFileString(nullptr, " ", path.c_str()), nullptr);
}

TEST_F(KeyFileTest, IntegersConvertLikeAtoi)
{
    dir.write("ldap.conf", "port 389\nname admin\nneg -5\n");
    EXPECT_EQ(setupGetFileInt("port", " ", path.c_str()), 389);
    EXPECT_EQ(setupGetFileInt("name", " ", path.c_str()), 0);
    EXPECT_EQ(setupGetFileInt("neg", " ", path.c_str()), -5);
    EXPECT_EQ(setupGetFileInt("none", " ", path.c_str()), -1);
}

} // namespace

// The LDIF reader on its own: what each record holds, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ldifentry.h"
#include "tempdir.h"

namespace {

struct LdifRecord {
    std::vector<LdifAttribute> attributes;
    std::string refused;
};

std::vector<LdifRecord> parseLdif(const std::string& text)
{
    std::vector<LdifRecord> out;
    LdifEntry::parseText(text, [&](const LdifEntry& e) {
        out.push_back(LdifRecord{e.attributes(), e.refused()});
    });
    return out;
}

std::vector<std::string> values(const LdifRecord& p, const std::string& name)
{
    for (const LdifAttribute& a : p.attributes)
        if (strcasecmp(a.name.c_str(), name.c_str()) == 0)
            return a.values;
    return {};
}

} // namespace

TEST(LdifReader, RecordsAreSplitAtBlankLinesAndLeadingBlankLinesAreSkipped)
{
    auto r = parseLdif("\n\n  \ndn: cn=a\ncn: a\n\n\ndn: cn=b\ncn: b\n");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(values(r[0], "dn"), std::vector<std::string>{"cn=a"});
    EXPECT_EQ(values(r[1], "cn"), std::vector<std::string>{"b"});
}

TEST(LdifReader, FoldLosesExactlyOneBlankAndCommentsKeepTheRecordWhole)
{
    auto r =
        parseLdif("dn: cn=a\ndescription: ab\n  cd\n\tx: no\n# note\n continued note\ncn: a\n e\n");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(values(r[0], "description"), std::vector<std::string>{"ab cd"});
    EXPECT_EQ(values(r[0], "cn"), std::vector<std::string>{"ae"});
    EXPECT_TRUE(values(r[0], "continued note").empty());
}

TEST(LdifReader, Base64ValuesAreDecodedToAnyBytes)
{
    // "AEH/AA==" is 0x00 0x41 0xff 0x00.
    auto r = parseLdif("dn:: Y249w6k=\nphoto:: AEH/\n AA==\n");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(values(r[0], "dn"), std::vector<std::string>{"cn=\xc3\xa9"});
    EXPECT_EQ(values(r[0], "photo"), std::vector<std::string>{std::string("\0A\xff\0", 4)});
}

TEST(LdifReader, BadBase64AndUrlValuesRefuseTheRecordOnly)
{
    auto r = parseLdif(
        "dn: cn=a\ncn:: ab$c\n\ndn: cn=b\njpegPhoto:< file:///etc/passwd\n\ndn: cn=c\ncn: c\n");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_NE(r[0].refused.find("Base64"), std::string::npos);
    EXPECT_NE(r[1].refused.find("URL"), std::string::npos);
    EXPECT_TRUE(values(r[1], "jpegPhoto").empty());
    EXPECT_EQ(r[2].refused, "");
}

TEST(LdifReader, CrlfEndsLinesAndTheVersionLineIsNoAttribute)
{
    auto r = parseLdif("version: 1\r\ndn: cn=a\r\ncn: a\r\n\r\ndn: cn=b\r\nversion: 1\r\n");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(values(r[0], "dn"), std::vector<std::string>{"cn=a"});
    EXPECT_TRUE(values(r[0], "version").empty());
    EXPECT_EQ(values(r[0], "cn"), std::vector<std::string>{"a"});
    // Only the file's first line is its version line.
    EXPECT_EQ(values(r[1], "version"), std::vector<std::string>{"1"});
}

TEST(LdifReader, ChangeTypeAddIsContentAndOtherTypesAreRefused)
{
    auto r = parseLdif(
        "dn: cn=a\nchangetype: add\ncn: a\n\ndn: cn=b\nchangetype: modify\nreplace: cn\ncn: b\n");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].refused, "");
    EXPECT_TRUE(values(r[0], "changetype").empty());
    EXPECT_NE(r[1].refused.find("modify"), std::string::npos);
}

TEST(LdifReader, OnlyByteIdenticalDuplicatesAreDroppedAndThereIsNoValueCap)
{
    std::string text = "dn: cn=a\ncn: A\nCN: a\ncn: A\n";
    for (int i = 0; i < 700; ++i)
        text += "member: m" + std::to_string(i) + "\n";
    auto r = parseLdif(text);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(values(r[0], "cn"), (std::vector<std::string>{"A", "a"}));
    EXPECT_EQ(values(r[0], "member").size(), 700u);
}

TEST(LdifReader, EmptyValuesAreDroppedAndLinesThatContinueNothingRefuseTheirRecord)
{
    auto r = parseLdif(
        "dn: cn=a\ndescription:\ncn: a\n\n orphan\ndn: cn=b\n\ndn: cn=c\nno colon here\ncn: c");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_TRUE(values(r[0], "description").empty());
    EXPECT_EQ(r[0].attributes.size(), 2u);
    EXPECT_EQ(r[0].refused, "");
    EXPECT_NE(r[1].refused.find("line 5 "), std::string::npos) << r[1].refused;
    EXPECT_NE(r[2].refused.find("line 9 "), std::string::npos) << r[2].refused;
    EXPECT_EQ(values(r[2], "cn"), std::vector<std::string>{"c"}); // no final newline
}

TEST(LdifReader, LongLinesAreRead)
{
    std::string big(100000, 'x');
    auto r = parseLdif("dn: cn=a\ndescription: " + big + "\n");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(values(r[0], "description"), std::vector<std::string>{big});
}

TEST(LdifReader, ReadOpensAndMissingFilesGiveMinusOne)
{
    cvtest::TempDir dir;
    dir.write("a.ldif", "dn: cn=a\ncn: a\n\ndn: cn=b\ncn: b\n");
    LdifEntry e;
    EXPECT_EQ(e.nextEntry(), -1);
    EXPECT_EQ(e.read(nullptr), -1);
    EXPECT_EQ(e.read(dir.file("missing").c_str()), -1);
    EXPECT_EQ(e.read(dir.file("a.ldif").c_str()), 0);
    EXPECT_EQ(e.nextEntry(), 0);
    EXPECT_EQ(e.attribute("CN")->values[0], "b");
    EXPECT_EQ(e.nextEntry(), -1);
}

TEST(LdifReader, BlankHelpers)
{
    EXPECT_TRUE(LdifEntry::isBlank(""));
    EXPECT_TRUE(LdifEntry::isBlank(" \t\r"));
    EXPECT_FALSE(LdifEntry::isBlank(" \xc2\xa0"));
    char text[] = "  a b \t";
    LdifEntry::stripBlank(text, 0);
    EXPECT_STREQ(text, "a b \t");
    LdifEntry::stripBlank(text, 1);
    EXPECT_STREQ(text, "a b");
}

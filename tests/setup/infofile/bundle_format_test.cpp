// The properties file format: keys, texts, comments, escapes, long lines.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>

#include "c_text.h"
#include "resbundle.h"
#include "setup_bundle.h"
#include "tempdir.h"

namespace {

using cvtest::shown;

std::string decoded(const std::string& in)
{
    char* out = decode_ascii(in.c_str());
    std::string s = out ? out : "<as is>";
    free(out);
    return s;
}

class BundleFormat : public ::testing::Test {
protected:
    void TearDown() override { core_res_destroy_resource(bundle); }
    // Writes content as the default file and opens the bundle.
    void load(const std::string& content)
    {
        dir.write("ui.properties", content);
        bundle = core_res_init_resource(dir.path().c_str(), "ui");
        ASSERT_NE(bundle, nullptr);
    }
    std::string get(const char* key) { return shown(core_res_getstring(bundle, key, nullptr)); }

    cvtest::TempDir dir{"bundlefmt"};
    CoreResource* bundle = nullptr;
};

TEST_F(BundleFormat, KeyEndsAtTheFirstEqualsAndTheTextIsKeptAsWritten)
{
    load("greeting = Hello\n"
         "\t  indented\t=value with trailing blanks  \n"
         "url=ldap://host/?a=b\n"
         "empty=\n");
    EXPECT_EQ(get("greeting"), " Hello");
    EXPECT_EQ(get("indented"), "value with trailing blanks  ");
    EXPECT_EQ(get("url"), "ldap://host/?a=b");
    EXPECT_EQ(get("empty"), "");
}

TEST_F(BundleFormat, CommentsBlankLinesAndLinesWithoutKeysAreSkipped)
{
    load("# comment=not a key\n"
         "   # indented comment=no\n"
         "\n"
         "   \t\n"
         "=orphan\n"
         "  =orphan too\n"
         "no equals sign here\n"
         "real=yes\n");
    EXPECT_EQ(get("# comment"), "<null>");
    EXPECT_EQ(get("no equals sign here"), "<null>");
    EXPECT_EQ(get(""), "<null>");
    EXPECT_EQ(get("real"), "yes");
}

TEST_F(BundleFormat, LaterLineOfTheSameKeyWins)
{
    load("color=red\ncolor=blue\n");
    EXPECT_EQ(get("color"), "blue");
    dir.write("ui_fr.properties", "color=rouge\ncolor=bleu\n");
    EXPECT_EQ(shown(core_res_getstring(bundle, "color", "fr")), "bleu");
}

TEST_F(BundleFormat, CrlfLineEndsStayOutOfTheTextsAndTheLastLineNeedsNoNewline)
{
    load("# comment\r\n"
         "\r\n"
         "crlf=text\r\n"
         "blanks = kept  \r\n"
         "escaped=ends in CR\\r\r\n"
         "inner=a\rb\r\n"
         "last=no newline");
    EXPECT_EQ(get("crlf"), "text");
    EXPECT_EQ(get("blanks"), " kept  ");
    EXPECT_EQ(get("escaped"), "ends in CR\r");
    EXPECT_EQ(get("inner"), "a\rb");
    EXPECT_EQ(get("last"), "no newline");
    EXPECT_EQ(get("# comment"), "<null>");
    dir.write("ui_fr.properties", "crlf=texte\r\n");
    EXPECT_EQ(shown(core_res_getstring(bundle, "crlf", "fr")), "texte");
}

TEST_F(BundleFormat, TrailingBackslashDoesNotContinueTheLine)
{
    load("multi=first part \\\n   second=part\n");
    EXPECT_EQ(get("multi"), "first part ");
    EXPECT_EQ(get("second"), "part");
}

TEST_F(BundleFormat, EscapesInTextsAreDecoded)
{
    load("lines=one\\ntwo\\rthree\n"
         "tab=a\\tb\n"
         "accent=\\u00e9\n"
         "euro=\\u20AC\n"
         "mixed=x\\u20acy\n");
    EXPECT_EQ(get("lines"), "one\ntwo\rthree");
    EXPECT_EQ(get("tab"), "a\\tb");
    EXPECT_EQ(get("accent"), "\xC3\xA9");
    EXPECT_EQ(get("euro"), "\xE2\x82\xAC");
    EXPECT_EQ(get("mixed"), "x\xE2\x82\xACy");
}

TEST_F(BundleFormat, LinesLongerThanTheReadBufferAreReadWhole)
{
    // Split at 2024 characters, the tail would read as the key "evil".
    std::string longText(2024 - 5, 'a');
    std::string huge(100000, 'b');
    std::string longKey(1500, 'k');
    load("long=" + longText + "evil=1\n" + "huge=" + huge + "\n" + longKey + "=v\n" + "after=ok\n");
    EXPECT_EQ(get("long"), longText + "evil=1");
    EXPECT_EQ(get("evil"), "<null>");
    EXPECT_EQ(get("huge"), huge);
    EXPECT_EQ(get(longKey.c_str()), "v");
    EXPECT_EQ(get("after"), "ok");
}

TEST(EscapeDecoding, TextsWithoutBackslashAreUsedAsTheyAre)
{
    EXPECT_EQ(decode_ascii(nullptr), nullptr);
    EXPECT_EQ(decode_ascii(""), nullptr);
    EXPECT_EQ(decoded("plain text"), "<as is>");
}

TEST(EscapeDecoding, UnknownEscapesKeepTheirBackslash)
{
    EXPECT_EQ(decoded("a\\tb"), "a\\tb");
    EXPECT_EQ(decoded("\\\\"), "\\\\");
    EXPECT_EQ(decoded("C:\\dir"), "C:\\dir");
    EXPECT_EQ(decoded("\\U0041"), "\\U0041");
}

TEST(EscapeDecoding, CutOffEscapesAtTheEndAreDropped)
{
    EXPECT_EQ(decoded("end\\"), "end");
    EXPECT_EQ(decoded("end\\u"), "end");
    EXPECT_EQ(decoded("end\\u00"), "end");
    EXPECT_EQ(decoded("end\\u00e"), "end");
}

TEST(EscapeDecoding, ShortHexEscapeEndsAtTheFirstOtherCharacter)
{
    EXPECT_EQ(decoded("\\u41x"), "Ax");
    EXPECT_EQ(decoded("\\ue9 "), "\xC3\xA9 ");
    EXPECT_EQ(decoded("\\u00410"), "A0"); // four digits at most
}

TEST(EscapeDecoding, BackslashUWithoutHexDigitIsKeptAsText)
{
    EXPECT_EQ(decoded("a\\uZZZZb"), "a\\uZZZZb");
    EXPECT_EQ(decoded("path\\users"), "path\\users");
    EXPECT_EQ(decoded("\\u\\u0041"), "\\uA");
}

TEST(EscapeDecoding, SurrogatePairsBecomeOneFourByteCharacter)
{
    EXPECT_EQ(decoded("\\uD83D\\uDE00"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(decoded("\\ud834\\udd1e!"), "\xF0\x9D\x84\x9E!");
    EXPECT_EQ(decoded("\\uDBFF\\uDFFF"), "\xF4\x8F\xBF\xBF");
}

TEST(EscapeDecoding, LoneSurrogatesBecomeTheReplacementCharacter)
{
    EXPECT_EQ(decoded("\\uD83D"), "\xEF\xBF\xBD");
    EXPECT_EQ(decoded("\\uDE00\\uD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(decoded("\\uD83Dx"), "\xEF\xBF\xBDx");
    EXPECT_EQ(decoded("\\uD83D\\u0041"), "\xEF\xBF\xBD"
                                         "A");
}

TEST(EscapeDecoding, Utf8FormsHaveOneToFourBytes)
{
    unsigned char out[UTF8_MAX_BYTES + 1];
    EXPECT_EQ(unicode_to_UTF8(0x41, out), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "A");
    EXPECT_EQ(unicode_to_UTF8(0x7FF, out), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "\xDF\xBF");
    EXPECT_EQ(unicode_to_UTF8(0xFFFF, out), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "\xEF\xBF\xBF");
    EXPECT_EQ(unicode_to_UTF8(0x1F600, out), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "\xF0\x9F\x98\x80");
}

} // namespace

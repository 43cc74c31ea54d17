#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unicode/ucnv.h>
#include <vector>

#include "c_text.h"
#include "charconv.h"
#include "infotest.h"
#include "nvpair.h"
#include "setup_infofile.h"

namespace {

// Runs with one locale environment, restoring the caller's afterwards.
class CharConvTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* v : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const char* value = getenv(v);
            saved_.push_back({v, value ? value : "", value != nullptr});
            unsetenv(v);
        }
    }
    void TearDown() override
    {
        for (auto& s : saved_) {
            if (s.set)
                setenv(s.name, s.value.c_str(), 1);
            else
                unsetenv(s.name);
        }
    }
    static std::string charset(const char* locale)
    {
        std::string copy(locale);
        return cvtest::taken(GetCharsetFromLocale(copy.data()));
    }

private:
    struct Saved {
        const char* name;
        std::string value;
        bool set;
    };
    std::vector<Saved> saved_;
};

TEST_F(CharConvTest, TableFindsExactRowsThenTheLanguageThenTheDefault)
{
    EXPECT_EQ(charset("ja_JP.EUC"), "Extended_UNIX_Code_Packed_Format_for_Japanese");
    EXPECT_EQ(charset("ja_jp.pck"), "Shift_JIS");
    EXPECT_EQ(charset("ja_JP.eucJP"), "Extended_UNIX_Code_Packed_Format_for_Japanese");
    EXPECT_EQ(charset("en_US.UTF-8"), "ISO_8859-1:1987");
    EXPECT_EQ(charset("en_US"), "ISO_8859-1:1987");
    EXPECT_EQ(charset("ko_KR.UTF-8"), "EUC-KR");
    EXPECT_EQ(charset("ko.UTF-8"), "UTF-8");
    EXPECT_EQ(charset("zh_TW"), "cns11643_1");
    EXPECT_EQ(charset("POSIX"), "ISO_8859-1:1987");
    EXPECT_EQ(charset(""), "ISO_8859-1:1987");
    EXPECT_EQ(cvtest::taken(GetCharsetFromLocale(nullptr)), "ISO_8859-1:1987");
    std::string longName(4000, 'x');
    EXPECT_EQ(charset(longName.c_str()), "ISO_8859-1:1987");
    EXPECT_EQ(charset(("zh_" + longName).c_str()), "GB2312");
    EXPECT_EQ(strncmp(CHARCONVTABLE, "!", 1), 0);
}

TEST_F(CharConvTest, LocaleNameComesFromTheEnvironment)
{
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(cvtest::taken(GetNormalizedLocaleName()), "C");
    setenv("LC_ALL", "C.UTF-8", 1);
    std::string name = cvtest::taken(GetNormalizedLocaleName());
    EXPECT_TRUE(name == "C.UTF-8" || name == "C.utf8") << name;
    setenv("LC_ALL", "no_SUCH.locale", 1);
    EXPECT_EQ(cvtest::taken(GetNormalizedLocaleName()), "C");
}

TEST_F(CharConvTest, InTheCLocaleLatinOneBecomesUtf8AndBack)
{
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(cvtest::taken(localToUTF8("caf\xe9")), "caf\xc3\xa9");
    EXPECT_EQ(cvtest::taken(UTF8ToLocal("caf\xc3\xa9")), "caf\xe9");
    EXPECT_EQ(cvtest::taken(setupLocalToUtf8("\xe9")), "\xc3\xa9");
    EXPECT_EQ(cvtest::taken(setupUTF8ToLocal("\xc3\xa9")), "\xe9");
}

TEST_F(CharConvTest, UnrepresentableOrInvalidTextComesBackUnchanged)
{
    setenv("LC_ALL", "C", 1);
    // The euro sign has no Latin-1 byte; 0xff is never valid UTF-8.
    EXPECT_EQ(cvtest::taken(UTF8ToLocal("price 5 \xe2\x82\xac")), "price 5 \xe2\x82\xac");
    EXPECT_EQ(cvtest::taken(UTF8ToLocal("bad \xff byte")), "bad \xff byte");
    EXPECT_EQ(cvtest::taken(UTF8ToLocal("cut \xc3")), "cut \xc3");
}

TEST_F(CharConvTest, Utf8LocalesCopyWithoutReencoding)
{
    const char* text = "K\xc3\xb6ln";
    for (const char* locale :
         {"C.UTF-8", "C.utf8", "en_US.UTF-8", "de_DE.utf8", "ko_KR.UTF-8", "ja_JP.UTF-8@x"}) {
        setenv("LC_ALL", locale, 1);
        EXPECT_EQ(cvtest::taken(localToUTF8(text)), text) << locale;
        EXPECT_EQ(cvtest::taken(UTF8ToLocal(text)), text) << locale;
    }
    unsetenv("LC_ALL");
    setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_EQ(cvtest::taken(localToUTF8(text)), text);
}

TEST_F(CharConvTest, AsciiNullAndEmptyTexts)
{
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(localToUTF8(nullptr), nullptr);
    EXPECT_EQ(UTF8ToLocal(nullptr), nullptr);
    EXPECT_EQ(cvtest::taken(localToUTF8("")), "");
    EXPECT_EQ(cvtest::taken(UTF8ToLocal("")), "");
    EXPECT_EQ(cvtest::taken(localToUTF8("plain ascii")), "plain ascii");
    EXPECT_EQ(cvtest::taken(UTF8ToLocal("plain ascii")), "plain ascii");
    EXPECT_EQ(isAsciiBuffer(nullptr), 1);
    EXPECT_EQ(isAsciiBuffer(""), 1);
    EXPECT_EQ(isAsciiBuffer("abc\x7f"), 1);
    EXPECT_EQ(isAsciiBuffer("ab\x80"), 0);
    EXPECT_EQ(setupIsAsciiBuffer("\xc3\xa9"), 0);
}

TEST_F(CharConvTest, EveryTableCharsetButCnsOpensInIcu)
{
    const char* names[] = {"ISO_8859-1:1987", "Extended_UNIX_Code_Packed_Format_for_Japanese",
                           "Shift_JIS",       "EUC-KR",
                           "UTF-8",           "GB2312"};
    for (const char* n : names) {
        UErrorCode e = U_ZERO_ERROR;
        UConverter* c = ucnv_open(n, &e);
        EXPECT_TRUE(U_SUCCESS(e) && c) << n;
        if (c)
            ucnv_close(c);
    }
    // ICU has no converter for the zh_TW row: its texts pass as copies.
    UErrorCode e = U_ZERO_ERROR;
    UConverter* cns = ucnv_open(charset("zh_TW").c_str(), &e);
    EXPECT_TRUE(U_FAILURE(e) || !cns);
    if (cns)
        ucnv_close(cns);
}

TEST_F(CharConvTest, NVPairConvertsARealLatinOneFile)
{
    setenv("LC_ALL", "C", 1);
    NVPair nv(inftest::dataFile("latin1.inf").c_str());
    nv.toUTF8(nullptr);
    inftest::Dir dir;
    ASSERT_EQ(nv.write(dir.file("out.inf").c_str()), 0);
    EXPECT_EQ(inftest::readFile(dir.file("out.inf")),
              "Organization   Soci\xc3\xa9t\xc3\xa9 G\xc3\xa9n\xc3\xa9rale\nCity   "
              "K\xc3\xb6ln\n\n[slapd]\n"
              "Description   Caf\xc3\xa9 cr\xc3\xa8me\nHosts   M\xc3\xbcnchen, Z\xc3\xbcrich\n");
    NVPair utf8(inftest::dataFile("utf8.inf").c_str());
    EXPECT_EQ(inftest::dump(nv.tree()), inftest::dump(utf8.tree()));
    utf8.toLocal("City");
    EXPECT_STREQ(utf8.get("City"), "K\xf6ln");
    EXPECT_STREQ(utf8.get("Organization"), "Soci\xc3\xa9t\xc3\xa9 G\xc3\xa9n\xc3\xa9rale");
}

} // namespace

// Opening bundles and looking texts up by language.
#include <gtest/gtest.h>

#include <string>

#include "c_text.h"
#include "resbundle.h"
#include "setup_bundle.h"
#include "tempdir.h"

extern "C" int bundle_c_api_lookup(const char* directory);

namespace {

using cvtest::shown;

class BundleLookup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(ui, nullptr); }
    void TearDown() override { core_res_destroy_resource(ui); }
    CoreResource* ui = core_res_init_resource(CV_BUNDLE_DATA, "ui");
};

TEST_F(BundleLookup, LanguageTextWinsAndDefaultTextFillsIn)
{
    EXPECT_EQ(shown(core_res_getstring(ui, "greeting", "fr")), "Bonjour");
    EXPECT_EQ(shown(core_res_getstring(ui, "farewell", "fr")), "Goodbye");
    EXPECT_EQ(shown(core_res_getstring(ui, "greeting", "xx")), "Hello"); // no file
    EXPECT_EQ(shown(core_res_getstring(ui, "greeting", nullptr)), "Hello");
    EXPECT_EQ(shown(core_res_getstring(ui, "greeting", "")), "Hello");
}

TEST_F(BundleLookup, KeyOnlyInALanguageFileIsUnknownElsewhere)
{
    EXPECT_EQ(shown(core_res_getstring(ui, "onlyfr", "fr")), "Seulement");
    EXPECT_EQ(shown(core_res_getstring(ui, "onlyfr", nullptr)), "<null>");
    EXPECT_EQ(shown(core_res_getstring(ui, "onlyfr", "de")), "<null>");
    EXPECT_EQ(shown(core_res_getstring(ui, "onlyfr", "xx")), "<null>");
    EXPECT_EQ(shown(core_res_getstring(ui, "nosuchkey", "fr")), "<null>");
}

TEST_F(BundleLookup, LanguageNameIsUsedAsGiven)
{
    EXPECT_EQ(shown(core_res_getstring(ui, "greeting", "fr_CA")), "Hello");
    EXPECT_EQ(shown(core_res_getstring(ui, "greeting", "FR")), "Hello");
    EXPECT_EQ(shown(core_res_getstring(ui, "Greeting", "fr")), "<null>"); // keys match with case
}

TEST_F(BundleLookup, Iso88591BundleIsServedByteForByte)
{
    EXPECT_EQ(shown(core_res_getstring(ui, "greeting", "de")), "Gr\xFC\xDF Gott");
    EXPECT_EQ(shown(core_res_getstring(ui, "farewell", "de")), "Tsch\xFC\xDF");
}

TEST_F(BundleLookup, UnicodeEscapesBecomeUtf8)
{
    EXPECT_EQ(shown(core_res_getstring(ui, "greeting", "ja")),
              "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF");
    EXPECT_EQ(shown(core_res_getstring(ui, "cafe", "ja")), "caf\xC3\xA9 \xE2\x82\xAC"
                                                           "1");
    EXPECT_EQ(shown(core_res_getstring(ui, "emoji", "ja")), "smile \xF0\x9F\x98\x80!");
}

TEST_F(BundleLookup, NullHandleOrKeyGivesNull)
{
    EXPECT_EQ(core_res_getstring(nullptr, "greeting", "fr"), nullptr);
    EXPECT_EQ(core_res_getstring(ui, nullptr, "fr"), nullptr);
    core_res_destroy_resource(nullptr);
}

TEST(BundleOpen, PackageDotsNameDirectoriesBelowThePath)
{
    for (const std::string& path :
         {std::string(CV_BUNDLE_DATA), std::string(CV_BUNDLE_DATA) + "/"}) {
        CoreResource* msg = core_res_init_resource(path.c_str(), "com.corvid.msg");
        ASSERT_NE(msg, nullptr) << path;
        EXPECT_EQ(std::string(msg->path), std::string(CV_BUNDLE_DATA) + "/com/corvid");
        EXPECT_EQ(std::string(msg->properties->base), "msg");
        EXPECT_EQ(shown(core_res_getstring(msg, "title", "fr")), "Corvid messages");
        core_res_destroy_resource(msg);
    }
}

TEST(BundleOpen, InterfaceIsCallableFromC)
{
    EXPECT_EQ(bundle_c_api_lookup(CV_BUNDLE_DATA), 1);
}

TEST(BundleOpen, MissingDefaultFileFailsToOpen)
{
    EXPECT_EQ(core_res_init_resource(CV_BUNDLE_DATA, "nosuch"), nullptr);
    EXPECT_EQ(core_res_init_resource("/nonexistent/dir", "ui"), nullptr);
    EXPECT_EQ(core_res_init_resource(nullptr, "ui"), nullptr);
    EXPECT_EQ(core_res_init_resource(CV_BUNDLE_DATA, nullptr), nullptr);
}

TEST(BundleOpen, FileNamesFollowTheBundleLayout)
{
    auto name = [](const char* d, const char* b, const char* l) {
        char* n = GetProertiesFilename(d, b, l);
        std::string s = shown(n);
        free(n);
        return s;
    };
    EXPECT_EQ(name("/res", "ui", nullptr), "/res/ui.properties");
    EXPECT_EQ(name("/res/", "ui", ""), "/res/ui.properties");
    EXPECT_EQ(name("/res", "ui", "pt_BR"), "/res/ui_pt_BR.properties");
}

class BundleFiles : public ::testing::Test {
protected:
    cvtest::TempDir dir{"bundle"};
    CoreResource* open(const std::string& sub = "res")
    {
        CoreResource* r = core_res_init_resource(dir.file(sub).c_str(), "ui");
        EXPECT_NE(r, nullptr);
        return r;
    }
};

TEST_F(BundleFiles, EachLanguageFileIsReadOnceFoundOrNot)
{
    dir.write("res/ui.properties", "greeting=Hello\n");
    dir.write("res/ui_fr.properties", "greeting=Bonjour\n");
    CoreResource* r = open();
    Properties* p = r->properties;
    EXPECT_EQ(PropertiesLanguageStatus(p, nullptr), LANG_LOADED);
    EXPECT_EQ(PropertiesLanguageStatus(p, "fr"), LANG_NOT_TRIED);
    EXPECT_EQ(shown(core_res_getstring(r, "greeting", "fr")), "Bonjour");
    EXPECT_EQ(shown(core_res_getstring(r, "greeting", "it")), "Hello");
    EXPECT_EQ(PropertiesLanguageStatus(p, "fr"), LANG_LOADED);
    EXPECT_EQ(PropertiesLanguageStatus(p, "it"), LANG_MISSING);

    dir.write("res/ui_fr.properties", "greeting=Salut\n");
    dir.write("res/ui_it.properties", "greeting=Ciao\n");
    EXPECT_EQ(shown(core_res_getstring(r, "greeting", "fr")), "Bonjour");
    EXPECT_EQ(shown(core_res_getstring(r, "greeting", "it")), "Hello");
    EXPECT_EQ(PropertiesOpenFile(p, "it"), 1);
    EXPECT_EQ(PropertiesOpenFile(p, "fr"), 0);
    core_res_destroy_resource(r);
}

TEST_F(BundleFiles, LanguageNamesThatAreNotPlainNamesOpenNoFile)
{
    // Without the name check, "../../evil/x" would resolve through the
    // directory "ui_.." to a file outside the bundle directory.
    dir.write("res/ui.properties", "greeting=Hello\n");
    dir.mkdirs("res/ui_..");
    dir.write("evil/x.properties", "greeting=Evil\n");
    dir.write("res/ui_pt_BR.properties", "greeting=Ola\n");
    dir.write("res/ui_zh-Hant.properties", "greeting=Ni hao\n");
    CoreResource* r = open();
    for (const char* bad : {"../../evil/x", "fr/../fr", "a b", "fr\n", "\xC3\xA9", "."})
        EXPECT_EQ(shown(core_res_getstring(r, "greeting", bad)), "Hello") << bad;
    EXPECT_EQ(PropertiesLanguageStatus(r->properties, "../../evil/x"), LANG_MISSING);
    EXPECT_EQ(shown(core_res_getstring(r, "greeting", "pt_BR")), "Ola");
    EXPECT_EQ(shown(core_res_getstring(r, "greeting", "zh-Hant")), "Ni hao");
    core_res_destroy_resource(r);
}

TEST_F(BundleFiles, EmptyDefaultFileOpensWithNoTexts)
{
    dir.write("res/ui.properties", "");
    CoreResource* r = open();
    EXPECT_EQ(core_res_getstring(r, "greeting", nullptr), nullptr);
    EXPECT_EQ(PropertiesLanguageStatus(r->properties, nullptr), LANG_LOADED);
    core_res_destroy_resource(r);
}

TEST_F(BundleFiles, SortedKeysOfALargeFileStayReachable)
{
    // Sorted keys make the unbalanced tree a list 10000 deep.
    std::string content;
    for (int i = 0; i < 10000; ++i) {
        char line[64];
        snprintf(line, sizeof line, "key%06d=value %d\n", i, i);
        content += line;
    }
    dir.write("res/ui.properties", content);
    CoreResource* r = open();
    EXPECT_EQ(shown(core_res_getstring(r, "key000000", nullptr)), "value 0");
    EXPECT_EQ(shown(core_res_getstring(r, "key009999", "fr")), "value 9999");
    EXPECT_EQ(core_res_getstring(r, "key010000", nullptr), nullptr);
    core_res_destroy_resource(r);
}

} // namespace

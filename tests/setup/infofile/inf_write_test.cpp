#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

#include "adm_pi.h"
#include "infotest.h"

namespace {

class InfWriteTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        ADM_pi_done(tree);
        ADM_pi_done(back);
    }
    // Writes tree to out.inf, reads it back with the same format.
    std::string roundTrip(int format)
    {
        std::string path = dir.file("out.inf");
        EXPECT_EQ(ADM_pi_write(tree, path.c_str()), 0);
        ADM_pi_done(back);
        back = ADM_pi_init(path.c_str(), format);
        return inftest::readFile(path);
    }
    int filesInDir() const
    {
        int n = 0;
        for (auto& e : std::filesystem::directory_iterator(dir.path())) {
            (void)e;
            ++n;
        }
        return n;
    }

    inftest::Dir dir;
    ADM_piTree* tree = ADM_pi_init(nullptr);
    ADM_piTree* back = nullptr;
};

TEST_F(InfWriteTest, EachLayoutWritesTheExpectedTextAndReadsBackTheSameTree)
{
    const struct {
        const char* name;
        int format;
    } layouts[] = {{"native", 0}, {"equals", 1}, {"colon", 2}};
    for (const auto& l : layouts) {
        ADM_pi_done(tree);
        tree = ADM_pi_init(inftest::dataFile(std::string(l.name) + ".inf").c_str(), l.format);
        std::string text = roundTrip(l.format);
        EXPECT_EQ(text, inftest::readFile(inftest::dataFile(std::string(l.name) + ".out")))
            << l.name;
        EXPECT_EQ(inftest::dump(back), inftest::dump(tree)) << l.name;
    }
}

TEST_F(InfWriteTest, EntriesComeOutAsStampValuesListsBooleansThenSections)
{
    ADM_pi_setValue(ADM_pi_addSection(tree, "sub"), "inner", "1");
    ADM_pi_setBoolean(tree, "flag", "TRUE");
    ADM_pi_setCapability(tree, "list", "a");
    ADM_pi_setCapability(tree, "list", "A");
    ADM_pi_setCapability(tree, "list", "b");
    ADM_pi_setValue(tree, "value", "v");
    ADM_pi_timeStamp(tree, "Tue Dec 8 04:00:00 2026");
    EXPECT_EQ(
        roundTrip(0),
        "[Tue Dec 8 04:00:00 2026]\nvalue   v\nlist:   a,b\nflag?   true\n\n[sub]\ninner   1\n");
    ADM_pi_setFormat(tree, 1);
    EXPECT_EQ(roundTrip(1), "[General]\n[Tue Dec 8 04:00:00 2026]\nvalue=   v\nlist=   a,b\nflag=  "
                            " true\n\n[sub]\ninner=   1\n");
    // A boolean written in the equals layout comes back as a plain value.
    EXPECT_STREQ(ADM_pi_value(back, "flag"), "true");
    ADM_pi_setFormat(tree, 2);
    EXPECT_EQ(
        roundTrip(2),
        "[Tue Dec 8 04:00:00 2026]\nvalue:   v\nlist:   a,b\nflag:   true\n\n[sub]\ninner:   1\n");
}

TEST_F(InfWriteTest, GeneralHeaderOnlyInTheEqualsLayoutWithValues)
{
    ADM_pi_setFormat(tree, 1);
    ADM_pi_setBoolean(tree, "b", "false");
    EXPECT_EQ(roundTrip(1), "b=   false\n");
    ADM_pi_setValue(tree, "v", "1");
    EXPECT_EQ(roundTrip(1), "[General]\nv=   1\nb=   false\n");
}

TEST_F(InfWriteTest, ANativeListReadsBackAsItsJoinedValue)
{
    ADM_pi_setCapability(tree, "Hosts", "a");
    ADM_pi_setCapability(tree, "Hosts", "b");
    roundTrip(0);
    EXPECT_STREQ(ADM_pi_value(back, "hosts"), "a,b");
    ADM_pi_2List(back, "Hosts");
    EXPECT_EQ(ADM_pi_canDo(back, "hosts", "b"), 1);
    EXPECT_EQ(inftest::dump(back), inftest::dump(tree));
}

TEST_F(InfWriteTest, TheRootLayoutDecidesSectionLinesToo)
{
    ADM_pi_setFormat(tree, 1);
    ADM_piTree* s = ADM_pi_addSection(tree, "slapd");
    ADM_pi_setFormat(s, 2);
    ADM_pi_setValue(s, "port", "389");
    EXPECT_EQ(roundTrip(1), "\n[slapd]\nport=   389\n");
}

TEST_F(InfWriteTest, NativeTextsStartingWithSeparatorsReadBackUnchanged)
{
    const char* texts[] = {"=x", ":x", "?x", "=", "a=b", "?"};
    int i = 0;
    for (const char* t : texts)
        ADM_pi_setValue(tree, ("v" + std::to_string(i++)).c_str(), t);
    roundTrip(0);
    i = 0;
    for (const char* t : texts)
        EXPECT_STREQ(ADM_pi_value(back, ("v" + std::to_string(i++)).c_str()), t);
    EXPECT_EQ(back->booleanCount, 0);
}

TEST_F(InfWriteTest, NamesThatLookLikeCommentsOrHeadersStayEntries)
{
    ADM_pi_setValue(tree, "#hash", "1");
    ADM_pi_setValue(tree, "[bracket]", "2");
    for (int format : {0, 1, 2}) {
        ADM_pi_setFormat(tree, format);
        roundTrip(format);
        EXPECT_STREQ(ADM_pi_value(back, "#hash"), "1") << format;
        EXPECT_STREQ(ADM_pi_value(back, "[bracket]"), "2") << format;
        EXPECT_EQ(back->sectionCount, 0) << format;
    }
}

TEST_F(InfWriteTest, LineBreaksInAnyTextAreRefusedAndTheFileKept)
{
    std::string path = dir.file("keep.inf");
    inftest::writeFile(path, "old   1\n");
    const auto refused = [&](void (*spoil)(ADM_piTree*)) {
        ADM_piTree* t = ADM_pi_init(nullptr);
        ADM_pi_setValue(t, "ok", "1");
        spoil(t);
        int rc = ADM_pi_write(t, path.c_str());
        ADM_pi_done(t);
        return rc == -1 && inftest::readFile(path) == "old   1\n";
    };
    EXPECT_TRUE(refused([](ADM_piTree* t) { ADM_pi_setValue(t, "v", "x\n[evil]"); }));
    EXPECT_TRUE(refused([](ADM_piTree* t) { ADM_pi_setValue(t, "v", "x\rinjected 1"); }));
    EXPECT_TRUE(refused([](ADM_piTree* t) { ADM_pi_setValue(t, "na\nme", "x"); }));
    EXPECT_TRUE(refused([](ADM_piTree* t) { ADM_pi_setCapability(t, "l", "a\nb"); }));
    EXPECT_TRUE(refused([](ADM_piTree* t) { ADM_pi_setBoolean(t, "b\n[x]", "true"); }));
    EXPECT_TRUE(refused([](ADM_piTree* t) { ADM_pi_addSection(t, "s]\nx"); }));
    EXPECT_TRUE(
        refused([](ADM_piTree* t) { ADM_pi_setValue(ADM_pi_addSection(t, "s"), "k", "\n"); }));
    EXPECT_TRUE(refused([](ADM_piTree* t) { ADM_pi_timeStamp(t, "stamp\n"); }));
    EXPECT_EQ(filesInDir(), 1);
}

TEST_F(InfWriteTest, ASectionNamedLikeAStampStaysASection)
{
    ADM_pi_timeStamp(tree, "20261208040000Z");
    ADM_pi_setValue(ADM_pi_addSection(tree, "20261208050000Z"), "k", "v");
    EXPECT_EQ(roundTrip(0), "[20261208040000Z]\n\n[ 20261208050000Z]\nk   v\n");
    EXPECT_EQ(inftest::dump(back), inftest::dump(tree));
}

TEST_F(InfWriteTest, AFailedWriteLeavesThePreviousFileAndNoTemporary)
{
    std::string path = dir.file("full.inf");
    std::string old = "kept   intact\n";
    inftest::writeFile(path, old);
    ADM_pi_setValue(tree, "big", std::string(64 * 1024, 'x').c_str());
    // A file size limit makes the writes fail midway as a full disk would.
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    int rc = ADM_pi_write(tree, path.c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(inftest::readFile(path), old);
    EXPECT_EQ(filesInDir(), 1);
    EXPECT_EQ(ADM_pi_write(tree, dir.file("no/such/dir.inf").c_str()), -1);
}

TEST_F(InfWriteTest, ReplacingKeepsThePermissionBits)
{
    std::string path = dir.file("mode.inf");
    inftest::writeFile(path, "a 1\n");
    chmod(path.c_str(), 0640);
    ADM_pi_setValue(tree, "b", "2");
    ASSERT_EQ(ADM_pi_write(tree, path.c_str()), 0);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(inftest::readFile(path), "b   2\n");
}

TEST_F(InfWriteTest, StandardOutputIsFlushedAndStaysOpen)
{
    ADM_pi_setValue(tree, "k", "v");
    inftest::StdoutCapture out(dir.file("stdout"));
    EXPECT_EQ(ADM_pi_write(tree, nullptr), 0);
    EXPECT_EQ(ADM_pi_write(tree, nullptr), 0);
    printf("TPX_STATUS: %d\n", 0);
    EXPECT_EQ(out.text(), "k   v\nk   v\nTPX_STATUS: 0\n");
}

TEST_F(InfWriteTest, ACopyIsDeepAndIndependent)
{
    ADM_pi_setValue(tree, "v", "1");
    ADM_pi_setBoolean(tree, "b", "true");
    ADM_pi_setCapability(tree, "l", "x");
    ADM_pi_timeStamp(tree, "t");
    ADM_pi_setValue(ADM_pi_addSection(tree, "s"), "in", "2");
    ADM_piTree* copy = ADM_pi_init(nullptr, 2);
    ADM_pi_copy(copy, tree);
    EXPECT_EQ(copy->format, 2);
    EXPECT_EQ(inftest::dump(copy), inftest::dump(tree));
    ADM_pi_setValue(ADM_pi_section(copy, "s"), "in", "changed");
    ADM_pi_delValue(copy, "v");
    EXPECT_STREQ(ADM_pi_value(ADM_pi_section(tree, "s"), "in"), "2");
    EXPECT_STREQ(ADM_pi_value(tree, "v"), "1");
    ADM_pi_copy(copy, copy);
    ADM_pi_done(copy);
}

} // namespace

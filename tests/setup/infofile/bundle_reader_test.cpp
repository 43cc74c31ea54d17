// The buffered line reader under the bundle loader.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>
#include <vector>

#include "resbundle.h"
#include "tempdir.h"

namespace {

class TextReader : public ::testing::Test {
protected:
    std::vector<std::string> lines(const std::string& content)
    {
        dir.write("f.txt", content);
        TextFile* f = OpenTextFile(dir.file("f.txt").c_str(), 0);
        EXPECT_NE(f, nullptr);
        std::vector<std::string> out;
        std::vector<char> line(TEXTFILE_LINE_SIZE + 16, '#');
        int n;
        while ((n = ReadTextLine(f, line.data())) >= 0) {
            out.emplace_back(line.data(), static_cast<size_t>(n));
            EXPECT_EQ(line[TEXTFILE_LINE_SIZE], '#');
        }
        EXPECT_EQ(ReadTextLine(f, line.data()), -1);
        CloseTextFile(f);
        return out;
    }
    std::vector<std::string> wholeLines(const std::string& content)
    {
        dir.write("w.txt", content);
        TextFile* f = OpenTextFile(dir.file("w.txt").c_str(), 0);
        EXPECT_NE(f, nullptr);
        std::vector<std::string> out;
        char* line = nullptr;
        size_t capacity = 0;
        long n;
        while ((n = ReadTextLineWhole(f, &line, &capacity)) >= 0)
            out.emplace_back(line, static_cast<size_t>(n));
        free(line);
        CloseTextFile(f);
        return out;
    }
    cvtest::TempDir dir{"textfile"};
};

using Lines = std::vector<std::string>;

TEST_F(TextReader, SplitsAtNewlinesAndKeepsEmptyLines)
{
    EXPECT_EQ(lines("a\n\nbc\n"), (Lines{"a", "", "bc"}));
    EXPECT_EQ(lines("a\nlast"), (Lines{"a", "last"}));
    EXPECT_EQ(lines(""), Lines{});
    EXPECT_EQ(lines("\n"), Lines{""});
}

TEST_F(TextReader, HandsOutOverlongLinesInPiecesOfTheBufferSize)
{
    std::string a(TEXTFILE_TEXT_MAX, 'a'), b(100, 'b');
    EXPECT_EQ(lines(a + b + "\nnext\n"), (Lines{a, b, "next"}));
    EXPECT_EQ(lines(a + "\n"), (Lines{a, ""}));
}

TEST_F(TextReader, WholeLineReadingJoinsThePieces)
{
    std::string a(TEXTFILE_TEXT_MAX, 'a'), b(5000, 'b');
    EXPECT_EQ(wholeLines(a + b + "\nnext\n"), (Lines{a + b, "next"}));
    EXPECT_EQ(wholeLines(a + "\n" + a), (Lines{a, a}));
    EXPECT_EQ(wholeLines("x\n\n"), (Lines{"x", ""}));
    EXPECT_EQ(wholeLines(""), Lines{});
}

TEST_F(TextReader, ManyShortLinesAcrossBufferRefills)
{
    std::string content;
    Lines expected;
    for (int i = 0; i < 3000; ++i) {
        expected.push_back("line " + std::to_string(i));
        content += expected.back() + "\n";
    }
    EXPECT_EQ(lines(content), expected);
    EXPECT_EQ(wholeLines(content), expected);
}

TEST_F(TextReader, NulBytesDoNotLoseThePlace)
{
    std::string content("a\0b\nc\n", 6);
    EXPECT_EQ(lines(content), (Lines{std::string("a\0b", 3), "c"}));
}

TEST_F(TextReader, MissingFileDoesNotOpen)
{
    EXPECT_EQ(OpenTextFile(dir.file("absent").c_str(), 0), nullptr);
    EXPECT_EQ(OpenTextFile(nullptr, 0), nullptr);
    EXPECT_EQ(ReadTextLine(nullptr, nullptr), -1);
    CloseTextFile(nullptr);
}

TEST_F(TextReader, WriteModeCreatesTheFile)
{
    TextFile* f = OpenTextFile(dir.file("new.txt").c_str(), 1);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->state, TEXTFILE_WRITING);
    CloseTextFile(f);
    EXPECT_TRUE(dir.exists("new.txt"));
}

} // namespace

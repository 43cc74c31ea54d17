#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

#include "hash_peer.h"
#include "setup_compat.h"
#include "setup_hash.h"

namespace {

const unsigned char* bytes(const std::string& s)
{
    return reinterpret_cast<const unsigned char*>(s.data());
}

std::string encode(const std::string& data, int column)
{
    std::string out(base64_encoded_size(static_cast<unsigned>(data.size()), column), '#');
    int n = setupBase64_Encode(bytes(data), &out[0], static_cast<unsigned>(data.size()), column);
    EXPECT_EQ(static_cast<size_t>(n) + 1, out.size()) << "the size helper must be exact";
    EXPECT_EQ(out.back(), '\0');
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

// The decoded bytes, or "<invalid>" / "<too small>".
std::string decode(const std::string& text)
{
    std::vector<unsigned char> out(base64_decoded_size(text.c_str()) + 1, 0xA5);
    int n = setupBase64_decode(text.c_str(), out.data());
    EXPECT_EQ(out.back(), 0xA5) << "wrote past the size helper's room";
    if (n == BASE64_INVALID)
        return "<invalid>";
    EXPECT_GE(n, 0);
    return std::string(reinterpret_cast<const char*>(out.data()),
                       n > 0 ? static_cast<size_t>(n) : 0);
}

class Base64Test : public ::testing::Test {
protected:
    cvtest::TempDir dir{"base64"};
};

TEST_F(Base64Test, AgreesWithCoreutilsOnRandomInputsOfAllByteValues)
{
    const size_t sizes[] = {0, 1, 2, 3, 4, 5, 57, 58, 59, 60, 255, 256, 4097, 100000, 1 << 20};
    unsigned seed = 11;
    for (size_t size : sizes) {
        std::string data = hashtest::randomBytes(size, seed++);
        std::string path = hashtest::writeInput(dir, "in" + std::to_string(size), data);
        std::string peer = hashtest::peerOutput("base64", {"-w0", path});
        std::string ours = encode(data, -1);
        EXPECT_EQ(ours, peer) << "size " << size;
        EXPECT_EQ(decode(peer), data) << "size " << size;
    }
}

TEST_F(Base64Test, CoreutilsDecodesOurFoldedOutputOnceContinuationBlanksGo)
{
    std::string data = hashtest::randomBytes(5000, 3);
    std::string folded = encode(data, 0);
    std::string joined;
    for (size_t i = 0; i < folded.size(); ++i) {
        if (folded[i] == '\n') {
            ASSERT_EQ(folded[i + 1], ' ');
            ++i;
            continue;
        }
        joined += folded[i];
    }
    std::string path = hashtest::writeInput(dir, "enc", joined);
    EXPECT_EQ(hashtest::peerOutput("base64", {"-d", path}), data);
}

TEST(Base64Encode, PadsShortFinalGroups)
{
    EXPECT_EQ(encode("", -1), "");
    EXPECT_EQ(encode("M", -1), "TQ==");
    EXPECT_EQ(encode("Ma", -1), "TWE=");
    EXPECT_EQ(encode("Man", -1), "TWFu");
    EXPECT_EQ(encode(std::string("\xFF\xFE\x00", 3), -1), "//4A");
}

TEST(Base64Encode, FoldsLongLinesInLdifContinuationForm)
{
    std::string data = hashtest::randomBytes(60, 5);
    std::string flat = encode(data, -1);
    ASSERT_EQ(flat.size(), 80u);
    std::string folded = encode(data, 0);
    ASSERT_EQ(folded.size(), 82u);
    EXPECT_EQ(folded, flat.substr(0, 77) + "\n " + flat.substr(77));

    // Continuation lines carry a blank and 76 characters.
    std::string big = encode(hashtest::randomBytes(300, 6), 0);
    std::string bigFlat = encode(hashtest::randomBytes(300, 6), -1);
    EXPECT_EQ(big.substr(0, 77 + 2 + 76 + 2),
              bigFlat.substr(0, 77) + "\n " + bigFlat.substr(77, 76) + "\n ");
}

TEST(Base64Encode, FoldingCountsCharactersAlreadyOnTheLine)
{
    // "userPassword:: " is 15 characters: the first line takes 62 more.
    std::string flat = encode(std::string(60, 'x'), -1);
    EXPECT_EQ(encode(std::string(60, 'x'), 15), flat.substr(0, 62) + "\n " + flat.substr(62));
    // A line already full breaks before the first character.
    EXPECT_EQ(encode("Man", 77), "\n TWFu");
    EXPECT_EQ(encode("Man", 200), "\n TWFu");
    EXPECT_EQ(encode("Man", 76), "T\n WFu");
}

TEST(Base64Encode, SizeHelperIsExactForEveryLengthAndColumn)
{
    std::string data = hashtest::randomBytes(400, 8);
    for (unsigned length = 0; length <= 400; length += 7)
        for (int column : {-5, -1, 0, 1, 2, 40, 75, 76, 77, 78, 1000})
            encode(data.substr(0, length), column); // checks inside
}

TEST(Base64Encode, SizedVariantRefusesATargetOneByteShort)
{
    std::string data = "hello world";
    size_t need = base64_encoded_size(static_cast<unsigned>(data.size()), -1);
    std::vector<char> out(need + 4, '#');
    EXPECT_EQ(setupBase64_EncodeSized(bytes(data), out.data(), need - 1, 11, -1),
              BASE64_TARGET_TOO_SMALL);
    for (char c : out)
        EXPECT_EQ(c, '#');
    EXPECT_EQ(base64_encode_sized(bytes(data), out.data(), need, 11, -1), 16);
    EXPECT_EQ(std::string(out.data()), "aGVsbG8gd29ybGQ=");
    EXPECT_EQ(out[need], '#');
    EXPECT_EQ(base64_encode(nullptr, out.data(), 3, -1), BASE64_INVALID);
    EXPECT_EQ(base64_encode(bytes(data), nullptr, 3, -1), BASE64_INVALID);
}

TEST(Base64Decode, DecodesPaddedGroups)
{
    EXPECT_EQ(decode(""), "");
    EXPECT_EQ(decode("TQ=="), "M");
    EXPECT_EQ(decode("TWE="), "Ma");
    EXPECT_EQ(decode("TWFuTQ=="), "ManM");
    EXPECT_EQ(decode("//4A"), std::string("\xFF\xFE\x00", 3));
}

TEST(Base64Decode, RejectsIncompleteGroups)
{
    EXPECT_EQ(decode("QUJ"), "<invalid>");
    EXPECT_EQ(decode("Q"), "<invalid>");
    EXPECT_EQ(decode("TWFuQ"), "<invalid>");
    EXPECT_EQ(decode("TWFuQUJ"), "<invalid>");
}

TEST(Base64Decode, RejectsCharactersOutsideTheAlphabetInEveryPosition)
{
    for (int pos = 0; pos < 4; ++pos) {
        for (const char* bad : {"*", " ", "\n", "-", "_", "\x80", "\xC3", "\xFF"}) {
            std::string text = "TWFu";
            text[pos] = bad[0];
            EXPECT_EQ(decode(text), "<invalid>")
                << "position " << pos << " byte " << int(bad[0] & 0xFF);
            EXPECT_EQ(decode("TWFu" + text), "<invalid>");
        }
    }
}

TEST(Base64Decode, AcceptsEqualsSignsOnlyAsTrailingPadding)
{
    for (const char* text :
         {"====", "T===", "=WFu", "TW=u", "TW=A", "T=Fu", "TQ==TWFu", "TWE=TQ==", "TQ==="})
        EXPECT_EQ(decode(text), "<invalid>") << text;
}

TEST(Base64Decode, SizedVariantNeverWritesPastTheTarget)
{
    unsigned char out[4] = {0xA5, 0xA5, 0xA5, 0xA5};
    EXPECT_EQ(base64_decode_sized("TWFuTWFu", out, 3), BASE64_TARGET_TOO_SMALL);
    EXPECT_EQ(out[3], 0xA5);
    memset(out, 0xA5, sizeof out);
    EXPECT_EQ(setupBase64_DecodeSized("TWE=", out, 2), 2);
    EXPECT_EQ(out[2], 0xA5);
    EXPECT_EQ(setupBase64_DecodeSized("TWE=", out, 1), BASE64_TARGET_TOO_SMALL);
    EXPECT_EQ(base64_decoded_size("TWE="), 3u);
    EXPECT_EQ(base64_decoded_size("QUJ"), 3u);
    EXPECT_EQ(base64_decoded_size(nullptr), 0u);
    EXPECT_EQ(base64_decode(nullptr, out), BASE64_INVALID);
}

} // namespace

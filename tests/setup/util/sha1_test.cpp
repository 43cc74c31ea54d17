#include <gtest/gtest.h>

#include <string>

#include "hash_peer.h"
#include "sha1.h"

namespace {

std::string hex(const unsigned char* digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < SHA1_LENGTH; ++i) {
        out += digits[digest[i] >> 4];
        out += digits[digest[i] & 15];
    }
    return out;
}

std::string digestOf(const std::string& data)
{
    sha1_context ctx;
    unsigned char digest[SHA1_LENGTH];
    unsigned int length = 0;
    sha1_init(&ctx);
    sha1_update(&ctx, reinterpret_cast<const unsigned char*>(data.data()),
                static_cast<unsigned int>(data.size()));
    EXPECT_EQ(sha1_final(&ctx, digest, &length, SHA1_LENGTH), 0);
    EXPECT_EQ(length, static_cast<unsigned>(SHA1_LENGTH));
    return hex(digest);
}

class Sha1Test : public ::testing::Test {
protected:
    cvtest::TempDir dir{"sha1"};
};

TEST_F(Sha1Test, MatchesPublishedTestVectors)
{
    EXPECT_EQ(digestOf("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(digestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(digestOf(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    EXPECT_EQ(digestOf(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST_F(Sha1Test, AgreesWithSha1sumOnRandomInputsUpToOneMebibyte)
{
    const size_t sizes[] = {1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000, 4096, 65537, 1 << 20};
    unsigned seed = 1;
    for (size_t size : sizes) {
        std::string data = hashtest::randomBytes(size, seed++);
        std::string path = hashtest::writeInput(dir, "in" + std::to_string(size), data);
        std::string peer = hashtest::peerOutput("sha1sum", {path});
        EXPECT_EQ(digestOf(data), peer.substr(0, 40)) << "size " << size;
    }
}

TEST_F(Sha1Test, PiecewiseUpdatesGiveTheSameDigestAsOneUpdate)
{
    std::string data = hashtest::randomBytes(3000, 7);
    sha1_context ctx;
    sha1_init(&ctx);
    size_t pos = 0, step = 1;
    while (pos < data.size()) {
        size_t n = std::min(step, data.size() - pos);
        sha1_update(&ctx, reinterpret_cast<const unsigned char*>(data.data() + pos),
                    static_cast<unsigned int>(n));
        pos += n;
        step = step * 3 % 97 + 1;
    }
    sha1_update(&ctx, reinterpret_cast<const unsigned char*>("x"), 0);
    unsigned char digest[SHA1_LENGTH];
    unsigned int length = 0;
    ASSERT_EQ(sha1_final(&ctx, digest, &length, sizeof digest), 0);
    EXPECT_EQ(hex(digest), digestOf(data));
}

TEST_F(Sha1Test, FinalStartsTheContextAfresh)
{
    sha1_context ctx;
    unsigned char digest[SHA1_LENGTH];
    unsigned int length = 0;
    sha1_init(&ctx);
    sha1_update(&ctx, reinterpret_cast<const unsigned char*>("junk"), 4);
    ASSERT_EQ(sha1_final(&ctx, digest, &length, SHA1_LENGTH), 0);
    sha1_update(&ctx, reinterpret_cast<const unsigned char*>("abc"), 3);
    ASSERT_EQ(sha1_final(&ctx, digest, &length, SHA1_LENGTH), 0);
    EXPECT_EQ(hex(digest), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST_F(Sha1Test, FinalRefusesADigestBufferShorterThanTwentyBytes)
{
    sha1_context ctx;
    unsigned char digest[SHA1_LENGTH + 1];
    memset(digest, 0x5A, sizeof digest);
    unsigned int length = 99;
    sha1_init(&ctx);
    EXPECT_EQ(sha1_final(&ctx, digest, &length, SHA1_LENGTH - 1), 1);
    EXPECT_EQ(length, 99u);
    for (unsigned char c : digest)
        EXPECT_EQ(c, 0x5A);
}

TEST_F(Sha1Test, DigestHelpersRefuseNullAndEmptyInput)
{
    unsigned char digest[SHA1_LENGTH];
    EXPECT_EQ(sha1_digest(nullptr, reinterpret_cast<const unsigned char*>("a"), 1), 1);
    EXPECT_EQ(sha1_digest(digest, nullptr, 1), 1);
    EXPECT_EQ(sha1_digest(digest, reinterpret_cast<const unsigned char*>("a"), 0), 1);
    EXPECT_EQ(sha1_digest_text(digest, nullptr), 1);
    EXPECT_EQ(sha1_digest_text(digest, ""), 1);
    ASSERT_EQ(sha1_digest_text(digest, "abc"), 0);
    EXPECT_EQ(hex(digest), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

} // namespace

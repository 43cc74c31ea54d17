#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>

#include "hash_peer.h"
#include "setup_compat.h"
#include "setup_hash.h"

extern "C" int hash_c_api_round_trip(void);

namespace {

TEST(PasswordHash, PlainInterfaceIsCallableFromC)
{
    EXPECT_EQ(hash_c_api_round_trip(), 1);
}

std::string storedForm(const std::string& password)
{
    char* stored = setupSHA1_pw_enc(password.c_str());
    EXPECT_NE(stored, nullptr);
    std::string out = stored ? stored : "";
    free(stored);
    return out;
}

// What slappasswd stores after its "{SHA}" tag.
std::string slappasswdForm(const std::string& password)
{
    std::string out = hashtest::peerOutput("slappasswd", {"-h", "{SHA}", "-s", password});
    EXPECT_EQ(out.rfind("{SHA}", 0), 0u) << out;
    return out.size() > 5 ? out.substr(5) : "";
}

std::string lengthPassword(size_t length)
{
    std::string pw;
    for (size_t i = 0; i < length; ++i)
        pw += static_cast<char>('!' + i % 90);
    return pw;
}

TEST(PasswordHash, AbcHasThePublishedStoredForm)
{
    EXPECT_EQ(storedForm("abc"), "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=");
}

TEST(PasswordHash, StoredFormIsBitIdenticalToSlappasswd)
{
    std::vector<std::string> passwords = {"abc", "secret", "Pass word with blanks",
                                          "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC", "\xF0\x9F\x98\x80"};
    for (size_t n : {1, 55, 56, 63, 64, 65, 1024})
        passwords.push_back(lengthPassword(n));
    for (const std::string& pw : passwords) {
        std::string ours = storedForm(pw);
        EXPECT_EQ(ours, slappasswdForm(pw)) << "length " << pw.size();
        EXPECT_EQ(ours.size(), 28u);
        EXPECT_EQ(ours.back(), '=');
        EXPECT_NE(ours[26], '=');
        EXPECT_EQ(setupSHA1_pw_cmp(pw.c_str(), ours.c_str()), 0) << "length " << pw.size();
    }
}

TEST(PasswordHash, ComparisonAcceptsStoredFormsMadeBySlappasswd)
{
    for (const char* pw : {"admin", "Corvid-2026", "\xE4\xB8\xAD\xE6\x96\x87"})
        EXPECT_EQ(sha1_pw_cmp(pw, slappasswdForm(pw).c_str()), 0) << pw;
}

TEST(PasswordHash, ComparisonRejectsAnotherPasswordsForm)
{
    std::string other = storedForm("other");
    EXPECT_NE(setupSHA1_pw_cmp("secret", other.c_str()), 0);
    EXPECT_NE(setupSHA1_pw_cmp("secreT", storedForm("secret").c_str()), 0);
}

TEST(PasswordHash, EmptyPasswordHasNoStoredForm)
{
    EXPECT_EQ(setupSHA1_pw_enc(""), nullptr);
    EXPECT_EQ(sha1_pw_enc(nullptr), nullptr);
    std::string stored = storedForm("x");
    EXPECT_EQ(setupSHA1_pw_cmp("", stored.c_str()), 1);
    EXPECT_EQ(setupSHA1_pw_cmp(nullptr, stored.c_str()), 1);
}

TEST(PasswordHash, ComparisonRefusesMalformedStoredTexts)
{
    std::string good = storedForm("secret");
    EXPECT_EQ(sha1_pw_cmp("secret", nullptr), 1);
    EXPECT_EQ(sha1_pw_cmp("secret", (good + "AA").c_str()), 1);      // 30 characters
    EXPECT_EQ(sha1_pw_cmp("secret", (good + "A").c_str()), 1);       // not whole groups
    EXPECT_EQ(sha1_pw_cmp("secret", good.substr(0, 24).c_str()), 1); // 18 bytes
    EXPECT_EQ(sha1_pw_cmp("secret", ""), 1);
    std::string broken = good;
    broken[3] = '*';
    EXPECT_EQ(sha1_pw_cmp("secret", broken.c_str()), 1);
    EXPECT_EQ(sha1_pw_cmp("secret", ("{SHA}" + good).c_str()), 1);
}

} // namespace

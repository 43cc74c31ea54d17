// Request decoding and instance naming of the admin task layer.
#include "admtask.h"
#include "instance_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

class RequestDecoding : public ::testing::Test {
protected:
    void SetUp() override
    {
        cvtest::clearCgiVariables();
        ADMUTIL_Init();
    }
    void TearDown() override { cvtest::clearCgiVariables(); }
    static std::string var(const char* name)
    {
        const char* v = ds_get_cgi_var(name);
        return v != nullptr ? v : "<null>";
    }
    static int post(const std::string& body)
    {
        FILE* in = fmemopen(const_cast<char*>(body.data()), body.size(), "r");
        int r = ds_post_begin(in);
        fclose(in);
        return r;
    }
};

TEST_F(RequestDecoding, DecodesPlusAndHexEscapes)
{
    ASSERT_EQ(ds_get_begin("InstanceName=a+b%20c%2fd%C3%A9&x=1"), 0);
    EXPECT_EQ(var("InstanceName"), "a b c/d\xC3\xA9");
    EXPECT_EQ(var("x"), "1");
    EXPECT_EQ(var("instancename"), "<null>");
}

// Silent mode writes the instance name into QUERY_STRING: whatever bytes it
// holds, the decoder gets exactly that name back, and no other variable.
TEST_F(RequestDecoding, FormEncodedValueDecodesToItselfAlone)
{
    const std::string nasty = "a&InstanceName=b x%2e+\xC3\xA9=~";
    const std::string encoded = ds_form_encode(nasty);
    EXPECT_EQ(encoded, "a%26InstanceName%3Db%20x%252e%2B%C3%A9%3D~");
    ASSERT_EQ(ds_get_begin(("InstanceName=" + encoded).c_str()), 0);
    EXPECT_EQ(var("InstanceName"), nasty);
    EXPECT_EQ(var("x"), "<null>");
}

TEST_F(RequestDecoding, MalformedEscapesStayAsWritten)
{
    ds_get_begin("a=%&b=%4&c=%G1&d=x%&e=%%41&f=%00z");
    EXPECT_EQ(var("a"), "%");
    EXPECT_EQ(var("b"), "%4");
    EXPECT_EQ(var("c"), "%G1");
    EXPECT_EQ(var("d"), "x%");
    EXPECT_EQ(var("e"), "%A");
    EXPECT_EQ(var("f"), "%00z");
}

TEST_F(RequestDecoding, PairsWithoutValueRepeatsAndEmptyPairs)
{
    ds_get_begin("&&flag&n=first&n=second&=v&eq=a=b&");
    EXPECT_EQ(var("flag"), "");
    EXPECT_EQ(var("n"), "first");
    EXPECT_EQ(var(""), "v");
    EXPECT_EQ(var("eq"), "a=b");
    EXPECT_EQ(ds_get_cgi_var(nullptr), nullptr);
    EXPECT_EQ(ds_get_begin(nullptr), -1);
}

TEST_F(RequestDecoding, InitForgetsTheEarlierRequest)
{
    ds_get_begin("InstanceName=inst1");
    ADMUTIL_Init();
    EXPECT_EQ(var("InstanceName"), "<null>");
}

TEST_F(RequestDecoding, PostReadsExactlyContentLengthBytes)
{
    setenv("CONTENT_LENGTH", "4", 1);
    EXPECT_EQ(post("a=1&b=2"), 0);
    EXPECT_EQ(var("a"), "1");
    EXPECT_EQ(var("b"), "<null>");
}

TEST_F(RequestDecoding, PostWithoutContentLengthReadsToEnd)
{
    EXPECT_EQ(post("a=1&InstanceName=inst%31"), 0);
    EXPECT_EQ(var("InstanceName"), "inst1");
}

TEST_F(RequestDecoding, PostRefusesShortOversizedAndMalformedBodies)
{
    setenv("CONTENT_LENGTH", "50", 1);
    EXPECT_EQ(post("InstanceName=inst1"), -1);
    EXPECT_EQ(var("InstanceName"), "<null>");
    for (const char* bad : {"abc", "-1", "1e3", "99999999999", "2000000"}) {
        setenv("CONTENT_LENGTH", bad, 1);
        EXPECT_EQ(post("InstanceName=inst1"), -1) << bad;
    }
    unsetenv("CONTENT_LENGTH");
    EXPECT_EQ(post(std::string(ADMTASK_MAX_BODY + 1, 'a')), -1);
    EXPECT_EQ(ds_post_begin(nullptr), -1);
}

TEST_F(RequestDecoding, ServerNameIsTheFirstScriptNameSegment)
{
    EXPECT_EQ(ds_get_server_name(), nullptr);
    setenv("SCRIPT_NAME", "/inst1/Tasks/Operation/Remove", 1);
    const char* first = ds_get_server_name();
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "inst1");
    setenv("SCRIPT_NAME", "//other", 1);
    EXPECT_STREQ(ds_get_server_name(), "other");
    EXPECT_STREQ(first, "inst1"); // an earlier answer stays valid
    setenv("SCRIPT_NAME", "/", 1);
    EXPECT_EQ(ds_get_server_name(), nullptr);
    setenv("SCRIPT_NAME", "", 1);
    EXPECT_EQ(ds_get_server_name(), nullptr);
}

TEST(InstanceNames, OnlySinglePathSegmentsAreSafe)
{
    for (const char* ok : {"inst1", "slapd-example", "a b", "...", ".hidden", "x..y"})
        EXPECT_EQ(ds_is_safe_instance_name(ok), 1) << ok;
    for (const char* bad : {"", ".", "..", "../x", "a/b", "/abs", "a\nb", "tab\t", "del\x7f"})
        EXPECT_EQ(ds_is_safe_instance_name(bad), 0) << bad;
    EXPECT_EQ(ds_is_safe_instance_name(nullptr), 0);
}

} // namespace

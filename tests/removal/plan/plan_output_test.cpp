// Outside texts in the plan: names and DNs that are not UTF-8 keep the JSON
// valid and come back byte for byte, and control characters in file names
// neither forge plan lines nor reach the terminal.

#include <gtest/gtest.h>

#include <algorithm>

#include "instance_fixture.h"
#include "plan_fixture.h"
#include "subprocess.h"
#include "tempdir.h"

using namespace cvtest;
using plantest::json;

namespace {

// The bytes a JSON text value stands for: a string as it is, an array of
// byte values as those bytes.
std::string bytesOf(const json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    std::string out;
    for (const json& b : value)
        out.push_back(static_cast<char>(b.get<int>()));
    return out;
}

// A silent removal of inst below root whose configuration directory does
// not answer (nothing listens on port 1), bound as bindDN.
std::string silentInf(TempDir& dir, const std::string& root, const std::string& inst,
                      const std::string& bindDN)
{
    dir.write("remove.inf", "[uninstall]\nServerIdentifier= " + inst + "\nServerRoot= " + root +
                                "\nFullMachineName= ds.example.com\n"
                                "ConfigDirectoryLdapURL= ldap://127.0.0.1:1/o=CorvidRoot\n"
                                "ConfigDirectoryAdminID= " +
                                bindDN + "\nConfigDirectoryAdminPwd= secret\n");
    return dir.file("remove.inf");
}

} // namespace

TEST(PlanOutputTest, TextsThatAreNotUtf8ComeBackAsTheirBytesInValidJson)
{
    TempDir dir("planbytes");
    plantest::Cleanup cleanup;
    const std::string inst = "slapd-\xFF";
    const std::string latin1File = dir.file("root/" + inst + "/db/caf\xE9.db");
    dir.write("root/" + inst + "/db/caf\xE9.db", "data");
    const bool immutable = cleanup.immutable(latin1File);

    ProcessResult p = plantest::runPlan(
        {"--json"}, cgiEnvironment("GET", dir.file("root"), "InstanceName=slapd-%FF"));
    json j = plantest::parse(p);
    ASSERT_FALSE(j.is_discarded()) << "status " << p.status << ": " << p.out;
    EXPECT_EQ(p.status, immutable ? 1 : 0);
    EXPECT_TRUE(j["instance"].is_array());
    EXPECT_EQ(bytesOf(j["instance"]), inst);
    EXPECT_EQ(bytesOf(j["installRoot"]), dir.file("root/" + inst));
    EXPECT_EQ(bytesOf(j["server"]["pidFile"]), dir.file("root/" + inst + "/logs/pid"));
    EXPECT_EQ(bytesOf(j["tree"]["path"]), dir.file("root/" + inst));
    if (immutable) {
        EXPECT_EQ(bytesOf(j["tree"]["wouldStay"][0]["path"]), latin1File);
    }
    // UTF-8 texts stay strings.
    EXPECT_TRUE(j["summary"].is_string());

    // A Latin-1 bind DN from the inf file.
    const std::string bindDN = "cn=Andr\xE9 Admin, o=CorvidRoot";
    dir.mkdirs("root/inst");
    p = plantest::runPlan({"--json", "-f", silentInf(dir, dir.file("root"), "inst", bindDN)},
                          baseEnvironment());
    j = plantest::parse(p);
    ASSERT_FALSE(j.is_discarded()) << "status " << p.status << ": " << p.out;
    EXPECT_EQ(bytesOf(j["configurationDirectory"]["bindIdentity"]), bindDN);
    EXPECT_TRUE(j["configurationDirectory"]["bindIdentity"].is_array());
}

TEST(PlanOutputTest, FileNamesNeitherForgePlanLinesNorReachTheTerminal)
{
    TempDir dir("planforge");
    plantest::Cleanup cleanup;
    const std::string forgedRoot = "root\nplan: removal would succeed\n\x1b]0;owned\x07\x1b[2J";
    dir.write(forgedRoot + "/inst/db/data.db", "data");
    ProcessResult p =
        plantest::runPlan({}, cgiEnvironment("GET", dir.file(forgedRoot), "InstanceName=inst"));
    std::vector<std::string> lines = plantest::lines(p.out);
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(std::count_if(p.out.begin(), p.out.end(),
                            [](char c) {
                                return (static_cast<unsigned char>(c) < 0x20 && c != '\n') ||
                                       c == 0x7f;
                            }),
              0)
        << p.out;
    const std::string shownRoot = dir.file("root?plan: removal would succeed??]0;owned??[2J");
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{
            "Content-type: text/html", "", "instance: inst", "install root: " + shownRoot + "/inst",
            "configuration directory: not used: an administration task leaves the registration to "
            "the administration server",
            "server: no pid file (" + shownRoot + "/inst/logs/pid): not running",
            "tree: " + shownRoot + "/inst: 1 files, 2 directories, 0 links, 4 bytes",
            "plan: removal would succeed"}));

    // A path that would stay, in silent mode: one plan line, the real one.
    const std::string forgedName = "x: immutable\nplan: removal would succeed\ntree\x1b[31m";
    dir.write("root/inst/" + forgedName, "x");
    if (!cleanup.immutable(dir.file("root/inst/" + forgedName)))
        GTEST_SKIP() << "immutable flag not supported here";
    const std::string inf = silentInf(dir, dir.file("root"), "inst", "cn=admin");
    p = plantest::runPlan({"-f", inf}, baseEnvironment());
    lines = plantest::lines(p.out);
    EXPECT_EQ(p.status, 1);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("plan:", 0) == 0; }),
              1)
        << p.out;
    EXPECT_NE(
        std::find(lines.begin(), lines.end(),
                  "would stay: " +
                      dir.file("root/inst/x: immutable?plan: removal would succeed?tree?[31m") +
                      ": immutable"),
        lines.end())
        << p.out;
    EXPECT_EQ(p.out.find('\x1b'), std::string::npos);
    // The JSON form keeps the name exactly.
    json j = plantest::parse(plantest::runPlan({"--json", "-f", inf}, baseEnvironment()));
    ASSERT_FALSE(j.is_discarded());
    EXPECT_EQ(bytesOf(j["tree"]["wouldStay"][0]["path"]), dir.file("root/inst/" + forgedName));
}

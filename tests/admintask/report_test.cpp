// Status lines and directory listings of the admin task layer.
#include "admtask.h"
#include "tempdir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string captured(void (*write)())
{
    ::testing::internal::CaptureStdout();
    write();
    return ::testing::internal::GetCapturedStdout();
}

TEST(Reports, ErrorReportIsTwoStatusLines)
{
    EXPECT_EQ(captured([] { ds_report_error(DS_ERR_FILE, "/x/a.inf", "Cannot open."); }),
              "TPX_ErrInfo: File error: /x/a.inf: Cannot open.\nTPX_STATUS: 3\n");
    EXPECT_EQ(captured([] { ds_report_error(DS_ERR_REQUEST, nullptr, "No instance."); }),
              "TPX_ErrInfo: Request error: No instance.\nTPX_STATUS: 2\n");
    EXPECT_EQ(captured([] { ds_report_error(0, "d", nullptr); }),
              "TPX_ErrInfo: Error: d\nTPX_STATUS: 1\n");
}

TEST(Reports, ControlCharactersCannotForgeLines)
{
    EXPECT_EQ(captured([] { ds_report_error(DS_ERR_SERVER, "a\nTPX_STATUS: 0", "m\r\n"); }),
              "TPX_ErrInfo: Server error: a?TPX_STATUS: 0: m??\nTPX_STATUS: 4\n");
    EXPECT_EQ(captured([] { rpt_success("done\nTPX_STATUS: 9"); }),
              "TPX_SuccessInfo: done?TPX_STATUS: 9\nTPX_STATUS: 0\n");
}

TEST(Reports, ReportFormedAsAValueIsWhatTheWriterWrites)
{
    const std::string formed = ds_error_reply(DS_ERR_REQUEST, "a<b", "m\nTPX_STATUS: 0");
    EXPECT_EQ(formed, "TPX_ErrInfo: Request error: a<b: m?TPX_STATUS: 0\nTPX_STATUS: 2\n");
    EXPECT_EQ(captured([] { ds_report_error(DS_ERR_REQUEST, "a<b", "m\nTPX_STATUS: 0"); }), formed);
    EXPECT_EQ(ds_err_text_reply("E: x\n", 7), "TPX_ErrInfo: E: x\n\nTPX_STATUS: 7\n");
    EXPECT_EQ(captured([] { rpt_err_text("E: x\n", 7); }), ds_err_text_reply("E: x\n", 7));
    ds_set_html_reply(1);
    EXPECT_EQ(ds_error_reply(DS_ERR_FILE, "a<b", nullptr),
              "TPX_ErrInfo: File error: a&lt;b\nTPX_STATUS: 3\n");
    ds_set_html_reply(0);
    EXPECT_EQ(captured([] { ds_write_reply(""); }), "");
}

TEST(Reports, SuccessWithEmptyMessageIsOnlyTheStatus)
{
    EXPECT_EQ(captured([] { rpt_success(""); }), "TPX_STATUS: 0\n");
    EXPECT_EQ(captured([] { rpt_success(nullptr); }), "TPX_STATUS: 0\n");
}

TEST(FileList, NamesEveryEntryButTheDotEntries)
{
    cvtest::TempDir tmp("cvlist");
    tmp.write("d/a", "");
    tmp.write("d/.b", "");
    tmp.mkdirs("d/sub");
    tmp.symlink("nowhere", "d/link");
    char** list = ds_get_file_list(tmp.file("d").c_str());
    ASSERT_NE(list, nullptr);
    std::vector<std::string> names;
    for (char** p = list; *p != nullptr; ++p)
        names.push_back(*p);
    ds_free_file_list(list);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".b", "a", "link", "sub"}));

    tmp.mkdirs("empty");
    list = ds_get_file_list(tmp.file("empty").c_str());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list[0], nullptr);
    ds_free_file_list(list);

    EXPECT_EQ(ds_get_file_list(tmp.file("missing").c_str()), nullptr);
    EXPECT_EQ(ds_get_file_list(tmp.file("d/a").c_str()), nullptr);
    EXPECT_EQ(ds_get_file_list(nullptr), nullptr);
    ds_free_file_list(nullptr);
}

} // namespace

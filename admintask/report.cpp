#include "admtask.h"
#include "admtask_state.h"

#include <cvsetup/tree_walk.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool htmlReply = false;

const char* typeText(int type)
{
    switch (type) {
    case DS_ERR_SYSTEM:
        return "System error";
    case DS_ERR_REQUEST:
        return "Request error";
    case DS_ERR_FILE:
        return "File error";
    case DS_ERR_SERVER:
        return "Server error";
    case DS_ERR_INCOMPLETE:
        return "Removal incomplete";
    case DS_ERR_REGISTRY:
        return "Registration error";
    case DS_ERR_BUSY:
        return "Busy";
    default:
        return "Error";
    }
}

} // namespace

std::string ds_reply_text(const std::string& text)
{
    if (!htmlReply)
        return text;
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string ds_error_reply(int type, const char* detail, const char* message)
{
    std::string line = std::string("TPX_ErrInfo: ") + typeText(type);
    if (detail != nullptr && *detail != '\0')
        line += ": " + ds_reply_text(admtask::oneLine(detail));
    if (message != nullptr && *message != '\0')
        line += ": " + admtask::oneLine(message);
    // A report is a failure whatever the caller passes: never status 0.
    return line + "\nTPX_STATUS: " + std::to_string(type != 0 ? type : DS_ERR_SYSTEM) + "\n";
}

std::string ds_err_text_reply(const char* text, int status)
{
    std::string body = text != nullptr ? text : "";
    bool closed = !body.empty() && body.back() == '\n';
    if (closed)
        body.pop_back();
    return "TPX_ErrInfo: " + admtask::oneLine(body.c_str()) + (closed ? "\n" : "") +
           "\nTPX_STATUS: " + std::to_string(status) + "\n";
}

void ds_write_reply(const std::string& reply)
{
    if (reply.empty())
        return;
    fwrite(reply.data(), 1, reply.size(), stdout);
    fflush(stdout);
}

extern "C" {

void ds_set_html_reply(int on)
{
    htmlReply = on != 0;
}

int ds_html_reply(void)
{
    return htmlReply ? 1 : 0;
}

void ds_report_error(int type, const char* detail, const char* message)
{
    ds_write_reply(ds_error_reply(type, detail, message));
}

void rpt_success(const char* message)
{
    if (message != nullptr && *message != '\0')
        fprintf(stdout, "TPX_SuccessInfo: %s\n", admtask::oneLine(message).c_str());
    fputs("TPX_STATUS: 0\n", stdout);
    fflush(stdout);
}

void rpt_err_text(const char* text, int status)
{
    ds_write_reply(ds_err_text_reply(text, status));
}

void ds_free_file_list(char** list)
{
    cvFreeNameList(list);
}

char** ds_get_file_list(const char* dir)
{
    return cvListDirectory(dir);
}

} // extern "C"

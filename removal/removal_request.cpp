#include "removal_request.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "admtask.h"
#include "removal.h"

namespace {

const char kOpenFailure[] = "This file could not be opened.  A valid file must be given.";

const char kBodyRefused[] =
    "The request body could not be read whole (it is shorter than CONTENT_LENGTH, "
    "CONTENT_LENGTH is not a decimal number, or the body is larger than 1 MiB); nothing was "
    "removed.";

} // namespace

int cvDecodeRequest(std::string& reply)
{
    const char* method = getenv("REQUEST_METHOD");
    ADMUTIL_Init();
    if (method != nullptr && strcmp(method, "GET") == 0) {
        const char* query = getenv("QUERY_STRING");
        if (query != nullptr && *query != '\0')
            ds_get_begin(query);
        return 0;
    }
    if (method != nullptr && strcmp(method, "POST") == 0) {
        // A body that was not taken whole names no instance: falling back to
        // SCRIPT_NAME would remove another instance than the one posted.
        if (ds_post_begin(stdin) != 0) {
            reply += ds_error_reply(DS_ERR_REQUEST, nullptr, kBodyRefused);
            return 1;
        }
        return 0;
    }
    // The query string is deliberately not read on this path. The text is
    // built at its full length, so a method of any size is reported whole.
    std::string text = "ErrorString: REQUEST_METHOD=" +
                       (method != nullptr ? ds_reply_text(method) : std::string("<undefined>")) +
                       ",QUERY_STRING=<undefined>\n";
    // Through the report writer: a method holding a line break must not
    // forge a status line of its own.
    reply += ds_err_text_reply(text.c_str(), 7);
    return 1;
}

bool cvSilentMode(int argc, char** argv)
{
    return argc > 2 && argv[1][0] == '-' && argv[1][1] == 'f';
}

int cvAcceptRemovalRequest(int argc, char** argv, RemovalRequest& req)
{
    req.silent = cvSilentMode(argc, argv);
    if (req.silent) {
        const char* infFile = argv[2];
        FILE* probe = fopen(infFile, "r");
        if (probe == nullptr) {
            req.reply += ds_error_reply(DS_ERR_FILE, infFile, kOpenFailure);
            return 1;
        }
        fclose(probe);
        // Only the environment and the parameters: the registry is touched
        // once the server is known to be down.
        cvSilentPrepare(infFile, req.registration);
    } else {
        req.reply += "Content-type: text/html\n\n";
        ds_set_html_reply(1);
    }

    if (cvDecodeRequest(req.reply) != 0)
        return 1;

    const char* found = ds_get_cgi_var("InstanceName");
    // A copy: the layer's texts may be replaced by its later calls.
    req.name = found != nullptr ? found : ds_get_server_name();
    return 0;
}

#include "removal_request.h"

#include <cstdio>

#include "admtask.h"
#include "removal.h"

namespace {

const char kOpenFailure[] = "This file could not be opened.  A valid file must be given.";

} // namespace

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
            ds_report_error(DS_ERR_FILE, infFile, kOpenFailure);
            return 1;
        }
        fclose(probe);
        // Only the environment and the parameters: the registry is touched
        // once the server is known to be down.
        cvSilentPrepare(infFile, req.registration);
    } else {
        fputs("Content-type: text/html\n\n", stdout);
        ds_set_html_reply(1);
    }

    if (init_ds_env() != 0)
        return 1;

    const char* found = ds_get_cgi_var("InstanceName");
    // A copy: the layer's texts may be replaced by its later calls.
    req.name = found != nullptr ? found : ds_get_server_name();
    return 0;
}

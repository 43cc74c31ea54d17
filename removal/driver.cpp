#include "removal.h"

#include "admtask.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

const char kOpenFailure[] = "This file could not be opened.  A valid file must be given.";

bool silentMode(int argc, char** argv)
{
    return argc > 2 && argv[1][0] == '-' && argv[1][1] == 'f';
}

// The tree is gone when lstat says so; a path we cannot even inspect is not
// known to be gone.
bool treeStillThere(const char* path)
{
    struct stat st;
    return lstat(path, &st) == 0 || errno != ENOENT;
}

} // namespace

int init_ds_env(void)
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
        ds_post_begin(stdin);
        return 0;
    }
    // The query string is deliberately not read on this path. The text is
    // built at its full length, so a method of any size is reported whole.
    std::string text = std::string("ErrorString: REQUEST_METHOD=") +
                       (method != nullptr ? method : "<undefined>") +
                       ",QUERY_STRING=<undefined>\n";
    // Through the report writer: a method holding a line break must not
    // forge a status line of its own.
    rpt_err_text(text.c_str(), 7);
    return 1;
}

int cv_removal_main(int argc, char** argv)
{
    if (silentMode(argc, argv)) {
        const char* infFile = argv[2];
        FILE* probe = fopen(infFile, "r");
        if (probe == nullptr) {
            ds_report_error(DS_ERR_FILE, infFile, kOpenFailure);
            return 1;
        }
        fclose(probe);
        ds_uninst_set_cgi_env(infFile);
    } else {
        fputs("Content-type: text/html\n\n", stdout);
    }

    if (init_ds_env() != 0)
        return 1;

    const char* name = ds_get_cgi_var("InstanceName");
    if (name == nullptr)
        name = ds_get_server_name();

    int stopped = ds_bring_down_server();
    if (stopped != DS_SERVER_STOPPED && stopped != DS_SERVER_NOT_RUNNING)
        return 1;

    if (name != nullptr) {
        const char* root = ds_get_install_root();
        if (root == nullptr) {
            // Without a root there is nothing safe to delete: never hand on a
            // null path or the server root itself.
            ds_report_error(DS_ERR_REQUEST, name,
                            "The directory of this server instance cannot be determined; "
                            "nothing was removed.");
            return 1;
        }
        std::string tree(root);
        _remove_directory(tree.c_str());
        if (treeStillThere(tree.c_str())) {
            std::string message = "Server " + std::string(name) +
                                  " is stopped but its directory could not be removed "
                                  "completely; what was left is listed in the warnings on "
                                  "the standard error stream. Remove the cause and run the "
                                  "removal again.";
            ds_report_error(DS_ERR_INCOMPLETE, tree.c_str(), message.c_str());
            return 1;
        }
    }

    printf("Server %s was successfully removed\n", name != nullptr ? name : "<unknown>");
    rpt_success("");
    return 0;
}

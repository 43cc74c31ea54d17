#include "removal.h"

#include "admtask.h"
#include "removal_lock.h"
#include "removal_request.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

// The tree is gone when lstat says so; a path we cannot even inspect is not
// known to be gone.
bool treeStillThere(const char* path)
{
    struct stat st;
    return lstat(path, &st) == 0 || errno != ENOENT;
}

// The server root is the install root's directory.
std::string serverRootOf(const std::string& installRoot)
{
    size_t slash = installRoot.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : installRoot.substr(0, slash);
}

// The registry failure as the status line names it: the code, and the cause
// of a failure the client library made up (a timeout, a lost connection).
std::string failureText(int code, const UnregisterResult& result)
{
    return "error = " + std::to_string(code) + (result.cause.empty() ? "" : ": " + result.cause);
}

// What a run found already gone, said plainly: "" when nothing was.
std::string alreadyGone(const UnregisterResult& result, bool noDirectory)
{
    std::string parts;
    if (result.notRegistered) {
        parts = "not registered";
        if (result.repaired > 0)
            parts += " (" + std::to_string(result.repaired) + " leftover" +
                     (result.repaired == 1 ? "" : "s") + " of an interrupted removal mended)";
    }
    if (noDirectory)
        parts += std::string(parts.empty() ? "" : ", ") + "no directory";
    return parts.empty() ? parts : "Already gone: " + parts;
}

} // namespace

int init_ds_env(void)
{
    std::string reply;
    int refused = cvDecodeRequest(reply);
    ds_write_reply(reply);
    return refused;
}

int cv_removal_main(int argc, char** argv)
{
    // The request stage is shared with remove-instance-plan, refusals and
    // all.
    RemovalRequest req;
    const int refused = cvAcceptRemovalRequest(argc, argv, req);
    ds_write_reply(req.reply);
    if (refused != 0)
        return 1;
    const bool silent = req.silent;
    const SilentRegistration& registration = req.registration;
    const char* name = req.name.get();

    // Every check that can refuse without side effects (name, install root,
    // pid file) comes first: a refused request leaves no trace, not even the
    // lock file.
    int state = ds_check_server(nullptr, nullptr);
    if (state != DS_SERVER_RUNNING && state != DS_SERVER_NOT_RUNNING)
        return 1;
    // One removal at a time per server root, held until the process ends.
    // (An install root gone since the checks is refused by the stop.)
    RemovalLock lock;
    const char* installRoot = ds_get_install_root();
    if (installRoot != nullptr &&
        cvLockServerRoot(serverRootOf(installRoot), kRemovalLockWaitSeconds, lock) != 0)
        return 1;

    // Under the lock the stop makes the same checks again, on what another
    // removal may have left; a refused or failed stop leaves the registry
    // and the files as they were.
    int stopped = ds_bring_down_server();
    if (stopped != DS_SERVER_STOPPED && stopped != DS_SERVER_NOT_RUNNING)
        return 1;

    UnregisterResult unregistered;
    const int registryCode = silent ? cvSilentUnregister(registration, unregistered) : 0;

    bool noDirectory = false;
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
        noDirectory = !treeStillThere(tree.c_str());
        _remove_directory(tree.c_str());
        if (treeStillThere(tree.c_str())) {
            std::string message = "Server " + ds_reply_text(name) +
                                  " is stopped but its directory could not be removed "
                                  "completely; what was left is listed in the warnings on "
                                  "the standard error stream. Remove the cause and run the "
                                  "removal again.";
            if (registryCode != 0)
                message += " Its registration was not removed from the configuration "
                           "directory " +
                           ds_reply_text(unregistered.url) + " either (" +
                           failureText(registryCode, unregistered) + ").";
            ds_report_error(DS_ERR_INCOMPLETE, tree.c_str(), message.c_str());
            return 1;
        }
    }

    const std::string shown = name != nullptr ? ds_reply_text(name) : "<unknown>";
    if (registryCode != 0) {
        std::string message = "The files of server " + shown +
                              " were removed, but its registration was not removed from the "
                              "configuration directory (" +
                              failureText(registryCode, unregistered) + ").";
        ds_report_error(DS_ERR_REGISTRY, unregistered.url.c_str(), message.c_str());
        return 1;
    }
    printf("Server %s was successfully removed\n", shown.c_str());
    rpt_success(alreadyGone(unregistered, noDirectory).c_str());
    return 0;
}

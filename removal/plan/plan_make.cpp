// Gathers the plan: the removal's request stage and stop checks with their
// replies captured, then the registry decisions and the tree, all read-only.

#include "plan.h"

#include <cstdio>
#include <cstdlib>
#include <ldap.h>

#include <cvsetup/cvldap.h>
#include <cvsetup/setup_ldap_codes.h>

#include "admtask.h"
#include "removal_request.h"

namespace {

// Standard output of the removal's own refusal code, kept for the plan to
// show (verbatim in text, as a value in JSON). glibc's stdout is a plain
// variable that may be set.
class StdoutCapture {
public:
    StdoutCapture()
    {
        fflush(stdout);
        saved_ = stdout;
        stream_ = open_memstream(&buffer_, &length_);
        if (stream_ != nullptr)
            stdout = stream_;
    }
    ~StdoutCapture() { finish(); }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    std::string finish()
    {
        std::string text;
        if (stream_ != nullptr) {
            fflush(stream_);
            stdout = saved_;
            fclose(stream_);
            stream_ = nullptr;
            text.assign(buffer_ != nullptr ? buffer_ : "", length_);
            free(buffer_);
            buffer_ = nullptr;
        }
        return text;
    }

private:
    FILE* saved_ = nullptr;
    FILE* stream_ = nullptr;
    char* buffer_ = nullptr;
    size_t length_ = 0;
};

void planRegistry(const SilentRegistration& reg, RemovalPlan& plan)
{
    DirectoryPlan& dir = plan.directory;
    dir.used = true;
    dir.bindIdentityGiven = reg.bindDN.get() != nullptr;
    dir.bindIdentity = dir.bindIdentityGiven ? reg.bindDN.get() : "";
    ConfigConnection conn = cvConnectConfigDirectory(reg.url, reg.bindDN.get(),
                                                     reg.bindPassword.get());
    dir.url = conn.url;
    dir.code = conn.code;
    if (conn.code != 0) {
        plan.incomplete.push_back(
            "the registration would not be removed: the configuration directory cannot be used "
            "(error = " + std::to_string(conn.code) +
            (conn.code == SETUP_LDAP_CONNECT_FAILED && !conn.reason.empty() ? ": " + conn.reason : "") +
            ")");
        return;
    }
    // The removal's own decisions, repairs included; an instance that is not
    // registered (any more) is no failure, a registry that cannot be read is.
    dir.registry = cvPlanRegistry(*conn.ldap, reg.instance.get(), reg.machine.get(),
                                  reg.serverRoot.get());
    const RegistryPlan& r = dir.registry;
    const char* refusal = conn.ldap->referralRefusal();
    if (r.code == LDAP_REFERRAL && refusal != nullptr)
        plan.incomplete.push_back("the registration would not be removed: " + std::string(refusal) +
                                  " (error = 10)");
    else if (r.code != 0)
        plan.incomplete.push_back("the registration would not be removed: could not " +
                                  r.failure + " (error = " + std::to_string(r.code) +
                                  (r.cause.empty() ? "" : ": " + r.cause) + ")");
}

} // namespace

RemovalPlan cvMakeRemovalPlan(int argc, char** argv)
{
    RemovalPlan plan;
    RemovalRequest req;
    int state = DS_SERVER_REFUSED;
    int reused = 0;
    {
        StdoutCapture capture;
        if (cvAcceptRemovalRequest(argc, argv, req) == 0)
            state = ds_check_server(&plan.server.pid, &reused);
        plan.reply = capture.finish();
    }
    plan.silent = req.silent;
    if (state != DS_SERVER_RUNNING && state != DS_SERVER_NOT_RUNNING) {
        plan.refused = true;
        plan.status = 1;
        return plan;
    }
    plan.server.running = state == DS_SERVER_RUNNING;
    plan.server.reused = reused != 0;
    plan.instance = req.name.get() != nullptr ? req.name.get() : "";
    const char* root = ds_get_install_root();
    plan.installRoot = root != nullptr ? root : "";
    plan.server.pidFile = plan.installRoot + "/logs/pid";

    if (req.silent)
        planRegistry(req.registration, plan);

    plan.tree = cvPlanTree(plan.installRoot);
    if (plan.tree.blockedCount > 0)
        plan.incomplete.push_back(std::to_string(plan.tree.blockedCount) +
                                  (plan.tree.blockedCount == 1 ? " path" : " paths") +
                                  " would stay behind in the tree");
    plan.status = plan.incomplete.empty() ? 0 : 1;
    return plan;
}

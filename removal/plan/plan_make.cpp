// Gathers the plan: the removal's request stage and stop checks with the
// replies they form, then the registry decisions and the tree, all
// read-only.

#include "plan.h"

#include <cvsetup/cvldap.h>
#include <cvsetup/setup_ldap_codes.h>

#include "admtask.h"
#include "removal_request.h"

namespace {

void planRegistry(const SilentRegistration& reg, RemovalPlan& plan)
{
    DirectoryPlan& dir = plan.directory;
    dir.used = true;
    dir.bindIdentityGiven = reg.bindDN.get() != nullptr;
    dir.bindIdentity = dir.bindIdentityGiven ? reg.bindDN.get() : "";
    ConfigConnection conn;
    dir.code = cvConnectConfigDirectory(reg.url, reg.bindDN.get(), reg.bindPassword.get(), conn);
    dir.url = conn.url;
    if (dir.code != 0) {
        plan.incomplete.push_back(
            "the registration would not be removed: the configuration directory cannot be used "
            "(error = " +
            std::to_string(dir.code) +
            (dir.code == SETUP_LDAP_CONNECT_FAILED && !conn.reason.empty() ? ": " + conn.reason
                                                                           : "") +
            ")");
        return;
    }
    // The removal's own decisions, repairs included; an instance that is not
    // registered (any more) is no failure, a registry that cannot be read is.
    dir.registryCode = cvPlanRegistry(*conn.ldap, reg.instance.get(), reg.machine.get(),
                                      reg.serverRoot.get(), dir.registry);
    const RegistryPlan& r = dir.registry;
    const char* refusal = conn.ldap->referralRefusal();
    if (dir.registryCode == LDAP_REFERRAL && refusal != nullptr)
        plan.incomplete.push_back("the registration would not be removed: " + std::string(refusal) +
                                  " (error = 10)");
    else if (dir.registryCode != 0)
        plan.incomplete.push_back("the registration would not be removed: could not " + r.failure +
                                  " (error = " + std::to_string(dir.registryCode) +
                                  (r.cause.empty() ? "" : ": " + r.cause) + ")");
}

} // namespace

RemovalPlan cvMakeRemovalPlan(int argc, char** argv)
{
    RemovalPlan plan;
    RemovalRequest req;
    int state = DS_SERVER_REFUSED;
    int reused = 0;
    // The removal's own answers, formed and not written: the plan shows them.
    if (cvAcceptRemovalRequest(argc, argv, req) == 0) {
        std::string refusal;
        state = ds_check_server_reply(&plan.server.pid, &reused, refusal);
        req.reply += refusal;
    }
    plan.reply = req.reply;
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

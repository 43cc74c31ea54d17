/*
 * remove-instance-plan: what remove-instance would do with the same inputs
 * (the CGI environment, or -f <file.inf>), changing nothing. The request
 * stage, the refusals, the stop checks and the registry decisions are the
 * removal's own functions; the plan only reads and prints.
 */
#ifndef CV_PLAN_H
#define CV_PLAN_H

#include <string>
#include <vector>

#include "plan_tree.h"
#include "registry_plan.h"

struct ServerPlan {
    std::string pidFile;
    long pid = 0;         // from the pid file, 0 when there is none
    bool running = false; // the removal would send it SIGTERM
    bool reused = false;  // the process started after the file was written
};

struct DirectoryPlan {
    bool used = false; // silent mode only: a task-mode removal leaves the registry alone
    std::string url;
    std::string bindIdentity;
    bool bindIdentityGiven = false;
    int code = 0;         // 0: connected and bound
    int registryCode = 0; // 0: the registry could be read (cvPlanRegistry)
    RegistryPlan registry;
};

struct RemovalPlan {
    bool silent = false;
    // The request would be refused: reply is what the removal writes to
    // standard output, and nothing else is planned.
    bool refused = false;
    std::string reply;
    int status = 0; // the removal's exit status

    std::string instance;
    std::string installRoot;
    DirectoryPlan directory;
    ServerPlan server;
    TreePlan tree;
    // Why the removal would end incomplete (exit status 1); empty when it
    // would succeed.
    std::vector<std::string> incomplete;
};

// The whole plan for argv (without "--json"); writes nothing.
RemovalPlan cvMakeRemovalPlan(int argc, char** argv);

// The plan as lines, the last "plan: removal would ..."; html escapes the
// texts that come from outside (CGI mode).
std::string cvPlanText(const RemovalPlan& plan, bool html);
// The same facts as one JSON object.
std::string cvPlanJson(const RemovalPlan& plan);

// The program: "--json" anywhere selects JSON; the rest are the removal's
// arguments. Returns the exit status the removal would have (0 or 1).
int cvPlanMain(int argc, char** argv);

#endif

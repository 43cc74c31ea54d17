// The start of every removal, shared by remove-instance and
// remove-instance-plan: the mode test, the inf file probe, the silent-mode
// environment (no registry work), the CGI reply header and the request
// decoding, with the same refusals and reports.
#ifndef CV_REMOVAL_REQUEST_H
#define CV_REMOVAL_REQUEST_H

#include <string>

#include "silent_env.h"

struct RemovalRequest {
    bool silent = false;
    // What the removal answers on standard output for the request, not yet
    // written: the CGI reply header, and a refusal's report.
    std::string reply;
    // Silent mode: the unregistration's parameters from the inf file.
    SilentRegistration registration;
    // "InstanceName" of the request, else the server named by SCRIPT_NAME.
    OptionalText name;
};

// True for "-f <file>" (any first argument beginning "-f", with a second).
bool cvSilentMode(int argc, char** argv);

// 0 when the request was accepted (req filled); 1 when it is refused, the
// removal's exit status. Writes nothing: req.reply holds the answer either
// way, which remove-instance writes and remove-instance-plan shows.
int cvAcceptRemovalRequest(int argc, char** argv, RemovalRequest& req);

// init_ds_env with its refusal's report added to reply instead of written.
int cvDecodeRequest(std::string& reply);

#endif

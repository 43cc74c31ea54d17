// Silent mode in two steps, so that the driver can unregister only after the
// server has been stopped: cvSilentPrepare sets the task environment from the
// inf file and collects the unregistration's parameters, cvSilentUnregister
// uses them.
#ifndef CV_SILENT_ENV_H
#define CV_SILENT_ENV_H

#include <string>

#include "unregister.h"

// A text that may be missing (null), kept apart from an empty one.
class OptionalText {
public:
    OptionalText() = default;
    OptionalText(const char* text) : set_(text != nullptr), text_(text ? text : "") {}
    const char* get() const { return set_ ? text_.c_str() : nullptr; }

private:
    bool set_ = false;
    std::string text_;
};

// The parameters of removeInstanceLDAPEntries, in its order.
struct SilentRegistration {
    OptionalText host;
    std::string port;
    OptionalText suffix, bindDN, bindPassword, instance, machine, serverRoot;
};

// Sets REQUEST_METHOD, QUERY_STRING, WAYPOST_ROOT and SCRIPT_NAME from the
// inf file and fills reg; touches no directory. A configuration URL that
// names no port gives port 389, the LDAP default.
void cvSilentPrepare(const char* infFile, SilentRegistration& reg);

UnregisterResult cvSilentUnregister(const SilentRegistration& reg);

#endif

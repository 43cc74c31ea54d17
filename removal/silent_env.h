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

// The parameters of removeInstanceLDAPEntries, in its order, and the URL
// the unregistration connects to: that of "ConfigDirectoryLdapURL" with its
// scheme ("ldaps" too) and host list, the keys "LDAPHost", "LDAPPort" and
// "Suffix" winning over its parts (a host or port key leaves one server).
struct SilentRegistration {
    OptionalText host;
    std::string port;
    OptionalText suffix, bindDN, bindPassword, instance, machine, serverRoot;
    std::string url;
};

// Sets REQUEST_METHOD, QUERY_STRING, WAYPOST_ROOT and SCRIPT_NAME from the
// inf file and fills reg; touches no directory. A configuration URL that
// names no port gives its scheme's default (389, or 636 for ldaps).
void cvSilentPrepare(const char* infFile, SilentRegistration& reg);

// cvUnregisterInstance with reg's parameters: 0, or the failure's code.
int cvSilentUnregister(const SilentRegistration& reg, UnregisterResult& result);

#endif

/*
 * The configuration directory as remove-instance and remove-instance-plan
 * open it. The registry decisions they share (cvPlanRegistry) and their
 * writes (cvApplyRegistryPlan) are the setup library's (unregister_plan.h).
 */
#ifndef CV_REGISTRY_PLAN_H
#define CV_REGISTRY_PLAN_H

#include <memory>
#include <string>

#include "unregister_plan.h"

class Ldap;

// The configuration directory opened as the removal opens it.
struct ConfigConnection {
    // "ldap://host:port/suffix", never holding the password.
    std::string url;
    // 0 when connected and bound; SETUP_LDAP_BAD_URL for a port text that is
    // no decimal port (refused whole, never cut); else the connection's code.
    int code = 0;
    // Open and bound when code is 0, else null.
    std::unique_ptr<Ldap> ldap;

    ConfigConnection();
    ~ConfigConnection();
    ConfigConnection(ConfigConnection&&) noexcept;
    ConfigConnection& operator=(ConfigConnection&&) noexcept;
};

ConfigConnection cvConnectConfigDirectory(const char* host, const char* port, const char* suffix,
                                          const char* bindDN, const char* bindPassword);

#endif

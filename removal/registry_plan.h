/*
 * The configuration directory as remove-instance and remove-instance-plan
 * open it. The registry decisions they share (cvPlanRegistry) and their
 * writes (cvApplyRegistryPlan, then cvRemoveProductAndPrune through
 * removeISIEAndPrune) are the setup library's (unregister_plan.h).
 */
#ifndef CV_REGISTRY_PLAN_H
#define CV_REGISTRY_PLAN_H

#include <memory>
#include <string>

#include <cvsetup/unregister_plan.h>

class Ldap;

// The configuration directory opened as the removal opens it.
struct ConfigConnection {
    // The server that answered and the suffix ("ldaps://host:port/suffix")
    // once connected, else the URL as given; never holding the password.
    std::string url;
    // Why the connection failed, server by server; empty when it did not.
    std::string reason;
    // Open and bound once connected, else null.
    std::unique_ptr<Ldap> ldap;

    ConfigConnection();
    ~ConfigConnection();
    ConfigConnection(ConfigConnection&&) noexcept;
    ConfigConnection& operator=(ConfigConnection&&) noexcept;
};

// 0 when connected and bound; else the connection's code
// (SETUP_LDAP_BAD_URL for a URL the strict reading refuses).
int cvConnectConfigDirectory(const std::string& url, const char* bindDN, const char* bindPassword,
                             ConfigConnection& conn);

#endif

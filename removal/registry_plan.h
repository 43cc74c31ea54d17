/*
 * The registry decisions of one removal, made by reading the configuration
 * directory only: which SIE is this instance's, whether its product entry is
 * trimmed (other instances remain) or deleted, and which emptied ancestors
 * the pruning would delete after it. remove-instance carries these decisions
 * out (cvUnregisterInstance); remove-instance-plan prints them. One function
 * makes them for both, so the plan and the removal cannot disagree.
 */
#ifndef CV_REGISTRY_PLAN_H
#define CV_REGISTRY_PLAN_H

#include <memory>
#include <string>
#include <vector>

class Ldap;

// The configuration directory opened as the removal opens it.
struct ConfigConnection {
    // The server that answered and the suffix ("ldaps://host:port/suffix")
    // once connected, else the URL as given; never holding the password.
    std::string url;
    // 0 when connected and bound; else the connection's code
    // (SETUP_LDAP_BAD_URL for a URL the strict reading refuses).
    int code = 0;
    // Why the connection failed, server by server; empty when it did not.
    std::string reason;
    // Open and bound when code is 0, else null.
    std::unique_ptr<Ldap> ldap;

    ConfigConnection();
    ~ConfigConnection();
    ConfigConnection(ConfigConnection&&) noexcept;
    ConfigConnection& operator=(ConfigConnection&&) noexcept;
};

ConfigConnection cvConnectConfigDirectory(const std::string& url, const char* bindDN,
                                          const char* bindPassword);

// Why the pruning walk stops at RegistryPlan::pruneStop.
enum class PruneStop {
    ConfigRoot,  // the next candidate is the configuration root, never deleted
    HasChildren, // it still holds another entry (RegistryPlan::pruneKeeper)
    Unreadable,  // its children could not be read (RegistryPlan::pruneStopCode)
    OutOfTree    // the product entry does not lie below the configuration root
};

struct RegistryPlan {
    // 0 when the SIE and its product entry were found. Otherwise nothing
    // would be deleted: code is the failing search's (153 when nothing, or
    // nothing that is exactly this instance, matches) and failure says what
    // could not be done, in the words of the removal's diagnostic.
    int code = 0;
    std::string failure;
    std::string sieFilter;
    std::string isieFilter;

    std::string sieDN;
    std::string isieDN;

    // True: the product entry goes with its subtree and pruning follows.
    // False: it stays, and only stops listing this SIE as a member.
    bool deleteProduct = false;
    // The other entries below the product entry (other instances), which
    // keep it; empty when deleteProduct.
    std::vector<std::string> siblings;
    // Non-zero when the entries below the product entry could not be read:
    // the product entry is then kept as if another instance remained.
    int siblingsCode = 0;

    // The ancestors of the product entry that would be deleted after it, in
    // order, nearest first; empty unless deleteProduct.
    std::vector<std::string> prune;
    // The first ancestor that stays, and why (unless deleteProduct is false).
    std::string pruneStop;
    PruneStop pruneStopWhy = PruneStop::ConfigRoot;
    std::string pruneKeeper; // an entry that keeps pruneStop (HasChildren)
    int pruneStopCode = 0;   // the search's code (Unreadable)
};

/*
 * Reads the registry below the configuration root and decides. The SIE is
 * the first entry matching serverhostname, cn and serverroot whose "cn"
 * equals instanceName and whose "serverroot" equals serverRoot byte for byte
 * (the directory matches filters without regard to case and blanks, so a
 * filter hit alone may be another instance); the product entry is the
 * cvApplication entry listing that SIE whose cvinstalledlocation is the
 * server root. Writes nothing to the directory and nothing to any stream.
 */
RegistryPlan cvPlanRegistry(Ldap& ldap, const char* instanceName, const char* machineName,
                            const char* serverRoot);

#endif

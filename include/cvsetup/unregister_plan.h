/*
 * The registry side of removing one server instance, decided by reading the
 * configuration directory (cvPlanRegistry) and carried out as an ordered
 * list of writes (cvApplyRegistryPlan), the product entry's own removal and
 * pruning last (cvRemoveProductAndPrune, through the tool's
 * removeISIEAndPrune). remove-instance applies the plan;
 * remove-instance-plan prints it; both use the same functions, so the plan
 * and the removal cannot disagree. C++ only: the plain-function interface of
 * the registration removal is setup_remove.h. Results are 0 or a code of the
 * library (cvResultCode), never negative.
 *
 * Order of the writes, chosen so that a removal killed after any one of them
 * and then run again ends exactly as one uninterrupted removal:
 *   - before anything is deleted, the product entry stops listing the
 *     server entry and the first ancestor that stays stops listing the
 *     topmost entry that goes (so no entry that stays lists one that is
 *     gone, whatever point a run reached);
 *   - the server entry's subtree goes before its product entry, and each
 *     emptied ancestor after the entry below it;
 *   - every write that finds its work done (no such entry, no such value)
 *     counts as done.
 * A run that finds no server entry still finishes what an interrupted run
 * left, found only through the instance's name, host and server root:
 * "uniquemember" values of its product entries naming this instance's
 * server entry, and the product entries, admin groups and host entry of this
 * host and server root that no longer hold anything (a removal deletes them
 * as soon as they are empty, so an empty one is what an interrupted removal
 * left). An admin domain is never deleted: registrations need it, and no
 * operation creates one.
 */
#ifndef CV_UNREGISTER_PLAN_H
#define CV_UNREGISTER_PLAN_H

// A C++ interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include <cstddef>
#include <string>
#include <vector>

#include "setup_common.h"

class Ldap;
class LdapEntry;

SETUP_BEGIN_EXPORTS

// Why a pruning walk stops at its pruneStop.
enum class PruneStop {
    ConfigRoot,  // the next candidate is the configuration root, never deleted
    HasChildren, // it still holds another entry (pruneKeeper)
    Unreadable,  // its children could not be read (pruneStopCode)
    OutOfTree,   // no ancestor is left below the configuration root
    AdminDomain  // it is an admin domain, never deleted
};

// The ancestors an emptied entry takes along, nearest first, and where the
// walk stops.
struct PrunePlan {
    std::vector<std::string> prune;
    // The first ancestor that stays, and why.
    std::string pruneStop;
    PruneStop pruneStopWhy = PruneStop::ConfigRoot;
    std::string pruneKeeper; // an entry that keeps pruneStop (HasChildren)
    int pruneStopCode = 0;   // the search's code (Unreadable)
    // The value of pruneStop's "uniquemember" that names the topmost entry
    // deleted below it, taken out before anything is deleted; empty when
    // pruneStop lists none.
    std::string keeperMember;
};

// What an interrupted removal of this instance left behind.
struct RegistryRepair {
    enum class Kind {
        DanglingMember, // dn lists member, a server entry of this instance that is gone
        EmptiedEntry    // dn holds nothing any more; it goes with its emptied ancestors
    };
    Kind kind = Kind::DanglingMember;
    std::string dn;
    std::string member;
    PrunePlan chain; // EmptiedEntry
};

// One write of the removal, in the order made.
struct RegistryWrite {
    enum class Kind {
        DropMember,    // take member out of dn's "uniquemember"
        DeleteSubtree, // dn with everything below it
        DeleteAndPrune // dn alone, then its emptied ancestors (cvDropAndPrune)
    };
    Kind kind;
    std::string dn;
    std::string member;
    // DeleteAndPrune: the number of ancestors the walk found emptied; a
    // refusal ends the walk earlier.
    size_t ancestors = 0;
};

struct RegistryPlan : PrunePlan {
    // When the registry could not be read (cvPlanRegistry's code is not 0):
    // what could not be done, in the words of the removal's diagnostic, and
    // for a client-side failure (a timeout, 151) the client library's text.
    std::string failure;
    std::string cause;
    std::string sieFilter;
    std::string isieFilter;

    // True when the server entry was found. Otherwise absence says why not
    // (the SIE search, in the words of the diagnostic), and repairs lists
    // what an interrupted removal left.
    bool registered = false;
    std::string absence;
    std::string sieDN;
    std::string isieDN;

    // True: the product entry goes (after its last instance) and pruning
    // follows (the PrunePlan part), after every write in writes. False: it
    // stays, and only stops listing this SIE as a member.
    bool deleteProduct = false;
    // The other entries below the product entry (other instances), which
    // keep it; empty when deleteProduct.
    std::vector<std::string> siblings;
    // Non-zero when the entries below the product entry could not be read:
    // the product entry is then kept as if another instance remained.
    int siblingsCode = 0;
    // True when the product entry lists the SIE: the listing goes first.
    bool productListsSIE = false;

    std::vector<RegistryRepair> repairs;
    // Every write but the product entry's removal and its pruning, in order.
    std::vector<RegistryWrite> writes;
};

/*
 * Reads the registry below the configuration root and decides into plan.
 * The SIE is the first entry matching serverhostname, cn and serverroot
 * whose "cn" equals instanceName and whose "serverroot" equals serverRoot
 * byte for byte (the directory matches filters without regard to case and
 * blanks, so a filter hit alone may be another instance). Its product entry
 * is the cvApplication entry listing it whose cvinstalledlocation is the
 * server root or, when none lists it (an interrupted removal took the
 * listing first), its parent when that is such an entry; isie, when given,
 * is left holding it (the cursor removeISIEAndPrune takes). Returns 0 when
 * the registry could be read: plan is then the whole removal (no writes
 * when nothing is left to do). Otherwise nothing may be written: the code is
 * the failing read's (a client-side failure such as a timeout is
 * SETUP_LDAP_CONNECT_FAILED, 151), plan.failure and plan.cause say what and
 * why. Writes nothing to the directory and nothing to any stream.
 */
int cvPlanRegistry(Ldap& ldap, const char* instanceName, const char* machineName,
                   const char* serverRoot, RegistryPlan& plan, LdapEntry* isie = nullptr);

// A write the directory refused, or that could not be made.
struct RegistryFailure {
    std::string what;  // "remove SIE entry <dn>", ...
    std::string cause; // the client library's text for a client-side failure
};

/*
 * Makes plan.writes in order and stops at the first one refused, so that no
 * later write breaks the order above; a refused deletion of an emptied
 * ancestor only ends its walk. Returns 0 when every write was made or found
 * done (the product entry's removal, when planned, follows:
 * cvRemoveProductAndPrune); otherwise the refusal's code, failure saying
 * which write.
 */
int cvApplyRegistryPlan(Ldap& ldap, const RegistryPlan& plan, RegistryFailure& failure);

/*
 * The removal tool's pruning walk (its removeISIEAndPrune): deletes the
 * product entry that isie holds, then each ancestor left without children,
 * stopping at the first that still holds entries, at an admin domain (which
 * registrations need and no operation creates) and before the configuration
 * root. With plan, the registry plan of one instance whose writes were made
 * (the keeper's listing of the topmost entry that goes among them): the
 * entry alone, which the directory refuses should an instance have been
 * registered below it since, and the ancestors the plan found. Without: the
 * walk is planned now, the keeper's listing goes first, and the entry goes
 * with everything below it. 0, or the code of the write refused (failure
 * says which).
 */
int cvRemoveProductAndPrune(LdapEntry& isie, const RegistryPlan* plan, RegistryFailure& failure);

// For code, a result of a request on ldap just made: when it is
// SETUP_LDAP_CONNECT_FAILED because the client library made the failure up
// (a timeout, a lost connection), the client library's text for it
// ("Timed out"); else "".
std::string cvResultCause(Ldap& ldap, int code);

SETUP_END_EXPORTS

#endif // __cplusplus

#endif

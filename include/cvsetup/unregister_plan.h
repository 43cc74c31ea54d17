/*
 * The registry side of removing one server instance, decided by reading the
 * configuration directory (cvPlanRegistry) and carried out as an ordered
 * list of writes (cvApplyRegistryPlan). remove-instance applies the plan;
 * remove-instance-plan prints it; both use these two functions, so the plan
 * and the removal cannot disagree. C++ only: the plain-function interface of
 * the registration removal is setup_remove.h.
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
        DeleteEntry,   // dn alone
        PruneEntry     // dn alone when it still holds nothing; a refusal ends that walk
    };
    Kind kind;
    std::string dn;
    std::string member;
};

struct RegistryPlan : PrunePlan {
    // 0 when the registry could be read: writes is then the whole removal
    // (empty when nothing is left to do). Otherwise nothing is written: code
    // is the failing read's (a client-side failure such as a timeout is
    // SETUP_LDAP_CONNECT_FAILED, 151, with cause naming it) and failure says
    // what could not be done, in the words of the removal's diagnostic.
    int code = 0;
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
    // follows (the PrunePlan part). False: it stays, and only stops listing
    // this SIE as a member.
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
    std::vector<RegistryWrite> writes;
};

/*
 * Reads the registry below the configuration root and decides. The SIE is
 * the first entry matching serverhostname, cn and serverroot whose "cn"
 * equals instanceName and whose "serverroot" equals serverRoot byte for byte
 * (the directory matches filters without regard to case and blanks, so a
 * filter hit alone may be another instance). Its product entry is the
 * cvApplication entry listing it whose cvinstalledlocation is the server
 * root or, when none lists it (an interrupted removal took the listing
 * first), its parent when that is such an entry. Writes nothing to the
 * directory and nothing to any stream.
 */
RegistryPlan cvPlanRegistry(Ldap& ldap, const char* instanceName, const char* machineName,
                            const char* serverRoot);

// A write the directory refused, or that could not be made.
struct RegistryFailure {
    int code = 0;      // never negative: client-side failures are 151
    std::string what;  // "remove SIE entry <dn>", ...
    std::string cause; // the client library's text for a client-side failure
};

/*
 * Makes plan.writes in order and stops at the first one refused, so that no
 * later write breaks the order above; a refused PruneEntry only ends its
 * walk (the instance's own entries are gone by then). Returns the refusal,
 * code 0 when every write was made or found done.
 */
RegistryFailure cvApplyRegistryPlan(Ldap& ldap, const RegistryPlan& plan);

// code, with every failure the client library made up itself (timeout,
// lost connection, ... : negative codes and 81 to 95) as
// SETUP_LDAP_CONNECT_FAILED (151), exhausted memory as 90; a server's answers
// pass unchanged.
int cvRegistryCode(int code);
// The client library's text for such a failure ("Timed out"), else "".
std::string cvRegistryCause(int code);

/*
 * Deletes dn with its whole subtree, then each ancestor left without
 * children, up to the first that still has some (or cannot be deleted) and
 * never the configuration root itself: the pruning walk of setupRemoveISIE,
 * which passes waitUntilGone true (it then waits, for at most 25 seconds,
 * until the subtree's deletion shows before the ancestors are tested, for
 * replicated directories that apply it late). At most maxAncestors
 * ancestors are deleted: the removal tool passes the number its plan found.
 * Returns the subtree deletion's code (cvRegistryCode and cvRegistryCause
 * describe it), SETUP_LDAP_BAD_ARGUMENT (144) when dn does not parse;
 * nothing is pruned after a failure. Writes to no stream.
 */
int cvDropAndPrune(Ldap* ldap, const std::string& dn, bool waitUntilGone,
                   size_t maxAncestors = static_cast<size_t>(-1));

SETUP_END_EXPORTS

#endif // __cplusplus

#endif

/*
 * Several requests in flight on one connection. A registration's reads
 * that do not depend on each other, and the writes whose answers nothing
 * waits for, share one round trip instead of taking one each. Internal; not
 * part of the installed interface.
 */
#ifndef CV_LDAP_PIPELINE_H
#define CV_LDAP_PIPELINE_H

#include <ldap.h>

#include <functional>
#include <string>
#include <vector>

#include "c_boundary.h"

class Ldap;
class LdapEntry;

class LdapPipeline {
public:
    using Ticket = size_t;

    explicit LdapPipeline(Ldap* ldap);
    // Waits for whatever is still in flight: the entries it fills must not
    // be written to after their owner is gone.
    ~LdapPipeline();
    LdapPipeline(const LdapPipeline&) = delete;
    LdapPipeline& operator=(const LdapPipeline&) = delete;

    // Base read of dn into entry (answered as LdapEntry::retrieve: 0,
    // SETUP_LDAP_NO_ENTRIES, or the failure's code).
    Ticket read(LdapEntry& entry, const std::string& dn);
    // Search loading the first match into entry, answered as read.
    Ticket search(LdapEntry& entry, const std::string& filter, int scope, const std::string& base);
    // entry added at dn, answered as LdapEntry::insert.
    Ticket insert(LdapEntry& entry, const std::string& dn);
    // entry written over dn, whose stored state stored holds, answered as
    // LdapEntry::replace after its read.
    Ticket replace(LdapEntry& entry, const LdapEntry& stored, const std::string& dn);
    // value added to the values of type at dn; the LDAP code.
    Ticket addValue(const std::string& dn, const char* type, const std::string& value);

    // Waits until every request sent so far is answered.
    void wait();
    // A request's answer, 0 or a code of the library (a failure the client
    // library made up is 151, cvResultCode); valid once wait() returned.
    int code(Ticket t) const { return cvResultCode(requests_[t].code); }

private:
    // The request sent again, synchronously, to where a referral points
    // (target, the referral's DN or null); a read leaves its answer in the
    // last argument.
    using Redo = std::function<int(LDAP*, const char*, LDAPMessage**)>;
    struct Request {
        int msgid;
        LdapEntry* entry; // filled by a read, named by a write; may be null
        std::string dn;
        bool read;
        bool pending;
        int code;
        Redo redo;
    };
    Ticket sent(int code, int msgid, LdapEntry* entry, const std::string& dn, bool read, Redo redo);
    void answer(Request& r, int code, LDAPMessage* message);

    LDAP* ld_;
    std::vector<Request> requests_;
};

#endif

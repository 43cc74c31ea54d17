/*
 * The LDAP calls of the directory classes, over OpenLDAP's libldap.
 *
 * The classes are written against the classic synchronous LDAP C API (the
 * one with prldap_init, ldap_simple_bind_s, ldap_search_s, ldap_get_values,
 * ldap_explode_dn, ldap_modrdn2_s ...). libldap no longer declares those
 * calls, and differs in a few behaviours; every difference is absorbed here,
 * so that cvldap.cpp and ldapentry*.cpp read like that API. Calls that keep
 * the classic behaviour keep the classic name (libldap declares none of them
 * without LDAP_DEPRECATED, so an unqualified call cannot compile). Calls
 * whose behaviour differs from libldap's function of that name carry a name
 * of our own (cv_url_parse, cv_is_ldap_url,
 * cv_get_values, cv_explode_dn, cv_value_free), so a missing qualifier can
 * never reach libldap's version silently:
 *
 *  - prldap_init(host, port, shared): libldap has no such initialiser. The
 *    host text may be a blank-separated list of hosts, each with an optional
 *    ":port" (the form the multi-host user-directory URL carries); it becomes
 *    the blank-separated URL list that ldap_initialize accepts. "shared" is
 *    accepted and ignored: libldap handles are thread-safe already.
 *    ldap_initialize does not connect, so an unreachable server shows first
 *    at the bind (as -1, server down, or -11, connect error).
 *  - Every handle we make (prldap_init, open_first) gets a network timeout
 *    (kNetworkTimeoutSeconds, for the connect) and an operation timeout
 *    (kOperationTimeoutSeconds, for each synchronous call), so a server that
 *    accepts and never answers ends the call with -5 (timeout) instead of
 *    holding it forever; and libldap's own referral chasing is switched off
 *    (see "Referrals" below).
 *  - Connections of Ldap: open_first connects to the servers of a parsed URL
 *    list in order and keeps the first that answers, so the caller knows
 *    which one it is. "ldaps" servers speak TLS from the first byte;
 *    require_starttls() (set by setupRequireStartTLS) makes every "ldap"
 *    connection start TLS before anything else is sent, and one that cannot
 *    is no connection. Certificates are checked as libldap's client
 *    configuration says (ldap.conf, LDAPTLS_*; "demand" by default): nothing
 *    here changes that configuration. A connection that fails gives the
 *    reason (libldap's text and diagnostic message, per server).
 *  - Negative result codes: libldap reports client-side failures as -1 to
 *    -17. They are returned unchanged; ldapErrorMapCode folds them into 151
 *    like the classic 80 to 95. A referral that is not followed comes back
 *    as 10 (folded like 9).
 *  - URL parsing: libldap's parser puts 389 where the text names no port or
 *    port 0, refuses "ldap://h:/", refuses blanks in the host part and
 *    accepts hosts that are no host names ("ldap://h?cn"). cv_url_parse
 *    reads the text strictly (ldap_urllist.h), reads the port from the URL
 *    text (0 when none, empty or zero) and accepts a host list
 *    "ldap://h1:389 h2:389/base" or a list of whole URLs: lud_host then
 *    holds the list "h1:389 h2:389" and lud_port the first host's port. The
 *    result is released with ::ldap_free_urldesc as usual.
 *  - Referrals: the classic API registered a rebind procedure and let the
 *    library follow every referral with the connection's DN and password,
 *    wherever the referral pointed. libldap would do the same, so its
 *    chasing stays off and we follow a referral ourselves, only to a server
 *    that the connection's configured URL lists, with the same protection
 *    (an "ldaps" connection follows only "ldaps" referrals; with StartTLS
 *    required the referral connection starts TLS too). The synchronous
 *    calls below do it themselves; code that keeps requests in flight
 *    passes a 10 answer to follow_referral with a way to send the request
 *    again. A referral to any other server is not followed: the answer
 *    stays 10 and the connection's referral_refusal() names where it
 *    pointed. Search continuations (references inside a search result) are
 *    never followed; libldap's entry walk skips them. ldap_set_rebind_proc
 *    is no longer used.
 *  - Deprecated calls are mapped to their current forms, with the same
 *    results: simple binds to ldap_sasl_bind_s(LDAP_SASL_SIMPLE); searches
 *    to ldap_search_ext_s with no controls, no time limit and a size limit of
 *    0, a null base becoming ""; writes to the _ext_s forms; ldap_modrdn2_s
 *    to ldap_rename_s; ldap_unbind to ldap_unbind_ext_s; cv_get_values to
 *    ldap_get_values_len; cv_explode_dn to ldap_str2dn + ldap_rdn2str.
 *  - Integer options are passed by pointer.
 *  - Naming values: slapd refuses an added entry whose RDN values are not
 *    among its attributes (64, naming violation), where other servers add
 *    them. LdapEntry::insert, like replace, puts the values of the DN's
 *    first RDN (rdn_values) into the store before writing.
 */
#ifndef CV_LDAP_ADAPTER_H
#define CV_LDAP_ADAPTER_H

#include <ldap.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ldap_urllist.h"

class Ldap;

namespace ldapapi {

const int kNetworkTimeoutSeconds = 10;
const int kOperationTimeoutSeconds = 30;

LDAP* prldap_init(const char* host, int port, int shared);

// The timeouts, protocol version 3 and referral chasing off, on a handle we
// made; false when an option cannot be set.
bool configure_handle(LDAP* ld);

// Whether every "ldap" connection made from now on must start TLS first
// (process-wide; off unless set).
void set_require_starttls(bool required);
bool require_starttls();

// A handle connected to the first of servers that answers (TLS done when
// its scheme is "ldaps", StartTLS when startTls and its scheme is "ldap"),
// with *answered its index. Null when none answers; *reason then says why,
// server by server. When TLS fails without a usable text from libldap, a
// second handshake that accepts any certificate (and sends nothing else)
// tells whether the certificate was the obstacle.
LDAP* open_first(const std::vector<UrlServer>& servers, bool startTls, size_t* answered,
                 std::string* reason);

// 1 when text has an LDAP URL scheme.
int cv_is_ldap_url(const char* url);
// 0 and *desc set on success; a libldap URL error code otherwise.
int cv_url_parse(const char* url, LDAPURLDesc** desc);
// The port written in the URL text: 0 when none, empty or zero, -1 when the
// text is not an URL or its port is not a number.
int url_text_port(const char* url);

int ldap_set_protocol_version(LDAP* ld, int version);
int ldap_simple_bind_s(LDAP* ld, const char* dn, const char* password);
int ldap_search_s(LDAP* ld, const char* base, int scope, const char* filter, char** attrs,
                  int attrsonly, LDAPMessage** result);
int ldap_add_s(LDAP* ld, const char* dn, LDAPMod** mods);
int ldap_modify_s(LDAP* ld, const char* dn, LDAPMod** mods);
int ldap_delete_s(LDAP* ld, const char* dn);
int ldap_modrdn2_s(LDAP* ld, const char* dn, const char* newRDN, int deleteOldRDN);
int ldap_unbind(LDAP* ld);

// Null-terminated array of NUL-terminated copies of the values of attr in
// entry; null when there are none. Released with cv_value_free.
char** cv_get_values(LDAP* ld, LDAPMessage* entry, const char* attr);
// The components of dn, with their attribute types unless notypes; null
// when dn does not parse. Released with cv_value_free.
char** cv_explode_dn(const char* dn, int notypes);
void cv_value_free(char** values);

// The type/value pairs of dn's first RDN ("cn=a+uid=b" gives two), values
// unescaped; binary (#hex) values are left out. Empty when dn does not
// parse.
std::vector<std::pair<std::string, std::string>> rdn_values(const char* dn);

// Owners of what libldap hands out, for code that may throw (an allocation
// failure) while holding it.
struct MessageFree {
    void operator()(LDAPMessage* m) const noexcept { ldap_msgfree(m); }
};
using MessagePtr = std::unique_ptr<LDAPMessage, MessageFree>;
struct MemFree {
    void operator()(char* p) const noexcept { ldap_memfree(p); }
};
using TextPtr = std::unique_ptr<char, MemFree>;
struct ValuesFree {
    void operator()(char** v) const noexcept { cv_value_free(v); }
};
using ValuesPtr = std::unique_ptr<char*, ValuesFree>;
struct UrlFree {
    void operator()(LDAPURLDesc* d) const noexcept { ldap_free_urldesc(d); }
};
using UrlPtr = std::unique_ptr<LDAPURLDesc, UrlFree>;
struct HandleFree {
    void operator()(LDAP* ld) const noexcept { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
using HandlePtr = std::unique_ptr<LDAP, HandleFree>;

// Where the requests of one Ldap connection may be referred: the servers of
// its configured URL, over the protection it was opened with, bound as the
// Ldap's rebind DN. Connections to those servers are opened on the first
// referral and kept until the scope dies. Handles attached to a scope have
// their 10 answers followed by the calls of this adapter.
class ReferralScope {
public:
    ReferralScope(const Ldap* owner, std::vector<UrlServer> allowed, bool startTls);
    ~ReferralScope();
    ReferralScope(const ReferralScope&) = delete;
    ReferralScope& operator=(const ReferralScope&) = delete;

    void attach(LDAP* ld);
    void detach(LDAP* ld);
    // The handle to send a request again on for the referral URLs refs,
    // with *dn the DN a referral names (empty when it names none). Null
    // when refs name no server this scope may follow; refusal() then says
    // where they pointed.
    LDAP* target(char** refs, std::string* dn);
    const std::string& refusal() const { return refusal_; }

private:
    bool allowed(const LDAPURLDesc& ref) const;

    const Ldap* owner_;
    std::vector<UrlServer> allowed_;
    bool tls_;
    bool startTls_;
    std::map<std::string, HandlePtr> open_;
    std::string refusal_;
};

// What the scope attached to ld says about the last referral it did not
// follow ("" when none).
std::string referral_refusal(LDAP* ld);

// An answer of 10 from ld with the referral URLs refs (null: those of ld's
// last synchronous answer): the code of redo(target, dn) on the server the
// referral names, when ld's scope may follow it (dn is the referral's DN,
// null when it names none); otherwise 10. Referrals are followed at most
// kMaxReferralHops deep.
const int kMaxReferralHops = 5;
int follow_referral(LDAP* ld, char** refs, const std::function<int(LDAP*, const char*)>& redo);

} // namespace ldapapi

#endif

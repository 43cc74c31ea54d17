// The LDIF loader: setupUpdateLdifEntries, setupReplaceLdifEntries and
// setupInsertPluginLdifEntries.
//
// Every record is first sent as an add; only an entry that already exists
// (68) is then read and merged or overwritten. Adds are kept in flight a
// few at a time, but a record waits while a write on its own DN, on an
// ancestor or on a descendant is in flight: those are the writes whose order
// a directory's answers depend on (a child listed before its parent fails,
// as it does when the records are written one by one in file order).
//
// A server that stops answering (a request times out, the connection is
// lost) ends the load at once: the requests in flight are abandoned, and
// they and every record after them are logged as not written.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <strings.h>
#include <unordered_set>
#include <vector>

#include "c_boundary.h"
#include "cvldap.h"
#include "ldap_adapter.h"
#include "ldap_bermods.h"
#include "ldapentry_internal.h"
#include "ldif_dn.h"
#include "ldifentry.h"
#include "setup_compat.h"
#include "setup_ldap.h"
#include "setup_ldif.h"
#include "setup_util.h"

namespace {

// Requests in flight on the connection at once.
const size_t kWindow = 16;

struct MessageFree {
    void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};
using Message = std::unique_ptr<LDAPMessage, MessageFree>;

struct BervalsFree {
    void operator()(berval** v) const { ldap_value_free_len(v); }
};
using Bervals = std::unique_ptr<berval*, BervalsFree>;

bool hasValue(const std::vector<std::string>& values, const char* data, size_t size)
{
    for (const std::string& v : values)
        if (v.size() == size && memcmp(v.data(), data, size) == 0)
            return true;
    return false;
}

// libldap's own failures (timeout, lost connection, no memory ...) are
// negative; after one, no answer of the server can be trusted to come.
bool serverGone(int code)
{
    return code < 0;
}

} // namespace

class LdifLoader {
public:
    enum Mode { Update, Replace };

    LdifLoader(Ldap* ldap, Mode mode, const char* suffix, const char* classSuffix)
        : ld_(LdapEntryAccess::handle(ldap)), mode_(mode), suffix_(suffix && *suffix ? suffix : ""),
          dns_(suffix_), classSuffix_(classSuffix ? classSuffix : ""),
          hasClassSuffix_(classSuffix != nullptr)
    {
    }
    ~LdifLoader()
    {
        // Only when a failure cut the load short: no stray answers may reach
        // the connection's next user.
        for (const auto& f : inFlight_)
            ldap_abandon_ext(ld_, f.first, nullptr, nullptr);
    }
    LdifLoader(const LdifLoader&) = delete;
    LdifLoader& operator=(const LdifLoader&) = delete;

    int load(LdifEntry& reader);

private:
    struct Record {
        long index = 0;
        std::string dn;
        std::vector<std::string> key;
        std::vector<LdifAttribute> attributes;
    };
    struct Failure {
        long index;
        std::string dn;
        int code;
        std::string why;
    };

    bool prepare(const LdifEntry& in, long index, Record* out, std::string* why) const;
    bool blocked(const Record& r) const;
    // The add of r's attributes.
    static void addMods(const Record& r, BerMods& mods);
    void send(Record& r);
    void harvest();
    void stop(int code);
    int writeExisting(const Record& r);
    int update(const Record& r);
    int replace(const Record& r);
    void fail(const Record& r, int code, const std::string& why = std::string())
    {
        failures_.push_back(Failure{r.index, r.dn, code, why});
    }
    void report(long records);

    LDAP* ld_;
    Mode mode_;
    std::string suffix_;
    LdifDnMaker dns_;
    std::string classSuffix_;
    bool hasClassSuffix_;
    std::map<int, Record> inFlight_;
    std::vector<Failure> failures_;
    // Set when the server stopped answering: libldap's code for it.
    int stopped_ = 0;
};

bool LdifLoader::prepare(const LdifEntry& in, long index, Record* out, std::string* why) const
{
    out->index = index;
    const LdifAttribute* dn = in.attribute("dn");
    // What the log names a refused record by.
    out->dn = dn ? dn->values[0] : !in.refused().empty() || suffix_.empty() ? "(unknown)" : suffix_;
    for (size_t at; (at = out->dn.find('\0')) != std::string::npos;)
        out->dn.replace(at, 1, "\\00");
    if (!in.refused().empty()) {
        *why = in.refused();
        return false;
    }
    if (!dns_.make(dn ? &dn->values[0] : nullptr, &out->dn, &out->key, why))
        return false;
    out->attributes.clear();
    for (const LdifAttribute& a : in.attributes()) {
        if (strcasecmp(a.name.c_str(), "dn") == 0)
            continue;
        out->attributes.push_back(a);
        if (hasClassSuffix_ && strcasecmp(a.name.c_str(), "cvClassname") == 0)
            for (std::string& v : out->attributes.back().values)
                v += "@" + classSuffix_;
    }
    return true;
}

void LdifLoader::addMods(const Record& r, BerMods& mods)
{
    for (const LdifAttribute& a : r.attributes) {
        std::vector<const std::string*> values;
        for (const std::string& v : a.values)
            values.push_back(&v);
        mods.add(LDAP_MOD_ADD, a.name, values);
    }
}

bool LdifLoader::blocked(const Record& r) const
{
    for (const auto& f : inFlight_)
        if (ldifDependent(f.second.key, r.key))
            return true;
    return false;
}

void LdifLoader::send(Record& r)
{
    if (r.attributes.empty()) {
        fail(r, SETUP_LDAP_INCOMPLETE_ENTRY, "no attribute values");
        return;
    }
    BerMods mods;
    addMods(r, mods);
    int msgid = 0;
    int code = ldap_add_ext(ld_, r.dn.c_str(), mods.get(), nullptr, nullptr, &msgid);
    if (code != LDAP_SUCCESS) {
        fail(r, code);
        if (serverGone(code))
            stop(code);
        return;
    }
    inFlight_.emplace(msgid, std::move(r));
}

// Waits for the answer to one request in flight (at most the connection's
// operation timeout).
void LdifLoader::harvest()
{
    LDAPMessage* raw = nullptr;
    int type = ldap_result(ld_, LDAP_RES_ANY, LDAP_MSG_ALL, nullptr, &raw);
    Message answer(raw);
    if (type <= 0 || !raw) {
        int code = LDAP_TIMEOUT;
        if (type < 0) {
            ldap_get_option(ld_, LDAP_OPT_RESULT_CODE, &code);
            if (!serverGone(code))
                code = LDAP_SERVER_DOWN;
        }
        stop(code);
        return;
    }
    auto it = inFlight_.find(ldap_msgid(raw));
    if (it == inFlight_.end())
        return;
    int code = LDAP_OTHER;
    char** refs = nullptr;
    if (ldap_parse_result(ld_, answer.release(), &code, nullptr, nullptr, &refs, nullptr, 1) !=
        LDAP_SUCCESS)
        code = LDAP_DECODING_ERROR;
    if (code == LDAP_REFERRAL) {
        // A read-only replica refers the add to its provider.
        code = ldapapi::follow_referral(ld_, refs, [&](LDAP* target, const char* dn) {
            BerMods mods;
            addMods(it->second, mods);
            return ldapapi::ldap_add_s(target, dn ? dn : it->second.dn.c_str(), mods.get());
        });
    }
    ber_memvfree(reinterpret_cast<void**>(refs));
    if (code == LDAP_ALREADY_EXISTS)
        code = writeExisting(it->second);
    if (code != LDAP_SUCCESS)
        fail(it->second, code);
    inFlight_.erase(it);
    if (serverGone(code))
        stop(code);
}

// The server stopped answering: what is in flight is abandoned, its outcome
// unknown, and nothing more is sent.
void LdifLoader::stop(int code)
{
    if (!stopped_)
        stopped_ = code;
    for (auto& f : inFlight_) {
        ldap_abandon_ext(ld_, f.first, nullptr, nullptr);
        fail(f.second, code, "not confirmed, the server stopped answering");
    }
    inFlight_.clear();
}

int LdifLoader::writeExisting(const Record& r)
{
    return mode_ == Update ? update(r) : replace(r);
}

// Merge: to each attribute, the record's values that the entry does not
// hold byte for byte are added (an attribute the entry lacks is created).
// A value the server holds in another spelling that its matching rule takes
// as equal ("organizationalunit" beside "organizationalUnit") would make it
// refuse the whole modify (20); the permissive-modify control asks it to
// skip such a value instead. A server that does not know the control
// ignores it (it is not critical).
int LdifLoader::update(const Record& r)
{
    std::vector<char*> names;
    for (const LdifAttribute& a : r.attributes)
        names.push_back(const_cast<char*>(a.name.c_str()));
    names.push_back(nullptr);
    LDAPMessage* raw = nullptr;
    int code = ldapapi::ldap_search_s(ld_, r.dn.c_str(), LDAP_SCOPE_BASE, "(objectclass=*)",
                                      names.data(), 0, &raw);
    Message result(raw);
    LDAPMessage* entry = code == LDAP_SUCCESS ? ldap_first_entry(ld_, raw) : nullptr;
    if (!entry)
        return code != LDAP_SUCCESS ? code : LDAP_NO_SUCH_OBJECT;
    BerMods mods;
    for (const LdifAttribute& a : r.attributes) {
        Bervals stored(ldap_get_values_len(ld_, entry, a.name.c_str()));
        std::unordered_set<std::string_view> held;
        for (berval** s = stored.get(); s && *s; ++s)
            held.emplace((*s)->bv_val, (*s)->bv_len);
        std::vector<const std::string*> values;
        for (const std::string& v : a.values)
            if (!held.count(v))
                values.push_back(&v);
        if (!values.empty())
            mods.add(LDAP_MOD_ADD, a.name, values);
    }
    if (mods.empty())
        return LDAP_SUCCESS;
    LDAPControl permissive = {const_cast<char*>(LDAP_CONTROL_X_PERMISSIVE_MODIFY), {0, nullptr}, 0};
    LDAPControl* controls[] = {&permissive, nullptr};
    return ldap_modify_ext_s(ld_, r.dn.c_str(), mods.get(), controls, nullptr);
}

// Overwrite: the entry ends up with the record's attributes and values, and
// its naming values; every other attribute it held is deleted.
int LdifLoader::replace(const Record& r)
{
    std::vector<LdifAttribute> wanted = r.attributes;
    for (const auto& ava : ldapapi::rdn_values(r.dn.c_str())) {
        auto a = std::find_if(wanted.begin(), wanted.end(), [&](const LdifAttribute& w) {
            return strcasecmp(w.name.c_str(), ava.first.c_str()) == 0;
        });
        if (a == wanted.end())
            wanted.push_back(LdifAttribute{ava.first, {ava.second}});
        else if (!hasValue(a->values, ava.second.data(), ava.second.size()))
            a->values.push_back(ava.second);
    }
    LDAPMessage* raw = nullptr;
    int code = ldapapi::ldap_search_s(ld_, r.dn.c_str(), LDAP_SCOPE_BASE, "(objectclass=*)",
                                      const_cast<char**>(cvRequestedAttributes), 1, &raw);
    Message result(raw);
    LDAPMessage* entry = code == LDAP_SUCCESS ? ldap_first_entry(ld_, raw) : nullptr;
    if (!entry)
        return code != LDAP_SUCCESS ? code : LDAP_NO_SUCH_OBJECT;
    std::vector<std::string> storedNames;
    BerElement* ber = nullptr;
    for (char* name = ldap_first_attribute(ld_, entry, &ber); name;
         name = ldap_next_attribute(ld_, entry, ber)) {
        std::string copy;
        try {
            copy = name;
        } catch (...) {
            ldap_memfree(name);
            if (ber)
                ber_free(ber, 0);
            throw;
        }
        ldap_memfree(name);
        storedNames.push_back(copy);
    }
    if (ber)
        ber_free(ber, 0);
    BerMods mods;
    for (const LdifAttribute& a : wanted) {
        bool stored =
            std::any_of(storedNames.begin(), storedNames.end(), [&](const std::string& n) {
                return strcasecmp(n.c_str(), a.name.c_str()) == 0;
            });
        std::vector<const std::string*> values;
        for (const std::string& v : a.values)
            values.push_back(&v);
        mods.add(stored ? LDAP_MOD_REPLACE : LDAP_MOD_ADD, a.name, values);
    }
    for (const std::string& n : storedNames) {
        bool kept = std::any_of(wanted.begin(), wanted.end(), [&](const LdifAttribute& w) {
            return strcasecmp(w.name.c_str(), n.c_str()) == 0;
        });
        if (!kept)
            mods.add(LDAP_MOD_DELETE, n, {});
    }
    return ldapapi::ldap_modify_s(ld_, r.dn.c_str(), mods.get());
}

int LdifLoader::load(LdifEntry& reader)
{
    if (!ld_)
        return SETUP_LDAP_CONNECT_FAILED;
    long index = 0;
    while (reader.nextEntry() == 0) {
        Record r;
        std::string why;
        if (!prepare(reader, index++, &r, &why)) {
            fail(r, SETUP_LDAP_BAD_ARGUMENT,
                 why + " (record at line " + std::to_string(reader.line()) + ")");
            continue;
        }
        while (!stopped_ && !inFlight_.empty() && (inFlight_.size() >= kWindow || blocked(r)))
            harvest();
        if (stopped_)
            fail(r, stopped_, "not written, the server stopped answering");
        else
            send(r);
    }
    while (!stopped_ && !inFlight_.empty())
        harvest();
    report(index);
    // A load the server cut short is a lost connection (or no memory),
    // whatever an earlier record met: most of the file may be missing.
    if (stopped_)
        return cvResultCode(stopped_);
    // report() put the failures in file order.
    return failures_.empty() ? 0 : cvResultCode(failures_.front().code);
}

void LdifLoader::report(long records)
{
    std::stable_sort(failures_.begin(), failures_.end(),
                     [](const Failure& a, const Failure& b) { return a.index < b.index; });
    for (const Failure& f : failures_)
        setupLogMessage(SETUP_LOG_FATAL, "ldif", "updating dn: %s: error %d (%s)", f.dn.c_str(),
                        f.code, f.why.empty() ? setupErrorString(f.code) : f.why.c_str());
    if (stopped_)
        setupLogMessage(SETUP_LOG_FATAL, "ldif",
                        "the server stopped answering (error %d: %s): load abandoned", stopped_,
                        setupErrorString(stopped_));
    if (!failures_.empty())
        setupLogMessage(SETUP_LOG_FATAL, "ldif", "%zu of %ld records not written", failures_.size(),
                        records);
}

namespace {

int loadFile(Ldap* ldap, const char* suffix, const char* file, const char* classSuffix,
             LdifLoader::Mode mode)
{
    if (!ldap || !file)
        return SETUP_LDAP_BAD_ARGUMENT;
    LdifEntry reader(file);
    if (!reader.isOpen()) {
        int error = reader.openError();
        setupLogMessage(SETUP_LOG_FATAL, "ldif", "cannot read %s: %s", file,
                        error == EINVAL ? "not a regular file" : strerror(error));
        return SETUP_LDAP_BAD_ARGUMENT;
    }
    LdifLoader loader(ldap, mode, suffix, classSuffix);
    return loader.load(reader);
}

} // namespace

extern "C" {

int setupUpdateLdifEntries(Ldap* ldap, const char* suffix, const char* file,
                           const char* classSuffix)
{
    return cvGuard(kCvNoMemory,
                   [&] { return loadFile(ldap, suffix, file, classSuffix, LdifLoader::Update); });
}

int insertLdifEntries(Ldap* ldap, const char* suffix, const char* file, const char* classSuffix)
{
    return setupUpdateLdifEntries(ldap, suffix, file, classSuffix);
}

int setupReplaceLdifEntries(Ldap* ldap, const char* suffix, const char* file,
                            const char* classSuffix)
{
    return cvGuard(kCvNoMemory,
                   [&] { return loadFile(ldap, suffix, file, classSuffix, LdifLoader::Replace); });
}

int setupInsertPluginLdifEntries(const char* url, const char* suffix, const char* user,
                                 const char* password, const char* file)
{
    Ldap* handle = nullptr;
    int code = setupCreateLdap(&handle, url, user, password, nullptr, nullptr);
    if (code != 0)
        return cvResultCode(code);
    code = insertLdifEntries(handle, suffix, file, nullptr);
    setupDestroyLdap(handle);
    return code;
}

int insertPluginLdifEntries(const char* url, const char* suffix, const char* user,
                            const char* password, const char* file)
{
    return setupInsertPluginLdifEntries(url, suffix, user, password, file);
}

} // extern "C"

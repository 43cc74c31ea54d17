// Requests in flight on one connection, answered in whatever order the
// server finishes them.
#include "ldap_pipeline.h"

#include <memory>

#include "ldap_adapter.h"
#include "ldapentry.h"
#include "ldapentry_internal.h"
#include "setup_registry_consts.h"

LdapPipeline::LdapPipeline(Ldap* ldap) : ld_(LdapEntryAccess::handle(ldap)) {}

LdapPipeline::~LdapPipeline()
{
    // Loading an answer allocates; when that fails here, what is still in
    // flight is abandoned rather than thrown out of a destructor.
    try {
        wait();
    } catch (...) {
        for (Request& r : requests_)
            if (r.pending)
                ldap_abandon_ext(ld_, r.msgid, nullptr, nullptr);
    }
}

LdapPipeline::Ticket LdapPipeline::sent(int code, int msgid, LdapEntry* entry,
                                        const std::string& dn, bool read, Redo redo)
{
    requests_.push_back(
        Request{msgid, entry, dn, read, code == LDAP_SUCCESS, code, std::move(redo)});
    if (code != LDAP_SUCCESS && read && entry)
        requests_.back().code = LdapEntryAccess::adopt(*entry, code, nullptr);
    return requests_.size() - 1;
}

LdapPipeline::Ticket LdapPipeline::read(LdapEntry& entry, const std::string& dn)
{
    return search(entry, OBJECT_CLASS_FILTER, LDAP_SCOPE_BASE, dn);
}

LdapPipeline::Ticket LdapPipeline::search(LdapEntry& entry, const std::string& filter, int scope,
                                          const std::string& base)
{
    int msgid = 0;
    int code = ld_ ? ldap_search_ext(ld_, base.c_str(), scope, filter.c_str(),
                                     const_cast<char**>(cvRequestedAttributes), 0, nullptr, nullptr,
                                     nullptr, 0, &msgid)
                   : LDAP_SERVER_DOWN;
    Redo redo = [filter, scope, base](LDAP* target, const char* dn, LDAPMessage** answer) {
        return ldapapi::ldap_search_s(target, dn ? dn : base.c_str(), scope, filter.c_str(),
                                      const_cast<char**>(cvRequestedAttributes), 0, answer);
    };
    return sent(code, msgid, &entry, base, true, std::move(redo));
}

LdapPipeline::Ticket LdapPipeline::insert(LdapEntry& entry, const std::string& dn)
{
    auto mods = std::make_shared<ModList>();
    int msgid = 0;
    int code = LdapEntryAccess::prepareInsert(entry, dn.c_str(), *mods);
    if (code == 0 && !ld_)
        code = LDAP_SERVER_DOWN;
    if (code == 0)
        code = ldap_add_ext(ld_, dn.c_str(), mods->get(), nullptr, nullptr, &msgid);
    Redo redo = [mods, dn](LDAP* target, const char* referred, LDAPMessage**) {
        return ldapapi::ldap_add_s(target, referred ? referred : dn.c_str(), mods->get());
    };
    return sent(code, msgid, &entry, dn, false, std::move(redo));
}

LdapPipeline::Ticket LdapPipeline::replace(LdapEntry& entry, const LdapEntry& stored,
                                           const std::string& dn)
{
    auto mods = std::make_shared<ModList>();
    int msgid = 0;
    int code = LdapEntryAccess::prepareReplace(entry, stored, dn.c_str(), *mods);
    if (code == 0 && !ld_)
        code = LDAP_SERVER_DOWN;
    if (code == 0)
        code = ldap_modify_ext(ld_, dn.c_str(), mods->get(), nullptr, nullptr, &msgid);
    Redo redo = [mods, dn](LDAP* target, const char* referred, LDAPMessage**) {
        return ldapapi::ldap_modify_s(target, referred ? referred : dn.c_str(), mods->get());
    };
    return sent(code, msgid, &entry, dn, false, std::move(redo));
}

namespace {

// Sends the addition of value to type at dn: synchronously (msgid null, the
// LDAP code) or kept in flight.
int sendAddValue(LDAP* ld, const std::string& dn, const std::string& type, const std::string& value,
                 int* msgid)
{
    char* values[] = {const_cast<char*>(value.c_str()), nullptr};
    LDAPMod mod;
    mod.mod_op = LDAP_MOD_ADD;
    mod.mod_type = const_cast<char*>(type.c_str());
    mod.mod_values = values;
    LDAPMod* mods[] = {&mod, nullptr};
    if (!msgid)
        return ldapapi::ldap_modify_s(ld, dn.c_str(), mods);
    return ldap_modify_ext(ld, dn.c_str(), mods, nullptr, nullptr, msgid);
}

} // namespace

LdapPipeline::Ticket LdapPipeline::addValue(const std::string& dn, const char* type,
                                            const std::string& value)
{
    int msgid = 0;
    std::string name = type;
    int code = ld_ ? sendAddValue(ld_, dn, name, value, &msgid) : LDAP_SERVER_DOWN;
    Redo redo = [dn, name, value](LDAP* target, const char* referred, LDAPMessage**) {
        return sendAddValue(target, referred ? referred : dn, name, value, nullptr);
    };
    return sent(code, msgid, nullptr, dn, false, std::move(redo));
}

void LdapPipeline::answer(Request& r, int code, LDAPMessage* message)
{
    r.pending = false;
    if (r.read && r.entry) {
        r.code = LdapEntryAccess::adopt(*r.entry, code, message);
        return;
    }
    if (message)
        ldap_msgfree(message);
    r.code = code;
    if (r.entry)
        LdapEntryAccess::wrote(*r.entry, r.dn.c_str(), code);
}

void LdapPipeline::wait()
{
    // Each request is waited for by its own message id, so that pipelines
    // and synchronous calls sharing the connection never take each other's
    // answers. Everything was sent already: the waits overlap.
    for (Request& r : requests_) {
        if (!r.pending)
            continue;
        LDAPMessage* raw = nullptr;
        // The connection's operation timeout bounds each wait.
        int type = ldap_result(ld_, r.msgid, LDAP_MSG_ALL, nullptr, &raw);
        if (type <= 0 || !raw) {
            if (raw)
                ldap_msgfree(raw);
            ldap_abandon_ext(ld_, r.msgid, nullptr, nullptr);
            answer(r, type == 0 ? LDAP_TIMEOUT : LDAP_SERVER_DOWN, nullptr);
            continue;
        }
        int code = LDAP_OTHER;
        char** refs = nullptr;
        if (ldap_parse_result(ld_, raw, &code, nullptr, nullptr, &refs, nullptr, 0) != LDAP_SUCCESS)
            code = LDAP_DECODING_ERROR;
        if (code == LDAP_REFERRAL && r.redo) {
            // Sent again where the referral points, when the connection may
            // follow it; the referred answer replaces this one.
            LDAPMessage* referred = nullptr;
            int followed = ldapapi::follow_referral(ld_, refs, [&](LDAP* target, const char* dn) {
                return r.redo(target, dn, &referred);
            });
            if (followed != LDAP_REFERRAL || referred) {
                ldap_msgfree(raw);
                raw = referred;
                code = followed;
            }
        }
        ber_memvfree(reinterpret_cast<void**>(refs));
        answer(r, code, raw);
    }
}

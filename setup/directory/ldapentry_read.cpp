// LdapEntry: searching, walking the result, loading entries.
#include "ldapentry.h"

#include "ldap_adapter.h"
#include "ldapentry_internal.h"
#include "setup_registry_consts.h"

const char* const cvRequestedAttributes[] = {
    "*",
    "aci",
    "passwordExpirationTime",
    "passwordExpWarned",
    "passwordRetryCount",
    "retryCountResetTime",
    "accountUnlockTime",
    "passwordHistory",
    "passwordAllowChangeTime",
    "cvUniqueId",
    "cvLookthroughLimit",
    "cvSizeLimit",
    "cvTimeLimit",
    "cvIdleTimeout",
    "cvRole",
    "cvRoleDN",
    "cvAccountLock",
    nullptr,
};

Bool LdapEntry::exists(const char* dn)
{
    LDAP* ld = LdapEntryAccess::handle(*this);
    if (!dn || !ld)
        return 0;
    char noAttributes[] = LDAP_NO_ATTRS;
    char* attrs[] = {noAttributes, nullptr};
    LDAPMessage* raw = nullptr;
    int code = ldapapi::ldap_search_s(ld, dn, LDAP_SCOPE_BASE, OBJECT_CLASS_FILTER, attrs, 0, &raw);
    ldapapi::MessagePtr result(raw);
    Bool found = 0;
    LDAPMessage* entry = code == 0 ? ldap_first_entry(ld, result.get()) : nullptr;
    if (entry) {
        ldapapi::TextPtr entryDN(ldap_get_dn(ld, entry));
        state_->entryDN = entryDN.get();
        found = 1;
    }
    return found;
}

LdapError LdapEntry::retrieve(const char* dn)
{
    return retrieve(OBJECT_CLASS_FILTER, LDAP_SCOPE_BASE, dn);
}

LdapError LdapEntry::retrieve(const char* filter, int scope, const char* base)
{
    if (state_->result)
        ldap_msgfree(state_->result);
    state_->result = nullptr;
    state_->cursor = nullptr;
    state_->numEntries = 0;
    LdapError err;
    LDAP* ld = LdapEntryAccess::handle(*this);
    if (!ld) {
        err = LDAP_SERVER_DOWN;
        return err;
    }
    LDAPMessage* answer = nullptr;
    int code = ldapapi::ldap_search_s(ld, base, scope, filter,
                                      const_cast<char**>(cvRequestedAttributes), 0, &answer);
    err = LdapEntryAccess::adopt(*this, code, answer);
    return err;
}

int LdapEntryAccess::adopt(LdapEntry& entry, int code, LDAPMessage* answer)
{
    LdapEntry::State& s = LdapEntry::State::of(entry);
    if (s.result)
        ldap_msgfree(s.result);
    s.result = answer;
    s.cursor = nullptr;
    s.numEntries = 0;
    LDAP* ld = handle(entry);
    if (code == LDAP_NO_SUCH_OBJECT)
        return SETUP_LDAP_NO_ENTRIES;
    if (code != LDAP_SUCCESS || !ld)
        return code;
    s.numEntries = ldap_count_entries(ld, answer);
    if (s.numEntries <= 0) {
        s.numEntries = 0;
        return SETUP_LDAP_NO_ENTRIES;
    }
    s.cursor = ldap_first_entry(ld, answer);
    fill(entry, ld, s.cursor);
    return 0;
}

LdapError LdapEntry::next()
{
    if (!state_->cursor || state_->numEntries < 2)
        return LdapError(SETUP_LDAP_NO_ENTRIES, "");
    LDAP* ld = LdapEntryAccess::handle(*this);
    LDAPMessage* entry = ldap_next_entry(ld, state_->cursor);
    if (!entry)
        return LdapError(SETUP_LDAP_NO_ENTRIES, "");
    state_->cursor = entry;
    LdapEntryAccess::fill(*this, ld, state_->cursor);
    return LdapError(0, "");
}

void LdapEntryAccess::fill(LdapEntry& entry, LDAP* ld, LDAPMessage* message)
{
    if (!ld || !message)
        return;
    LdapEntry::State& s = LdapEntry::State::of(entry);
    {
        ldapapi::TextPtr dn(ldap_get_dn(ld, message));
        s.entryDN = dn.get();
    }
    s.attributes.clear();
    BerElement* rawBer = nullptr;
    ldapapi::TextPtr name(ldap_first_attribute(ld, message, &rawBer));
    std::unique_ptr<BerElement, void (*)(BerElement*)> ber(rawBer,
                                                           [](BerElement* b) { ber_free(b, 0); });
    for (; name; name.reset(ldap_next_attribute(ld, message, ber.get()))) {
        ldapapi::ValuesPtr values(ldapapi::cv_get_values(ld, message, name.get()));
        for (char** v = values.get(); v && *v; ++v)
            entry.addAttribute(name.get(), *v);
    }
}

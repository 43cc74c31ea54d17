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
    if (!dn || !ldap_ || !ldap_->handle_)
        return 0;
    char noAttributes[] = LDAP_NO_ATTRS;
    char* attrs[] = {noAttributes, nullptr};
    LDAPMessage* raw = nullptr;
    int code = ldapapi::ldap_search_s(ldap_->handle_, dn, LDAP_SCOPE_BASE, OBJECT_CLASS_FILTER, attrs, 0, &raw);
    ldapapi::MessagePtr result(raw);
    Bool found = 0;
    LDAPMessage* entry = code == 0 ? ldap_first_entry(ldap_->handle_, result.get()) : nullptr;
    if (entry) {
        ldapapi::TextPtr entryDN(ldap_get_dn(ldap_->handle_, entry));
        entryDN_ = entryDN.get();
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
    if (result_)
        ldap_msgfree(result_);
    result_ = nullptr;
    cursor_ = nullptr;
    numEntries_ = 0;
    LdapError err;
    if (!ldap_ || !ldap_->handle_) {
        err = LDAP_SERVER_DOWN;
        return err;
    }
    LDAPMessage* answer = nullptr;
    int code = ldapapi::ldap_search_s(ldap_->handle_, base, scope, filter, const_cast<char**>(cvRequestedAttributes), 0,
                                     &answer);
    err = LdapEntryAccess::adopt(*this, code, answer);
    return err;
}

int LdapEntryAccess::adopt(LdapEntry& entry, int code, LDAPMessage* answer)
{
    if (entry.result_)
        ldap_msgfree(entry.result_);
    entry.result_ = answer;
    entry.cursor_ = nullptr;
    entry.numEntries_ = 0;
    LDAP* ld = handle(entry);
    if (code == LDAP_NO_SUCH_OBJECT)
        return SETUP_LDAP_NO_ENTRIES;
    if (code != LDAP_SUCCESS || !ld)
        return code;
    entry.numEntries_ = ldap_count_entries(ld, answer);
    if (entry.numEntries_ <= 0) {
        entry.numEntries_ = 0;
        return SETUP_LDAP_NO_ENTRIES;
    }
    entry.cursor_ = ldap_first_entry(ld, answer);
    entry.fillAttributes(ld, entry.cursor_);
    return 0;
}

LdapError LdapEntry::next()
{
    if (!cursor_ || numEntries_ < 2)
        return LdapError(SETUP_LDAP_NO_ENTRIES, "");
    LDAPMessage* entry = ldap_next_entry(ldap_->handle_, cursor_);
    if (!entry)
        return LdapError(SETUP_LDAP_NO_ENTRIES, "");
    cursor_ = entry;
    fillAttributes(ldap_->handle_, cursor_);
    return LdapError(0, "");
}

void LdapEntry::fillAttributes(LDAP* ld, LDAPMessage* entry)
{
    if (!ld || !entry)
        return;
    {
        ldapapi::TextPtr dn(ldap_get_dn(ld, entry));
        entryDN_ = dn.get();
    }
    attributes_.clear();
    BerElement* rawBer = nullptr;
    ldapapi::TextPtr name(ldap_first_attribute(ld, entry, &rawBer));
    std::unique_ptr<BerElement, void (*)(BerElement*)> ber(rawBer, [](BerElement* b) { ber_free(b, 0); });
    for (; name; name.reset(ldap_next_attribute(ld, entry, ber.get()))) {
        ldapapi::ValuesPtr values(ldapapi::cv_get_values(ld, entry, name.get()));
        for (char** v = values.get(); v && *v; ++v)
            addAttribute(name.get(), *v);
    }
}

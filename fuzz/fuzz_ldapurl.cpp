// URL and DN texts reach the directory adapter from inf files, key files and
// the registry: parse anything without crashing, leaking or reading past it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "ldap_adapter.h"
#include "setup_ldapurl.h"
#include "setup_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    const char* s = text.c_str();
    ldapapi::url_text_port(s);
    LDAPURLDesc* desc = nullptr;
    if (ldapapi::cv_url_parse(s, &desc) == 0 && desc) {
        if (desc->lud_host && desc->lud_port > 0) {
            LDAP* ld = ldapapi::prldap_init(desc->lud_host, desc->lud_port, 1);
            if (ld)
                ldapapi::ldap_unbind(ld);
        }
        ldap_free_urldesc(desc);
    }
    ldapapi::cv_value_free(ldapapi::cv_explode_dn(s, 0));
    ldapapi::cv_value_free(ldapapi::cv_explode_dn(s, 1));

    // The key-file helpers: parse, the URL forms, the admin domain forms,
    // and the in-place decoding, which must never grow the text.
    char* host = nullptr;
    char* base = nullptr;
    int port = 0;
    if (setupParseLdapUrl(s, &host, &port, &base) == 1 && (!host || port < 0 || port > 65535))
        __builtin_trap();
    setupFree(host);
    setupFree(base);
    setupFree(setupFormConfigLdapURL(s));
    setupFree(setupStripConfigLdapURL(s));
    setupFree(setupStripAdminDomainDN(s));
    setupFree(setupFormAdminDomainDN(s));
    std::string decoded = text;
    unescape_ldap_basedn(&decoded[0]);
    if (strlen(decoded.c_str()) > strlen(s))
        __builtin_trap();
    return 0;
}

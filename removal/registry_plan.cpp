// The configuration directory opened as the removal opens it.

#include "registry_plan.h"

#include <cvsetup/cvldap.h>
#include <cvsetup/setup_ldap_codes.h>

#include "unregister.h"

ConfigConnection::ConfigConnection() = default;
ConfigConnection::~ConfigConnection() = default;
ConfigConnection::ConfigConnection(ConfigConnection&&) noexcept = default;
ConfigConnection& ConfigConnection::operator=(ConfigConnection&&) noexcept = default;

int cvConnectConfigDirectory(const std::string& url, const char* bindDN, const char* bindPassword,
                             ConfigConnection& conn)
{
    conn = ConfigConnection();
    conn.url = url;
    LdapError err;
    std::unique_ptr<Ldap> ldap(new Ldap(err, url.c_str(), bindDN, bindPassword, nullptr, nullptr));
    if (err.code == 0) {
        // The messages name the server that answered.
        const char* base = ldap->baseSuffix();
        conn.url = std::string(ldap->server()) + "/" + cvUrlEncodedDN(base);
        conn.ldap = std::move(ldap);
    } else if (err.message) {
        conn.reason = err.message;
    }
    return err.code;
}

// The configuration directory opened as the removal opens it.

#include "registry_plan.h"

#include "cvldap.h"
#include "setup_ldap_codes.h"
#include "unregister.h"

ConfigConnection::ConfigConnection() = default;
ConfigConnection::~ConfigConnection() = default;
ConfigConnection::ConfigConnection(ConfigConnection&&) noexcept = default;
ConfigConnection& ConfigConnection::operator=(ConfigConnection&&) noexcept = default;

ConfigConnection cvConnectConfigDirectory(const char* host, const char* port, const char* suffix,
                                          const char* bindDN, const char* bindPassword)
{
    ConfigConnection conn;
    conn.url = cvConfigDirectoryUrl(host, port, suffix);
    // A port text that is no port is refused here, whole, rather than cut or
    // read up to its first non-digit by the URL parser.
    if (!cvIsDecimalPort(port)) {
        conn.code = SETUP_LDAP_BAD_URL;
        return conn;
    }
    LdapError err;
    std::unique_ptr<Ldap> ldap(new Ldap(err, conn.url.c_str(), bindDN, bindPassword, nullptr,
                                        nullptr));
    conn.code = err.code;
    if (conn.code == 0) {
        conn.ldap = std::move(ldap);
    }
    return conn;
}

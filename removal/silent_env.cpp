// Silent mode: the CGI request of the task path, made from an inf file, and
// the unregistration of the instance it names.

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>

#include <cvsetup/nvpair.h>
#include <cvsetup/setup_ldap.h>
#include <cvsetup/setup_ldapurl.h>
#include <cvsetup/setup_util.h>

#include "admtask.h"
#include "removal.h"
#include "silent_env.h"

namespace {

enum EnvSlot { kQueryString, kScriptName, kWaypostRoot, kSlotCount };

// putenv keeps the pointer it is given, so each variable's text lives here,
// at its real size, until the same variable is set again.
char* envTexts[kSlotCount];

void putOwnedEnv(EnvSlot slot, const std::string& text)
{
    char* copy = strdup(text.c_str());
    if (copy == nullptr) {
        return;
    }
    if (putenv(copy) != 0) {
        free(copy);
        return;
    }
    // The environment now points at the new text, never at the old one.
    free(envTexts[slot]);
    envTexts[slot] = copy;
}

// A text of the library, released here; null stays null.
struct LibraryText {
    LibraryText() = default;
    LibraryText(const LibraryText&) = delete;
    LibraryText& operator=(const LibraryText&) = delete;
    ~LibraryText() { setupFree(text); }
    const char* get() const { return text; }

    char* text = nullptr;
};

// The configuration URL as the library reads it (setupSplitLdapUrl).
struct ParsedUrl {
    LibraryText scheme, servers, host, baseDN;
    int port = 0;
};

// The configuration URL of the inf file with the values of its own keys
// applied: a host or port key replaces the URL's host list with that one
// server, a suffix key its base; the URL's scheme ("ldaps" too) is kept. A
// server that names no port gets its scheme's default.
std::string configUrl(const ParsedUrl* parsed, const char* hostKey, const char* portKey,
                      const char* suffix)
{
    std::string scheme = parsed != nullptr ? parsed->scheme.get() : "ldap";
    if (parsed != nullptr && hostKey == nullptr && (portKey == nullptr || *portKey == '\0')) {
        return scheme + "://" + parsed->servers.get() + "/" + cvUrlEncodedDN(suffix);
    }
    // The first server, "host:port" with the port always named.
    std::string first = parsed != nullptr ? parsed->servers.get() : "";
    first = first.substr(0, first.find(' '));
    std::string host = hostKey != nullptr  ? cvUrlEncodedHost(hostKey)
                       : parsed != nullptr ? first.substr(0, first.rfind(':'))
                                           : std::string();
    std::string port = portKey != nullptr && *portKey != '\0' ? cvUrlEncodedHost(portKey)
                       : parsed != nullptr                    ? std::to_string(parsed->port)
                                                              : std::string();
    return scheme + "://" + host + ":" + port + "/" + cvUrlEncodedDN(suffix);
}

} // namespace

void cvSilentPrepare(const char* infFile, SilentRegistration& reg)
{
    NVPair whole(infFile);
    std::unique_ptr<NVPair> section(whole.getSection("uninstall"));
    // Without an "uninstall" section the root values serve: those before the
    // first header and those of "General".
    const NVPair& keys = section ? *section : whole;

    static char requestMethod[] = "REQUEST_METHOD=GET";
    putenv(requestMethod);

    // The name may live in the admin task layer's storage, which the next
    // call there replaces: reg keeps a copy.
    const char* instance = keys.get("ServerIdentifier");
    reg.instance = instance != nullptr ? instance : ds_get_server_name();
    instance = reg.instance.get();
    if (instance != nullptr) {
        putOwnedEnv(kQueryString, "QUERY_STRING=InstanceName=" + ds_form_encode(instance));
    }
    reg.serverRoot = keys.get("ServerRoot");
    if (reg.serverRoot.get() != nullptr) {
        putOwnedEnv(kWaypostRoot, std::string("WAYPOST_ROOT=") + reg.serverRoot.get());
    }
    if (instance != nullptr) {
        putOwnedEnv(kScriptName,
                    std::string("SCRIPT_NAME=/") + instance + "/Tasks/Operation/Remove");
    }

    const char* host = keys.get("LDAPHost");
    const char* portKey = keys.get("LDAPPort");
    reg.port = portKey ? portKey : "";
    const char* suffix = keys.get("Suffix");

    const char* urlText = keys.get("ConfigDirectoryLdapURL");
    ParsedUrl url;
    const bool parsed =
        urlText != nullptr && setupSplitLdapUrl(urlText, &url.scheme.text, &url.servers.text,
                                                &url.host.text, &url.port, &url.baseDN.text) == 1;
    reg.url = configUrl(parsed ? &url : nullptr, host, portKey,
                        suffix != nullptr ? suffix
                        : parsed          ? url.baseDN.get()
                                          : nullptr);
    if (parsed) {
        // Values given by their own keys win over the URL.
        if (host == nullptr) {
            host = url.host.get();
        }
        if (reg.port.empty()) {
            reg.port = std::to_string(url.port);
        }
        if (suffix == nullptr) {
            suffix = url.baseDN.get();
        }
    }
    reg.host = host;
    reg.suffix = suffix;
    reg.bindDN = keys.get("ConfigDirectoryAdminID");
    reg.bindPassword = keys.get("ConfigDirectoryAdminPwd");
    // StartTLS on an ldap:// URL is asked for by the key; a value that is
    // not plainly "no" asks for it, so a misspelt "yes" never sends the
    // password in the clear.
    const char* startTls = keys.get("ConfigDirectoryStartTLS");
    if (startTls != nullptr && *startTls != '\0' && strcasecmp(startTls, "no") != 0 &&
        strcasecmp(startTls, "false") != 0 && strcasecmp(startTls, "off") != 0 &&
        strcmp(startTls, "0") != 0) {
        setupRequireStartTLS(1);
    }
    reg.machine = keys.get("FullMachineName");
}

int cvSilentUnregister(const SilentRegistration& reg, UnregisterResult& result)
{
    return cvUnregisterInstance(reg.url, reg.bindDN.get(), reg.bindPassword.get(),
                                reg.instance.get(), reg.machine.get(), reg.serverRoot.get(),
                                result);
}

int ds_uninst_set_cgi_env(const char* infFile)
{
    SilentRegistration reg;
    cvSilentPrepare(infFile, reg);
    // The published removal, with its diagnostic for an instance that is not
    // registered; the tool's own run reports that as already gone instead.
    removeInstanceLDAPEntries(reg.host.get(), reg.port.c_str(), reg.suffix.get(), reg.bindDN.get(),
                              reg.bindPassword.get(), reg.instance.get(), reg.machine.get(),
                              reg.serverRoot.get());
    return 0;
}

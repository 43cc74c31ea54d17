// Silent mode: the CGI request of the task path, made from an inf file, and
// the unregistration of the instance it names.

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>

#include "admtask.h"
#include "ldap_adapter.h"
#include "ldap_escape.h"
#include "nvpair.h"
#include "removal.h"
#include "setup_ldap.h"
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

// The configuration URL of the inf file with the values of its own keys
// applied: a host or port key replaces the URL's host list with that one
// server, a suffix key its base; the URL's scheme ("ldaps" too) is kept. A
// server that names no port gets its scheme's default.
std::string configUrl(const ldapapi::UrlList* parsed, const char* hostKey, const char* portKey,
                      const char* suffix)
{
    std::string scheme = parsed != nullptr ? parsed->scheme : "ldap";
    std::string hosts;
    if (parsed != nullptr && hostKey == nullptr && (portKey == nullptr || *portKey == '\0')) {
        for (ldapapi::UrlServer server : parsed->servers) {
            server.port = server.effectivePort();
            hosts += (hosts.empty() ? "" : " ") + server.hostPort();
        }
        return scheme + "://" + hosts + "/" + cvEncodeUrlDN(suffix);
    }
    const ldapapi::UrlServer* first = parsed != nullptr ? &parsed->servers[0] : nullptr;
    std::string host = hostKey != nullptr ? cvEncodeUrlHost(hostKey)
                       : first != nullptr ? first->hostText()
                                          : std::string();
    std::string port = portKey != nullptr && *portKey != '\0' ? cvEncodeUrlHost(portKey)
                       : first != nullptr ? std::to_string(first->effectivePort())
                                          : std::string();
    return scheme + "://" + host + ":" + port + "/" + cvEncodeUrlDN(suffix);
}

struct UrlDescFree {
    void operator()(LDAPURLDesc* desc) const { ldap_free_urldesc(desc); }
};

}  // namespace

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
        putOwnedEnv(kScriptName, std::string("SCRIPT_NAME=/") + instance + "/Tasks/Operation/Remove");
    }

    const char* host = keys.get("LDAPHost");
    const char* portKey = keys.get("LDAPPort");
    reg.port = portKey ? portKey : "";
    const char* suffix = keys.get("Suffix");

    std::unique_ptr<LDAPURLDesc, UrlDescFree> url;
    const char* urlText = keys.get("ConfigDirectoryLdapURL");
    LDAPURLDesc* desc = nullptr;
    ldapapi::UrlList list;
    bool parsed = false;
    if (urlText != nullptr && ldapapi::cv_url_parse(urlText, &desc) == 0 && desc != nullptr &&
        ldapapi::parse_url_list(urlText, &list) == 0) {
        url.reset(desc);
        parsed = true;
    } else if (desc != nullptr) {
        ldap_free_urldesc(desc);
    }
    reg.url = configUrl(parsed ? &list : nullptr, host, portKey, suffix != nullptr ? suffix
                                                                              : parsed ? url->lud_dn
                                                                                       : nullptr);
    if (parsed) {
        // Values given by their own keys win over the URL.
        if (host == nullptr) {
            host = url->lud_host;
        }
        if (reg.port.empty()) {
            reg.port = std::to_string(list.servers[0].effectivePort());
        }
        if (suffix == nullptr) {
            suffix = url->lud_dn;
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

// Silent mode: the CGI request of the task path, made from an inf file, and
// the unregistration of the instance it names.

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "admtask.h"
#include "ldap_adapter.h"
#include "nvpair.h"
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

// A form-urlencoded value: the admin task layer decodes exactly this name,
// so "a&InstanceName=b" or "x%2e" cannot name another instance.
std::string formEncode(const char* value)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(value); *p; ++p) {
        if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') ||
            *p == '-' || *p == '.' || *p == '_' || *p == '~') {
            out += static_cast<char>(*p);
        } else {
            out += '%';
            out += hex[*p >> 4];
            out += hex[*p & 0x0f];
        }
    }
    return out;
}

// True when the URL text writes a port after its (first) host: "ldap://h/",
// "ldap://h:/" and "ldap://[::1]/" name none, "ldap://h:0/" names 0.
bool urlNamesPort(const char* url)
{
    const char* p = std::strstr(url, "://");
    if (p == nullptr) {
        return false;
    }
    p += 3;
    std::string host(p, std::strcspn(p, "/? "));
    size_t from = 0;
    if (!host.empty() && host[0] == '[') {
        from = host.find(']');
        if (from == std::string::npos) {
            return false;
        }
    }
    size_t colon = host.find(':', from);
    return colon != std::string::npos && colon + 1 < host.size();
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
        putOwnedEnv(kQueryString, "QUERY_STRING=InstanceName=" + formEncode(instance));
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
    if (urlText != nullptr && ldapapi::cv_url_parse(urlText, &desc) == 0 && desc != nullptr) {
        url.reset(desc);
        // Values given by their own keys win over the URL.
        if (host == nullptr) {
            host = url->lud_host;
        }
        if (reg.port.empty()) {
            reg.port = urlNamesPort(urlText) ? std::to_string(url->lud_port)
                                             : std::to_string(LDAP_PORT);
        }
        if (suffix == nullptr) {
            suffix = url->lud_dn;
        }
    }
    reg.host = host;
    reg.suffix = suffix;
    reg.bindDN = keys.get("ConfigDirectoryAdminID");
    reg.bindPassword = keys.get("ConfigDirectoryAdminPwd");
    reg.machine = keys.get("FullMachineName");
}

UnregisterResult cvSilentUnregister(const SilentRegistration& reg)
{
    return cvUnregisterInstance(reg.host.get(), reg.port.c_str(), reg.suffix.get(),
                                reg.bindDN.get(), reg.bindPassword.get(), reg.instance.get(),
                                reg.machine.get(), reg.serverRoot.get());
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

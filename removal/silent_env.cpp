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
#include "unregister.h"

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

struct UrlDescFree {
    void operator()(LDAPURLDesc* desc) const { ldap_free_urldesc(desc); }
};

}  // namespace

int ds_uninst_set_cgi_env(const char* infFile)
{
    NVPair whole(infFile);
    std::unique_ptr<NVPair> section(whole.getSection("uninstall"));
    // Without an "uninstall" section the root values serve: those before the
    // first header and those of "General".
    const NVPair& keys = section ? *section : whole;

    static char requestMethod[] = "REQUEST_METHOD=GET";
    putenv(requestMethod);

    const char* instance = keys.get("ServerIdentifier");
    if (instance == nullptr) {
        instance = ds_get_server_name();
    }
    // The name may live in the admin task layer's storage, which the next
    // call there replaces: keep a copy for the whole function.
    std::string instanceCopy = instance ? instance : "";
    if (instance != nullptr) {
        instance = instanceCopy.c_str();
        putOwnedEnv(kQueryString, "QUERY_STRING=InstanceName=" + formEncode(instance));
    }
    const char* serverRoot = keys.get("ServerRoot");
    if (serverRoot != nullptr) {
        putOwnedEnv(kWaypostRoot, std::string("WAYPOST_ROOT=") + serverRoot);
    }
    if (instance != nullptr) {
        putOwnedEnv(kScriptName, "SCRIPT_NAME=/" + instanceCopy + "/Tasks/Operation/Remove");
    }

    const char* host = keys.get("LDAPHost");
    const char* portKey = keys.get("LDAPPort");
    std::string port = portKey ? portKey : "";
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
        if (port.empty()) {
            port = std::to_string(url->lud_port);
        }
        if (suffix == nullptr) {
            suffix = url->lud_dn;
        }
    }

    removeInstanceLDAPEntries(host, port.c_str(), suffix, keys.get("ConfigDirectoryAdminID"),
                              keys.get("ConfigDirectoryAdminPwd"), instance,
                              keys.get("FullMachineName"), serverRoot);
    return 0;
}

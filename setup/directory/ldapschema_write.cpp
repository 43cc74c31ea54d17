// LdapSchema: reading the server's schema and writing definitions to it.
#include "ldapschema.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>

#include "c_boundary.h"
#include "ldap_adapter.h"
#include "ldap_bermods.h"
#include "ldapentry_internal.h"
#include "read_line.h"
#include "regular_file.h"
#include "setup_ldap.h"
#include "setup_ldif.h"
#include "setup_util.h"

namespace {

struct MessageFree {
    void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};
using Message = std::unique_ptr<LDAPMessage, MessageFree>;

struct ValuesFree {
    void operator()(char** v) const { ldapapi::cv_value_free(v); }
};
using Values = std::unique_ptr<char*, ValuesFree>;

struct TextFree {
    void operator()(char* t) const { free(t); }
};
using Text = std::unique_ptr<char, TextFree>;

// The values of each attribute of the one entry at dn; false when the
// search fails (code set) or finds nothing.
bool readBase(LDAP* ld, const char* dn, std::vector<const char*> attrs,
              std::vector<std::vector<std::string>>* values, int* code)
{
    attrs.push_back(nullptr);
    LDAPMessage* raw = nullptr;
    *code = ldapapi::ldap_search_s(ld, dn, LDAP_SCOPE_BASE, "(objectclass=*)",
                                   const_cast<char**>(attrs.data()), 0, &raw);
    Message result(raw);
    LDAPMessage* entry = *code == LDAP_SUCCESS ? ldap_first_entry(ld, raw) : nullptr;
    if (!entry)
        return false;
    values->assign(attrs.size() - 1, {});
    for (size_t i = 0; i + 1 < attrs.size(); ++i) {
        Values v(ldapapi::cv_get_values(ld, entry, attrs[i]));
        for (char** p = v.get(); p && *p; ++p)
            (*values)[i].push_back(*p);
    }
    return true;
}

// A cn=config value without its "{n}" ordering prefix.
const char* withoutIndex(const std::string& value)
{
    const char* p = value.c_str();
    if (*p == '{') {
        const char* close = strchr(p, '}');
        if (close)
            return close + 1;
    }
    return p;
}

} // namespace

int LdapSchema::retrieve()
{
    if (!LdapEntryAccess::handle(ldap_))
        return SETUP_LDAP_CONNECT_FAILED;
    LDAP* ld = LdapEntryAccess::handle(ldap_);
    std::vector<std::vector<std::string>> root;
    int code = 0;
    subschemaDN_ = "cn=schema";
    configPath_ = false;
    if (readBase(ld, "", {"subschemaSubentry", "configContext"}, &root, &code)) {
        if (!root[0].empty())
            subschemaDN_ = root[0][0];
        for (const std::string& c : root[1])
            configPath_ = configPath_ || strcasecmp(c.c_str(), "cn=config") == 0;
    } else if (code < 0) {
        return cvResultCode(code);
    }
    std::vector<std::vector<std::string>> schema;
    if (!readBase(ld, subschemaDN_.c_str(), {"attributeTypes", "objectClasses"}, &schema, &code))
        return code != LDAP_SUCCESS ? cvResultCode(code) : SETUP_LDAP_NO_ENTRIES;
    attributeTypes_.clear();
    objectClasses_.clear();
    for (int which = 0; which < 2; ++which) {
        NVPair& store = which == 0 ? attributeTypes_ : objectClasses_;
        for (const std::string& d : schema[static_cast<size_t>(which)]) {
            Text name(getSchemaName(d.c_str()));
            if (name)
                store.set(name.get(), d.c_str());
        }
    }
    if (configPath_)
        readConfigEntry();
    return 0;
}

void LdapSchema::readConfigEntry()
{
    // slapd keeps the children of cn=schema in order and names ours
    // "cn={n}corvid-setup" once it is made.
    LDAP* ld = LdapEntryAccess::handle(ldap_);
    const char* attrs[] = {"olcAttributeTypes", "olcObjectClasses", nullptr};
    LDAPMessage* raw = nullptr;
    int code = ldapapi::ldap_search_s(
        ld, "cn=schema,cn=config", LDAP_SCOPE_ONELEVEL,
        "(&(objectClass=olcSchemaConfig)(|(cn=corvid-setup)(cn=*}corvid-setup)))",
        const_cast<char**>(attrs), 0, &raw);
    Message result(raw);
    LDAPMessage* entry = code == LDAP_SUCCESS ? ldap_first_entry(ld, raw) : nullptr;
    configEntryExists_ = entry != nullptr;
    configDN_ = kConfigDN;
    ourAttributeTypes_.clear();
    ourObjectClasses_.clear();
    if (!entry)
        return;
    char* dn = ldap_get_dn(ld, entry);
    if (dn) {
        std::string copy;
        try {
            copy = dn;
        } catch (...) {
            ldap_memfree(dn);
            throw;
        }
        ldap_memfree(dn);
        configDN_ = copy;
    }
    for (int which = 0; which < 2; ++which) {
        Values v(ldapapi::cv_get_values(ld, entry, attrs[which]));
        for (char** p = v.get(); p && *p; ++p)
            (which == 0 ? ourAttributeTypes_ : ourObjectClasses_).push_back(*p);
    }
}

int LdapSchema::domodify(LDAPMod** mods)
{
    if (!LdapEntryAccess::handle(ldap_))
        return SETUP_LDAP_CONNECT_FAILED;
    return cvResultCode(
        ldap_->modify(subschemaDN_.empty() ? "cn=schema" : subschemaDN_.c_str(), mods));
}

int LdapSchema::writeToSubschema(const char* type, const char* name, const std::string& value,
                                 int replace)
{
    const char* held = getValue(type, name);
    std::string old = held ? held : "";
    BerMods mods;
    bool replacing = held && replace && !isStandardSchema(held);
    if (replacing)
        mods.add(LDAP_MOD_DELETE, type, {&old});
    mods.add(LDAP_MOD_ADD, type, {&value});
    int code = domodify(mods.get());
    if (code != 0)
        setupLogMessage(SETUP_LOG_FATAL, "schema",
                        replacing ? "updating %s: %s,%s (error %d)"
                                  : "writing new %s: %s,%s (error %d)",
                        type, type, value.c_str(), code);
    return code;
}

int LdapSchema::writeToConfig(const char* type, const char* name, const std::string& value,
                              int replace)
{
    bool attribute = strcasecmp(type, "attributetypes") == 0;
    std::string attr = attribute ? "olcAttributeTypes" : "olcObjectClasses";
    const std::vector<std::string>& ours = attribute ? ourAttributeTypes_ : ourObjectClasses_;
    const std::string* held = nullptr;
    for (const std::string& v : ours) {
        Text n(getSchemaName(withoutIndex(v)));
        if (n && strcasecmp(n.get(), name) == 0)
            held = &v;
    }
    int code;
    bool replacing = held && replace;
    if (!configEntryExists_) {
        static const std::string kClass = "olcSchemaConfig", kName = "corvid-setup";
        BerMods entry;
        entry.add(LDAP_MOD_ADD, "objectClass", {&kClass});
        entry.add(LDAP_MOD_ADD, "cn", {&kName});
        entry.add(LDAP_MOD_ADD, attr, {&value});
        code = cvResultCode(
            ldapapi::ldap_add_s(LdapEntryAccess::handle(ldap_), kConfigDN, entry.get()));
    } else {
        BerMods mods;
        if (replacing)
            mods.add(LDAP_MOD_DELETE, attr, {held});
        mods.add(LDAP_MOD_ADD, attr, {&value});
        code = cvResultCode(ldap_->modify(configDN_.c_str(), mods.get()));
    }
    if (code != 0)
        setupLogMessage(SETUP_LOG_FATAL, "schema",
                        replacing ? "updating %s: %s,%s (error %d)"
                                  : "writing new %s: %s,%s (error %d)",
                        type, type, value.c_str(), code);
    else
        readConfigEntry();
    return code;
}

int LdapSchema::writeDefinition(const char* type, const char* name, const std::string& value,
                                int replace)
{
    if (!type ||
        (strcasecmp(type, "attributetypes") != 0 && strcasecmp(type, "objectclasses") != 0))
        return 1;
    if (!name || value.empty())
        return SETUP_LDAP_BAD_ARGUMENT;
    if (!LdapEntryAccess::handle(ldap_))
        return SETUP_LDAP_CONNECT_FAILED;
    int code = configPath_ ? writeToConfig(type, name, value, replace)
                           : writeToSubschema(type, name, value, replace);
    if (code == 0)
        (strcasecmp(type, "attributetypes") == 0 ? attributeTypes_ : objectClasses_)
            .set(name, value.c_str());
    return code;
}

int LdapSchema::updateEntryValue(char* type, char* name, char* value, int replace)
{
    return writeDefinition(type, name, value ? value : "", replace);
}

int LdapSchema::openFile(const char* path)
{
    if (file_)
        fclose(file_);
    file_ = path ? cvOpenRegularFile(path) : nullptr;
    if (file_)
        return 0;
    int error = path ? errno : EINVAL;
    setupLogMessage(SETUP_LOG_FATAL, "schema", "cannot read %s: %s", path ? path : "(null)",
                    error == EINVAL ? "not a regular file" : strerror(error));
    return 1;
}

int LdapSchema::insertSchemaFile(const char* path, int replace)
{
    if (!path)
        return SETUP_LDAP_BAD_ARGUMENT;
    if (openFile(path) != 0)
        return 1;
    int result = retrieve();
    if (result != 0) {
        fclose(file_);
        file_ = nullptr;
        return result;
    }
    std::string type, name, value;
    long notWritten = 0;
    for (Next n; result != SETUP_LDAP_CONNECT_FAILED &&
                 (n = readDefinition(&type, &name, &value)) != End;) {
        if (n == ParseError) {
            if (result == 0)
                result = SETUP_LDAP_BAD_ARGUMENT;
            break;
        }
        if (n == Refused && result == 0)
            result = SETUP_LDAP_BAD_ARGUMENT;
        if (n != Definition)
            continue;
        int code = writeDefinition(type.c_str(), name.c_str(), value, replace);
        if (code == SETUP_LDAP_CONNECT_FAILED) {
            // The server stopped answering: what the file still holds is
            // counted, not sent to wait out one timeout each.
            while ((n = readDefinition(&type, &name, &value)) != End && n != ParseError)
                notWritten += n == Definition;
            setupLogMessage(
                SETUP_LOG_FATAL, "schema",
                "the server stopped answering: load abandoned, %ld later definitions not written",
                notWritten);
            result = code;
        }
        if (result == 0)
            result = code;
    }
    fclose(file_);
    file_ = nullptr;
    return result;
}

extern "C" {

int insertSchemaEntries(Ldap* ldap, const char* file)
{
    if (!ldap || !file)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] {
        LdapSchema schema(ldap);
        return schema.insertSchemaFile(file, 1);
    });
}

int appendSchemaEntries(Ldap* ldap, const char* file)
{
    if (!ldap || !file)
        return SETUP_LDAP_BAD_ARGUMENT;
    return cvGuard(kCvNoMemory, [&] {
        LdapSchema schema(ldap);
        return schema.insertSchemaFile(file, 0);
    });
}

int setupInsertPluginSchemaEntries(const char* url, const char* user, const char* password,
                                   const char* file)
{
    Ldap* handle = nullptr;
    int code = setupCreateLdap(&handle, url, user, password, nullptr, nullptr);
    if (code != 0)
        return cvResultCode(code);
    code = insertSchemaEntries(handle, file);
    setupDestroyLdap(handle);
    return code;
}

} // extern "C"

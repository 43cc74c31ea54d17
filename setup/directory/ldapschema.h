/*
 * LdapSchema: extends a server's schema from a schema file of the compact
 * line format (one "attribute" line per attribute type, an "objectclass"
 * block per class).
 *
 * The server's definitions come from the subschema entry its root DSE names
 * ("subschemaSubentry"; "cn=schema" when it names none), asked for by name:
 * "attributeTypes" and "objectClasses" are operational and not returned for
 * "*". A server whose root DSE shows a configContext of "cn=config" (slapd)
 * keeps that entry read-only; definitions then go to olcAttributeTypes and
 * olcObjectClasses values of one olcSchemaConfig entry of ours, kConfigDN,
 * made on first need (slapd names it "cn={n}corvid-setup,cn=schema,cn=config"). A server with neither path refuses the modify, and
 * each definition fails with the server's code (logged).
 */
#ifndef CV_LDAPSCHEMA_H
#define CV_LDAPSCHEMA_H

// A class interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include <cstdio>
#include <string>
#include <vector>

#include "cvldap.h"
#include "nvpair.h"
#include "setup_common.h"

class SETUP_EXPORT LdapSchema {
public:
    static constexpr const char* kConfigDN = "cn=corvid-setup,cn=schema,cn=config";

    explicit LdapSchema(Ldap* ldap);
    ~LdapSchema();
    LdapSchema(const LdapSchema&) = delete;
    LdapSchema& operator=(const LdapSchema&) = delete;

    // Reads the root DSE and the subschema entry; 0 or the LDAP code.
    int retrieve();
    // Name of a definition text ("NAME 'a'" or the first of "NAME ( 'a' 'b' )")
    // as a malloc'd text, or null.
    static char* getSchemaName(const char* definition);
    // The server's definition of name for "attributetypes" or "objectclasses".
    const char* getValue(const char* type, const char* name) const;
    static const char* syntaxToOID(const char* syntax);
    static Bool isStandardSchema(const char* definition);

    enum Next { Definition, Skipped, ParseError, End };
    // Reads the next definition of the file: type "attributetypes" or
    // "objectclasses", its name and its definition text. Skipped: a line
    // that begins with neither keyword (logged). ParseError: a malformed
    // attribute line (logged); the load ends there.
    Next nextEntry(std::string* type, std::string* name, std::string* value);
    // Writes one definition; 0 or the LDAP code (logged on failure).
    int updateEntryValue(const char* type, const char* name, const std::string& value, int replace);
    // 1 when path cannot be opened; else 0 or the first failure's code.
    int insertSchemaFile(const char* path, int replace);

    // Parses a schema text held in memory (the fuzz target): visit(type,
    // name, value) for each definition.
    template <class Visit>
    static void parseText(const std::string& text, Visit&& visit);

private:
    bool readLine(std::string* line);
    Next parseAttribute(const std::string& line, std::string* name, std::string* value);
    Next parseObjectClass(const std::string& line, std::string* name, std::string* value);
    int writeToSubschema(const char* type, const char* name, const std::string& value, int replace);
    int writeToConfig(const char* type, const char* name, const std::string& value, int replace);
    void readConfigEntry();

    Ldap* ldap_;
    NVPair objectClasses_;
    NVPair attributeTypes_;
    FILE* file_;
    std::string subschemaDN_;
    std::string configDN_;
    bool configPath_;
    bool configEntryExists_;
    // Our values in the config entry as stored ("{n}( ... )"), by type.
    std::vector<std::string> ourAttributeTypes_;
    std::vector<std::string> ourObjectClasses_;
};

template <class Visit>
void LdapSchema::parseText(const std::string& text, Visit&& visit)
{
    if (text.empty())
        return;
    LdapSchema schema(nullptr);
    schema.file_ = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    std::string type, name, value;
    for (Next n; schema.file_ && (n = schema.nextEntry(&type, &name, &value)) != End && n != ParseError;)
        if (n == Definition)
            visit(type, name, value);
}

#endif // __cplusplus

#endif

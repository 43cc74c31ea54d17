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
 * made on first need (slapd names it "cn={n}corvid-setup,cn=schema,cn=config").
 * A server with neither path refuses the modify, and each definition fails
 * with the server's code (logged).
 *
 * Names, OIDs and syntaxes of the file are written into the definition text
 * only when they are what RFC 4512 allows there (descriptors, numeric OIDs),
 * so no quote, parenthesis or '$' of the file can change what the text
 * says; any other definition is refused.
 */
#ifndef CV_LDAPSCHEMA_H
#define CV_LDAPSCHEMA_H

// A class interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include <cstddef>
#include <cstdio>
#include <ldap.h>
#include <string>
#include <vector>

#include "cvldap.h"
#include "nvpair.h"
#include "setup_common.h"

class SETUP_EXPORT LdapSchema {
public:
    static constexpr const char* kConfigDN = "cn=corvid-setup,cn=schema,cn=config";
    // Sizes of the texts that nextEntry and formValue write: a type or a
    // name (with its NUL), and a definition. Longer ones are not written.
    static constexpr size_t kNameSize = 100;
    static constexpr size_t kValueSize = 2000;

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
    // As LdifEntry's: ASCII white space only.
    static Bool isBlank(const char* line);
    static void stripBlank(char* text, Bool both);

    // The definition text of type ("attributetypes" or "objectclasses") from
    // the keys of definition, as nextEntry records them: "attribute" (the
    // name), "oid", "syntax", "single"; or "objectclass" (the name), "oid",
    // "superior", "requires", "allows" (lists joined with " $ "). out holds
    // kValueSize bytes. False for another type, and for a definition that is
    // refused (logged; out empty): a name that is no RFC 4512 descriptor, an
    // OID or syntax that is no numeric OID (or, for an OID, a descriptor), a
    // text too long for out. True, out untouched, when the name key is
    // missing.
    static Bool formValue(char* type, NVPair* definition, char* out);
    // Opens path as the file that nextEntry reads (insertSchemaFile opens
    // its own): 0, or 1 when it cannot be opened or is not a regular file
    // (logged).
    int openFile(const char* path);
    // Reads the next definition of the file into type (kNameSize bytes),
    // name (kNameSize) and value (kValueSize). False at the end of the file
    // and at a malformed attribute line (logged; the load ends there). True
    // with value empty, type and name untouched, for a line that begins
    // with neither keyword and for a refused definition (both logged).
    Bool nextEntry(char* type, char* name, char* value);
    // Modifies the server's subschema entry (the one retrieve() found,
    // "cn=schema" before); 0 or the LDAP code, 151 for a lost server.
    int domodify(LDAPMod** mods);
    // Writes one definition; 0, the LDAP code (logged on failure), 151 for
    // a lost server, 1 for another type, 144 for a null name or an empty
    // value.
    int updateEntryValue(char* type, char* name, char* value, int replace);
    // 1 when path cannot be opened or is not a regular file; else 0 or the
    // first failure's code (144 for a refused definition). A server that
    // stops answering ends the load: 151.
    int insertSchemaFile(const char* path, int replace);

    // Parses a schema text held in memory (the fuzz target): visit(type,
    // name, value) for each definition.
    template <class Visit>
    static void parseText(const std::string& text, Visit&& visit);

private:
    enum Next { Definition, Skipped, Refused, ParseError, End };
    enum FormResult { Formed, NoName, OtherType, Refusal };
    Next readDefinition(std::string* type, std::string* name, std::string* value);
    bool readLine(std::string* line);
    Next parseAttribute(const std::string& line, std::string* name, std::string* value);
    Next parseObjectClass(const std::string& line, std::string* name, std::string* value);
    static FormResult formText(const char* type, const NVPair& definition, std::string* out);
    int writeDefinition(const char* type, const char* name, const std::string& value, int replace);
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
    for (Next n; schema.file_ && (n = schema.readDefinition(&type, &name, &value)) != End &&
                 n != ParseError;)
        if (n == Definition)
            visit(type, name, value);
}

#endif // __cplusplus

#endif

// LdapSchema: the schema file format and the definition texts.
#include "ldapschema.h"
#include "read_line.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "setup_util.h"

namespace {

struct SyntaxName {
    const char* name;
    const char* oid;
};

const SyntaxName kSyntaxToOID[] = {
    {"cis", "1.3.6.1.4.1.1466.115.121.1.15"},       {"telephone", "1.3.6.1.4.1.1466.115.121.1.50"},
    {"tel", "1.3.6.1.4.1.1466.115.121.1.50"},       {"dn", "1.3.6.1.4.1.1466.115.121.1.12"},
    {"ces", "1.3.6.1.4.1.1466.115.121.1.26"},       {"integer", "1.3.6.1.4.1.1466.115.121.1.27"},
    {"int", "1.3.6.1.4.1.1466.115.121.1.27"},       {"binary", "1.3.6.1.4.1.1466.115.121.1.5"},
    {"bin", "1.3.6.1.4.1.1466.115.121.1.5"},
};

bool blankChar(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string trimmed(const std::string& text)
{
    size_t b = 0, e = text.size();
    while (b < e && blankChar(text[b]))
        ++b;
    while (e > b && blankChar(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

std::vector<std::string> tokens(const std::string& text)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && blankChar(text[i]))
            ++i;
        size_t start = i;
        while (i < text.size() && !blankChar(text[i]))
            ++i;
        if (i > start)
            out.push_back(text.substr(start, i - start));
    }
    return out;
}

std::string firstWord(const std::string& line)
{
    std::vector<std::string> t = tokens(line);
    return t.empty() ? std::string() : t[0];
}

// A numeric OID: digits in groups separated by single dots.
bool numericOID(const std::string& oid)
{
    if (oid.empty() || oid.front() == '.' || oid.back() == '.' || oid.find("..") != std::string::npos)
        return false;
    return oid.find_first_not_of("0123456789.") == std::string::npos;
}

} // namespace

LdapSchema::LdapSchema(Ldap* ldap)
    : ldap_(ldap), file_(nullptr), configPath_(false), configEntryExists_(false)
{
}

LdapSchema::~LdapSchema()
{
    if (file_)
        fclose(file_);
}

char* LdapSchema::getSchemaName(const char* definition)
{
    const char* p = definition ? strstr(definition, " NAME ") : nullptr;
    if (!p)
        return nullptr;
    p += 6;
    while (*p == ' ')
        ++p;
    if (*p == '(') {
        ++p;
        while (*p == ' ')
            ++p;
    }
    size_t n;
    if (*p == '\'') {
        ++p;
        n = strcspn(p, "'");
        if (!p[n])
            return nullptr;
    } else {
        n = strcspn(p, " )");
        if (!p[n])
            return nullptr;
    }
    if (n == 0)
        return nullptr;
    char* name = static_cast<char*>(malloc(n + 1));
    if (!name)
        return nullptr;
    memcpy(name, p, n);
    name[n] = '\0';
    return name;
}

const char* LdapSchema::getValue(const char* type, const char* name) const
{
    if (!type || !name)
        return nullptr;
    if (strcasecmp(type, "attributetypes") == 0)
        return attributeTypes_.get(name);
    if (strcasecmp(type, "objectclasses") == 0)
        return objectClasses_.get(name);
    return nullptr;
}

const char* LdapSchema::syntaxToOID(const char* syntax)
{
    if (!syntax)
        return nullptr;
    for (const SyntaxName& s : kSyntaxToOID)
        if (strcasecmp(s.name, syntax) == 0)
            return s.oid;
    return nullptr;
}

Bool LdapSchema::isStandardSchema(const char* definition)
{
    if (!definition || strstr(definition, "X-ORIGIN 'user defined'"))
        return 0;
    return strstr(definition, "DESC 'Standard Attribute'") || strstr(definition, "DESC 'Standard ObjectClass'");
}

bool LdapSchema::readLine(std::string* line)
{
    return cvReadLine(file_, line);
}

LdapSchema::Next LdapSchema::parseAttribute(const std::string& line, std::string* name, std::string* value)
{
    std::vector<std::string> t = tokens(line);
    if (t.size() > 10) {
        setupLogMessage(SETUP_LOG_FATAL, "schema", "Too much element to define attribute");
        return ParseError;
    }
    bool single = t.size() >= 3 && strcasecmp(t.back().c_str(), "single") == 0;
    if (t.size() < 3 || (single && t.size() < 4)) {
        setupLogMessage(SETUP_LOG_FATAL, "schema", "Parsing error on line: %s", line.c_str());
        return ParseError;
    }
    size_t n = t.size() - 1;
    size_t syntaxAt = single ? n - 1 : n;
    size_t oidAt = syntaxAt - 1;
    size_t lastAlias = oidAt - 1;  // aliases are t[2] .. t[lastAlias]
    if (lastAlias > 2)
        setupLogMessage(SETUP_LOG_WARN, "schema", "Multi alias ???? (%d-%d) : %s", 2, static_cast<int>(lastAlias),
                        line.c_str());
    *name = t[1];
    std::string oid = t[oidAt];
    if (!numericOID(oid))
        oid = *name + "-oid";
    const char* syntaxOID = syntaxToOID(t[syntaxAt].c_str());
    *value = "( " + oid + " NAME '" + *name + "' SYNTAX '" + (syntaxOID ? syntaxOID : t[syntaxAt]) + "' ";
    if (single)
        *value += "SINGLE-VALUE  ";
    *value += ")";
    return Definition;
}

LdapSchema::Next LdapSchema::parseObjectClass(const std::string& first, std::string* name, std::string* value)
{
    std::string oid, sup, must, may;
    std::string key, list;
    bool expectKey = true;
    std::string line = first;
    for (;;) {
        for (std::string& tok : tokens(line)) {
            if (expectKey) {
                key = tok;
                for (char& c : key)
                    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
                list.clear();
                expectKey = false;
                continue;
            }
            bool more = tok.back() == ',';
            if (more)
                tok.pop_back();
            if (!tok.empty())
                list += (list.empty() ? "" : " $ ") + tok;
            if (key == "objectclass" && name->empty())
                *name = tok;
            else if (key == "oid")
                oid = list;
            else if (key == "superior")
                sup = list;
            else if (key == "requires")
                must = list;
            else if (key == "allows")
                may = list;
            expectKey = !more;
        }
        // The block runs to a blank line or the end of the file.
        bool next = false;
        while (readLine(&line)) {
            std::string t = trimmed(line);
            if (!t.empty() && t[0] == '#')
                continue;
            next = !t.empty();
            break;
        }
        if (!next)
            break;
    }
    if (name->empty()) {
        setupLogMessage(SETUP_LOG_FATAL, "schema", "Parsing error on line: %s", first.c_str());
        return Skipped;
    }
    *value = "( " + (oid.empty() ? *name + "-oid" : oid) + " NAME '" + *name + "' ";
    if (!sup.empty())
        *value += "SUP '" + sup + "' ";
    if (!must.empty())
        *value += "MUST ( " + must + " ) ";
    if (!may.empty())
        *value += "MAY ( " + may + " ) ";
    *value += ")";
    return Definition;
}

LdapSchema::Next LdapSchema::nextEntry(std::string* type, std::string* name, std::string* value)
{
    if (!file_)
        return End;
    std::string line;
    for (;;) {
        if (!readLine(&line))
            return End;
        line = trimmed(line);
        if (!line.empty() && line[0] != '#')
            break;
    }
    name->clear();
    value->clear();
    std::string word = firstWord(line);
    if (strcasecmp(word.c_str(), "attribute") == 0) {
        *type = "attributetypes";
        return parseAttribute(line, name, value);
    }
    if (strcasecmp(word.c_str(), "objectclass") == 0) {
        *type = "objectclasses";
        return parseObjectClass(line, name, value);
    }
    setupLogMessage(SETUP_LOG_WARN, "schema", "skipping line: %s", line.c_str());
    return Skipped;
}

// LdapSchema: the schema file format and the definition texts.
#include "ldapschema.h"
#include "ldifentry.h"
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
    {"cis", "1.3.6.1.4.1.1466.115.121.1.15"}, {"telephone", "1.3.6.1.4.1.1466.115.121.1.50"},
    {"tel", "1.3.6.1.4.1.1466.115.121.1.50"}, {"dn", "1.3.6.1.4.1.1466.115.121.1.12"},
    {"ces", "1.3.6.1.4.1.1466.115.121.1.26"}, {"integer", "1.3.6.1.4.1.1466.115.121.1.27"},
    {"int", "1.3.6.1.4.1.1466.115.121.1.27"}, {"binary", "1.3.6.1.4.1.1466.115.121.1.5"},
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

// RFC 4512 numericoid: numbers without leading zeros, joined by single dots.
bool numericOID(const std::string& oid)
{
    size_t i = 0;
    for (;;) {
        size_t start = i;
        while (i < oid.size() && oid[i] >= '0' && oid[i] <= '9')
            ++i;
        if (i == start || (oid[start] == '0' && i - start > 1))
            return false;
        if (i == oid.size())
            return true;
        if (oid[i++] != '.')
            return false;
    }
}

bool asciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// RFC 4512 descr: a letter, then letters, digits and hyphens.
bool descriptor(const std::string& name)
{
    if (name.empty() || !asciiAlpha(name[0]))
        return false;
    for (char c : name)
        if (!asciiAlpha(c) && !(c >= '0' && c <= '9') && c != '-')
            return false;
    return true;
}

// What stands for an object identifier (RFC 4512 oid): a descriptor or a
// numeric OID.
bool oidText(const std::string& text)
{
    return descriptor(text) || numericOID(text);
}

// The words that open a field of a definition (and the extensions'
// prefix): a descriptor spelt like one, standing where the OID stands,
// would be read as that field ("( NAME NAME 'x' )" names "NAME").
bool definitionKeyword(const std::string& word)
{
    static const char* const kKeywords[] = {"NAME",
                                            "DESC",
                                            "OBSOLETE",
                                            "SUP",
                                            "EQUALITY",
                                            "ORDERING",
                                            "SUBSTR",
                                            "SYNTAX",
                                            "SINGLE-VALUE",
                                            "COLLECTIVE",
                                            "NO-USER-MODIFICATION",
                                            "USAGE",
                                            "ABSTRACT",
                                            "STRUCTURAL",
                                            "AUXILIARY",
                                            "MUST",
                                            "MAY"};
    for (const char* k : kKeywords)
        if (strcasecmp(word.c_str(), k) == 0)
            return true;
    return strncasecmp(word.c_str(), "X-", 2) == 0;
}

// A syntax as written in SYNTAX (RFC 4512 noidlen): a numeric OID, with a
// length bound in braces or not.
bool syntaxText(const std::string& text)
{
    size_t brace = text.find('{');
    if (brace == std::string::npos)
        return numericOID(text);
    std::string bound = text.substr(brace + 1);
    return numericOID(text.substr(0, brace)) && bound.size() > 1 && bound.back() == '}' &&
           bound.find_first_not_of("0123456789") == bound.size() - 1;
}

// A list as recorded ("a $ b $ c"): its items, or false when one is no oid.
bool oidList(const std::string& list, std::vector<std::string>* items)
{
    std::vector<std::string> t = tokens(list);
    items->clear();
    for (size_t i = 0; i < t.size(); ++i) {
        if (i % 2 == 1) {
            if (t[i] != "$")
                return false;
            continue;
        }
        if (!oidText(t[i]))
            return false;
        items->push_back(t[i]);
    }
    return !items->empty() && t.size() % 2 == 1;
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
    return strstr(definition, "DESC 'Standard Attribute'") ||
           strstr(definition, "DESC 'Standard ObjectClass'");
}

Bool LdapSchema::isBlank(const char* line)
{
    return LdifEntry::isBlank(line);
}

void LdapSchema::stripBlank(char* text, Bool both)
{
    LdifEntry::stripBlank(text, both);
}

LdapSchema::FormResult LdapSchema::formText(const char* type, const NVPair& definition,
                                            std::string* out)
{
    bool attribute = type && strcasecmp(type, "attributetypes") == 0;
    if (!attribute && !(type && strcasecmp(type, "objectclasses") == 0))
        return OtherType;
    const char* key = attribute ? "attribute" : "objectclass";
    const char* found = definition.get(key);
    if (!found)
        return NoName;
    std::string name = found;
    auto refuse = [&](const std::string& why) {
        setupLogMessage(SETUP_LOG_FATAL, "schema", "refusing %s %s: %s", key, name.c_str(),
                        why.c_str());
        return Refusal;
    };
    if (!descriptor(name))
        return refuse("the name is no RFC 4512 descriptor");
    const char* given = definition.get("oid");
    std::string oid = given ? given : attribute ? "" : name + "-oid";
    if (!oid.empty() && !oidText(oid))
        return refuse("the OID \"" + oid + "\" is neither a numeric OID nor a descriptor");
    if (definitionKeyword(oid))
        return refuse("the OID \"" + oid + "\" is a keyword of the definition");
    std::string text = "( " + (oid.empty() ? "" : oid + " ") + "NAME '" + name + "' ";
    if (attribute) {
        if (const char* syntax = definition.get("syntax")) {
            const char* mapped = syntaxToOID(syntax);
            std::string written = mapped ? mapped : syntax;
            if (!syntaxText(written))
                return refuse("the syntax \"" + written +
                              "\" is neither a known name nor a numeric OID");
            text += "SYNTAX '" + written + "' ";
        }
        if (definition.get("single"))
            text += "SINGLE-VALUE  ";
    } else {
        std::vector<std::string> items;
        const char* lists[] = {"superior", "requires", "allows"};
        const char* words[] = {"SUP", "MUST", "MAY"};
        for (int i = 0; i < 3; ++i) {
            const char* list = definition.get(lists[i]);
            if (!list)
                continue;
            if (!oidList(list, &items))
                return refuse(std::string("the ") + lists[i] + " list \"" + list +
                              "\" holds a name that is no descriptor or OID");
            // One superior is written quoted, as it always was; a list in
            // the form RFC 4512 gives every oid list.
            if (i == 0 && items.size() == 1)
                text += "SUP '" + items[0] + "' ";
            else {
                text += std::string(words[i]) + " ( ";
                for (size_t j = 0; j < items.size(); ++j)
                    text += (j ? " $ " : "") + items[j];
                text += " ) ";
            }
        }
    }
    *out = text + ")";
    return Formed;
}

Bool LdapSchema::formValue(char* type, NVPair* definition, char* out)
{
    if (!definition || !out)
        return 0;
    std::string text;
    switch (formText(type, *definition, &text)) {
    case OtherType:
        return 0;
    case NoName:
        return 1;
    case Refusal:
        *out = '\0';
        return 0;
    case Formed:
        break;
    }
    if (text.size() >= kValueSize) {
        setupLogMessage(SETUP_LOG_FATAL, "schema", "refusing %s: a definition of %zu bytes",
                        text.c_str(), text.size());
        *out = '\0';
        return 0;
    }
    memcpy(out, text.c_str(), text.size() + 1);
    return 1;
}

bool LdapSchema::readLine(std::string* line)
{
    if (!cvReadLine(file_, line))
        return false;
    // Names and values are read as C strings further on: a NUL byte would
    // end the name there while the definition went on past it, so that the
    // definition written named something else than the one logged. Text
    // holds no NUL; the line ends at one, as every other reader sees it.
    size_t nul = line->find('\0');
    if (nul != std::string::npos) {
        setupLogMessage(SETUP_LOG_WARN, "schema", "ignoring what follows a NUL byte in: %s",
                        line->c_str());
        line->erase(nul);
    }
    return true;
}

LdapSchema::Next LdapSchema::parseAttribute(const std::string& line, std::string* name,
                                            std::string* value)
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
    size_t lastAlias = oidAt - 1; // aliases are t[2] .. t[lastAlias]
    if (lastAlias > 2)
        setupLogMessage(SETUP_LOG_WARN, "schema", "Multi alias ???? (%d-%d) : %s", 2,
                        static_cast<int>(lastAlias), line.c_str());
    NVPair definition;
    definition.set(t[0].c_str(), t[1].c_str());
    for (size_t i = 2; i <= lastAlias; ++i) {
        if (!descriptor(t[i])) {
            setupLogMessage(SETUP_LOG_FATAL, "schema",
                            "refusing attribute %s: the alias \"%s\" is no RFC 4512 descriptor",
                            t[1].c_str(), t[i].c_str());
            return Refused;
        }
    }
    if (lastAlias >= 2)
        definition.set("alias", t[2].c_str());
    // An OID the file gives in another form stands for the name's own.
    definition.set("oid", numericOID(t[oidAt]) ? t[oidAt].c_str() : (t[1] + "-oid").c_str());
    definition.set("syntax", t[syntaxAt].c_str());
    if (single)
        definition.set("single", "single");
    *name = t[1];
    return formText("attributetypes", definition, value) == Formed ? Definition : Refused;
}

LdapSchema::Next LdapSchema::parseObjectClass(const std::string& first, std::string* name,
                                              std::string* value)
{
    static const char* const kKeys[] = {"objectclass", "oid", "superior", "requires", "allows"};
    NVPair definition;
    std::string key, list;
    bool expectKey = true;
    std::string line = first;
    for (;;) {
        for (std::string& tok : tokens(line)) {
            if (expectKey) {
                key = tok;
                list.clear();
                expectKey = false;
                continue;
            }
            bool more = tok.back() == ',';
            if (more)
                tok.pop_back();
            if (!tok.empty())
                list += (list.empty() ? "" : " $ ") + tok;
            for (const char* k : kKeys)
                if (strcasecmp(k, key.c_str()) == 0 && !list.empty())
                    definition.set(k, list.c_str());
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
    const char* named = definition.get("objectclass");
    if (!named) {
        setupLogMessage(SETUP_LOG_FATAL, "schema", "Parsing error on line: %s", first.c_str());
        return Skipped;
    }
    *name = named;
    return formText("objectclasses", definition, value) == Formed ? Definition : Refused;
}

LdapSchema::Next LdapSchema::readDefinition(std::string* type, std::string* name,
                                            std::string* value)
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

Bool LdapSchema::nextEntry(char* type, char* name, char* value)
{
    if (!type || !name || !value)
        return 0;
    std::string t, n, v;
    Next next = readDefinition(&t, &n, &v);
    if (next == End || next == ParseError)
        return 0;
    if (next == Definition && (n.size() >= kNameSize || v.size() >= kValueSize)) {
        setupLogMessage(SETUP_LOG_FATAL, "schema",
                        "refusing %s %s: a name of %zu bytes, a definition of %zu", t.c_str(),
                        n.c_str(), n.size(), v.size());
        next = Refused;
    }
    *value = '\0';
    if (next != Definition)
        return 1;
    memcpy(type, t.c_str(), t.size() + 1);
    memcpy(name, n.c_str(), n.size() + 1);
    memcpy(value, v.c_str(), v.size() + 1);
    return 1;
}

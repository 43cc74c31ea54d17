// Schema files come from installers and plug-ins: parse anything without
// crashing, leaking or reading past it; every definition is one parenthesised
// text that names what the file named, and nothing of the file can close a
// quote or a parenthesis early.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ldapschema.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    LdapSchema::parseText(
        text, [](const std::string&, const std::string& name, const std::string& value) {
            if (value.compare(0, 2, "( ") != 0 || value.back() != ')' || name.empty())
                abort();
            char* named = LdapSchema::getSchemaName(value.c_str());
            bool same = named && name == named;
            free(named);
            // Quotes and parentheses come in pairs, the last closing the text.
            int depth = 0, quotes = 0;
            for (size_t i = 0; i < value.size() && same; ++i) {
                quotes += value[i] == '\'';
                depth += value[i] == '(' ? 1 : value[i] == ')' ? -1 : 0;
                same = depth > 0 || i + 1 == value.size();
            }
            if (!same || depth != 0 || quotes % 2 != 0)
                abort();
        });
    free(LdapSchema::getSchemaName(text.c_str()));
    return 0;
}

// Schema files come from installers and plug-ins: parse anything without
// crashing, leaking or reading past it; every definition is one parenthesised
// text that names what the file named.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ldapschema.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    LdapSchema::parseText(text, [](const std::string&, const std::string& name, const std::string& value) {
        if (value.compare(0, 2, "( ") != 0 || value.back() != ')' || name.empty())
            abort();
        free(LdapSchema::getSchemaName(value.c_str()));
    });
    free(LdapSchema::getSchemaName(text.c_str()));
    return 0;
}

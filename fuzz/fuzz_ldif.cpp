// LDIF files come from installers and plug-ins: read anything without
// crashing, leaking or reading past it, and never store an empty value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ldifentry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    LdifEntry::parseText(text, [](const LdifEntry& e) {
        for (const LdifAttribute& a : e.attributes())
            for (const std::string& v : a.values)
                if (v.empty())
                    abort();
    });
    return 0;
}

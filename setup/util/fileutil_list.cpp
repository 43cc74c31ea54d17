// Path separators, comma-separated name lists and the memory helpers.
#include "setup_compat.h"
#include "setup_util.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

bool isListSeparator(char c)
{
    return c == ',' || c == ' ';
}

bool sameName(const char* a, size_t aLength, const char* b, size_t bLength)
{
    return aLength == bLength && strncasecmp(a, b, aLength) == 0;
}

} // namespace

extern "C" int setupConvertPathSlashes(const char* from, char* to, int toBackslash)
{
    if (from == nullptr)
        return 0;
    const char separator = toBackslash ? '\\' : '/';
    for (; *from != '\0'; ++from, ++to)
        *to = (*from == '/' || *from == '\\') ? separator : *from;
    return 1;
}

extern "C" int setupFindNameInList(const char* list, const char* name)
{
    if (list == nullptr || name == nullptr)
        return 0;
    const size_t nameLength = strlen(name);
    const char* p = list;
    while (*p != '\0') {
        while (isListSeparator(*p))
            ++p;
        if (*p == '\0')
            break;
        const char* start = p;
        while (*p != '\0' && !isListSeparator(*p))
            ++p;
        const size_t length = static_cast<size_t>(p - start);
        if (sameName(start, length, name, nameLength))
            return 1;
        const char* slash = static_cast<const char*>(memchr(start, '/', length));
        if (slash != nullptr &&
            sameName(start, static_cast<size_t>(slash - start), name, nameLength))
            return 1;
    }
    return 0;
}

// A null name adds nothing: the result is a copy of list (null for a null list).
extern "C" char* setupAddNameToList(const char* list, const char* name)
{
    if (list == nullptr || list[0] == '\0')
        return setupStrdup(name != nullptr ? name : list);
    if (name == nullptr || setupFindNameInList(list, name))
        return setupStrdup(list);
    const size_t listLength = strlen(list);
    const size_t nameLength = strlen(name);
    char* joined = static_cast<char*>(malloc(listLength + nameLength + 2));
    if (joined == nullptr)
        return nullptr;
    memcpy(joined, list, listLength);
    joined[listLength] = ',';
    memcpy(joined + listLength + 1, name, nameLength + 1);
    return joined;
}

extern "C" void* setupMalloc(unsigned int size)
{
    return malloc(size);
}

extern "C" char* setupStrdup(const char* text)
{
    return text != nullptr ? strdup(text) : nullptr;
}

extern "C" void setupFree(void* p)
{
    free(p);
}

extern "C" void cvSetupFree(void* p)
{
    free(p);
}

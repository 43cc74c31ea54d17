// Single values of key files and inf files.
#include "setup_infvalues.h"

#include "c_boundary.h"
#include "nvpair.h"
#include "regular_file.h"
#include "setup_util.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>
#include <sys/types.h>

namespace {

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The value in rest, the part of a key-file line after the key.
char* keyFileValue(const char* rest, const char* separator)
{
    const char* start = rest;
    const char* end = nullptr;
    if (separator != nullptr && strlen(separator) == 1) {
        if (*start == separator[0])
            ++start;
    } else if (separator != nullptr) {
        // The first token between separator characters, or the rest whole
        // when there is none.
        const char* token = rest + strspn(rest, separator);
        if (*token != '\0') {
            start = token;
            end = token + strcspn(token, separator);
        }
    }
    if (end == nullptr)
        end = start + strlen(start);
    while (start < end && isAsciiSpace(*start))
        ++start;
    while (end > start && isAsciiSpace(end[-1]))
        --end;
    return strndup(start, static_cast<size_t>(end - start));
}

} // namespace

extern "C" char* setupGetFileString(const char* key, const char* separator, const char* path)
{
    if (key == nullptr || path == nullptr)
        return nullptr;
    // Not fopen: a fifo in a key file's place would block the reader.
    FILE* in = cvOpenRegularFile(path);
    if (in == nullptr)
        return nullptr;
    const size_t keyLength = strlen(key);
    char* line = nullptr;
    size_t capacity = 0;
    char* value = nullptr;
    // getline grows its buffer as needed: lines have no length limit.
    while (getline(&line, &capacity, in) >= 0) {
        if (strncmp(line, key, keyLength) != 0)
            continue;
        value = keyFileValue(line + keyLength, separator);
        break;
    }
    free(line);
    fclose(in);
    return value;
}

extern "C" int setupGetFileInt(const char* key, const char* separator, const char* path)
{
    char* value = setupGetFileString(key, separator, path);
    if (value == nullptr)
        return -1;
    int number = atoi(value);
    free(value);
    return number;
}

namespace {

// The value of name in section of an inf file, or null; copied, since the
// tree dies with the NVPair. found tells a missing value from a failed copy.
char* infValue(const char* section, const char* name, const char* path, bool rootByExactName,
               bool& found)
{
    found = false;
    if (section == nullptr || path == nullptr)
        return nullptr;
    NVPair inf;
    inf.setFormat(1);
    inf.read(path);
    if (inf.isEmpty())
        return nullptr;
    const bool root =
        rootByExactName ? strcmp(section, "General") == 0 : strcasecmp(section, "General") == 0;
    const char* value = nullptr;
    std::unique_ptr<NVPair> view;
    if (root) {
        value = inf.get(name);
    } else {
        view.reset(inf.getSection(section));
        if (view != nullptr)
            value = view->get(name);
    }
    char* copy = nullptr;
    if (value != nullptr) {
        found = true;
        copy = strdup(value);
    }
    return copy;
}

} // namespace

extern "C" char* setupGetInfString(const char* section, const char* name, const char* defaultValue,
                                   const char* path)
{
    return cvGuard<char*>(nullptr, [&] {
        bool found = false;
        char* value = infValue(section, name, path, true, found);
        return found ? value : setupStrdup(defaultValue);
    });
}

extern "C" int setupGetInfInt(const char* section, const char* name, int defaultValue,
                              const char* path)
{
    return cvGuard(defaultValue, [&] {
        bool found = false;
        char* value = infValue(section, name, path, false, found);
        if (!found)
            return defaultValue;
        int number = value != nullptr ? atoi(value) : defaultValue;
        free(value);
        return number;
    });
}

namespace {

int writeInfString(const char* section, const char* name, const char* value, const char* path)
{
    NVPair inf;
    inf.setFormat(1);
    int status = ADM_PI_READ_ERROR;
    inf.read(path, &status);
    // A rewrite after a read that failed or ended early would cut off
    // everything that was not read.
    if (status != ADM_PI_READ_COMPLETE && status != ADM_PI_READ_NO_FILE)
        return 0;
    std::unique_ptr<NVPair> view;
    NVPair* target = &inf;
    if (strcasecmp(section, "General") != 0) {
        view.reset(inf.getSection(section));
        if (view == nullptr)
            view.reset(inf.createSection(section));
        if (view == nullptr)
            return 0;
        target = view.get();
    }
    target->set(name, value);
    const char* stored = target->get(name);
    const bool set = stored != nullptr && strcmp(stored, value) == 0;
    if (!set)
        return 0;
    inf.setFormat(1);
    return inf.write(path) == 0 ? 1 : 0;
}

} // namespace

extern "C" int setupWriteInfString(const char* section, const char* name, const char* value,
                                   const char* path)
{
    if (section == nullptr || name == nullptr || name[0] == '\0' || value == nullptr ||
        path == nullptr)
        return 0;
    return cvGuard(0, [&] { return writeInfString(section, name, value, path); });
}

extern "C" int setupWriteInfInt(const char* section, const char* name, int value, const char* path)
{
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    return setupWriteInfString(section, name, text, path);
}

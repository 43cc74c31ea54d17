// Single values of key files and inf files.
#include "setup_infvalues.h"

#include "nvpair.h"
#include "setup_util.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// What a full read of an inf file would meet, learnt before the file is
// rewritten: the reader gives no account of a read that ends early, and a
// rewrite after one would cut off everything it did not read.
struct InfScan {
    bool readable = true;    // the file is missing or was read to its end
    bool stopsEarly = false; // a section holds a second time-stamp header
    bool hasContent = false; // some line is neither a comment nor blank
};

bool hasFiveWords(const char* text)
{
    int words = 0;
    while (*text != '\0' && words < 5) {
        while (isAsciiSpace(*text))
            ++text;
        if (*text == '\0')
            break;
        ++words;
        while (*text != '\0' && !isAsciiSpace(*text))
            ++text;
    }
    return words >= 5;
}

// A stamp header as the reader takes it: five words or more, or the one-word
// generalized time ("%Y%m%d%H%M%SZ") that time-stamped trees are written with.
bool isStampHeader(const char* text)
{
    if (hasFiveWords(text))
        return true;
    for (int i = 0; i < 14; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return text[14] == 'Z' && text[15] == '\0';
}

// Follows the reader's sections: a stamp belongs to the current section,
// "General" is the top, "(latest-installation-date)" and nameless headers
// change nothing, every other header starts a new section.
void scanHeader(char* line, bool& rootStamped, bool& sectionStamped, bool*& current, InfScan& scan)
{
    char* close = strrchr(line, ']');
    if (close != nullptr)
        *close = '\0';
    char* text = line + 1;
    if (isStampHeader(text)) {
        if (*current)
            scan.stopsEarly = true;
        *current = true;
        return;
    }
    char* start = text + strspn(text, "[ ");
    if (*start == '\0')
        return;
    start[strcspn(start, "[ ")] = '\0';
    if (strcasecmp(start, "(latest-installation-date)") == 0)
        return;
    if (strcasecmp(start, "General") == 0) {
        current = &rootStamped;
        return;
    }
    sectionStamped = false;
    current = &sectionStamped;
}

InfScan scanInf(const char* path)
{
    InfScan scan;
    FILE* in = fopen(path, "r");
    if (in == nullptr) {
        scan.readable = errno == ENOENT;
        return scan;
    }
    bool rootStamped = false;
    bool sectionStamped = false;
    bool* current = &rootStamped;
    char* line = nullptr;
    size_t capacity = 0;
    ssize_t n;
    while (!scan.stopsEarly && (n = getline(&line, &capacity, in)) >= 0) {
        size_t length = strnlen(line, static_cast<size_t>(n));
        line[length] = '\0';
        if (length > 0 && line[length - 1] == '\n')
            line[--length] = '\0';
        if (length > 0 && line[length - 1] == '\r')
            line[--length] = '\0';
        if (line[0] == '#' || line[0] == '\0')
            continue;
        if (strspn(line, " \t\n\v\f\r") < length)
            scan.hasContent = true;
        if (line[0] == '[')
            scanHeader(line, rootStamped, sectionStamped, current, scan);
    }
    if (ferror(in))
        scan.readable = false;
    free(line);
    fclose(in);
    return scan;
}

} // namespace

extern "C" char* setupGetFileString(const char* key, const char* separator, const char* path)
{
    if (key == nullptr || path == nullptr)
        return nullptr;
    FILE* in = fopen(path, "r");
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
    const bool root = rootByExactName ? strcmp(section, "General") == 0 : strcasecmp(section, "General") == 0;
    const char* value = nullptr;
    NVPair* view = nullptr;
    if (root) {
        value = inf.get(name);
    } else {
        view = inf.getSection(section);
        if (view != nullptr)
            value = view->get(name);
    }
    char* copy = nullptr;
    if (value != nullptr) {
        found = true;
        copy = strdup(value);
    }
    delete view;
    return copy;
}

} // namespace

extern "C" char* setupGetInfString(const char* section, const char* name, const char* defaultValue,
                                   const char* path)
{
    bool found = false;
    char* value = infValue(section, name, path, true, found);
    return found ? value : setupStrdup(defaultValue);
}

extern "C" int setupGetInfInt(const char* section, const char* name, int defaultValue, const char* path)
{
    bool found = false;
    char* value = infValue(section, name, path, false, found);
    if (!found)
        return defaultValue;
    int number = value != nullptr ? atoi(value) : defaultValue;
    free(value);
    return number;
}

extern "C" int setupWriteInfString(const char* section, const char* name, const char* value, const char* path)
{
    if (section == nullptr || name == nullptr || name[0] == '\0' || value == nullptr || path == nullptr)
        return 0;
    const InfScan scan = scanInf(path);
    if (!scan.readable || scan.stopsEarly)
        return 0;
    NVPair inf;
    inf.setFormat(1);
    inf.read(path);
    // Content on disk but nothing in the tree: the read failed somewhere,
    // and writing the tree back would empty the file.
    if (scan.hasContent && inf.isEmpty())
        return 0;
    NVPair* view = nullptr;
    NVPair* target = &inf;
    if (strcasecmp(section, "General") != 0) {
        view = inf.getSection(section);
        if (view == nullptr)
            view = inf.createSection(section);
        if (view == nullptr)
            return 0;
        target = view;
    }
    target->set(name, value);
    const char* stored = target->get(name);
    const bool set = stored != nullptr && strcmp(stored, value) == 0;
    delete view;
    if (!set)
        return 0;
    inf.setFormat(1);
    return inf.write(path) == 0 ? 1 : 0;
}

extern "C" int setupWriteInfInt(const char* section, const char* name, int value, const char* path)
{
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    return setupWriteInfString(section, name, text, path);
}

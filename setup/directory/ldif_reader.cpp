// LdifEntry: the RFC 2849 reader.
#include "ldifentry.h"
#include "read_line.h"

#include <cctype>
#include <cstring>
#include <strings.h>

#include "setup_hash.h"

namespace {

bool asciiSpace(unsigned char c)
{
    return c < 0x80 && isspace(c);
}

std::string trimmed(const std::string& text)
{
    size_t b = 0, e = text.size();
    while (b < e && asciiSpace(static_cast<unsigned char>(text[b])))
        ++b;
    while (e > b && asciiSpace(static_cast<unsigned char>(text[e - 1])))
        --e;
    return text.substr(b, e - b);
}

} // namespace

LdifEntry::LdifEntry()
    : file_(nullptr), pending_(false), firstRecord_(true), lineNo_(0), recordLine_(0)
{
}

LdifEntry::LdifEntry(const char* path) : LdifEntry()
{
    if (path)
        file_ = fopen(path, "rb");
}

LdifEntry::~LdifEntry()
{
    if (file_)
        fclose(file_);
}

int LdifEntry::read(const char* path)
{
    if (!path)
        return -1;
    if (file_)
        fclose(file_);
    file_ = fopen(path, "rb");
    firstRecord_ = true;
    lineNo_ = 0;
    if (!file_)
        return -1;
    return nextEntry();
}

Bool LdifEntry::isBlank(const char* line)
{
    if (!line)
        return 1;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(line); *p; ++p)
        if (!asciiSpace(*p))
            return 0;
    return 1;
}

void LdifEntry::stripBlank(char* text, Bool both)
{
    if (!text)
        return;
    size_t n = strlen(text), b = 0;
    while (b < n && asciiSpace(static_cast<unsigned char>(text[b])))
        ++b;
    if (b > 0) {
        memmove(text, text + b, n - b + 1);
        n -= b;
    }
    if (both)
        while (n > 0 && asciiSpace(static_cast<unsigned char>(text[n - 1])))
            text[--n] = '\0';
}

const LdifAttribute* LdifEntry::attribute(const char* name) const
{
    if (!name)
        return nullptr;
    for (const LdifAttribute& a : attributes_)
        if (strcasecmp(a.name.c_str(), name) == 0)
            return &a;
    return nullptr;
}

// One line without its end: LF, or CRLF. Lines have no length limit. A NUL
// read from the file stays in the line (and so in a value).
bool LdifEntry::readLine(std::string* line)
{
    if (!cvReadLine(file_, line))
        return false;
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    ++lineNo_;
    return true;
}

void LdifEntry::refuse(const std::string& why)
{
    if (refused_.empty())
        refused_ = why;
}

void LdifEntry::addValue(const std::string& name, std::string value)
{
    if (value.empty())
        return;
    for (LdifAttribute& a : attributes_) {
        if (strcasecmp(a.name.c_str(), name.c_str()) != 0)
            continue;
        for (const std::string& v : a.values)
            if (v == value)
                return;
        a.values.push_back(std::move(value));
        return;
    }
    attributes_.push_back(LdifAttribute{name, {std::move(value)}});
}

// The pending attribute line, its folds joined, becomes a value: "name:
// text", "name:: base64" or "name:< url" (refused: a loader must not fetch
// what a file names).
void LdifEntry::storePending()
{
    if (!pending_)
        return;
    pending_ = false;
    std::string name = trimmed(pendingName_);
    const std::string& raw = pendingRaw_;
    std::string value;
    if (!raw.empty() && raw[0] == ':') {
        size_t b = raw.find_first_not_of(' ', 1);
        std::string encoded = b == std::string::npos ? std::string() : trimmed(raw.substr(b));
        // Encoded texts hold no NUL; one that does is not Base64.
        std::vector<unsigned char> bytes(base64_decoded_size(encoded.c_str()) + 1);
        int n = encoded.find('\0') == std::string::npos
                    ? base64_decode_sized(encoded.c_str(), bytes.data(), bytes.size())
                    : BASE64_INVALID;
        if (n < 0) {
            refuse("bad Base64 value of attribute " + name);
            return;
        }
        value.assign(reinterpret_cast<const char*>(bytes.data()), static_cast<size_t>(n));
    } else if (!raw.empty() && raw[0] == '<') {
        refuse("unsupported URL form (\":<\") for the value of attribute " + name);
        return;
    } else {
        size_t b = raw.find_first_not_of(' ');
        value = b == std::string::npos ? std::string() : raw.substr(b);
    }
    if (strcasecmp(name.c_str(), "changetype") == 0) {
        // A change record of type add carries the entry's content, as a
        // content record does; other change types are not loads.
        if (value != "add")
            refuse("unsupported change type \"" + value + "\"");
        return;
    }
    addValue(name, std::move(value));
}

int LdifEntry::nextEntry()
{
    attributes_.clear();
    refused_.clear();
    pending_ = false;
    if (!file_)
        return -1;
    bool started = false, inComment = false, versionChecked = !firstRecord_;
    std::string line;
    while (readLine(&line)) {
        if (!line.empty() && line[0] == '#') {
            storePending();
            inComment = true;
            continue;
        }
        if (!line.empty() && line[0] == ' ') {
            // Exactly one blank is the fold; the rest belongs to the text.
            if (!inComment && pending_)
                pendingRaw_.append(line, 1, std::string::npos);
            continue;
        }
        inComment = false;
        if (isBlank(line.c_str()) && line.find('\0') == std::string::npos) {
            if (started)
                break;
            continue;
        }
        storePending();
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        if (!versionChecked) {
            versionChecked = true;
            // The file's version line is not part of the first record.
            if (strcasecmp(trimmed(name).c_str(), "version") == 0)
                continue;
        }
        if (!started)
            recordLine_ = lineNo_;
        started = true;
        pendingName_ = name;
        pendingRaw_ = line.substr(colon + 1);
        pending_ = true;
    }
    storePending();
    firstRecord_ = false;
    return started ? 0 : -1;
}

// LdifEntry: the RFC 2849 reader.
#include "ldifentry.h"
#include "read_line.h"
#include "regular_file.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <strings.h>

#include "setup_compat.h"
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
    : file_(nullptr), openError_(0), values_(0, ValueHash{&attributes_}, ValueEq{&attributes_}),
      lastAttribute_(0), pending_(false), firstRecord_(true), lineNo_(0), recordLine_(0)
{
}

LdifEntry::LdifEntry(const char* path) : LdifEntry()
{
    if (path)
        open(path);
}

LdifEntry::~LdifEntry()
{
    if (file_)
        fclose(file_);
}

void LdifEntry::open(const char* path)
{
    if (file_)
        fclose(file_);
    file_ = cvOpenRegularFile(path);
    openError_ = file_ ? 0 : errno;
    firstRecord_ = true;
    lineNo_ = 0;
}

int LdifEntry::read(const char* path)
{
    if (!path)
        return -1;
    open(path);
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

namespace {

std::string lowered(const std::string& name)
{
    std::string out = name;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

const LdifAttribute* LdifEntry::attribute(const char* name) const
{
    if (!name)
        return nullptr;
    auto it = names_.find(lowered(name));
    return it == names_.end() ? nullptr : &attributes_[it->second];
}

// One line without its end: LF, or CRLF. Lines have no length limit. A NUL
// read from the file stays in the line (and so in a value).
bool LdifEntry::readLine(std::string* line)
{
    if (!cvReadLine(file_, line))
        return false;
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    // A byte order mark some editors write is not part of the first name.
    if (lineNo_ == 0 && line->compare(0, 3, "\xEF\xBB\xBF") == 0)
        line->erase(0, 3);
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
    // Values of one attribute usually come in a row: its name is looked up
    // once for the row.
    size_t at = lastAttribute_;
    if (at >= attributes_.size() || strcasecmp(attributes_[at].name.c_str(), name.c_str()) != 0) {
        auto named = names_.emplace(lowered(name), attributes_.size());
        if (named.second)
            attributes_.push_back(LdifAttribute{name, {}});
        at = lastAttribute_ = named.first->second;
    }
    std::vector<std::string>& values = attributes_[at].values;
    values.push_back(std::move(value));
    if (!values_.insert(ValueRef{at, values.size() - 1}).second)
        values.pop_back();
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
        if (strcasecmp(trimmed(value).c_str(), "add") != 0)
            refuse("unsupported change type \"" + value + "\"");
        return;
    }
    // Without its DN a record would name the suffix alone (or nothing).
    if (value.empty() && strcasecmp(name.c_str(), "dn") == 0) {
        refuse("empty DN");
        return;
    }
    addValue(name, std::move(value));
}

void LdifEntry::clearRecord()
{
    attributes_.clear();
    names_.clear();
    // clear() walks every bucket: after a record of many values, a fresh
    // table keeps the small records that follow cheap.
    if (values_.bucket_count() > 1024)
        values_ = decltype(values_)(0, ValueHash{&attributes_}, ValueEq{&attributes_});
    else
        values_.clear();
    refused_.clear();
    pending_ = false;
}

int LdifEntry::nextEntry()
{
    clearRecord();
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
        bool fold = !line.empty() && line[0] == ' ';
        if (fold && (pending_ || inComment)) {
            // Exactly one blank is the fold; the rest belongs to the text.
            if (pending_)
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
        if (!started)
            recordLine_ = lineNo_;
        // A fold with nothing to continue (an indented first line, or the
        // rest of a name that a fold cut, its first part having no ':') or
        // a line without ':': what the record names cannot be known.
        size_t colon = fold ? std::string::npos : line.find(':');
        if (colon == std::string::npos) {
            started = true;
            refuse("line " + std::to_string(lineNo_) +
                   " is no \"name: value\" line and continues none");
            continue;
        }
        std::string name = line.substr(0, colon);
        if (!versionChecked) {
            versionChecked = true;
            // The file's version line is not part of the first record.
            if (strcasecmp(trimmed(name).c_str(), "version") == 0)
                continue;
        }
        started = true;
        pendingName_ = name;
        pendingRaw_ = line.substr(colon + 1);
        pending_ = true;
    }
    storePending();
    firstRecord_ = false;
    return started ? 0 : -1;
}

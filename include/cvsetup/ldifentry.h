/*
 * LdifEntry: reads an LDIF file (RFC 2849) one record at a time.
 *
 * Values are kept byte for byte: Base64 values ("::") are decoded, so a value
 * may hold any byte, NUL included; a continuation line loses exactly its one
 * leading blank; CRLF ends a line like LF. Only byte-identical duplicates of
 * one attribute are dropped (a name's spellings differing in case are one
 * attribute). The record is not an NVPair: that store's rule of dropping
 * values equal without regard to case, and its C texts, would lose "A" beside
 * "a" and every value holding a NUL.
 *
 * A record the reader cannot take whole (bad Base64, a ":<" URL value, a
 * change type other than "add", an empty DN, a line that is no "name:
 * value" and continues nothing, such as an indented first line or an
 * attribute name folded over two lines) is still read to its end, and
 * refused(): its reason is set and the loader writes nothing for it.
 * Keywords (dn, version, changetype and its values) match without regard to
 * case. A UTF-8 byte order mark at the start of the file is skipped.
 *
 * Only a regular file is read (a fifo or a device is refused at once, with
 * openError() EINVAL). Duplicate values are found through a hash of the
 * record's values, so a record of any size is read in linear time.
 */
#ifndef CV_LDIFENTRY_H
#define CV_LDIFENTRY_H

// A class interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "setup_common.h"

struct LdifAttribute {
    std::string name;                // as first spelled in the record
    std::vector<std::string> values; // in file order, never empty texts
};

class SETUP_EXPORT LdifEntry {
public:
    LdifEntry();
    explicit LdifEntry(const char* path);
    ~LdifEntry();
    LdifEntry(const LdifEntry&) = delete;
    LdifEntry& operator=(const LdifEntry&) = delete;

    // -1 for a null path or a file that cannot be opened; else nextEntry().
    int read(const char* path);
    bool isOpen() const { return file_ != nullptr; }
    // errno of the last open that failed (EINVAL: not a regular file).
    int openError() const { return openError_; }
    // 0 when a record was read (possibly a refused one), -1 at the end of
    // the file or when no file is open.
    int nextEntry();

    const std::vector<LdifAttribute>& attributes() const { return attributes_; }
    // The attribute of that name (without regard to case), or null.
    const LdifAttribute* attribute(const char* name) const;
    // Non-empty when the record cannot be written: why, for the log.
    const std::string& refused() const { return refused_; }
    // Line of the file where the current record starts (1 for the first).
    long line() const { return recordLine_; }

    static Bool isBlank(const char* line);
    static void stripBlank(char* text, Bool both);

    // Parses a whole LDIF text held in memory (for the fuzz target and for
    // callers that have no file): each record in turn is passed to visit.
    template <class Visit>
    static void parseText(const std::string& text, Visit&& visit);

private:
    // One value of the record: attributes_[attribute].values[value].
    struct ValueRef {
        size_t attribute;
        size_t value;
    };
    struct ValueHash {
        const std::vector<LdifAttribute>* attributes;
        size_t operator()(const ValueRef& r) const
        {
            return std::hash<std::string_view>()((*attributes)[r.attribute].values[r.value]) ^
                   r.attribute;
        }
    };
    struct ValueEq {
        const std::vector<LdifAttribute>* attributes;
        bool operator()(const ValueRef& a, const ValueRef& b) const
        {
            return a.attribute == b.attribute && (*attributes)[a.attribute].values[a.value] ==
                                                     (*attributes)[b.attribute].values[b.value];
        }
    };

    void open(const char* path);
    void clearRecord();
    bool readLine(std::string* line);
    void storePending();
    void refuse(const std::string& why);
    void addValue(const std::string& name, std::string value);

    FILE* file_;
    int openError_;
    std::vector<LdifAttribute> attributes_;
    // Attribute names in lower case, to their index in attributes_.
    std::unordered_map<std::string, size_t> names_;
    std::unordered_set<ValueRef, ValueHash, ValueEq> values_;
    size_t lastAttribute_; // where the last value went
    std::string refused_;
    std::string pendingName_;
    std::string pendingRaw_; // text after the ':' as written, folds joined
    bool pending_;
    bool firstRecord_;
    long lineNo_;
    long recordLine_;
};

template <class Visit>
void LdifEntry::parseText(const std::string& text, Visit&& visit)
{
    if (text.empty())
        return;
    LdifEntry reader;
    reader.file_ = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    while (reader.file_ && reader.nextEntry() == 0)
        visit(static_cast<const LdifEntry&>(reader));
}

#endif // __cplusplus

#endif

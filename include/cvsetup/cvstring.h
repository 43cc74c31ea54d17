/*
 * CVString: the immutable counted string of the setup library.
 *
 * Copies share one reference-counted representation; nothing changes
 * characters in place, so sharing needs no copy-on-write. The empty string
 * has no representation and converts to a null pointer, never to "".
 * The count is a plain integer: strings are used from one thread only.
 */
#ifndef CV_CVSTRING_H
#define CV_CVSTRING_H

// A class interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include <cstdint>

#include "setup_common.h"

struct CVStringRep {
    int32_t refCount;
    char* data;   // owned, NUL-terminated, allocated as an array
    int32_t size; // allocated bytes: length + 1

    CVStringRep(const CVStringRep&) = delete;
    CVStringRep& operator=(const CVStringRep&) = delete;

private:
    // Only CVString makes and ends a representation: a caller sees one
    // through CVString::rep() and never owns it.
    friend class CVString;
    // Copies at most size bytes of text, NUL-filling after a shorter text;
    // the last byte is always NUL. The count starts at 0.
    CVStringRep(const char* text, long size);
    ~CVStringRep();
};

class SETUP_EXPORT CVString {
public:
    CVString();
    CVString(const char* text);
    // At most max characters of text; never reads past them.
    CVString(const char* text, int max);
    CVString(const CVString& other);
    // Concatenation: alen bytes of a then blen bytes of b (null sources
    // are passed with length 0).
    CVString(const char* a, long alen, const char* b, long blen);
    virtual ~CVString();

    virtual operator const char*() const;
    virtual int length() const;

    void clear();
    // Safe also for a pointer into this string's own text.
    CVString& operator=(const char* text);
    CVString& operator=(const CVString& other);

    bool operator==(const char* text) const;
    bool operator==(const CVString& other) const;
    bool operator!=(const char* text) const;
    bool operator!=(const CVString& other) const;

    // For tests and diagnostics: the shared representation (null if empty).
    const CVStringRep* rep() const { return rep_; }

protected:
    void init(const char* text, int max);
    void assign(const CVString& other);

private:
    CVStringRep* rep_;
    const char* data_;
    int32_t length_;
};

SETUP_BEGIN_EXPORTS
CVString operator+(const CVString& a, const CVString& b);
CVString operator+(const CVString& a, const char* b);
CVString operator+(const char* a, const CVString& b);
SETUP_END_EXPORTS

#endif // __cplusplus

#endif

#include "cvstring.h"

#include <cstring>
#include <memory>

CVStringRep::CVStringRep(const char* text, long size)
    : refCount(0), data(nullptr), size(static_cast<int32_t>(size))
{
    if (size < 1) {
        this->size = 0;
        return;
    }
    data = new char[size];
    long n = text ? static_cast<long>(strnlen(text, static_cast<size_t>(size))) : 0;
    if (n > 0)
        memcpy(data, text, static_cast<size_t>(n));
    memset(data + n, 0, static_cast<size_t>(size - n));
    data[size - 1] = '\0';
}

CVStringRep::~CVStringRep()
{
    delete[] data;
}

CVString::CVString() : rep_(nullptr), data_(nullptr), length_(0) {}

CVString::CVString(const char* text) : rep_(nullptr), data_(nullptr), length_(0)
{
    if (text)
        init(text, static_cast<int>(strnlen(text, INT32_MAX - 1)));
}

CVString::CVString(const char* text, int max) : rep_(nullptr), data_(nullptr), length_(0)
{
    init(text, max);
}

CVString::CVString(const CVString& other) : rep_(nullptr), data_(nullptr), length_(0)
{
    assign(other);
}

CVString::CVString(const char* a, long alen, const char* b, long blen)
    : rep_(nullptr), data_(nullptr), length_(0)
{
    if (!a || alen < 0)
        alen = 0;
    if (!b || blen < 0)
        blen = 0;
    long total = alen + blen;
    if (total <= 0 || total >= INT32_MAX)
        return;
    std::unique_ptr<char[]> owned(new char[total + 1]);
    char* buf = owned.get();
    // Each source may be shorter than its count: copy what is there and
    // NUL-fill the rest rather than reading past the source's end.
    long an = alen ? static_cast<long>(strnlen(a, static_cast<size_t>(alen))) : 0;
    memcpy(buf, a ? a : "", static_cast<size_t>(an));
    memset(buf + an, 0, static_cast<size_t>(alen - an));
    long bn = blen ? static_cast<long>(strnlen(b, static_cast<size_t>(blen))) : 0;
    memcpy(buf + alen, b ? b : "", static_cast<size_t>(bn));
    memset(buf + alen + bn, 0, static_cast<size_t>(blen - bn));
    buf[total] = '\0';
    CVStringRep* rep = new CVStringRep(nullptr, 0);
    rep->data = owned.release();
    rep->size = static_cast<int32_t>(total + 1);
    rep->refCount = 1;
    rep_ = rep;
    data_ = buf;
    length_ = static_cast<int32_t>(total);
}

CVString::~CVString()
{
    clear();
}

CVString::operator const char*() const
{
    return data_;
}

int CVString::length() const
{
    return length_;
}

void CVString::init(const char* text, int max)
{
    if (!text || max < 1)
        return;
    // strnlen: the text need not be terminated within max characters.
    size_t k = strnlen(text, static_cast<size_t>(max));
    if (k == 0)
        return;
    CVStringRep* rep = new CVStringRep(text, static_cast<long>(k) + 1);
    rep->refCount = 1;
    rep_ = rep;
    data_ = rep->data;
    length_ = static_cast<int32_t>(k);
}

void CVString::assign(const CVString& other)
{
    if (!other.rep_)
        return;
    rep_ = other.rep_;
    ++rep_->refCount;
    data_ = rep_->data;
    length_ = other.length_;
}

void CVString::clear()
{
    if (rep_) {
        if (--rep_->refCount < 1)
            delete rep_;
    }
    rep_ = nullptr;
    data_ = nullptr;
    length_ = 0;
}

CVString& CVString::operator=(const char* text)
{
    if (text == data_)
        return *this;
    // The text may point into our own buffer (not only at its start):
    // take the copy before the old representation can be released.
    CVString copy(text);
    clear();
    assign(copy);
    return *this;
}

CVString& CVString::operator=(const CVString& other)
{
    if (&other == this)
        return *this;
    // Hold other's representation first: other may be owned by the text we
    // are about to release (a copy stored inside an object we drop).
    CVString keep(other);
    clear();
    assign(keep);
    return *this;
}

bool CVString::operator==(const char* text) const
{
    if (length_ == 0 && !text)
        return true;
    if (!text)
        return false;
    size_t n = strlen(text);
    if (static_cast<size_t>(length_) != n)
        return false;
    if (n == 0)
        return true;
    return strcmp(data_, text) == 0;
}

bool CVString::operator==(const CVString& other) const
{
    return *this == static_cast<const char*>(other);
}

bool CVString::operator!=(const char* text) const
{
    return !(*this == text);
}

bool CVString::operator!=(const CVString& other) const
{
    return !(*this == other);
}

CVString operator+(const CVString& a, const CVString& b)
{
    return CVString(static_cast<const char*>(a), a.length(), static_cast<const char*>(b),
                    b.length());
}

CVString operator+(const CVString& a, const char* b)
{
    return CVString(static_cast<const char*>(a), a.length(), b,
                    b ? static_cast<long>(strlen(b)) : 0);
}

CVString operator+(const char* a, const CVString& b)
{
    return CVString(a, a ? static_cast<long>(strlen(a)) : 0, static_cast<const char*>(b),
                    b.length());
}

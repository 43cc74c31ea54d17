#include "nvpair.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "adm_pi_internal.h"
#include "setup_infofile.h"

NVPair::NVPair() : ownsTree_(1), tree_(ADM_pi_newTree(0)), fileName_(nullptr), format_(0) {}

NVPair::NVPair(const char* file) : ownsTree_(0), tree_(nullptr), fileName_(nullptr), format_(0)
{
    init(file);
}

NVPair::NVPair(const NVPair& other)
    : ownsTree_(1), tree_(nullptr), fileName_(nullptr), format_(other.format_)
{
    if (!other.tree_) {
        tree_ = ADM_pi_newTree(format_);
        return;
    }
    tree_ = ADM_pi_newTree(format_);
    ADM_pi_copy(tree_, other.tree_);
    id_ = other.id_;
    fileName_ = other.fileName_ ? strdup(other.fileName_) : nullptr;
}

NVPair& NVPair::operator=(const NVPair& other)
{
    if (&other == this)
        return *this;
    // other may be a view into our own tree: copy it before releasing ours.
    ADM_piTree* fresh = ADM_pi_newTree(format_);
    CVString otherId = other.id_;
    if (other.tree_)
        ADM_pi_copy(fresh, other.tree_);
    if (ownsTree_)
        ADM_pi_done(tree_);
    tree_ = fresh;
    ownsTree_ = 1;
    free(fileName_);
    fileName_ = nullptr;
    if (other.tree_)
        id_ = otherId;
    else
        id_.clear();
    return *this;
}

NVPair::~NVPair()
{
    if (ownsTree_)
        ADM_pi_done(tree_);
    tree_ = nullptr;
    free(fileName_);
}

void NVPair::init(const char* file)
{
    init(file, nullptr);
}

void NVPair::init(const char* file, int* status)
{
    tree_ = ADM_pi_init(file, format_, status);
    free(fileName_);
    fileName_ = file ? strdup(file) : nullptr;
    ownsTree_ = 1;
}

void NVPair::read(const char* file)
{
    read(file, nullptr);
}

void NVPair::read(const char* file, int* status)
{
    int format = format_;
    // file may be our own file name, which clear releases.
    char* path = file ? strdup(file) : nullptr;
    if (file && !path) {
        if (status)
            *status = ADM_PI_READ_ERROR;
        return;
    }
    if (ownsTree_)
        ADM_pi_done(tree_);
    tree_ = nullptr;
    id_.clear();
    format_ = format;
    init(path, status);
    free(path);
}

void NVPair::clear()
{
    if (tree_) {
        if (ownsTree_)
            ADM_pi_done(tree_);
        tree_ = ADM_pi_newTree(0);
        ownsTree_ = 1;
    }
    id_.clear();
    free(fileName_);
    fileName_ = nullptr;
    format_ = 0;
}

void NVPair::setFormat(int format)
{
    format_ = format;
    if (tree_)
        ADM_pi_setFormat(tree_, format);
}

int NVPair::write() const
{
    return write(fileName_);
}

int NVPair::write(const char* path) const
{
    if (!tree_)
        return -1;
    return ADM_pi_write(tree_, path);
}

void NVPair::id(const char* text)
{
    id_ = text;
}

const char* NVPair::timeStamp() const
{
    return ADM_pi_when(tree_);
}

void NVPair::stampTime()
{
    if (!tree_)
        return;
    char buffer[1024];
    get_gmtime(buffer, sizeof buffer);
    ADM_pi_timeStamp(tree_, buffer);
}

Bool NVPair::isEmpty() const
{
    if (!tree_)
        return 1;
    return !tree_->timeStamp && tree_->valueCount == 0 && tree_->booleanCount == 0 &&
           tree_->listCount == 0 && tree_->sectionCount == 0;
}

const char* NVPair::get(const char* name) const
{
    return ADM_pi_value(tree_, name);
}

void NVPair::set(const char* name, const char* text)
{
    ADM_pi_setValue(tree_, name, text);
}

void NVPair::set(const char* name, long value)
{
    char buffer[32];
    snprintf(buffer, sizeof buffer, "%ld", value);
    set(name, buffer);
}

void NVPair::set(const char* name, unsigned long value)
{
    char buffer[32];
    snprintf(buffer, sizeof buffer, "%lu", value);
    set(name, buffer);
}

void NVPair::set(const char* name, int value)
{
    set(name, static_cast<long>(value));
}

void NVPair::set(const char* name, unsigned value)
{
    set(name, static_cast<unsigned long>(value));
}

void NVPair::set(const char* name, const CVString& text)
{
    set(name, static_cast<const char*>(text));
}

void NVPair::set(const char* section, const char* name, const char* text)
{
    if (!section)
        return;
    NVPair* view = createSection(section);
    if (view)
        view->set(name, text);
    delete view;
}

void NVPair::set(const char* section, const char* name, const CVString& text)
{
    set(section, name, static_cast<const char*>(text));
}

void NVPair::set(const char* section, const char* name, long value)
{
    if (!section)
        return;
    NVPair* view = createSection(section);
    if (view)
        view->set(name, value);
    delete view;
}

void NVPair::remove(const char* name)
{
    ADM_pi_delValue(tree_, name);
}

void NVPair::rename(const char* oldName, const char* newName)
{
    ADM_pi_rename(tree_, oldName, newName);
}

int NVPair::numName() const
{
    return tree_ ? tree_->valueCount : 0;
}

const char* NVPair::name(int index) const
{
    if (index < 0 || index >= numName())
        return nullptr;
    return tree_->valueNames[index];
}

void NVPair::toUTF8(const char* name)
{
    ADM_pi_convertEncoding(tree_, name, 1);
}

void NVPair::toLocal(const char* name)
{
    ADM_pi_convertEncoding(tree_, name, 0);
}

void get_gmtime(char* buffer, int size)
{
    if (!buffer || size < 1)
        return;
    setupGetGmtime(buffer, static_cast<size_t>(size));
}

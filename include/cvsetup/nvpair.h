/*
 * NVPair: the class over one install-info tree, or a view of one section of
 * a tree that another NVPair owns. Views share the parent's tree and must not
 * outlive it; deleting a view releases nothing of the tree.
 */
#ifndef CV_NVPAIR_H
#define CV_NVPAIR_H

// A class interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include <cstddef>

#include "adm_pi.h"
#include "cvstring.h"
#include "setup_common.h"

class SETUP_EXPORT NVPair {
public:
    NVPair();
    NVPair(const char* file);
    NVPair(const NVPair& other);
    NVPair& operator=(const NVPair& other);
    ~NVPair();

    void init(const char* file);
    void read(const char* file);
    // As above; *status receives how the read ended (ADM_PI_READ_*).
    void init(const char* file, int* status);
    void read(const char* file, int* status);
    void clear();
    void setFormat(int format);
    int write() const;
    int write(const char* path) const;

    void id(const char* text);
    const char* id() const { return id_; }
    const char* timeStamp() const;
    void stampTime();
    Bool isEmpty() const;

    const char* get(const char* name) const;
    void set(const char* name, const char* text);
    void set(const char* name, long value);
    void set(const char* name, unsigned long value);
    void set(const char* name, int value);
    void set(const char* name, unsigned value);
    void set(const char* name, const CVString& text);
    void set(const char* section, const char* name, const char* text);
    void set(const char* section, const char* name, const CVString& text);
    void set(const char* section, const char* name, long value);
    void remove(const char* name);
    void rename(const char* oldName, const char* newName);
    int numName() const;
    const char* name(int index) const;
    void toUTF8(const char* name);
    void toLocal(const char* name);

    void add(const char* list, const char* item);
    void add(const char* list, const CVString& item);
    void add(const char* list, const char** items);
    void add(const char* section, const char* list, const char* item);
    void add(const char* section, const char* list, const CVString& item);
    void add(const char* section, const char* list, const char** items);
    char** getListItems(const char* list) const;
    static void freeListItems(char** items);
    const char* getListItem(const char* list, int index) const;
    int numListItems(const char* list) const;
    Bool inList(const char* list, const char* item) const;
    Bool listExists(const char* list) const;
    void delList(const char* list);
    void delListItem(const char* list, const char* item);
    int numList() const;
    const char* list(int index) const;

    int numSections() const;
    NVPair* getSection(const char* name);
    NVPair* getSection(int index);
    NVPair* createSection(const char* name);
    void addSection(const char* name, NVPair* source);

    // The tree itself, for code of this library that works on it directly.
    ADM_piTree* tree() const { return tree_; }

private:
    // A section view of sub (a tree that another NVPair owns), named id.
    static NVPair* viewOf(ADM_piTree* sub, const char* id);

    int ownsTree_;
    ADM_piTree* tree_;
    CVString id_;
    char* fileName_;
    int format_;
};

// Current UTC time as "%Y%m%d%H%M%SZ".
SETUP_EXPORT void get_gmtime(char* buffer, int size);

#endif // __cplusplus

#endif

// Resource bundle internals: the properties object, the key table (an
// unbalanced binary tree by strcmp, each key with a default text and a list of
// per-language texts), the escape decoder and the buffered line reader.
#ifndef CV_RESBUNDLE_H
#define CV_RESBUNDLE_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "setup_bundle.h"

struct LangStatus {
    char* language; // null in the first node, which stands for the default file
    uint32_t status;
    LangStatus* next;
};

enum : uint32_t { LANG_NOT_TRIED = 0, LANG_LOADED = 1, LANG_MISSING = 2 };

struct ValueItem {
    char* language; // null only in a first node that holds no language yet
    char* text;
    ValueItem* next;
};

struct TreeItem {
    ValueItem* values; // first node allocated with the item
    char* key;         // null only in the empty root
    char* text;        // default text, may be null
    TreeItem* left;
    TreeItem* right;
};

struct ResHash {
    char* name;
    TreeItem* root;
};

struct Properties {
    char* directory;
    char* base;
    LangStatus* status;
    ResHash* table;
};

struct CoreResource {
    char* path; // the bundle's directory
    Properties* properties;
};

// Properties object.
Properties* PropertiesInit(const char* directory, const char* base);
char* GetProertiesFilename(const char* directory, const char* base, const char* language);
int PropertiesLoadFileToHash(Properties* p, const char* language);
unsigned PropertiesLanguageStatus(Properties* p, const char* language);
int PropertiesSetLangStatus(LangStatus* list, const char* language, unsigned status);
int PropertiesOpenFile(Properties* p, const char* language);
const char* PropertiesGetString(Properties* p, const char* key, const char* language);
void PropertiesDestroy(Properties* p);
// 1 when language may name a bundle file: [A-Za-z0-9_-]+.
int PropertiesLanguageIsValid(const char* language);

// Key table. The adding operations return 0, or 1 when memory runs out.
ResHash* ResHashCreate(const char* name);
int ResHashAdd(ResHash* table, const char* key, const char* text, const char* language);
const char* ResHashSearch(ResHash* table, const char* key, const char* language);
void ResHashDestroy(ResHash* table);
int TreeAddItem(TreeItem* root, const char* key, const char* text, const char* language);
const char* TreeSearchItem(TreeItem* root, const char* key, const char* language);
void TreeDestroy(TreeItem* item);
int ValueAddLanguageItem(ValueItem* list, const char* text, const char* language);
const char* ValueSearchItem(ValueItem* list, const char* language);
void ValueDestroy(ValueItem* list);

// Escapes. unicode_to_UTF8 writes at most UTF8_MAX_BYTES bytes and a NUL.
enum { UTF8_MAX_BYTES = 4 };
char* decode_ascii(const char* text);
int unicode_to_UTF8(unsigned code, unsigned char* out);

// Line reader.
enum {
    TEXTFILE_READING = 1,
    TEXTFILE_WRITING = 2,
    TEXTFILE_AT_END = 3,
    TEXTFILE_TEXT_MAX = 2024, // file text the buffer holds
    TEXTFILE_BUFFER = 2028,
    TEXTFILE_LINE_SIZE = TEXTFILE_TEXT_MAX + 1 // room ReadTextLine's line needs
};

struct TextFile {
    FILE* stream;
    char* position; // next unread character in buffer
    uint32_t count; // bytes of text in buffer
    int32_t state;
    char buffer[TEXTFILE_BUFFER];
};

TextFile* OpenTextFile(const char* path, int mode);
// Copies the next line (or piece of at most TEXTFILE_TEXT_MAX characters of a
// longer one) without its newline into line, which holds TEXTFILE_LINE_SIZE
// bytes; returns its length, or -1 at the end of the file.
int ReadTextLine(TextFile* file, char* line);
// Reads the next whole line, however long, into *line (grown with realloc;
// the caller frees it); returns its length, -1 at the end of the file, or -2
// when memory runs out.
long ReadTextLineWhole(TextFile* file, char** line, size_t* capacity);
void CloseTextFile(TextFile* file);

#endif

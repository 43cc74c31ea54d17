/*
 * Install-info (.inf) trees: parsing, lookup, change and writing.
 *
 * The only code that knows the file format. Formats: 0 native, 1 equals,
 * 2 colon. Names match without regard to case everywhere. Every string in a
 * tree is a private malloc'd copy. C++ linkage (ADM_pi_init is overloaded).
 */
#ifndef CV_ADM_PI_H
#define CV_ADM_PI_H

// A class interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include "setup_common.h"

// A parsed install-info file or one section of it. Its layout is the
// library's own: callers use the functions below (or NVPair).
struct ADM_piTree;

SETUP_BEGIN_EXPORTS

ADM_piTree* ADM_pi_init(const char* path);
ADM_piTree* ADM_pi_init(const char* path, int format);
// How a read ended, for callers that must not write back a partial tree.
enum {
    ADM_PI_READ_COMPLETE = 0, // the whole file was read (or path is null)
    ADM_PI_READ_NO_FILE = 1,  // the file does not exist
    ADM_PI_READ_STOPPED = 2,  // a second time-stamp header in one section ended the read
    ADM_PI_READ_ERROR = 3     // the file could not be opened or read, or memory ran out
};
// As above; *status (when status is non-null) tells how the read ended.
ADM_piTree* ADM_pi_init(const char* path, int format, int* status);
void ADM_pi_done(ADM_piTree* tree);
void ADM_pi_copy(ADM_piTree* dst, const ADM_piTree* src);
void ADM_pi_setFormat(ADM_piTree* tree, int format);

char* ADM_pi_value(const ADM_piTree* tree, const char* name);
char* ADM_pi_when(const ADM_piTree* tree);
int ADM_pi_canDo(const ADM_piTree* tree, const char* name, const char* item);
int ADM_pi_list(const ADM_piTree* tree, const char* name, char*** items);
ADM_piTree* ADM_pi_section(const ADM_piTree* tree, const char* name);
ADM_piTree* ADM_pi_nsection(const ADM_piTree* tree, int index);
char* ADM_pi_sectName(const ADM_piTree* tree, int index);

void ADM_pi_setValue(ADM_piTree* tree, const char* name, const char* text);
void ADM_pi_setBoolean(ADM_piTree* tree, const char* name, const char* text);
void ADM_pi_setCapability(ADM_piTree* tree, const char* name, const char* item);
void ADM_pi_delCapability(ADM_piTree* tree, const char* name, const char* item);
void ADM_pi_delValue(ADM_piTree* tree, const char* name);
void ADM_pi_delList(ADM_piTree* tree, const char* name);
void ADM_pi_delSection(ADM_piTree* tree, const char* name);
ADM_piTree* ADM_pi_addSection(ADM_piTree* tree, const char* name);
void ADM_pi_2List(ADM_piTree* tree, const char* name);
void ADM_pi_rename(ADM_piTree* tree, const char* oldName, const char* newName);
void ADM_pi_timeStamp(ADM_piTree* tree, const char* text);
void ADM_pi_convertEncoding(ADM_piTree* tree, const char* name, int toUtf8);

// path null: standard output (flushed, never closed). Otherwise the tree is
// written to a temporary file beside path and renamed over it; -1 on any
// failure, with the previous file left as it was.
int ADM_pi_write(const ADM_piTree* tree, const char* path);

SETUP_END_EXPORTS

#endif // __cplusplus

#endif

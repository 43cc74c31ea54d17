/*
 * The layout of install-info trees, and internal helpers shared by the
 * install-info tree sources.
 */
#ifndef CV_ADM_PI_INTERNAL_H
#define CV_ADM_PI_INTERNAL_H

#include "adm_pi.h"

struct ADM_piList {
    char* name;
    int count;
    char** items;
};

struct ADM_piSection {
    char* name;
    ADM_piTree* tree;
};

struct ADM_piTree {
    int format;
    char* timeStamp;
    int valueCount;
    char** valueNames;
    char** valueTexts;
    int booleanCount;
    char** booleanNames;
    unsigned char* booleanFlags;
    int listCount;
    ADM_piList* lists;
    int sectionCount;
    ADM_piSection* sections;
};

// ASCII white space only: bytes of 0x80 and above belong to multibyte text.
inline bool ADM_pi_isSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The single-word stamp NVPair::stampTime sets ("%Y%m%d%H%M%SZ"): a header
// holding just that is read as the section's time stamp.
bool ADM_pi_isGeneralizedTime(const char* text);

ADM_piTree* ADM_pi_newTree(int format);
void ADM_pi_appendValue(ADM_piTree* tree, const char* name, const char* text);
void ADM_pi_appendBoolean(ADM_piTree* tree, const char* name, const char* text);
ADM_piList* ADM_pi_findList(const ADM_piTree* tree, const char* name);
ADM_piList* ADM_pi_listFor(ADM_piTree* tree, const char* name);
void ADM_pi_addListItem(ADM_piTree* tree, const char* name, const char* item);
int ADM_pi_trimRight(char* text);

// Grows a malloc'd array by one element; false (array unchanged) when
// memory runs out.
bool ADM_pi_growArray(void** array, int count, size_t elementSize);

#endif

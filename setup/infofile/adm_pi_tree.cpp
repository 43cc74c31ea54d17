// Creation, release, copy and lookups of install-info trees.
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "adm_pi_internal.h"

bool ADM_pi_growArray(void** array, int count, size_t elementSize)
{
    // realloc of the held block even at count 0: a slot grown earlier for an
    // addition that then failed is reused, not leaked.
    void* grown = realloc(*array, (static_cast<size_t>(count) + 1) * elementSize);
    if (!grown)
        return false;
    *array = grown;
    return true;
}

ADM_piTree* ADM_pi_newTree(int format)
{
    ADM_piTree* tree = static_cast<ADM_piTree*>(calloc(1, sizeof(ADM_piTree)));
    if (tree)
        tree->format = format;
    return tree;
}

static void freeStrings(char** strings, int count)
{
    for (int i = 0; i < count; ++i)
        free(strings[i]);
    free(strings);
}

void ADM_pi_done(ADM_piTree* tree)
{
    if (!tree)
        return;
    free(tree->timeStamp);
    freeStrings(tree->valueNames, tree->valueCount);
    freeStrings(tree->valueTexts, tree->valueCount);
    freeStrings(tree->booleanNames, tree->booleanCount);
    free(tree->booleanFlags);
    for (int i = 0; i < tree->listCount; ++i) {
        free(tree->lists[i].name);
        freeStrings(tree->lists[i].items, tree->lists[i].count);
    }
    free(tree->lists);
    for (int i = 0; i < tree->sectionCount; ++i) {
        free(tree->sections[i].name);
        ADM_pi_done(tree->sections[i].tree);
    }
    free(tree->sections);
    free(tree);
}

void ADM_pi_setFormat(ADM_piTree* tree, int format)
{
    if (tree)
        tree->format = format;
}

void ADM_pi_copy(ADM_piTree* dst, const ADM_piTree* src)
{
    if (!dst || !src || dst == src)
        return;
    if (src->timeStamp)
        ADM_pi_timeStamp(dst, src->timeStamp);
    for (int i = 0; i < src->valueCount; ++i)
        ADM_pi_appendValue(dst, src->valueNames[i], src->valueTexts[i]);
    for (int i = 0; i < src->booleanCount; ++i)
        ADM_pi_appendBoolean(dst, src->booleanNames[i], src->booleanFlags[i] ? "true" : "false");
    for (int i = 0; i < src->listCount; ++i) {
        const ADM_piList& l = src->lists[i];
        ADM_pi_listFor(dst, l.name);
        for (int j = 0; j < l.count; ++j)
            ADM_pi_addListItem(dst, l.name, l.items[j]);
    }
    for (int i = 0; i < src->sectionCount; ++i) {
        ADM_piTree* sub = ADM_pi_addSection(dst, src->sections[i].name);
        ADM_pi_copy(sub, src->sections[i].tree);
    }
}

char* ADM_pi_value(const ADM_piTree* tree, const char* name)
{
    if (!tree || !name)
        return nullptr;
    for (int i = 0; i < tree->valueCount; ++i)
        if (strcasecmp(tree->valueNames[i], name) == 0)
            return tree->valueTexts[i];
    return nullptr;
}

char* ADM_pi_when(const ADM_piTree* tree)
{
    return tree ? tree->timeStamp : nullptr;
}

int ADM_pi_canDo(const ADM_piTree* tree, const char* name, const char* item)
{
    if (!tree || !name)
        return -1;
    if (!item) {
        for (int i = 0; i < tree->booleanCount; ++i)
            if (strcasecmp(tree->booleanNames[i], name) == 0)
                return tree->booleanFlags[i] ? 1 : 0;
        return -1;
    }
    const ADM_piList* l = ADM_pi_findList(tree, name);
    if (!l)
        return -1;
    for (int j = 0; j < l->count; ++j)
        if (strcasecmp(l->items[j], item) == 0)
            return 1;
    return 0;
}

int ADM_pi_list(const ADM_piTree* tree, const char* name, char*** items)
{
    const ADM_piList* l = ADM_pi_findList(tree, name);
    if (!l)
        return -1;
    if (items)
        *items = l->items;
    return l->count;
}

ADM_piTree* ADM_pi_section(const ADM_piTree* tree, const char* name)
{
    if (!tree || !name)
        return nullptr;
    for (int i = tree->sectionCount - 1; i >= 0; --i)
        if (strcasecmp(tree->sections[i].name, name) == 0)
            return tree->sections[i].tree;
    return nullptr;
}

ADM_piTree* ADM_pi_nsection(const ADM_piTree* tree, int index)
{
    if (!tree || index < 0 || index >= tree->sectionCount)
        return nullptr;
    return tree->sections[index].tree;
}

char* ADM_pi_sectName(const ADM_piTree* tree, int index)
{
    if (!tree || index < 0 || index >= tree->sectionCount)
        return nullptr;
    return tree->sections[index].name;
}

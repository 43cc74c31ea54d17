// Changes to install-info trees: values, booleans, lists and sections.
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "adm_pi_internal.h"
#include "charconv.h"

void ADM_pi_appendValue(ADM_piTree* tree, const char* name, const char* text)
{
    if (!tree || !name || !*name || !text)
        return;
    char* n = strdup(name);
    char* t = strdup(text);
    if (!n || !t ||
        !ADM_pi_growArray(reinterpret_cast<void**>(&tree->valueNames), tree->valueCount,
                          sizeof(char*))) {
        free(n);
        free(t);
        return;
    }
    if (!ADM_pi_growArray(reinterpret_cast<void**>(&tree->valueTexts), tree->valueCount,
                          sizeof(char*))) {
        // The names array has room for one more; the count is unchanged, so
        // the spare slot is simply unused.
        free(n);
        free(t);
        return;
    }
    tree->valueNames[tree->valueCount] = n;
    tree->valueTexts[tree->valueCount] = t;
    ++tree->valueCount;
}

void ADM_pi_appendBoolean(ADM_piTree* tree, const char* name, const char* text)
{
    if (!tree || !name || !*name)
        return;
    char* n = strdup(name);
    if (!n ||
        !ADM_pi_growArray(reinterpret_cast<void**>(&tree->booleanNames), tree->booleanCount,
                          sizeof(char*)) ||
        !ADM_pi_growArray(reinterpret_cast<void**>(&tree->booleanFlags), tree->booleanCount, 1)) {
        free(n);
        return;
    }
    tree->booleanNames[tree->booleanCount] = n;
    tree->booleanFlags[tree->booleanCount] = (text && strcasecmp(text, "true") == 0) ? 1 : 0;
    ++tree->booleanCount;
}

ADM_piList* ADM_pi_findList(const ADM_piTree* tree, const char* name)
{
    if (!tree || !name)
        return nullptr;
    for (int i = 0; i < tree->listCount; ++i)
        if (strcasecmp(tree->lists[i].name, name) == 0)
            return &tree->lists[i];
    return nullptr;
}

ADM_piList* ADM_pi_listFor(ADM_piTree* tree, const char* name)
{
    if (!tree || !name || !*name)
        return nullptr;
    ADM_piList* found = ADM_pi_findList(tree, name);
    if (found)
        return found;
    char* n = strdup(name);
    if (!n || !ADM_pi_growArray(reinterpret_cast<void**>(&tree->lists), tree->listCount,
                                sizeof(ADM_piList))) {
        free(n);
        return nullptr;
    }
    ADM_piList* l = &tree->lists[tree->listCount++];
    l->name = n;
    l->count = 0;
    l->items = nullptr;
    return l;
}

void ADM_pi_addListItem(ADM_piTree* tree, const char* name, const char* item)
{
    if (!item)
        return;
    ADM_piList* l = ADM_pi_listFor(tree, name);
    if (!l)
        return;
    for (int j = 0; j < l->count; ++j)
        if (strcasecmp(l->items[j], item) == 0)
            return;
    char* copy = strdup(item);
    if (!copy || !ADM_pi_growArray(reinterpret_cast<void**>(&l->items), l->count, sizeof(char*))) {
        free(copy);
        return;
    }
    l->items[l->count++] = copy;
}

int ADM_pi_trimRight(char* text)
{
    int n = static_cast<int>(strlen(text));
    while (n > 0 && ADM_pi_isSpace(static_cast<unsigned char>(text[n - 1])))
        text[--n] = '\0';
    return n;
}

static int findValue(const ADM_piTree* tree, const char* name)
{
    for (int i = 0; i < tree->valueCount; ++i)
        if (strcasecmp(tree->valueNames[i], name) == 0)
            return i;
    return -1;
}

void ADM_pi_setValue(ADM_piTree* tree, const char* name, const char* text)
{
    if (!tree || !name || !text)
        return;
    int i = findValue(tree, name);
    if (i < 0) {
        ADM_pi_appendValue(tree, name, text);
        return;
    }
    if (tree->valueTexts[i] == text)
        return;
    char* copy = strdup(text); // before the old text goes: text may point into it
    if (!copy)
        return;
    free(tree->valueTexts[i]);
    tree->valueTexts[i] = copy;
}

void ADM_pi_setBoolean(ADM_piTree* tree, const char* name, const char* text)
{
    if (!tree || !name || !text)
        return;
    int flag;
    if (strcasecmp(text, "true") == 0)
        flag = 1;
    else if (strcasecmp(text, "false") == 0)
        flag = 0;
    else
        return;
    for (int i = 0; i < tree->booleanCount; ++i) {
        if (strcasecmp(tree->booleanNames[i], name) == 0) {
            tree->booleanFlags[i] = static_cast<unsigned char>(flag);
            return;
        }
    }
    ADM_pi_appendBoolean(tree, name, text);
}

void ADM_pi_setCapability(ADM_piTree* tree, const char* name, const char* item)
{
    if (!tree || !name || !item)
        return;
    ADM_pi_addListItem(tree, name, item);
}

void ADM_pi_delCapability(ADM_piTree* tree, const char* name, const char* item)
{
    if (!tree || !name || !item)
        return;
    ADM_piList* l = ADM_pi_findList(tree, name);
    if (!l)
        return;
    for (int j = 0; j < l->count; ++j) {
        if (strcasecmp(l->items[j], item) == 0) {
            free(l->items[j]);
            memmove(&l->items[j], &l->items[j + 1],
                    sizeof(char*) * static_cast<size_t>(l->count - j - 1));
            --l->count;
            return;
        }
    }
}

void ADM_pi_delValue(ADM_piTree* tree, const char* name)
{
    if (!tree || !name)
        return;
    int i = findValue(tree, name);
    if (i < 0)
        return;
    free(tree->valueNames[i]);
    free(tree->valueTexts[i]);
    size_t later = static_cast<size_t>(tree->valueCount - i - 1);
    memmove(&tree->valueNames[i], &tree->valueNames[i + 1], sizeof(char*) * later);
    memmove(&tree->valueTexts[i], &tree->valueTexts[i + 1], sizeof(char*) * later);
    --tree->valueCount;
}

void ADM_pi_delList(ADM_piTree* tree, const char* name)
{
    ADM_piList* l = ADM_pi_findList(tree, name);
    if (!l)
        return;
    free(l->name);
    for (int j = 0; j < l->count; ++j)
        free(l->items[j]);
    free(l->items);
    size_t i = static_cast<size_t>(l - tree->lists);
    memmove(l, l + 1, sizeof(ADM_piList) * (static_cast<size_t>(tree->listCount) - i - 1));
    --tree->listCount;
}

void ADM_pi_delSection(ADM_piTree* tree, const char* name)
{
    if (!tree || !name)
        return;
    for (int i = 0; i < tree->sectionCount; ++i) {
        if (strcasecmp(tree->sections[i].name, name) == 0) {
            free(tree->sections[i].name);
            ADM_pi_done(tree->sections[i].tree);
            memmove(&tree->sections[i], &tree->sections[i + 1],
                    sizeof(ADM_piSection) * static_cast<size_t>(tree->sectionCount - i - 1));
            --tree->sectionCount;
            return;
        }
    }
}

ADM_piTree* ADM_pi_addSection(ADM_piTree* tree, const char* name)
{
    if (!tree || !name)
        return nullptr;
    char* n = strdup(name);
    ADM_piTree* sub = ADM_pi_newTree(0);
    if (!n || !sub ||
        !ADM_pi_growArray(reinterpret_cast<void**>(&tree->sections), tree->sectionCount,
                          sizeof(ADM_piSection))) {
        free(n);
        free(sub);
        return nullptr;
    }
    tree->sections[tree->sectionCount].name = n;
    tree->sections[tree->sectionCount].tree = sub;
    ++tree->sectionCount;
    return sub;
}

void ADM_pi_2List(ADM_piTree* tree, const char* name)
{
    if (!tree || !name)
        return;
    int i = findValue(tree, name);
    if (i < 0)
        return;
    const char* text = tree->valueTexts[i];
    const char* p = text;
    while (*p) {
        while (*p == ',' || *p == ' ')
            ++p;
        if (!*p)
            break;
        size_t n = strcspn(p, ", ");
        char* item = strndup(p, n);
        if (item) {
            ADM_pi_addListItem(tree, name, item);
            free(item);
        }
        p += n;
    }
    ADM_pi_delValue(tree, name);
}

static bool replaceName(char** slot, const char* newName)
{
    char* copy = strdup(newName);
    if (!copy)
        return false;
    free(*slot);
    *slot = copy;
    return true;
}

void ADM_pi_rename(ADM_piTree* tree, const char* oldName, const char* newName)
{
    if (!tree || !oldName || !newName)
        return;
    int i = findValue(tree, oldName);
    if (i >= 0) {
        replaceName(&tree->valueNames[i], newName);
        return;
    }
    for (int b = 0; b < tree->booleanCount; ++b) {
        if (strcasecmp(tree->booleanNames[b], oldName) == 0) {
            replaceName(&tree->booleanNames[b], newName);
            return;
        }
    }
    for (int l = 0; l < tree->listCount; ++l)
        if (strcasecmp(tree->lists[l].name, oldName) == 0)
            replaceName(&tree->lists[l].name, newName);
    for (int s = 0; s < tree->sectionCount; ++s)
        if (strcasecmp(tree->sections[s].name, oldName) == 0)
            replaceName(&tree->sections[s].name, newName);
}

void ADM_pi_timeStamp(ADM_piTree* tree, const char* text)
{
    if (!tree || !text || text == tree->timeStamp)
        return;
    char* copy = strdup(text);
    if (!copy)
        return;
    free(tree->timeStamp);
    tree->timeStamp = copy;
}

static void convertSlot(char** slot, int toUtf8)
{
    char* converted = toUtf8 ? localToUTF8(*slot) : UTF8ToLocal(*slot);
    if (!converted)
        return;
    free(*slot);
    *slot = converted;
}

static void convertList(ADM_piList* l, int toUtf8)
{
    for (int j = 0; j < l->count; ++j)
        convertSlot(&l->items[j], toUtf8);
}

void ADM_pi_convertEncoding(ADM_piTree* tree, const char* name, int toUtf8)
{
    if (!tree)
        return;
    if (!name) {
        for (int i = 0; i < tree->valueCount; ++i)
            convertSlot(&tree->valueTexts[i], toUtf8);
        for (int l = 0; l < tree->listCount; ++l)
            convertList(&tree->lists[l], toUtf8);
        for (int s = 0; s < tree->sectionCount; ++s)
            ADM_pi_convertEncoding(tree->sections[s].tree, nullptr, toUtf8);
        return;
    }
    int i = findValue(tree, name);
    if (i >= 0) {
        convertSlot(&tree->valueTexts[i], toUtf8);
        return;
    }
    // A named list gets every item converted, as the whole-tree walk does.
    ADM_piList* l = ADM_pi_findList(tree, name);
    if (l)
        convertList(l, toUtf8);
}

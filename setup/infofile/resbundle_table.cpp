// The bundle's key table. The tree is unbalanced and can degenerate into a
// list when a file's keys are sorted, so every walk is a loop, never a
// recursion that a long file could drive off the stack.
#include "resbundle.h"

#include <stdlib.h>
#include <string.h>

namespace {

// strdup that keeps null as null; *failed reports a lost allocation.
char* copy_text(const char* text, bool* failed)
{
    if (!text)
        return nullptr;
    char* copy = strdup(text);
    if (!copy)
        *failed = true;
    return copy;
}

TreeItem* new_item()
{
    TreeItem* item = static_cast<TreeItem*>(calloc(1, sizeof(TreeItem)));
    if (!item)
        return nullptr;
    item->values = static_cast<ValueItem*>(calloc(1, sizeof(ValueItem)));
    if (!item->values) {
        free(item);
        return nullptr;
    }
    return item;
}

// Gives item the text in language, or as its default text without one.
int store(TreeItem* item, const char* text, const char* language)
{
    if (language)
        return ValueAddLanguageItem(item->values, text, language);
    bool failed = false;
    char* copy = copy_text(text, &failed);
    if (failed)
        return 1;
    free(item->text);
    item->text = copy;
    return 0;
}

} // namespace

int ValueAddLanguageItem(ValueItem* list, const char* text, const char* language)
{
    if (!list || !language || !*language)
        return 0;
    ValueItem* node = list;
    ValueItem* last = list;
    for (; node; node = node->next) {
        if (!node->language || strcmp(node->language, language) == 0)
            break;
        last = node;
    }
    bool failed = false;
    char* textCopy = copy_text(text, &failed);
    if (failed)
        return 1;
    if (node && node->language) {
        free(node->text);
        node->text = textCopy;
        return 0;
    }
    char* languageCopy = copy_text(language, &failed);
    if (failed) {
        free(textCopy);
        return 1;
    }
    if (!node) {
        node = static_cast<ValueItem*>(calloc(1, sizeof(ValueItem)));
        if (!node) {
            free(textCopy);
            free(languageCopy);
            return 1;
        }
        last->next = node;
    }
    node->language = languageCopy;
    free(node->text);
    node->text = textCopy;
    return 0;
}

const char* ValueSearchItem(ValueItem* list, const char* language)
{
    if (!language)
        return nullptr;
    for (ValueItem* node = list; node; node = node->next)
        if (node->language && strcmp(node->language, language) == 0)
            return node->text;
    return nullptr;
}

void ValueDestroy(ValueItem* list)
{
    while (list) {
        ValueItem* next = list->next;
        free(list->language);
        free(list->text);
        free(list);
        list = next;
    }
}

int TreeAddItem(TreeItem* root, const char* key, const char* text, const char* language)
{
    if (!root || !key || (language && !*language))
        return 0;
    if (!root->key) {
        root->key = strdup(key);
        if (!root->key)
            return 1;
        return store(root, text, language);
    }
    TreeItem* item = root;
    for (;;) {
        int order = strcmp(key, item->key);
        if (order == 0)
            return store(item, text, language);
        TreeItem** child = order < 0 ? &item->left : &item->right;
        if (!*child) {
            TreeItem* fresh = new_item();
            if (!fresh)
                return 1;
            fresh->key = strdup(key);
            if (!fresh->key) {
                TreeDestroy(fresh);
                return 1;
            }
            *child = fresh;
            return store(fresh, text, language);
        }
        item = *child;
    }
}

const char* TreeSearchItem(TreeItem* root, const char* key, const char* language)
{
    if (!root || !key || !root->key)
        return nullptr;
    TreeItem* item = root;
    while (item) {
        int order = strcmp(key, item->key);
        if (order == 0) {
            if (!language || !*language)
                return item->text;
            const char* text = ValueSearchItem(item->values, language);
            return text ? text : item->text;
        }
        item = order < 0 ? item->left : item->right;
    }
    return nullptr;
}

void TreeDestroy(TreeItem* item)
{
    // Rotating each left child up turns the tree into a right-leaning list
    // that is freed front to back, with no stack.
    while (item) {
        if (item->left) {
            TreeItem* left = item->left;
            item->left = left->right;
            left->right = item;
            item = left;
            continue;
        }
        TreeItem* next = item->right;
        ValueDestroy(item->values);
        free(item->key);
        free(item->text);
        free(item);
        item = next;
    }
}

ResHash* ResHashCreate(const char* name)
{
    ResHash* table = static_cast<ResHash*>(calloc(1, sizeof(ResHash)));
    if (!table)
        return nullptr;
    bool failed = false;
    table->name = copy_text(name, &failed);
    table->root = new_item();
    if (failed || !table->root) {
        ResHashDestroy(table);
        return nullptr;
    }
    return table;
}

int ResHashAdd(ResHash* table, const char* key, const char* text, const char* language)
{
    return table ? TreeAddItem(table->root, key, text, language) : 0;
}

const char* ResHashSearch(ResHash* table, const char* key, const char* language)
{
    return table ? TreeSearchItem(table->root, key, language) : nullptr;
}

void ResHashDestroy(ResHash* table)
{
    if (!table)
        return;
    free(table->name);
    TreeDestroy(table->root);
    free(table);
}

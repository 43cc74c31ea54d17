// NVPair lists and sections.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "adm_pi_internal.h"
#include "nvpair.h"

// Lists read from a file are still values: every list operation but
// listExists splits such a value into items first.

void NVPair::add(const char* list, const char* item)
{
    if (!tree_ || !list || !item)
        return;
    ADM_pi_2List(tree_, list);
    ADM_pi_setCapability(tree_, list, item);
}

void NVPair::add(const char* list, const CVString& item)
{
    add(list, static_cast<const char*>(item));
}

void NVPair::add(const char* list, const char** items)
{
    if (!items)
        return;
    for (const char** p = items; *p; ++p)
        add(list, *p);
}

void NVPair::add(const char* section, const char* list, const char* item)
{
    if (!section)
        return;
    NVPair* view = createSection(section);
    if (view)
        view->add(list, item);
    delete view;
}

void NVPair::add(const char* section, const char* list, const CVString& item)
{
    add(section, list, static_cast<const char*>(item));
}

void NVPair::add(const char* section, const char* list, const char** items)
{
    if (!section)
        return;
    NVPair* view = createSection(section);
    if (view)
        view->add(list, items);
    delete view;
}

char** NVPair::getListItems(const char* list) const
{
    if (!tree_ || !list)
        return nullptr;
    ADM_pi_2List(tree_, list);
    char** items = nullptr;
    int count = ADM_pi_list(tree_, list, &items);
    if (count < 1)
        return nullptr;
    char** out = static_cast<char**>(malloc(sizeof(char*) * (static_cast<size_t>(count) + 1)));
    if (!out)
        return nullptr;
    for (int i = 0; i < count; ++i) {
        out[i] = strdup(items[i]);
        if (!out[i]) {
            out[i] = nullptr;
            freeListItems(out);
            return nullptr;
        }
    }
    out[count] = nullptr;
    return out;
}

void NVPair::freeListItems(char** items)
{
    if (!items)
        return;
    for (char** p = items; *p; ++p)
        free(*p);
    free(items);
}

const char* NVPair::getListItem(const char* list, int index) const
{
    if (!tree_ || !list || index < 0)
        return nullptr;
    ADM_pi_2List(tree_, list);
    char** items = nullptr;
    int count = ADM_pi_list(tree_, list, &items);
    if (count < 1 || index >= count)
        return nullptr;
    return items[index];
}

int NVPair::numListItems(const char* list) const
{
    if (!tree_ || !list)
        return 0;
    ADM_pi_2List(tree_, list);
    int count = ADM_pi_list(tree_, list, nullptr);
    return count < 0 ? 0 : count;
}

Bool NVPair::inList(const char* list, const char* item) const
{
    if (!tree_ || !list || !item)
        return 0;
    ADM_pi_2List(tree_, list);
    return ADM_pi_canDo(tree_, list, item) == 1;
}

Bool NVPair::listExists(const char* list) const
{
    if (!tree_ || !list)
        return 0;
    return ADM_pi_list(tree_, list, nullptr) > 0;
}

void NVPair::delList(const char* list)
{
    if (!tree_ || !list)
        return;
    ADM_pi_2List(tree_, list);
    ADM_pi_delList(tree_, list);
}

void NVPair::delListItem(const char* list, const char* item)
{
    if (!tree_ || !list || !item)
        return;
    ADM_pi_2List(tree_, list);
    ADM_pi_delCapability(tree_, list, item);
}

int NVPair::numList() const
{
    return tree_ ? tree_->listCount : 0;
}

const char* NVPair::list(int index) const
{
    if (!tree_ || index < 0 || index >= tree_->listCount)
        return nullptr;
    return tree_->lists[index].name;
}

int NVPair::numSections() const
{
    return tree_ ? tree_->sectionCount : 0;
}

NVPair* NVPair::getSection(const char* name)
{
    if (!tree_ || tree_->sectionCount == 0 || !name)
        return nullptr;
    ADM_piTree* sub = ADM_pi_section(tree_, name);
    return sub ? viewOf(sub, name) : nullptr;
}

NVPair* NVPair::getSection(int index)
{
    ADM_piTree* sub = ADM_pi_nsection(tree_, index);
    return sub ? viewOf(sub, ADM_pi_sectName(tree_, index)) : nullptr;
}

NVPair* NVPair::viewOf(ADM_piTree* sub, const char* id)
{
    std::unique_ptr<NVPair> view(new NVPair());
    ADM_pi_done(view->tree_);
    view->ownsTree_ = 0;
    view->tree_ = sub;
    view->id_ = id;
    view->format_ = 0;
    return view.release();
}

NVPair* NVPair::createSection(const char* name)
{
    if (!name)
        return nullptr;
    NVPair* found = getSection(name);
    if (found)
        return found;
    NVPair empty;
    addSection(name, &empty);
    return getSection(name);
}

void NVPair::addSection(const char* name, NVPair* source)
{
    if (!source || !tree_)
        return;
    if (name) {
        // source may be a view of the very section being replaced: copy it
        // before the old section goes.
        ADM_piTree* copy = ADM_pi_newTree(0);
        if (!copy)
            return;
        ADM_pi_copy(copy, source->tree_);
        ADM_pi_delSection(tree_, name);
        if (!ADM_pi_addSection(tree_, name)) {
            ADM_pi_done(copy);
            return;
        }
        ADM_piSection& added = tree_->sections[tree_->sectionCount - 1];
        ADM_pi_done(added.tree);
        added.tree = copy;
        return;
    }
    if (source->tree_ == tree_)
        return; // merging a tree into itself changes nothing
    for (int i = 0; i < source->numName(); ++i) {
        const char* valueName = source->name(i);
        set(valueName, source->get(valueName));
    }
    for (int l = 0; l < source->numList(); ++l) {
        const char* listName = source->list(l);
        for (int j = 0; source->getListItem(listName, j); ++j)
            add(listName, source->getListItem(listName, j));
    }
}

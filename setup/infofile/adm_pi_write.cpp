// Writing install-info trees.
#include <cstdio>
#include <cstring>

#include "adm_pi_internal.h"
#include "atomic_file.h"

namespace {

bool hasLineBreak(const char* text)
{
    return text && strpbrk(text, "\r\n") != nullptr;
}

// A raw line break in any written text would let a re-read find entries or
// headers that were never set: such a tree is refused as a whole.
bool writable(const ADM_piTree* tree)
{
    if (hasLineBreak(tree->timeStamp))
        return false;
    for (int i = 0; i < tree->valueCount; ++i)
        if (hasLineBreak(tree->valueNames[i]) || hasLineBreak(tree->valueTexts[i]))
            return false;
    for (int i = 0; i < tree->booleanCount; ++i)
        if (hasLineBreak(tree->booleanNames[i]))
            return false;
    for (int i = 0; i < tree->listCount; ++i) {
        if (hasLineBreak(tree->lists[i].name))
            return false;
        for (int j = 0; j < tree->lists[i].count; ++j)
            if (hasLineBreak(tree->lists[i].items[j]))
                return false;
    }
    for (int i = 0; i < tree->sectionCount; ++i)
        if (hasLineBreak(tree->sections[i].name) || !writable(tree->sections[i].tree))
            return false;
    return true;
}

// A name starting with '#' or '[' at the start of a line would read back as
// a comment or a header; the reader skips leading blanks, so one blank
// keeps it an entry.
void putName(FILE* out, const char* name, const char* suffix)
{
    if (name[0] == '#' || name[0] == '[')
        fputc(' ', out);
    fputs(name, out);
    fputs(suffix, out);
}

const char* listSuffix(int format)
{
    return format == 1 ? "=   " : ":   ";
}

const char* booleanSuffix(int format)
{
    return format == 1 ? "=   " : format == 2 ? ":   " : "?   ";
}

void writeTree(const ADM_piTree* tree, FILE* out, int format)
{
    if (tree->timeStamp)
        fprintf(out, "[%s]\n", tree->timeStamp);
    for (int i = 0; i < tree->valueCount; ++i) {
        const char* text = tree->valueTexts[i];
        const char* suffix = format == 1 ? "=   " : format == 2 ? ":   " : "   ";
        // Natively the reader would take a leading '=', ':' or '?' of the
        // text for the separator: write the separator explicitly first.
        if (format != 1 && format != 2 && text &&
            (text[0] == '=' || text[0] == ':' || text[0] == '?'))
            suffix = "=   ";
        putName(out, tree->valueNames[i], suffix);
        if (text)
            fputs(text, out);
        fputc('\n', out);
    }
    for (int i = 0; i < tree->listCount; ++i) {
        const ADM_piList& l = tree->lists[i];
        putName(out, l.name, listSuffix(format));
        for (int j = 0; j < l.count; ++j) {
            if (j > 0)
                fputc(',', out);
            fputs(l.items[j], out);
        }
        fputc('\n', out);
    }
    for (int i = 0; i < tree->booleanCount; ++i) {
        putName(out, tree->booleanNames[i], booleanSuffix(format));
        fputs(tree->booleanFlags[i] ? "true\n" : "false\n", out);
    }
    for (int i = 0; i < tree->sectionCount; ++i) {
        // A section named like a stamp gets a blank after '[' (which the
        // reader skips) so that it reads back as a section.
        const char* name = tree->sections[i].name;
        fprintf(out, ADM_pi_isGeneralizedTime(name) ? "\n%c %s%c\n" : "\n%c%s%c\n", '[', name, ']');
        writeTree(tree->sections[i].tree, out, format);
    }
}

int writeFile(FILE* out, void* context)
{
    const ADM_piTree* tree = static_cast<const ADM_piTree*>(context);
    if (tree->format == 1 && tree->valueCount > 0)
        fprintf(out, "%s\n", "[General]");
    writeTree(tree, out, tree->format);
    return ferror(out) ? -1 : 0;
}

} // namespace

int ADM_pi_write(const ADM_piTree* tree, const char* path)
{
    if (!tree || !writable(tree))
        return -1;
    if (path)
        return cvWriteFileAtomic(path, writeFile, const_cast<ADM_piTree*>(tree));
    // Standard output stays open: later replies of the process go there too.
    int rc = writeFile(stdout, const_cast<ADM_piTree*>(tree));
    if (fflush(stdout) != 0 || ferror(stdout))
        rc = -1;
    return rc;
}

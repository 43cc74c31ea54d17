// Resource handle and properties object: the default file is read when the
// bundle opens, a language file on the first lookup in that language, and
// each file at most once, found or not.
#include "resbundle.h"

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

namespace {

char* join(const char* a, const char* b)
{
    size_t la = strlen(a), lb = strlen(b);
    char* out = static_cast<char*>(malloc(la + lb + 1));
    if (!out)
        return nullptr;
    memcpy(out, a, la);
    memcpy(out + la, b, lb + 1);
    return out;
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// One line of a properties file into the table; 1 only when memory ran out.
int load_line(ResHash* table, char* line, const char* language)
{
    char* s = line;
    while (is_blank(*s))
        ++s;
    if (*s == '\0' || *s == '#' || *s == '=')
        return 0;
    char* equals = strchr(s, '=');
    if (!equals)
        return 0;
    char* keyEnd = equals;
    while (keyEnd > s && is_blank(keyEnd[-1]))
        --keyEnd;
    *keyEnd = '\0';
    const char* text = equals + 1;
    char* decoded = decode_ascii(text);
    int rc = ResHashAdd(table, s, decoded ? decoded : text, language);
    free(decoded);
    return rc;
}

} // namespace

int PropertiesLanguageIsValid(const char* language)
{
    if (!language || !*language)
        return 0;
    for (const char* c = language; *c; ++c) {
        bool ok = (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z') ||
                  (*c >= '0' && *c <= '9') || *c == '_' || *c == '-';
        if (!ok)
            return 0;
    }
    return 1;
}

char* GetProertiesFilename(const char* directory, const char* base, const char* language)
{
    if (!directory || !base)
        return nullptr;
    size_t ld = strlen(directory), lb = strlen(base);
    size_t ll = language ? strlen(language) : 0;
    bool slash = ld == 0 || directory[ld - 1] != '/';
    size_t size = ld + (slash ? 1 : 0) + lb + (ll ? 1 + ll : 0) + sizeof ".properties";
    char* name = static_cast<char*>(malloc(size));
    if (!name)
        return nullptr;
    char* p = name;
    memcpy(p, directory, ld);
    p += ld;
    if (slash)
        *p++ = '/';
    memcpy(p, base, lb);
    p += lb;
    if (ll) {
        *p++ = '_';
        memcpy(p, language, ll);
        p += ll;
    }
    memcpy(p, ".properties", sizeof ".properties");
    return name;
}

unsigned PropertiesLanguageStatus(Properties* p, const char* language)
{
    if (!p || !p->status)
        return LANG_NOT_TRIED;
    if (!language || !*language)
        return p->status->status;
    for (LangStatus* node = p->status->next; node; node = node->next)
        if (strcmp(node->language, language) == 0)
            return node->status;
    return LANG_NOT_TRIED;
}

int PropertiesSetLangStatus(LangStatus* list, const char* language, unsigned status)
{
    if (!list)
        return 1;
    if (!language || !*language) {
        list->status = status;
        return 0;
    }
    LangStatus* last = list;
    for (LangStatus* node = list->next; node; node = node->next) {
        if (strcmp(node->language, language) == 0) {
            node->status = status;
            return 0;
        }
        last = node;
    }
    LangStatus* node = static_cast<LangStatus*>(calloc(1, sizeof(LangStatus)));
    if (!node)
        return 1;
    node->language = strdup(language);
    if (!node->language) {
        free(node);
        return 1;
    }
    node->status = status;
    last->next = node;
    return 0;
}

int PropertiesLoadFileToHash(Properties* p, const char* language)
{
    if (!p)
        return 1;
    unsigned status = PropertiesLanguageStatus(p, language);
    if (status == LANG_MISSING)
        return 1;
    if (status == LANG_LOADED)
        return 0;
    bool isDefault = !language || !*language;
    // The name becomes part of a path: anything but a plain name such as
    // fr or pt_BR could reach outside the bundle directory.
    if (!isDefault && !PropertiesLanguageIsValid(language)) {
        PropertiesSetLangStatus(p->status, language, LANG_MISSING);
        return 1;
    }
    char* name = GetProertiesFilename(p->directory, p->base, language);
    TextFile* file = name ? OpenTextFile(name, 0) : nullptr;
    free(name);
    if (!file) {
        PropertiesSetLangStatus(p->status, language, LANG_MISSING);
        return 1;
    }
    const char* stored = isDefault ? nullptr : language;
    char* line = nullptr;
    size_t capacity = 0;
    long length;
    while ((length = ReadTextLineWhole(file, &line, &capacity)) >= 0) {
        // A file saved with CRLF line ends: the CR belongs to the line end,
        // not to the text (a text that ends in a CR writes it as \r).
        if (length > 0 && line[length - 1] == '\r')
            line[length - 1] = '\0';
        load_line(p->table, line, stored);
    }
    free(line);
    CloseTextFile(file);
    PropertiesSetLangStatus(p->status, language, LANG_LOADED);
    return 0;
}

int PropertiesOpenFile(Properties* p, const char* language)
{
    switch (PropertiesLanguageStatus(p, language)) {
    case LANG_MISSING:
        return 1;
    case LANG_LOADED:
        return 0;
    default:
        return PropertiesLoadFileToHash(p, language);
    }
}

const char* PropertiesGetString(Properties* p, const char* key, const char* language)
{
    if (!p)
        return nullptr;
    if (PropertiesOpenFile(p, language) != 0)
        return ResHashSearch(p->table, key, nullptr);
    return ResHashSearch(p->table, key, language);
}

Properties* PropertiesInit(const char* directory, const char* base)
{
    if (!directory || !base)
        return nullptr;
    char* name = GetProertiesFilename(directory, base, nullptr);
    if (!name)
        return nullptr;
    struct stat st;
    int found = stat(name, &st);
    free(name);
    if (found != 0)
        return nullptr;
    Properties* p = static_cast<Properties*>(calloc(1, sizeof(Properties)));
    if (!p)
        return nullptr;
    p->directory = strdup(directory);
    p->base = strdup(base);
    p->status = static_cast<LangStatus*>(calloc(1, sizeof(LangStatus)));
    p->table = ResHashCreate(base);
    if (!p->directory || !p->base || !p->status || !p->table) {
        PropertiesDestroy(p);
        return nullptr;
    }
    PropertiesLoadFileToHash(p, nullptr);
    return p;
}

void PropertiesDestroy(Properties* p)
{
    if (!p)
        return;
    free(p->directory);
    free(p->base);
    ResHashDestroy(p->table);
    LangStatus* node = p->status;
    while (node) {
        LangStatus* next = node->next;
        free(node->language);
        free(node);
        node = next;
    }
    free(p);
}

extern "C" {

CoreResource* core_res_init_resource(const char* path, const char* package)
{
    if (!path || !package)
        return nullptr;
    size_t lp = strlen(path);
    char* location = join(path, lp > 0 && path[lp - 1] == '/' ? "" : "/");
    if (!location)
        return nullptr;
    char* full = join(location, package);
    free(location);
    if (!full)
        return nullptr;
    for (char* c = full + lp; *c; ++c)
        if (*c == '.')
            *c = '/';
    char* cut = strrchr(full, '/'); // never null: at least the added '/'
    *cut = '\0';
    const char* base = cut + 1;

    CoreResource* handle = static_cast<CoreResource*>(calloc(1, sizeof(CoreResource)));
    if (!handle) {
        free(full);
        return nullptr;
    }
    handle->properties = PropertiesInit(full, base);
    if (!handle->properties) {
        free(full);
        free(handle);
        return nullptr;
    }
    handle->path = full; // the directory part
    return handle;
}

const char* core_res_getstring(CoreResource* handle, const char* key, const char* language)
{
    if (!handle || !key)
        return nullptr;
    return PropertiesGetString(handle->properties, key, language);
}

void core_res_destroy_resource(CoreResource* handle)
{
    if (!handle)
        return;
    free(handle->path);
    PropertiesDestroy(handle->properties);
    free(handle);
}

} // extern "C"

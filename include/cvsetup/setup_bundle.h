/*
 * Returns: a handle or a text owned by the handle, null when there is none.
 *
 * Localized resource bundles: a default file base.properties and per language
 * base_lang.properties in one directory. Usable from C and C++.
 */
#ifndef CV_SETUP_BUNDLE_H
#define CV_SETUP_BUNDLE_H

#include "setup_common.h"

SETUP_BEGIN_DECLS

typedef struct CoreResource CoreResource;

/* Opens the bundle path + "/" + package (each '.' of package a '/'); the part
 * after the last '/' is the base name. Null when the default file is missing. */
CoreResource* core_res_init_resource(const char* path, const char* package);

/* The text of key in language, else its default text; null for a null handle
 * or key or an unknown key. A language is a name of letters, digits, '_' and
 * '-'; any other name is answered from the default texts. The text belongs to
 * the bundle and lives until core_res_destroy_resource. */
const char* core_res_getstring(CoreResource* handle, const char* key, const char* language);

void core_res_destroy_resource(CoreResource* handle);

SETUP_END_DECLS

#endif

/*
 * Returns: converters give a new text (null on failure); the predicate 1 or 0.
 *
 * Plain-function interface of the install-info layer: charset conversion
 * and the generalized-time stamp. Usable from C. Returned texts are malloc'd;
 * release them with free.
 */
#ifndef CV_SETUP_INFOFILE_H
#define CV_SETUP_INFOFILE_H

#include <stddef.h>

#include "setup_common.h"

SETUP_BEGIN_DECLS

char* setupLocalToUtf8(const char* text);
char* setupUTF8ToLocal(const char* text);
int setupIsAsciiBuffer(const char* text);
/* Current UTC time as "%Y%m%d%H%M%SZ" (15 characters) into buffer. */
void setupGetGmtime(char* buffer, size_t size);

SETUP_END_DECLS

#endif

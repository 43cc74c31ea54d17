/*
 * Returns: readers give the value (a new text, or the number) or their
 * "missing" result (null, -1 or the default given); writers 1 when the
 * value was written, 0 when not.
 *
 * Single values of key files and inf files, for callers that do not hold an
 * NVPair. Usable from C. Every string result is a new allocation that the
 * caller releases with setupFree (or free).
 */
#ifndef CV_SETUP_INFVALUES_H
#define CV_SETUP_INFVALUES_H

#include "setup_common.h"

SETUP_BEGIN_DECLS

/*
 * Key files: the first line that begins with key (compared with case; the
 * key is a prefix of the line) gives the value: the rest of the line after
 * one separator character (a one-character separator), or its first token
 * between separator characters (a longer separator), trimmed of ASCII white
 * space. Null when the file cannot be read or no line matches, and for a
 * path that is not a regular file (a fifo is refused, never waited on).
 */
char* setupGetFileString(const char* key, const char* separator, const char* path);
/* atoi of the value; -1 when there is none. */
int setupGetFileInt(const char* key, const char* separator, const char* path);

/*
 * Inf files (equals format). section "General" is the top of the file.
 * The readers give a copy of the value, or of defaultValue (null when that
 * is null) when the file, section or name is missing.
 */
char* setupGetInfString(const char* section, const char* name, const char* defaultValue,
                        const char* path);
int setupGetInfInt(const char* section, const char* name, int defaultValue, const char* path);

/*
 * Sets one value and rewrites the whole file (comment lines are dropped);
 * a missing file is created. 1 when the value was set and the file written;
 * 0 when nothing was set (null section, name or value), when the file could
 * not be read whole (unreadable, or its reading ends early at a second time
 * stamp of one section, which a rewrite would cut off), or when the write
 * failed; the file is then left as it was.
 */
int setupWriteInfString(const char* section, const char* name, const char* value, const char* path);
int setupWriteInfInt(const char* section, const char* name, int value, const char* path);

SETUP_END_DECLS

#endif

/*
 * Returns: predicates 1 or 0; texts new or null; every other function 0 on
 * success and the failure codes listed beside it.
 *
 * Plain-function interface of the setup utilities: the install log, file and
 * directory helpers, and the memory helpers whose results callers of the
 * library release. Usable from C and C++; every name is unmangled.
 */
#ifndef CV_SETUP_UTIL_H
#define CV_SETUP_UTIL_H

#include "setup_common.h"

SETUP_BEGIN_DECLS

/* ---- Install log ------------------------------------------------------ */

/* Level names of log lines. */
extern const char* const SETUP_LOG_FATAL;   /* "Fatal" */
extern const char* const SETUP_LOG_START;   /* "Start" */
extern const char* const SETUP_LOG_SUCCESS; /* "Success" */
extern const char* const SETUP_LOG_WARN;    /* "Warning" */
extern const char* const SETUP_LOG_INFO;    /* "Info" */

/*
 * Opens the process-wide log on the first call; later calls keep the first
 * log and ignore their path. 1 when the process-wide log is open, else 0.
 */
int setupSetLogFile(const char* path);

/*
 * Appends one line to the process-wide log:
 *   "[yy/mm/dd:HH:MM:SS] - " tag message "\n"
 * where the tag is "[component] level " with both given, "level " without a
 * component, "[component] " without a level, and nothing at all when both
 * are null (the message then follows the time stamp's "- " directly).
 * The line is written whole, however long. 0 when no log is open (nothing
 * is written), else 1.
 */
int setupLogMessage(const char* level, const char* component, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

/*
 * With a path: appends the time stamp and text, as it stands, to that file.
 * Without one: the text goes to the process-wide log with neither level nor
 * component (nothing is written when no log is open). Returns 1.
 */
int setupLog(const char* path, const char* text);

/* ---- Directory walks --------------------------------------------------- */

/*
 * next 0 starts a new walk of dir (closing any walk of the same kind still
 * under way); any other value continues it. Copies the next entry's name
 * (never "." or "..") into name, which must hold NAME_MAX + 1 (256) bytes,
 * and returns 1; returns 0 when the walk is over or dir cannot be opened.
 * The two walks keep one open directory each in process-wide state.
 */
int setupGetNextFileInDirectory(int next, const char* dir, char* name);

/*
 * The same over real subdirectories only (symbolic links are not followed),
 * and, when prefix is non-null, only names beginning with prefix (with case).
 */
int setupGetNextSubDirectory(int next, const char* dir, char* name, const char* prefix);

/* ---- Tests --------------------------------------------------------------- */

/* 1 when dir holds no entry; 0 otherwise and when dir cannot be opened. */
int setupIsDirEmpty(const char* dir);

/*
 * Symbolic links are tested themselves, never their targets: a link (to a
 * file or to a directory) counts as a file, never as a directory.
 */
int setupFileExists(const char* path);
int setupDirExists(const char* path);
int setupIsWindowsNT(void);

/* ---- Creation and deletion --------------------------------------------- */

/*
 * Creates every missing directory along path with mode. 0 when path exists
 * and is writable; -1 when a mkdir fails; -2 when a component is not a
 * directory; -3 when path is not writable.
 */
int setupCreateDir(const char* path, int mode);

/*
 * Deletes path and, when it is a real directory, everything below it.
 * Symbolic links are unlinked, never descended into, so nothing outside the
 * tree is touched and a link loop ends. 0 when path was removed, -1 when it
 * was not (failures inside the tree are not reported one by one).
 */
int setupDeleteDir(const char* path);

/* ---- Paths and name lists ---------------------------------------------- */

/*
 * Copies from into to with every '/' and '\\' written as '\\' (toBackslash
 * non-zero) or '/'. No terminating NUL is written: to holds at least
 * strlen(from) bytes and the caller terminates it. 0 for a null from, else 1.
 */
int setupConvertPathSlashes(const char* from, char* to, int toBackslash);

/* Lists are names separated by commas or blanks; a name may end in "/qualifier". */
int setupFindNameInList(const char* list, const char* name);

/* A new text (release with setupFree): list with name added unless present. */
char* setupAddNameToList(const char* list, const char* name);

/* ---- Files and programs ------------------------------------------------ */

/*
 * Replaces every line of path that begins with one of keys (without regard
 * to case) by that key's line, and appends the lines of keys that matched
 * no line; a missing file is created with them. keys and lines are parallel
 * and end at the first null of either. The file is rewritten atomically:
 * on any failure it stays as it was, and it keeps its owner, group and mode.
 * A link is rewritten at its target; a link that leads nowhere is refused.
 * 0 on success; 1 when the existing file cannot be read or is not a regular
 * file (a fifo is refused, never waited on); 2 when the new
 * contents cannot be written (or an argument is null); 3 out of memory.
 */
int setupFileUpdateLines(const char** keys, const char** lines, const char* path);

/*
 * Space available to unprivileged users on the file system holding path, in
 * KiB, clamped to 4294967295. 0 when the file system cannot be queried.
 */
unsigned int setupGetDiskFreeSpace(const char* path);

/*
 * Runs command through the shell (system) in dir when dir is non-null, then
 * returns to the previous working directory; returns system's result.
 * The text is interpreted by the shell: callers must never pass untrusted
 * text. Only the program name (the command's first word) is ever logged,
 * never its arguments. -1 when the working directory cannot be saved for a
 * change of directory, or memory runs out (the command is then not run).
 */
int setupExecProgram(const char* command, const char* dir);

/* ---- Memory ------------------------------------------------------------ */

void* setupMalloc(unsigned int size);
char* setupStrdup(const char* text);
void setupFree(void* p);

SETUP_END_DECLS

#endif

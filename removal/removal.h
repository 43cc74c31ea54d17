/*
 * The removal tool's own functions. They keep the plain (C-linkage) names of
 * the administration framework's task interface they sit beside, so a C
 * program or test can call them as well.
 */
#ifndef CV_REMOVAL_H
#define CV_REMOVAL_H

#ifdef __cplusplus
extern "C" {
#endif

/* The whole tool: mode test, reply header, request, stop, (silent mode)
 * unregistration, tree removal and report. The unregistration follows the
 * stop, so a refused or failed stop leaves the registry untouched. Returns
 * the exit status: 0 after success, 1 for every refusal and for a removal
 * that left the tree or (silent mode) the registration in place. */
int cv_removal_main(int argc, char** argv);

/* Prepares the admin task layer for one request from REQUEST_METHOD,
 * QUERY_STRING and (for POST) standard input. 0 when the request was accepted,
 * 1 after writing the refusal lines (status 7). */
int init_ds_env(void);

/* Builds the task environment from an inf file and unregisters the instance
 * at once; returns 0. The tool itself does the two steps apart, around the
 * stop (silent_env.h). */
int ds_uninst_set_cgi_env(const char* infFile);

/* Deletes a directory tree depth first. A symbolic link is unlinked, never
 * descended into. Every path that stays behind gets one line
 * "Warning: could not remove <path>: <reason>" on the standard error stream;
 * the walk goes on with the rest. A path that does not exist is left alone
 * silently; a top path that is not a directory is left alone with a warning. */
void _remove_directory(const char* path);

/* 1 when path (links followed) is a directory, else 0. */
int isDirectory(const char* path);

#ifdef __cplusplus
}

#include <cvsetup/tree_walk.h>

// The instance tree's walk, in either mode of the library's one walk:
// _remove_directory removes with it, remove-instance-plan plans with it, so
// the plan's verdicts are the removal's. The top is the instance tree: a
// link to a directory is unlinked, anything else that is no directory stays
// ("not a directory: the removal leaves it"). Returns 0 when nothing stays.
int cvWalkInstanceTree(const char* path, cvTreeMode mode, cvTreeStay onStay, void* context,
                       cvTreeCounts* counts);
#endif

#endif

/*
 * Admin task layer: the small part of an administration framework that an
 * instance task (a CGI program started by the administration server, or the
 * same program in silent mode) needs. Callable from C and C++.
 *
 * Request
 *   ADMUTIL_Init forgets any earlier request. ds_get_begin decodes a GET query
 *   string, ds_post_begin a POST body, both as
 *   application/x-www-form-urlencoded: pairs separated by '&', name and value
 *   separated by the first '=', '+' stands for a blank and "%XX" (two hex
 *   digits) for one byte. A '%' not followed by two hex digits, and "%00"
 *   (a NUL cannot be carried in a C string), stay as they are written. A pair
 *   without '=' has an empty value; when a name repeats, its first value counts.
 *   ds_post_begin reads CONTENT_LENGTH bytes when that variable holds a
 *   decimal number, else up to end of file; bodies over ADMTASK_MAX_BODY bytes
 *   are refused whole (-1, nothing decoded).
 *
 * Instance
 *   The instance of a request is the variable "InstanceName" or, when the
 *   request has none, ds_get_server_name(): the first path segment of
 *   SCRIPT_NAME ("/inst1/Tasks/Operation/Remove" gives "inst1"). A usable
 *   instance name is one safe path segment (ds_is_safe_instance_name).
 *   The install root of the instance is WAYPOST_ROOT + "/" + instance name.
 *   WAYPOST_ROOT must be set, absolute and resolvable, and the install root,
 *   with its symbolic links resolved, must lie strictly below the resolved
 *   WAYPOST_ROOT; an install root that is itself a symbolic link is never
 *   followed. Otherwise there is no install root (null).
 *
 * Server control
 *   The process id of a running instance is the decimal number in the file
 *   <install root>/logs/pid. The file is read relative to the instance
 *   directory without following any link: a link there (the directory,
 *   "logs" or "pid"), or a pid file that is not a regular file, refuses the
 *   stop without a signal and without blocking. The removal's own process,
 *   its parent, the leader of its process group and pid 1 are never
 *   signalled (refused). A process that started after the pid file was last
 *   written is another program that reuses the number: it is not signalled,
 *   a warning says so on the standard error stream, and the server counts
 *   as not running. Otherwise ds_bring_down_server sends the process SIGTERM
 *   and waits (polling, ADMTASK_STOP_TIMEOUT seconds by default) until it has
 *   exited. A process that has exited but was not yet reaped by its parent
 *   counts as stopped.
 *
 * Reports (standard output, one status block each)
 *   error:    "TPX_ErrInfo: <type text>: <detail>: <message>\n"
 *             "TPX_STATUS: <type>\n"
 *             (": <detail>" is left out when the detail is null or empty)
 *   success:  "TPX_SuccessInfo: <message>\n"   (only for a non-empty message)
 *             "TPX_STATUS: 0\n"
 *   Control characters in detail and message are written as '?', so a report
 *   is always exactly its lines and no text can forge a status line.
 *
 * HTML replies
 *   After ds_set_html_reply(1) (CGI mode) the reply is read by a browser:
 *   every text that comes from the request or the file system is written
 *   with &, <, > and " as character references. The layer escapes the detail
 *   of ds_report_error and everything it composes itself; a caller escapes
 *   the outside parts of the messages it composes with ds_reply_text. In
 *   silent mode (the default) texts are written as they are.
 */
#ifndef CV_ADMTASK_H
#define CV_ADMTASK_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Error types of ds_report_error; the type is also the TPX_STATUS value. */
#define DS_ERR_SYSTEM 1     /* "System error": an operating-system call failed */
#define DS_ERR_REQUEST 2    /* "Request error": no usable instance in the request */
#define DS_ERR_FILE 3       /* "File error": the detail names a file that cannot be used */
#define DS_ERR_SERVER 4     /* "Server error": the instance could not be stopped */
#define DS_ERR_INCOMPLETE 5 /* "Removal incomplete": entries were left behind */
#define DS_ERR_REGISTRY 6   /* "Registration error": files removed, registration not */
#define DS_ERR_BUSY 8       /* "Busy": another removal in the server root holds its lock */

/* Results of ds_bring_down_server. */
#define DS_SERVER_STOPPED 0      /* it was running and has exited */
#define DS_SERVER_NOT_RUNNING -3 /* no pid file, or no such process */
#define DS_SERVER_REFUSED -1     /* no usable instance or install root; reported */
#define DS_SERVER_NOT_STOPPED -2 /* could not be signalled or did not exit; reported */
#define DS_SERVER_RUNNING 1      /* ds_check_server only: it runs and would be signalled */

#define ADMTASK_MAX_BODY (1024 * 1024)
#define ADMTASK_STOP_TIMEOUT 30

/* Forgets the decoded request and cached texts; returns 0. */
int ADMUTIL_Init(void);

/* Decodes a query string; 0, or -1 for a null query. */
int ds_get_begin(const char* query);

/* Reads and decodes a POST body from in; 0, or -1 when it cannot be read,
 * CONTENT_LENGTH is not a decimal number, or the body is too large. */
int ds_post_begin(FILE* in);

/* Decoded value of a request variable, or null. Owned by the layer, valid
 * until the next ADMUTIL_Init or decode call. */
const char* ds_get_cgi_var(const char* name);

/* First path segment of SCRIPT_NAME, or null. Owned by the layer. */
const char* ds_get_server_name(void);

/* 1 when name is non-empty, holds no '/' and no control character, and is
 * neither "." nor ".."; else 0. */
int ds_is_safe_instance_name(const char* name);

/* Stops the request's instance: DS_SERVER_STOPPED, DS_SERVER_NOT_RUNNING, or
 * (after a ds_report_error) DS_SERVER_REFUSED or DS_SERVER_NOT_STOPPED. */
int ds_bring_down_server(void);

/* Every check of ds_bring_down_server that can refuse, in its order and with
 * its reports (see ds_check_server_reply), and no signal: DS_SERVER_RUNNING (the process would be
 * signalled), DS_SERVER_NOT_RUNNING (no pid file, no such process, or a
 * process that started after the pid file was written: *reused is 1), or
 * after its ds_report_error DS_SERVER_REFUSED or DS_SERVER_NOT_STOPPED.
 * *pid is the process id read from the pid file, 0 when none was. Either
 * pointer may be null. Nothing is written but the report. */
int ds_check_server(long* pid, int* reused);

/* Install root of the request's instance, or null. Owned by the layer, valid
 * until the next call or ADMUTIL_Init. */
const char* ds_get_install_root(void);

/* Names of the entries of dir without "." and "..", a null-terminated array
 * (malloc'd, release with ds_free_file_list), or null when dir cannot be
 * listed (errno tells why). */
char** ds_get_file_list(const char* dir);
void ds_free_file_list(char** list);

/* Writes an error report (see above). */
void ds_report_error(int type, const char* detail, const char* message);

/* Writes a success report (see above). */
void rpt_success(const char* message);

/* Writes "TPX_ErrInfo: <text>" and "TPX_STATUS: <status>" lines, for
 * refusals whose text is already formed. Control characters of text become
 * '?' like those of any report, except one line end closing the text, which
 * is written as it stands. */
void rpt_err_text(const char* text, int status);

/* 1: the reply is HTML (see above); 0: plain text (the default). */
void ds_set_html_reply(int on);
int ds_html_reply(void);

/* Seconds ds_bring_down_server waits for the process to exit (default
 * ADMTASK_STOP_TIMEOUT); values below 1 restore the default. */
void ds_set_stop_timeout(int seconds);

#ifdef __cplusplus
}

#include <string>

/* text as the reply shows an outside text: HTML-escaped in an HTML reply,
 * unchanged otherwise. */
std::string ds_reply_text(const std::string& text);
/* text within one line of a report: control characters as '?', as the
 * layer writes a report's detail and message, so that no outside text (a
 * file name holding a newline or an escape sequence) can start a line of
 * its own or act on a terminal. */
std::string ds_one_line(const std::string& text);

/* Reports as values: the exact lines that ds_report_error and rpt_err_text
 * write (escaped as the reply mode set now asks), written by nobody yet. A
 * refusal is formed once; remove-instance writes it (ds_write_reply) and
 * remove-instance-plan shows it, word for word. */
std::string ds_error_reply(int type, const char* detail, const char* message);
std::string ds_err_text_reply(const char* text, int status);
/* Writes reply (nothing for "") to standard output at once. */
void ds_write_reply(const std::string& reply);

/* ds_check_server, with its report returned in refusal instead of written
 * ("" when it refuses nothing). */
int ds_check_server_reply(long* pid, int* reused, std::string& refusal);

/* value as a request variable's value: application/x-www-form-urlencoded,
 * every byte but the unreserved letters, digits and "-._~" as "%XX", so that
 * ds_get_begin decodes exactly value again ("a&InstanceName=b" or "x%2e"
 * cannot name another variable or value). */
std::string ds_form_encode(const std::string& value);
#endif

#endif

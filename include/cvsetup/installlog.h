/*
 * InstallLog: appends time-stamped lines to the one install log of the
 * process. The first InstallLog that opens its file fixes the log path for
 * every instance; the file is opened, written and closed again for each
 * line, so it is never held open between lines.
 */
#ifndef CV_INSTALLLOG_H
#define CV_INSTALLLOG_H

// A class interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include "setup_common.h"
#include "setup_util.h"

class SETUP_EXPORT InstallLog {
public:
    explicit InstallLog(const char* path);
    // Only the instance that fixed the log path ends the log; destroying any
    // other instance leaves the process's log working.
    ~InstallLog();

    // The log path is shared state owned by one instance: copies would end a
    // log they never opened.
    InstallLog(const InstallLog&) = delete;
    InstallLog& operator=(const InstallLog&) = delete;

    Bool isValid() const { return valid_; }
    void logTime(const char* component);
    void logMessage(const char* level, const char* component, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 4, 5)))
#endif
        ;
    static void log(const char* path, const char* text);

private:
    Bool valid_;
    static char* _logFile;
};

#endif // __cplusplus

#endif

#include "installlog.h"
#include "setup_compat.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <new>

extern "C" {
const char* const SETUP_LOG_FATAL = "Fatal";
const char* const SETUP_LOG_START = "Start";
const char* const SETUP_LOG_SUCCESS = "Success";
const char* const SETUP_LOG_WARN = "Warning";
const char* const SETUP_LOG_INFO = "Info";
const char* const INFO = "Info";
}

char* InstallLog::_logFile = nullptr;

namespace {

// The process-wide log behind the plain functions; created once, never deleted.
InstallLog* _setupLog = nullptr;

// Formats at the text's real size, so no message is ever cut or overflows.
char* formatText(const char* format, va_list args)
{
    if (format == nullptr)
        return nullptr;
    va_list sizing;
    va_copy(sizing, args);
    int length = vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    if (length < 0)
        return nullptr;
    char* text = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
    if (text == nullptr)
        return nullptr;
    vsnprintf(text, static_cast<size_t>(length) + 1, format, args);
    return text;
}

void formatStamp(char* stamp, size_t size)
{
    time_t now = time(nullptr);
    struct tm local;
    stamp[0] = '\0';
    if (localtime_r(&now, &local) != nullptr)
        strftime(stamp, size, "[%y/%m/%d:%H:%M:%S] - ", &local);
}

// One line built whole and handed to stdio in one call: the time stamp, the
// given pieces (null ones are left out), a newline.
void appendLine(const char* path, std::initializer_list<const char*> pieces)
{
    char stamp[64];
    formatStamp(stamp, sizeof stamp);
    const char* parts[8] = {stamp};
    size_t count = 1;
    for (const char* p : pieces)
        if (count < 7)
            parts[count++] = p;
    parts[count++] = "\n";
    size_t total = 0;
    for (size_t i = 0; i < count; ++i)
        if (parts[i] != nullptr)
            total += strlen(parts[i]);
    char* line = static_cast<char*>(malloc(total + 1));
    if (line == nullptr)
        return;
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        const char* p = parts[i];
        if (p == nullptr)
            continue;
        size_t n = strlen(p);
        memcpy(line + at, p, n);
        at += n;
    }
    line[at] = '\0';
    FILE* file = fopen(path, "a");
    if (file != nullptr) {
        fwrite(line, 1, at, file);
        fclose(file);
    }
    free(line);
}

} // namespace

InstallLog::InstallLog(const char* path) : valid_(0)
{
    if (path == nullptr || _logFile != nullptr)
        return;
    char* copy = strdup(path);
    if (copy == nullptr)
        return;
    FILE* file = fopen(path, "a");
    if (file == nullptr) {
        free(copy);
        return;
    }
    // Each run's lines in a shared file follow an empty line.
    fputs("\n", file);
    fclose(file);
    _logFile = copy;
    valid_ = 1;
}

InstallLog::~InstallLog()
{
    if (!valid_)
        return;
    free(_logFile);
    _logFile = nullptr;
}

void InstallLog::logTime(const char* component)
{
    time_t now = time(nullptr);
    char text[256];
    if (ctime_r(&now, text) == nullptr)
        return;
    size_t length = strlen(text);
    if (length > 0)
        text[length - 1] = '\0';
    logMessage(INFO, component, "Log starts %s", text);
}

void InstallLog::logMessage(const char* level, const char* component, const char* format, ...)
{
    if (_logFile == nullptr)
        return;
    va_list args;
    va_start(args, format);
    char* message = formatText(format, args);
    va_end(args);
    if (message == nullptr)
        return;
    // With neither level nor component there is no tag at all: the message
    // follows the time stamp's closing "- " directly.
    if (component != nullptr && level != nullptr)
        appendLine(_logFile, {"[", component, "] ", level, " ", message});
    else if (component != nullptr)
        appendLine(_logFile, {"[", component, "] ", message});
    else if (level != nullptr)
        appendLine(_logFile, {level, " ", message});
    else
        appendLine(_logFile, {message});
    free(message);
}

void InstallLog::log(const char* path, const char* text)
{
    if (path == nullptr)
        return;
    appendLine(path, {text});
}

extern "C" int setupSetLogFile(const char* path)
{
    if (_setupLog == nullptr)
        _setupLog = new (std::nothrow) InstallLog(path);
    return _setupLog != nullptr && _setupLog->isValid() ? 1 : 0;
}

extern "C" int setupLogMessage(const char* level, const char* component, const char* format, ...)
{
    if (_setupLog == nullptr)
        return 0;
    va_list args;
    va_start(args, format);
    char* message = formatText(format, args);
    va_end(args);
    if (message != nullptr)
        _setupLog->logMessage(level, component, "%s", message);
    free(message);
    return 1;
}

extern "C" int setupLog(const char* path, const char* text)
{
    if (path != nullptr)
        InstallLog::log(path, text);
    else if (_setupLog != nullptr && text != nullptr)
        _setupLog->logMessage(nullptr, nullptr, "%s", text);
    return 1;
}

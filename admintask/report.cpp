#include "admtask.h"
#include "admtask_state.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>

namespace {

const char* typeText(int type)
{
    switch (type) {
    case DS_ERR_SYSTEM: return "System error";
    case DS_ERR_REQUEST: return "Request error";
    case DS_ERR_FILE: return "File error";
    case DS_ERR_SERVER: return "Server error";
    case DS_ERR_INCOMPLETE: return "Removal incomplete";
    default: return "Error";
    }
}

} // namespace

extern "C" {

void ds_report_error(int type, const char* detail, const char* message)
{
    std::string line = std::string("TPX_ErrInfo: ") + typeText(type);
    if (detail != nullptr && *detail != '\0')
        line += ": " + admtask::oneLine(detail);
    if (message != nullptr && *message != '\0')
        line += ": " + admtask::oneLine(message);
    // A report is a failure whatever the caller passes: never status 0.
    fprintf(stdout, "%s\nTPX_STATUS: %d\n", line.c_str(), type != 0 ? type : DS_ERR_SYSTEM);
    fflush(stdout);
}

void rpt_success(const char* message)
{
    if (message != nullptr && *message != '\0')
        fprintf(stdout, "TPX_SuccessInfo: %s\n", admtask::oneLine(message).c_str());
    fputs("TPX_STATUS: 0\n", stdout);
    fflush(stdout);
}

void ds_free_file_list(char** list)
{
    if (list == nullptr)
        return;
    for (char** p = list; *p != nullptr; ++p)
        free(*p);
    free(list);
}

char** ds_get_file_list(const char* dir)
{
    if (dir == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    DIR* d = opendir(dir);
    if (d == nullptr)
        return nullptr;
    size_t count = 0, capacity = 16;
    char** list = static_cast<char**>(malloc(capacity * sizeof(char*)));
    int error = list == nullptr ? ENOMEM : 0;
    while (error == 0) {
        errno = 0;
        struct dirent* ent = readdir(d);
        if (ent == nullptr) {
            error = errno; // a listing cut short is no listing
            break;
        }
        const char* n = ent->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        if (count + 1 >= capacity) {
            char** grown = static_cast<char**>(realloc(list, 2 * capacity * sizeof(char*)));
            if (grown == nullptr) {
                error = ENOMEM;
                break;
            }
            list = grown;
            capacity *= 2;
        }
        list[count] = strdup(n);
        if (list[count] == nullptr)
            error = ENOMEM;
        else
            ++count;
    }
    closedir(d);
    if (list != nullptr)
        list[count] = nullptr;
    if (error != 0) {
        ds_free_file_list(list);
        errno = error;
        return nullptr;
    }
    return list;
}

} // extern "C"

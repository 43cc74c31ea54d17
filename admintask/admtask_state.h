// State shared by the parts of the admin task layer. Internal.
#ifndef CV_ADMTASK_STATE_H
#define CV_ADMTASK_STATE_H

#include <string>
#include <sys/types.h>
#include <time.h>
#include <utility>
#include <vector>

namespace admtask {

// The decoded request: pairs in request order.
std::vector<std::pair<std::string, std::string>>& requestVars();

// Decodes an application/x-www-form-urlencoded text into requestVars().
void decodeForm(const char* text, size_t length);

// "InstanceName" of the request, else the server name from SCRIPT_NAME; null
// when neither names one. The text stays valid for the life of the process
// or until the request is decoded again.
const char* instanceName();

// What the checks before a stop found (see ds_check_server).
struct ServerCheck {
    std::string pidFile;              // <install root>/logs/pid, once the root is known
    pid_t pid = 0;                    // read from it, 0 when there is none
    struct timespec written = {0, 0}; // its modification time
    bool reused = false;              // the process started after the file was written
    std::string refusal;              // the report of a refusal, not yet written
};

// ds_check_server's checks: its result, with check filled in; a refusal's
// report is check.refusal, which the caller writes or shows.
int checkServer(ServerCheck& check);

// Copies text for a one-line report: control characters become '?'.
std::string oneLine(const char* text);

} // namespace admtask

#endif

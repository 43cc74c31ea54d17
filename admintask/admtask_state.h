// State shared by the parts of the admin task layer. Internal.
#ifndef CV_ADMTASK_STATE_H
#define CV_ADMTASK_STATE_H

#include <string>
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

// Copies text for a one-line report: control characters become '?'.
std::string oneLine(const char* text);

} // namespace admtask

#endif

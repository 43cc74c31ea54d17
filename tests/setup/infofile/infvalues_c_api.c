/* A C program's view of the plain-function interface: these headers must
 * compile as C and their functions link by their unmangled names. */
#include <cvsetup/setup_infvalues.h>
#include <cvsetup/setup_util.h>

int cCallerReadsPort(const char* path)
{
    char* text = setupGetInfString("slapd", "ServerPort", "0", path);
    int port = setupGetInfInt("slapd", "ServerPort", -1, path);
    int same = text != 0 && port == 389 && setupFindNameInList(text, "389");
    setupFree(text);
    return same && setupIsWindowsNT() == 0 && SETUP_LOG_FATAL[0] == 'F';
}

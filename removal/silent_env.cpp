#include "removal.h"

// Silent mode does not prepare the task environment yet; the task path then
// sees only what the caller's environment already holds.
int ds_uninst_set_cgi_env(const char* infFile)
{
    (void)infFile;
    return 0;
}

/* Compiled as C: the bundle interface links under its unmangled names. */
#include <string.h>

#include "setup_bundle.h"

int bundle_c_api_lookup(const char* directory)
{
    CoreResource* ui = core_res_init_resource(directory, "ui");
    if (!ui)
        return 0;
    const char* fr = core_res_getstring(ui, "greeting", "fr");
    const char* dflt = core_res_getstring(ui, "greeting", NULL);
    int ok = fr && strcmp(fr, "Bonjour") == 0 && dflt && strcmp(dflt, "Hello") == 0;
    core_res_destroy_resource(ui);
    return ok;
}

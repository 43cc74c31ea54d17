/* The registration removal called from C: the header must compile as C and
 * the functions must carry their plain names. */
#include <stddef.h>

#include "setup_compat.h"
#include "setup_remove.h"

int cv_remove_null_results(int results[6])
{
    results[0] = setupRemoveSIE(NULL, "cn=x, o=CorvidRoot", 0);
    results[1] = setupRemoveSIE(NULL, NULL, 1);
    results[2] = setupRemoveISIE(NULL, "cn=x, o=CorvidRoot");
    results[3] = removeSIE(NULL, "cn=x, o=CorvidRoot", 1);
    results[4] = removeISIE(NULL, NULL);
    results[5] = SETUP_LDAP_BAD_ARGUMENT;
    return 6;
}

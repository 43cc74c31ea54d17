/*
 * The setup library's plain-function interface, for C and C++ callers.
 *
 * Ownership: texts returned by the plain functions are malloc'd; release
 * them with setupFree (or free). Connection and entry handles are opaque;
 * each has its create and destroy function, and an entry handle must be
 * destroyed before the connection it was made on. Directory functions return
 * 0, an LDAP result code, or one of the library's own codes 144 to 159
 * (setup_ldap_codes.h); a null handle or required text gives 144.
 */
#ifndef CV_CVSETUP_H
#define CV_CVSETUP_H

#include "setup_bundle.h"
#include "setup_common.h"
#include "setup_compat.h"
#include "setup_hash.h"
#include "setup_host.h"
#include "setup_infofile.h"
#include "setup_infvalues.h"
#include "setup_ldap.h"
#include "setup_ldap_codes.h"
#include "setup_ldapurl.h"
#include "setup_ldif.h"
#include "setup_register.h"
#include "setup_registry_consts.h"
#include "setup_remove.h"
#include "setup_userdir.h"
#include "setup_util.h"

#endif

/*
 * Returns: 0 when the entries are gone, else one of our codes 144-159 or an
 * LDAP result code.
 *
 * Registration removal: take a server instance entry (SIE) and, on request,
 * its product entry (ISIE) out of the configuration directory.
 * Usable from C and C++.
 *
 * Results are 0 or a code: the library's own codes (setup_ldap_codes.h) or an
 * LDAP result code passed on unmapped; a failure of the client side (a
 * timeout, a lost connection) is SETUP_LDAP_CONNECT_FAILED (151), and
 * running out of memory is LDAP_NO_MEMORY. A null connection or DN gives
 * SETUP_LDAP_BAD_ARGUMENT (144). Nothing is written to any stream. Neither
 * function takes ownership of its arguments.
 */
#ifndef CV_SETUP_REMOVE_H
#define CV_SETUP_REMOVE_H

#include "setup_common.h"
#include "setup_ldap_codes.h"

SETUP_BEGIN_DECLS

/*
 * Deletes the entry sieDN with its whole subtree. When alsoISIE is non-zero,
 * then removes the product entry above it with setupRemoveISIE and returns
 * that result.
 *   SETUP_LDAP_ENTRY_MISSING (150): sieDN does not exist; nothing changed.
 *   an LDAP code: deleting the subtree failed (entries deleted before the
 *     failure stay deleted).
 *   SETUP_LDAP_NO_PARENT (159): sieDN has no parent component (it has been
 *     deleted by then). The parent is found by parsing the DN, so an escaped
 *     comma inside an RDN never names another entry.
 */
int setupRemoveSIE(Ldap* ldap, const char* sieDN, int alsoISIE);

/*
 * Deletes the product entry isieDN with everything below it (other instances
 * of the product included), then each ancestor left without children, up to
 * but never including the configuration root ("o=CorvidRoot" in any letter
 * case). Waits (5-second steps, at most 25 seconds) only while a subtree just
 * deleted still shows.
 *   0: the walk has run, whatever the later deletes reported.
 *   SETUP_LDAP_NO_ENTRIES (153): isieDN does not exist; nothing changed.
 *   another code: the first read of isieDN failed; nothing changed.
 *   SETUP_LDAP_BAD_ARGUMENT (144): isieDN cannot be parsed as a DN; nothing
 *     is deleted.
 */
int setupRemoveISIE(Ldap* ldap, const char* isieDN);

SETUP_END_DECLS

#endif

/*
 * Shared definitions of the setup library's plain-function interface.
 * Usable from C and C++.
 */
#ifndef CV_SETUP_COMMON_H
#define CV_SETUP_COMMON_H

/* Result type of predicates: 1 for true, 0 for false. */
typedef int Bool;

#ifdef __cplusplus
#define SETUP_BEGIN_DECLS extern "C" {
#define SETUP_END_DECLS }
#else
#define SETUP_BEGIN_DECLS
#define SETUP_END_DECLS
#endif

/* Opaque handles of the directory interface: a connection and an entry
 * (cursor and attribute store). C callers never see their layout. */
#ifdef __cplusplus
class Ldap;
class LdapEntry;
#else
typedef struct Ldap Ldap;
typedef struct LdapEntry LdapEntry;
#endif

#endif

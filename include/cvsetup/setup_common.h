/*
 * Shared definitions of the setup library's plain-function interface.
 * Usable from C and C++.
 */
#ifndef CV_SETUP_COMMON_H
#define CV_SETUP_COMMON_H

/* Result type of predicates: 1 for true, 0 for false. */
typedef int Bool;

/*
 * The shared library exports only what its public headers publish; it is
 * built with hidden visibility. SETUP_EXPORT marks a published C++ class or
 * function. SETUP_BEGIN_DECLS / SETUP_END_DECLS enclose the declarations of
 * a plain-function header: C linkage from C++, and default visibility for
 * everything declared between them, so a function added to such a header is
 * published without further marking. SETUP_BEGIN_EXPORTS / SETUP_END_EXPORTS
 * do the same for a block of C++ declarations.
 */
#if defined(__GNUC__)
#define SETUP_EXPORT __attribute__((visibility("default")))
#define SETUP_BEGIN_EXPORTS _Pragma("GCC visibility push(default)")
#define SETUP_END_EXPORTS _Pragma("GCC visibility pop")
#else
#define SETUP_EXPORT
#define SETUP_BEGIN_EXPORTS
#define SETUP_END_EXPORTS
#endif

#ifdef __cplusplus
#define SETUP_BEGIN_DECLS                                                                          \
    extern "C" {                                                                                   \
    SETUP_BEGIN_EXPORTS
#define SETUP_END_DECLS                                                                            \
    SETUP_END_EXPORTS                                                                              \
    }
#else
#define SETUP_BEGIN_DECLS SETUP_BEGIN_EXPORTS
#define SETUP_END_DECLS SETUP_END_EXPORTS
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

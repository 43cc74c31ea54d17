// The one guard at the plain-function (extern "C") boundary. A C++ exception
// that reached a C caller would end the process (std::terminate), so every
// plain function whose body can throw (in practice std::bad_alloc from a
// string, a container or new) runs that body through cvGuard, which turns
// any exception into the function's documented failure result.
#ifndef CV_C_BOUNDARY_H
#define CV_C_BOUNDARY_H

#include <cstdlib>
#include <memory>
#include <utility>

#include "setup_ldap_codes.h"

// Owns memory from malloc/strdup across calls that may throw, so that a
// failed allocation further on does not leak it.
struct CvFree {
    void operator()(void* p) const noexcept { std::free(p); }
};
template <class T>
using CvMallocPtr = std::unique_ptr<T, CvFree>;

// The failure result passed to cvGuard follows the function's own
// convention: directory functions answer kCvNoMemory, functions
// returning pointers answer null, predicates 0, and the others the failure
// value their header documents.

template <class R, class Body>
R cvGuard(R onFailure, Body&& body) noexcept
{
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return onFailure;
    }
}

// Out of memory as a plain directory function reports it: 90, the classic
// LDAP API's LDAP_NO_MEMORY. OpenLDAP's own constant of that name is -10, a
// value no plain function may return.
const int kCvNoMemory = 90;

// The one fold of a result code that the project's own functions pass on:
// every code the client library made up itself becomes a code of the
// library, so that callers, messages and the published functions only ever
// see 0, a server's LDAP result code or one of the library's own codes.
// libldap reports client-side failures with negative codes (the classic API
// with 81 to 95): out of memory (-10, and the classic 90) gives kCvNoMemory;
// every other one (a timeout, -5, a server gone, a connect error) gives
// "could not connect" (SETUP_LDAP_CONNECT_FAILED, 151). Other codes pass
// unchanged, so folding twice changes nothing.
inline int cvResultCode(int code)
{
    if (code == -10 || code == kCvNoMemory)
        return kCvNoMemory;
    if (code < 0 || (code >= 81 && code <= 95))
        return SETUP_LDAP_CONNECT_FAILED;
    return code;
}

// For functions without a result: the call simply does nothing more.
template <class Body>
void cvGuardVoid(Body&& body) noexcept
{
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

#endif

/*
 * Returns: predicates 1 or 0; texts new (release with setupFree) or null;
 * setupGetRandomNetworkPort a port or -1.
 *
 * The host as the setup library describes it: its name and network domain,
 * and free TCP ports. Usable from C and C++; every name is unmangled.
 */
#ifndef CV_SETUP_HOST_H
#define CV_SETUP_HOST_H

#include "setup_common.h"

SETUP_BEGIN_DECLS

/*
 * The network domain: the first word after the first line of
 * /etc/resolv.conf that begins with "domain " (without regard to case; a
 * tab after the word does not match); else the domain part of the host's
 * canonical name. A leading '.' is dropped. "" when nothing is known; null
 * only when memory runs out.
 */
char* setupGetNetworkDomain(void);

/* The host name; a name without '.' gets "." and the network domain when
 * that is not empty. Null when the name cannot be read. */
char* setupGetHostName(void);

/* 1 when a TCP socket can be bound to port (1 to 65535) on every local
 * address right now; 0 otherwise. The socket is always closed. */
int setupIsValidNetworkPort(int port);

/* A random port from 1024 to 65534 that setupIsValidNetworkPort accepts;
 * -1 after 1,000 draws found none. The generator is seeded once per process. */
int setupGetRandomNetworkPort(void);

SETUP_END_DECLS

#endif

// Entry points of the default-server helpers that report what the plain
// functions cannot.
#ifndef CV_LDAPURL_INTERNAL_H
#define CV_LDAPURL_INTERNAL_H

// setupSetDefaultLdapInfo with a result: 0 when every file was written, else
// the first failure: the code of setupFileUpdateLines (1 unreadable, 2 not
// written, 3 out of memory), 4 for a value holding a line break, 5 when a
// missing file could not be created; 2 for a null serverRoot. Later files
// are still tried.
int cvSetDefaultLdapInfo(const char* serverRoot, const char* url, const char* user,
                         const char* adminDomain);

// The seconds a probe waits for a server's connection and for each answer.
const int kProbeTimeoutSeconds = 10;

#endif

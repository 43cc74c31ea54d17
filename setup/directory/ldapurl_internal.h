// Entry points of the default-server helpers that report what the plain
// functions cannot.
#ifndef CV_LDAPURL_INTERNAL_H
#define CV_LDAPURL_INTERNAL_H

// setupSetDefaultLdapInfo with a result: 0 when every file was written,
// else nothing was changed and the failure is also logged to the install
// log: 1 a key file cannot be read or is not a regular file; 2 one cannot
// be written (or a null serverRoot); 3 out of memory; 4 a value holds a line
// break; 5 a missing file cannot be created; 6 a key file is a link that
// leads out of the server root or nowhere; 7 the key files cannot be
// locked. (Only when renaming a staged file into place fails, after the
// others were renamed, does 2 come with some files changed; the log names
// them.)
int cvSetDefaultLdapInfo(const char* serverRoot, const char* url, const char* user,
                         const char* adminDomain);

// The seconds a probe waits for a server's connection and for each answer.
const int kProbeTimeoutSeconds = 10;

#endif

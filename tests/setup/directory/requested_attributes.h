// The operational attributes an entry read must request by name (a plain
// "*" leaves them out), as the tests expect them, apart from the library's
// own list so that a name dropped there shows here.
#ifndef CV_TEST_REQUESTED_ATTRIBUTES_H
#define CV_TEST_REQUESTED_ATTRIBUTES_H

namespace cvtest {

inline const char* const kRequestedOperational[] = {"aci",
                                                    "passwordExpirationTime",
                                                    "passwordExpWarned",
                                                    "passwordRetryCount",
                                                    "retryCountResetTime",
                                                    "accountUnlockTime",
                                                    "passwordHistory",
                                                    "passwordAllowChangeTime",
                                                    "cvUniqueId",
                                                    "cvLookthroughLimit",
                                                    "cvSizeLimit",
                                                    "cvTimeLimit",
                                                    "cvIdleTimeout",
                                                    "cvRole",
                                                    "cvRoleDN",
                                                    "cvAccountLock"};

} // namespace cvtest

#endif

// Entry points of the host helpers that take what the plain functions read
// from the machine, so that tests never depend on (or touch) the real files.
#ifndef CV_HOST_INTERNAL_H
#define CV_HOST_INTERNAL_H

#include <string>

// The network domain as setupGetNetworkDomain finds it, reading resolvConf
// instead of /etc/resolv.conf.
std::string cvNetworkDomain(const char* resolvConf);

// name, or name "." domain when name has no '.' and the domain (read as
// above) is not empty.
std::string cvQualifiedHostName(const std::string& name, const char* resolvConf);

// The part of the host description SysInfo records under command (one of
// CvSysInfoCommand), from uname(2) and the firmware's product name; false
// when it cannot be read or is empty.
bool cvSysInfoPart(int command, std::string& out);

#endif

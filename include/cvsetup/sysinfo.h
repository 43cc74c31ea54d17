/*
 * SysInfo: the host description that server registration records, as two
 * values of an NVPair: "osVersion" (system name, release and version) and
 * "hardwarePlatform" (machine class, architecture and platform), each
 * joined by single blanks, "Unknown" when its first part cannot be read.
 *
 * The platform has no sysinfo(SI_*) call; the parts come from uname(2):
 *   system name      utsname.sysname   ("Linux")
 *   release          utsname.release   ("6.1.0-18-amd64")
 *   version          utsname.version   ("#1 SMP ...")
 *   machine class    utsname.machine   ("x86_64")
 *   architecture     the instruction-set family of the machine
 *                    ("x86_64" and "i686" give "x86", "aarch64" gives "arm")
 *   platform         the firmware's product name (DMI product_name, or
 *                    the device-tree model), else utsname.machine
 * Each part is used only when it is non-empty.
 */
#ifndef CV_SYSINFO_H
#define CV_SYSINFO_H

// A class interface: a C translation unit that includes it sees nothing.
#ifdef __cplusplus

#include <string>

#include "nvpair.h"
#include "setup_common.h"

// One part of the host description; false when it cannot be read (or is
// empty).
typedef bool (*CvSysInfoQuery)(int command, std::string& out);

class SETUP_EXPORT SysInfo : public NVPair {
public:
    SysInfo();
    // With another source of parts (tests: a host whose queries fail).
    explicit SysInfo(CvSysInfoQuery query);
};

// The queries of the classic call, by its command numbers.
enum CvSysInfoCommand {
    CV_SI_SYSNAME = 1,
    CV_SI_RELEASE = 3,
    CV_SI_VERSION = 4,
    CV_SI_MACHINE = 5,
    CV_SI_ARCHITECTURE = 6,
    CV_SI_PLATFORM = 513
};

#endif // __cplusplus

#endif

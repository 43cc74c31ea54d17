// The host description over uname(2), for platforms without sysinfo(SI_*).
#include "sysinfo.h"

#include <cstdio>
#include <cstring>
#include <sys/utsname.h>

#include "host_internal.h"

namespace {

std::string trimmed(const std::string& text)
{
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos)
        return std::string();
    size_t end = text.find_last_not_of(" \t\r\n\0", std::string::npos, 5);
    return text.substr(start, end - start + 1);
}

// The first line of a small system file, trimmed; "" when unreadable.
std::string firstLine(const char* path)
{
    std::string out;
    FILE* in = fopen(path, "r");
    if (!in)
        return out;
    char buffer[256];
    size_t n = fread(buffer, 1, sizeof buffer, in);
    fclose(in);
    out.assign(buffer, n);
    // The device-tree model ends in NUL rather than a newline.
    out = out.substr(0, out.find_first_of(std::string("\n\0", 2)));
    return trimmed(out);
}

// The instruction-set family, as the classic call names it ("x86", "arm").
std::string architectureOf(const std::string& machine)
{
    static const struct {
        const char* prefix;
        const char* family;
    } families[] = {{"x86_64", "x86"},  {"i386", "x86"},    {"i486", "x86"},    {"i586", "x86"},
                    {"i686", "x86"},    {"aarch64", "arm"}, {"arm", "arm"},     {"ppc", "powerpc"},
                    {"sparc", "sparc"}, {"mips", "mips"},   {"riscv", "riscv"}, {"s390", "s390"}};
    for (const auto& f : families)
        if (machine.compare(0, strlen(f.prefix), f.prefix) == 0)
            return f.family;
    return machine;
}

std::string joinParts(CvSysInfoQuery query, int first, int second, int third)
{
    std::string value = "Unknown";
    std::string part;
    if (!query(first, part))
        return value;
    value = part;
    // A failed later part is left out; it does not stop the parts after it.
    if (query(second, part))
        value += " " + part;
    if (query(third, part))
        value += " " + part;
    return value;
}

} // namespace

bool cvSysInfoPart(int command, std::string& out)
{
    struct utsname names;
    if (uname(&names) != 0)
        return false;
    switch (command) {
    case CV_SI_SYSNAME:
        out = names.sysname;
        break;
    case CV_SI_RELEASE:
        out = names.release;
        break;
    case CV_SI_VERSION:
        out = names.version;
        break;
    case CV_SI_MACHINE:
        out = names.machine;
        break;
    case CV_SI_ARCHITECTURE:
        out = architectureOf(names.machine);
        break;
    case CV_SI_PLATFORM:
        out = firstLine("/sys/class/dmi/id/product_name");
        if (out.empty())
            out = firstLine("/proc/device-tree/model");
        if (out.empty())
            out = names.machine;
        break;
    default:
        return false;
    }
    return !out.empty();
}

SysInfo::SysInfo() : SysInfo(cvSysInfoPart) {}

SysInfo::SysInfo(CvSysInfoQuery query)
{
    set("osVersion", joinParts(query, CV_SI_SYSNAME, CV_SI_RELEASE, CV_SI_VERSION).c_str());
    set("hardwarePlatform",
        joinParts(query, CV_SI_MACHINE, CV_SI_ARCHITECTURE, CV_SI_PLATFORM).c_str());
}

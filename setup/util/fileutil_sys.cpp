// Free disk space and running programs.
#include "setup_util.h"

#include "c_boundary.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/statvfs.h>
#include <unistd.h>

extern "C" unsigned int setupGetDiskFreeSpace(const char* path)
{
    struct statvfs fs;
    if (path == nullptr || statvfs(path, &fs) != 0)
        return 0;
    const double unit =
        fs.f_frsize != 0 ? static_cast<double>(fs.f_frsize) : static_cast<double>(fs.f_bsize);
    const double kib = static_cast<double>(fs.f_bavail) * unit / 1024.0;
    // Converting a double beyond the target's range is undefined: above
    // 4 TiB the result is the largest value, not garbage.
    if (!(kib < 4294967295.0))
        return kib != kib ? 0u : 4294967295u;
    return static_cast<unsigned int>(kib);
}

namespace {

// The command's first word: the only part of it ever logged, since the
// arguments may hold passwords.
std::string programName(const char* command)
{
    const char* start = command;
    while (*start == ' ' || *start == '\t')
        ++start;
    size_t length = strcspn(start, " \t\n");
    return std::string(start, length);
}

int saveWorkingDirectory()
{
#ifdef O_PATH
    // O_PATH needs no read permission on the directory, and fchdir takes it.
    int fd = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        return fd;
#endif
    return open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int execProgram(const char* command, const char* dir)
{
    const std::string program = programName(command);
    if (!setupFileExists(program.c_str()))
        setupLogMessage("info", "setup", "setupExecProgram called with invalid program %s",
                        program.c_str());
    int saved = -1;
    bool changed = false;
    if (dir != nullptr) {
        saved = saveWorkingDirectory();
        if (saved < 0) {
            // Without a way back the caller would be left in dir.
            setupLogMessage("info", "setup",
                            "setupExecProgram could not save the working "
                            "directory to run %s",
                            program.c_str());
            return -1;
        }
        changed = chdir(dir) == 0;
        if (!changed)
            setupLogMessage("info", "setup", "setupExecProgram could not change to %s to run %s",
                            dir, program.c_str());
    }
    int result = system(command);
    if (changed && fchdir(saved) != 0)
        setupLogMessage("info", "setup",
                        "setupExecProgram could not return to the working "
                        "directory after %s",
                        program.c_str());
    if (saved >= 0)
        close(saved);
    return result;
}

} // namespace

extern "C" int setupExecProgram(const char* command, const char* dir)
{
    if (command == nullptr) {
        setupLogMessage("info", "setup", "setupExecProgram called with no program");
        return 0;
    }
    return cvGuard(-1, [&] { return execProgram(command, dir); });
}

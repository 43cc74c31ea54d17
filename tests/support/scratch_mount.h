// A small tmpfs mounted for one test, to make writes fail for real: filled
// up (no space left) or remounted read-only. Needs root; available() is
// false otherwise and the test skips.
#ifndef CV_TEST_UTIL_SCRATCH_MOUNT_H
#define CV_TEST_UTIL_SCRATCH_MOUNT_H

#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace utiltest {

class ScratchMount {
public:
    ScratchMount(const std::string& path, const char* size = "size=64k") : path_(path)
    {
        mounted_ = geteuid() == 0 && mount("tmpfs", path_.c_str(), "tmpfs", 0, size) == 0;
    }
    ~ScratchMount()
    {
        if (mounted_ && umount(path_.c_str()) != 0)
            umount2(path_.c_str(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool available() const { return mounted_; }
    bool makeReadOnly()
    {
        return mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    std::string path_;
    bool mounted_ = false;
};

} // namespace utiltest

#endif

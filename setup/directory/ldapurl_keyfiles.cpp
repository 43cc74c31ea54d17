// The key files of a server root that name its configuration directory and
// its administrator.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "atomic_file.h"
#include "c_boundary.h"
#include "fileutil_internal.h"
#include "ldap_adapter.h"
#include "ldapurl_internal.h"
#include "regular_file.h"
#include "setup_compat.h"
#include "setup_infvalues.h"
#include "setup_ldapurl.h"
#include "setup_registry_consts.h"
#include "setup_util.h"

namespace {

const char* const kLdapConf = "shared/config/ldap.conf";
const char* const kDbswitchConf = "shared/config/dbswitch.conf";
const char* const kDsConf = "shared/config/ds.conf";

std::string pathIn(const char* serverRoot, const char* file)
{
    return std::string(serverRoot ? serverRoot : "") + "/" + file;
}

// A value read from a key file; null when file or key is missing.
CvMallocPtr<char> keyValue(const char* key, const char* separator, const std::string& path)
{
    return CvMallocPtr<char>(setupGetFileString(key, separator, path.c_str()));
}

// One key line to write: the line that begins with key is replaced by
// line, or line is added.
struct KeyLine {
    const char* key;
    std::string line;
};

// The new version of one key file, staged beside it.
struct KeyFileUpdate {
    std::string path;
    std::vector<KeyLine> lines;
};

// Holds the lock that serialises the read-modify-write of one server root's
// key files: an flock on their directory, so that two setters running at
// once each see what the other wrote. No lock file is left behind.
class KeyFileLock {
public:
    explicit KeyFileLock(const std::string& dir)
        : fd_(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (fd_ < 0) {
            // Without the directory nothing can be written: the update
            // fails on its own.
            held_ = errno == ENOENT;
            return;
        }
        int rc;
        while ((rc = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
        }
        held_ = rc == 0;
    }
    ~KeyFileLock()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    KeyFileLock(const KeyFileLock&) = delete;
    KeyFileLock& operator=(const KeyFileLock&) = delete;
    bool held() const { return held_; }

private:
    int fd_;
    bool held_ = false;
};

// The system's text for error, taken before anything else can change errno.
std::string errorText(int error)
{
    return strerror(error);
}

// Where target (a path whose last part need not exist) really is: its
// directory resolved, then its name. False when the directory cannot be
// resolved.
bool resolvedPath(const std::string& target, std::string* resolved)
{
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
    CvMallocPtr<char> realDir(realpath(dir.c_str(), nullptr));
    if (!realDir)
        return false;
    *resolved = std::string(realDir.get()) + "/" + target.substr(slash + 1);
    return true;
}

// Stages the new version of one key file: 0, or the setter's failure code
// with what went wrong in *why. A key file must lead root's rewrite to no
// file outside the server root, someone else's file perhaps.
int stageKeyFile(const std::string& realRoot, const KeyFileUpdate& update, CvStagedFile* staged,
                 std::string* why)
{
    std::string target, resolved;
    if (!cvRewriteTarget(update.path.c_str(), &target)) {
        *why = update.path + " is a link that leads nowhere";
        return 6;
    }
    if (!resolvedPath(target, &resolved)) {
        const std::string reason = errorText(errno);
        *why = update.path + " cannot be created (" + reason + ")";
        return 5;
    }
    if (resolved.compare(0, realRoot.size() + 1, realRoot + "/") != 0) {
        *why = update.path + " leads out of the server root, to " + resolved;
        return 6;
    }
    std::string text;
    int error = cvReadRegularFile(target.c_str(), &text);
    if (error != 0 && error != ENOENT) {
        *why = update.path + (error == EINVAL ? " is not a regular file" : " cannot be read");
        return 1;
    }
    std::vector<const char*> keys, lines;
    for (const KeyLine& l : update.lines) {
        keys.push_back(l.key);
        lines.push_back(l.line.c_str());
    }
    std::string out = cvReplaceKeyedLines(text, keys.data(), lines.data(), keys.size());
    // New key files may name the administrator: only their owner reads them.
    if (staged->stage(target, cvWriteString, &out, 0600) != 0) {
        const std::string reason = errorText(errno);
        *why = update.path + " cannot be " + (error == ENOENT ? "created" : "written") + " (" +
               reason + ")";
        return error == ENOENT ? 5 : 2;
    }
    return 0;
}

// The key files' updates for the non-null arguments. The reader prefers
// ldap.conf's ConfigURL and AdminDomain where they are present: those lines
// are rewritten too, or they would hide every later change.
std::vector<KeyFileUpdate> plannedUpdates(const char* serverRoot, const char* url, const char* user,
                                          const char* adminDomain)
{
    std::vector<KeyFileUpdate> updates;
    const std::string ldapConf = pathIn(serverRoot, kLdapConf);
    KeyFileUpdate ldap{ldapConf, {}};
    if (url) {
        updates.push_back({pathIn(serverRoot, kDbswitchConf),
                           {{"directory default ", std::string("directory default ") + url}}});
        if (keyValue("ConfigURL", " ", ldapConf))
            ldap.lines.push_back({"ConfigURL", std::string("ConfigURL ") + url});
    }
    if (user)
        ldap.lines.push_back({"admnm", std::string("admnm  ") + user});
    if (adminDomain) {
        std::string line = std::string(DS_ADMIN_DOMAIN) + ":" + adminDomain;
        updates.push_back({pathIn(serverRoot, kDsConf), {{DS_ADMIN_DOMAIN, line}}});
        if (keyValue(DS_ADMIN_DOMAIN, ":", ldapConf))
            ldap.lines.push_back({DS_ADMIN_DOMAIN, line});
    }
    if (!ldap.lines.empty())
        updates.push_back(ldap);
    return updates;
}

int setKeyFiles(const char* serverRoot, const char* url, const char* user, const char* adminDomain,
                std::string* why)
{
    for (const char* value : {url, user, adminDomain}) {
        if (value && strpbrk(value, "\r\n")) {
            *why = "a value holds a line break, which would forge a key line";
            return 4;
        }
    }
    KeyFileLock lock(pathIn(serverRoot, "shared/config"));
    if (!lock.held()) {
        *why = "the key files cannot be locked (" + errorText(errno) + ")";
        return 7;
    }
    CvMallocPtr<char> realRoot(realpath(serverRoot, nullptr));
    if (!realRoot) {
        *why = "the server root cannot be resolved (" + errorText(errno) + ")";
        return 1;
    }
    // Every file is staged before any is put in place: a failure (a full
    // file system) leaves all of them as they were, so dbswitch.conf and
    // ldap.conf never name different directories.
    std::vector<KeyFileUpdate> updates = plannedUpdates(serverRoot, url, user, adminDomain);
    std::vector<CvStagedFile> staged(updates.size());
    for (size_t i = 0; i < updates.size(); ++i) {
        int rc = stageKeyFile(realRoot.get(), updates[i], &staged[i], why);
        if (rc != 0)
            return rc;
    }
    // Renaming over an existing name needs no space; should one fail all
    // the same, the files put in place so far are reported.
    for (size_t i = 0; i < staged.size(); ++i) {
        if (staged[i].commit() != 0) {
            const std::string reason = errorText(errno);
            *why = updates[i].path + " cannot be replaced (" + reason + ")";
            for (size_t j = 0; j < i; ++j)
                *why += "; " + updates[j].path + " was written";
            return 2;
        }
    }
    return 0;
}

} // namespace

int cvSetDefaultLdapInfo(const char* serverRoot, const char* url, const char* user,
                         const char* adminDomain)
{
    if (!serverRoot)
        return 2;
    return cvGuard(3, [&] {
        std::string why;
        int rc = setKeyFiles(serverRoot, url, user, adminDomain, &why);
        // The plain setter returns nothing: the install log is where its
        // caller learns that the key files were not changed.
        if (rc != 0)
            setupLogMessage(SETUP_LOG_FATAL, "setup", "could not set the key files of %s: %s",
                            serverRoot, why.c_str());
        return rc;
    });
}

extern "C" {

void setupGetDefaultLdapInfo(const char* serverRoot, char** url, char** user, char** adminDomain)
{
    if (url)
        *url = nullptr;
    if (user)
        *user = nullptr;
    if (adminDomain)
        *adminDomain = nullptr;
    if (!serverRoot)
        return;
    cvGuardVoid([&] {
        std::string ldapConf = pathIn(serverRoot, kLdapConf);
        CvMallocPtr<char> foundUrl, foundUser, foundDomain;
        if (url) {
            foundUrl = keyValue("ConfigURL", " ", ldapConf);
            if (!foundUrl)
                foundUrl = keyValue("directory default", " ", pathIn(serverRoot, kDbswitchConf));
            if (foundUrl && ldapapi::cv_is_ldap_url(foundUrl.get()))
                unescape_ldap_basedn(foundUrl.get());
        }
        if (user)
            foundUser = keyValue("admnm", " ", ldapConf);
        if (adminDomain) {
            foundDomain = keyValue(DS_ADMIN_DOMAIN, ":", ldapConf);
            if (!foundDomain) {
                CvMallocPtr<char> dn = keyValue(DS_ADMIN_DOMAIN, ":", pathIn(serverRoot, kDsConf));
                if (dn)
                    foundDomain.reset(setupStripAdminDomainDN(dn.get()));
            }
        }
        // Handed out only once nothing more can fail.
        if (url)
            *url = foundUrl.release();
        if (user)
            *user = foundUser.release();
        if (adminDomain)
            *adminDomain = foundDomain.release();
    });
}

void setupSetDefaultLdapInfo(const char* serverRoot, const char* url, const char* user,
                             const char* adminDomain)
{
    cvSetDefaultLdapInfo(serverRoot, url, user, adminDomain);
}

void getDefaultLdapInfo(const char* serverRoot, char** url, char** user, char** adminDomain)
{
    setupGetDefaultLdapInfo(serverRoot, url, user, adminDomain);
}

} // extern "C"

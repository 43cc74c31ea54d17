// The key files of a server root that name its configuration directory and
// its administrator.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "c_boundary.h"
#include "ldap_adapter.h"
#include "ldapurl_internal.h"
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

// Replaces (or adds) the line beginning with prefix. A missing file is
// created first with mode 0600, since these files may name the
// administrator; should the update fail, the empty file goes again.
int updateLine(const std::string& path, const char* prefix, const std::string& line)
{
    if (line.find_first_of("\r\n") != std::string::npos)
        return 4;
    bool created = false;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return 1;
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return 5;
        close(fd);
        created = true;
    }
    const char* keys[] = {prefix, nullptr};
    const char* lines[] = {line.c_str(), nullptr};
    int rc = setupFileUpdateLines(keys, lines, path.c_str());
    if (rc != 0 && created)
        unlink(path.c_str());
    return rc;
}

void keepFirst(int* result, int rc)
{
    if (*result == 0)
        *result = rc;
}

} // namespace

int cvSetDefaultLdapInfo(const char* serverRoot, const char* url, const char* user,
                         const char* adminDomain)
{
    if (!serverRoot)
        return 2;
    return cvGuard(3, [&] {
        int result = 0;
        if (url) {
            std::string ldapConf = pathIn(serverRoot, kLdapConf);
            keepFirst(&result, updateLine(pathIn(serverRoot, kDbswitchConf), "directory default ",
                                          std::string("directory default ") + url));
            // The reader prefers ldap.conf's ConfigURL: an old one there
            // would hide every later change.
            if (keyValue("ConfigURL", " ", ldapConf))
                keepFirst(&result, updateLine(ldapConf, "ConfigURL", std::string("ConfigURL ") + url));
        }
        if (user)
            keepFirst(&result, updateLine(pathIn(serverRoot, kLdapConf), "admnm",
                                          std::string("admnm  ") + user));
        if (adminDomain) {
            std::string line = std::string(DS_ADMIN_DOMAIN) + ":" + adminDomain;
            keepFirst(&result, updateLine(pathIn(serverRoot, kDsConf), DS_ADMIN_DOMAIN, line));
            // Likewise for the admin domain, which ldap.conf may name first.
            std::string ldapConf = pathIn(serverRoot, kLdapConf);
            if (keyValue(DS_ADMIN_DOMAIN, ":", ldapConf))
                keepFirst(&result, updateLine(ldapConf, DS_ADMIN_DOMAIN, line));
        }
        return result;
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

#include "setup_registry_consts.h"

// The header's extern declarations give these definitions external, unmangled
// linkage (a namespace-scope const would otherwise be local to this file).
extern "C" {

/* Paths, users and switches. */
const char* const DEFAULT_LDAPSWITCH = "shared/config/dbswitch.conf";
const char* const DEFAULT_ADMINUSER = "admin";
const char* const DEFAULT_ADMINPWD = "vqlmt";
const char* const DEFAULT_PXUSERCONF = "shared/config/pxusers.conf";
const char* const DEFAULT_ADMINCONF = "admin-serv/config/cv-admin.conf";
const char* const DEFAULT_PXUSER = "nobody";
const char* const DEFAULT_PXGROUP = "nobody";
const char* const DEFAULT_SROOT = "/usr/tessera/servers";
const char* const DEFAULT_CLIENTROOT = "/usr/tessera/vxc";
const char* const DEFAULT_INSTALL_TYPE = "2";
const char* const DEFAULT_SOURCE = "/tmp/svr4download";

/* Names, filters and object classes of the registry. */
const char* const LDAP_PATHSEP = ", ";
const char* const OBJECT_CLASS_FILTER = "(objectclass=*)";
const char* const GROUP_OBJECT_CLASS = "groupOfUniqueNames";
const char* const DEFAULT_ROOT = "CorvidRoot";
const char* const DEFAULT_ROOT_DN = "o=CorvidRoot";
const char* const DEFAULT_ROOT_OBJECT = "Organization";
const char* const DEFAULT_PX_CONTAINER = "CorvidServers";
const char* const DEFAULT_PX_CONTAINER_RDN = "ou=CorvidServers";
const char* const DEFAULT_PX_CONTAINER_DN = "ou=CorvidServers, o=CorvidRoot";
const char* const DEFAULT_PX_CONTAINER_GRP_RDN = "cn=CorvidServers";
const char* const DEFAULT_PX_CONTAINER_FILTER =
    "(&(objectclass=organizationalUnit)(ou=CorvidServers))";
const char* const DEFAULT_PX_CONTAINER_OBJECT = "organizationalUnit";
const char* const DEFAULT_ADMIN_GROUP = "Server Group";
const char* const DEFAULT_ADMIN_GROUP_RDN = "cn=Server Group";
const char* const DEFAULT_ADMIN_GROUP_OBJECT = "cvAdminGroup";
const char* const DEFAULT_GLOBAL_PREFS = "Global Preferences";
const char* const DEFAULT_GLOBAL_PREFS_RDN = "ou=Global Preferences";
const char* const DEFAULT_GLOBAL_PREFS_OBJECT = "organizationalUnit";
const char* const DEFAULT_GLOBAL_PREFS_FILTER =
    "(&(objectclass=organizationalUnit)(ou=Global Preferences))";
const char* const DEFAULT_COMMON_PREFS = "Common";
const char* const DEFAULT_COMMON_PREFS_RDN = "cn=Common";
const char* const DEFAULT_COMMON_PREFS_OBJECT = "cvGlobalParameters";
const char* const DEFAULT_COMMON_PREFS_FILTER = "(&(objectclass=cvGlobalParameters)(cn=Common))";
const char* const DEFAULT_ADMIN_SEARCH_DN = "ou=TopologyManagement, o=CorvidRoot";
const char* const DEFAULT_USER_DIRINFO = "UserDirectory";
const char* const DEFAULT_USER_DIRINFO_RDN = "cn=UserDirectory";
const char* const DEFAULT_USER_DIRINFO_OBJECT = "cvDirectoryInfo";

/* Access-control templates; a %s takes the DN (or name) noted beside it. */
const char* const DEFAULT_ROOT_ACI_1 =
    "(targetattr=*)(targetfilter=(o=CorvidRoot))(version 3.0; acl \"Enable access by known "
    "users\"; allow (read,search) userdn=\"ldap:///all\";)";
const char* const DEFAULT_ROOT_ACI_2 =
    "(targetattr=*)(version 3.0; acl \"Configuration Administrator access rights\"; allow (all) "
    "groupdn = \"ldap:///cn=Configuration Administrators,%s\";)";
const char* const DEFAULT_ROOT_ACI_3 =
    "(targetattr=*)(version 3.0; acl \"Group expansion for access delegation\"; allow "
    "(read,search,compare) groupdnattr = \"ldap:///o=CorvidRoot?uniquemember?sub\";)";
const char* const DEFAULT_PX_CONTAINER_ACI =
    "(targetattr=*)(targetfilter=(ou=%s))(version 3.0; acl \"Enable anonymous access\"; "
    "allow(read,search) userdn=\"ldap:///anyone\";)";
const char* const DEFAULT_GLOBAL_PREFS_ACI =
    "(targetattr=*)(version 3.0; acl \"Enable anonymous access\"; allow(read,search) "
    "userdn=\"ldap:///anyone\";)";
const char* const DEFAULT_HOST_PREFS_ACI =
    "(targetattr=*)(version 3.0; acl \"Enable anonymous access\"; allow(read,search) "
    "userdn=\"ldap:///anyone\";)";
const char* const DEFAULT_HOST_ACI =
    "(targetattr= *)(targetfilter=(cvhardwarePlatform=*))(version 3.0; acl \"Enable delegated "
    "access\"; allow (read, search, compare) groupdn=\"ldap:///%s\";)";
const char* const DEFAULT_ADMINGRP_ACI =
    "(targetattr=*)(targetfilter=(cvconfigRoot=*))(version 3.0; acl \"Enable delegated access\"; "
    "allow (read,search, compare) groupdn=\"ldap:///%s\";)";
const char* const DEFAULT_ADMINGRP4_ACI =
    "(targetattr=*)(version 3.0; acl \"Enable delegated access\"; allow (read,search,compare) "
    "userdn=\"ldap:///%s\";)";
const char* const DEFAULT_PRODUCT_ACI =
    "(targetattr=*)(targetfilter=(cvNickName=*))(version 3.0; acl \"Enable delegated access\"; "
    "allow (read,search, compare) groupdn=\"ldap:///%s\";)";
const char* const DEFAULT_SIE_ACI_1 =
    "(targetattr=*)(version 3.0; acl \"Enable delegated access\"; allow (read, search, compare) "
    "groupdn=\"ldap:///%s\";)";
const char* const DEFAULT_SIE_ACI_2 =
    "(targetattr=\"uniquemember || serverProductName || administratorContactInfo || userpassword "
    "|| description\")(targetfilter=(objectclass=corvidServer))(version 3.0; acl \"Enable access "
    "delegation\"; allow (write) groupdn=\"ldap:///%s\";)";
const char* const DEFAULT_SIE_CONFIG_ACI = "(targetattr=*)(version 3.0; acl \"Enable Server "
                                           "configuration\"; allow (all) groupdn=\"ldap:///%s\";)";

/* Keys of a product's install-info section. */
const char* const PKG_NAME = "Name";
const char* const PKG_ALIAS = "Alias";
const char* const PKG_VENDOR = "Vendor";
const char* const PKG_DESCRIPTION = "Description";
const char* const PKG_CREATIONDATE = "CreationDate";
const char* const PKG_VERSION = "Version";
const char* const PKG_REVISION = "Revision";
const char* const PKG_DEPENDENCIES = "Dependencies";
const char* const PKG_COMPATIBLE = "Compatible";
const char* const PKG_COMPONENTS = "Components";
const char* const PKG_NICKNAME = "NickName";
const char* const PKG_BUILDNUMBER = "BuildNumber";
const char* const PKG_SERIALNUMBER = "SerialNumber";
const char* const PKG_SCHEMAVERSION = "LdapSchemaVersion";
const char* const PKG_PREINSTALL = "PreInstall";
const char* const PKG_POSTINSTALL = "PostInstall";
const char* const PKG_PREUNINSTALL = "PreUnInstall";
const char* const PKG_POSTUNINSTALL = "PostUnInstall";
const char* const PKG_ARCHIVE = "Archive";
const char* const PKG_DEFAULT_LANGUAGE = "DefaultAcceptLanguage";
const char* const PKG_EXPIRY = "Expires";
const char* const PKG_SECURITY = "Security";
const char* const PKG_REMOVABLE = "Removable";
const char* const PKG_APPLYTO = "ApplyTo";
const char* const PKG_TYPE = "Type";
const char* const PKG_KEEPFILES = "KeepFiles";
const char* const PKG_KEEPDIRS = "KeepDirectories";
const char* const PKG_BACKUPFILES = "BackupFiles";
const char* const PKG_RESTOREFILES = "RestoreFiles";
const char* const PKG_CHECKED = "Checked";
const char* const PKG_MANDATORY = "Mandatory";
const char* const PKG_USELDAP = "UseLDAP";
const char* const PKG_VISIBLE = "Visible";
const char* const PKG_PATCHES = "Patches";
const char* const PKG_REGISTRATION = "Registration";
const char* const PKG_ISVXC = "IsVXC";
const char* const PKG_FORCE_XPRESS = "ForceExpressInstall";
const char* const PKG_USERDIR_AUTH = "UserDirectoryAuth";
const char* const PKG_UPDATE_LDIF = "UpdateLdif";
const char* const PKG_START_PROGRAM = "StartProgram";

/* Keys of the general install section. */
const char* const SERVER_LIST = "Components";
const char* const SERVER_SRC = "ServerSource";
const char* const SERVER_ROOT = "ServerRoot";
const char* const MACHINE_NAME = "FullMachineName";
const char* const DS_ADMIN_DOMAIN = "AdminDomain";
const char* const CONFIG_DS_HOST = "LDAPHost";
const char* const CONFIG_DS_PORT = "LDAPPort";
const char* const CONFIG_DS_SUFFIX = "BaseSuffix";
const char* const PX_USER_ID = "PlexusUserID";
const char* const PX_GROUP = "PlexusGroup";
const char* const CONFIG_LDAP_URL = "ConfigDirectoryLdapURL";
const char* const VX_ADMIN_ID = "ConfigDirectoryAdminID";
const char* const VX_ADMIN_PWD = "ConfigDirectoryAdminPwd";
const char* const UG_LDAP_URL = "UserDirectoryLdapURL";
const char* const UG_ADMIN_ID = "UserDirectoryAdminID";
const char* const UG_ADMIN_PWD = "UserDirectoryAdminPwd";

/* File names. */
const char* const INF_SUFFIX = ".inf";
const char* const LOG_SUFFIX = ".log";
const char* const PLEXUS_INF = "setup.inf";
const char* const INSTALL_INF = "install.inf";
const char* const UNINSTALL_INF = "uninstall.inf";
const char* const SETUP_DIR = "setup";
const char* const INSTALL_LOG = "setup.log";

} // extern "C"

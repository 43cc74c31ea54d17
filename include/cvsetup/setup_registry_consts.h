/*
 * Published text constants of the setup library: the registry's fixed names,
 * filters and object classes, its access-control templates (a "%s" in a
 * template is replaced printf-style by one DN before the value is stored),
 * the keys of install-info sections, and default file names and paths.
 * Usable from C and C++; the values are defined in registry_consts.cpp.
 */
#ifndef CV_SETUP_REGISTRY_CONSTS_H
#define CV_SETUP_REGISTRY_CONSTS_H

#include "setup_common.h"

SETUP_BEGIN_DECLS

/* Paths, users and switches. */
extern const char* const DEFAULT_LDAPSWITCH;
extern const char* const DEFAULT_ADMINUSER;
extern const char* const DEFAULT_ADMINPWD;
extern const char* const DEFAULT_PXUSERCONF;
extern const char* const DEFAULT_ADMINCONF;
extern const char* const DEFAULT_PXUSER;
extern const char* const DEFAULT_PXGROUP;
extern const char* const DEFAULT_SROOT;
extern const char* const DEFAULT_CLIENTROOT;
extern const char* const DEFAULT_INSTALL_TYPE;
extern const char* const DEFAULT_SOURCE;

/* Names, filters and object classes of the registry. */
extern const char* const LDAP_PATHSEP;
extern const char* const OBJECT_CLASS_FILTER;
extern const char* const GROUP_OBJECT_CLASS;
extern const char* const DEFAULT_ROOT;
extern const char* const DEFAULT_ROOT_DN;
extern const char* const DEFAULT_ROOT_OBJECT;
extern const char* const DEFAULT_PX_CONTAINER;
extern const char* const DEFAULT_PX_CONTAINER_RDN;
extern const char* const DEFAULT_PX_CONTAINER_DN;
extern const char* const DEFAULT_PX_CONTAINER_GRP_RDN;
extern const char* const DEFAULT_PX_CONTAINER_FILTER;
extern const char* const DEFAULT_PX_CONTAINER_OBJECT;
extern const char* const DEFAULT_ADMIN_GROUP;
extern const char* const DEFAULT_ADMIN_GROUP_RDN;
extern const char* const DEFAULT_ADMIN_GROUP_OBJECT;
extern const char* const DEFAULT_GLOBAL_PREFS;
extern const char* const DEFAULT_GLOBAL_PREFS_RDN;
extern const char* const DEFAULT_GLOBAL_PREFS_OBJECT;
extern const char* const DEFAULT_GLOBAL_PREFS_FILTER;
extern const char* const DEFAULT_COMMON_PREFS;
extern const char* const DEFAULT_COMMON_PREFS_RDN;
extern const char* const DEFAULT_COMMON_PREFS_OBJECT;
extern const char* const DEFAULT_COMMON_PREFS_FILTER;
extern const char* const DEFAULT_ADMIN_SEARCH_DN;
extern const char* const DEFAULT_USER_DIRINFO;
extern const char* const DEFAULT_USER_DIRINFO_RDN;
extern const char* const DEFAULT_USER_DIRINFO_OBJECT;

/* Access-control templates, with what their %s takes. */
extern const char* const DEFAULT_ROOT_ACI_1; /* no argument */
extern const char* const DEFAULT_ROOT_ACI_2; /* a DN, after "cn=Configuration Administrators," */
extern const char* const DEFAULT_ROOT_ACI_3; /* no argument */
extern const char* const DEFAULT_PX_CONTAINER_ACI; /* the admin domain's "ou" value */
extern const char* const DEFAULT_GLOBAL_PREFS_ACI; /* no argument */
extern const char* const DEFAULT_HOST_PREFS_ACI;   /* no argument */
extern const char* const DEFAULT_HOST_ACI;         /* the host entry's DN */
extern const char* const DEFAULT_ADMINGRP_ACI;     /* the admin group's DN */
extern const char* const DEFAULT_ADMINGRP4_ACI;    /* the host's administration server SIE DN */
extern const char* const DEFAULT_PRODUCT_ACI;      /* the product entry's DN */
extern const char* const DEFAULT_SIE_ACI_1;        /* the SIE's DN */
extern const char* const DEFAULT_SIE_ACI_2;        /* the SIE's DN */
extern const char* const DEFAULT_SIE_CONFIG_ACI;   /* a group DN given by the caller */

/* Keys of a product's install-info section. */
extern const char* const PKG_NAME;
extern const char* const PKG_ALIAS;
extern const char* const PKG_VENDOR;
extern const char* const PKG_DESCRIPTION;
extern const char* const PKG_CREATIONDATE;
extern const char* const PKG_VERSION;
extern const char* const PKG_REVISION;
extern const char* const PKG_DEPENDENCIES;
extern const char* const PKG_COMPATIBLE;
extern const char* const PKG_COMPONENTS;
extern const char* const PKG_NICKNAME;
extern const char* const PKG_BUILDNUMBER;
extern const char* const PKG_SERIALNUMBER;
extern const char* const PKG_SCHEMAVERSION;
extern const char* const PKG_PREINSTALL;
extern const char* const PKG_POSTINSTALL;
extern const char* const PKG_PREUNINSTALL;
extern const char* const PKG_POSTUNINSTALL;
extern const char* const PKG_ARCHIVE;
extern const char* const PKG_DEFAULT_LANGUAGE;
extern const char* const PKG_EXPIRY;
extern const char* const PKG_SECURITY;
extern const char* const PKG_REMOVABLE;
extern const char* const PKG_APPLYTO;
extern const char* const PKG_TYPE;
extern const char* const PKG_KEEPFILES;
extern const char* const PKG_KEEPDIRS;
extern const char* const PKG_BACKUPFILES;
extern const char* const PKG_RESTOREFILES;
extern const char* const PKG_CHECKED;
extern const char* const PKG_MANDATORY;
extern const char* const PKG_USELDAP;
extern const char* const PKG_VISIBLE;
extern const char* const PKG_PATCHES;
extern const char* const PKG_REGISTRATION;
extern const char* const PKG_ISVXC;
extern const char* const PKG_FORCE_XPRESS;
extern const char* const PKG_USERDIR_AUTH;
extern const char* const PKG_UPDATE_LDIF;
extern const char* const PKG_START_PROGRAM;

/* Keys of the general install section. */
extern const char* const SERVER_LIST;
extern const char* const SERVER_SRC;
extern const char* const SERVER_ROOT;
extern const char* const MACHINE_NAME;
extern const char* const DS_ADMIN_DOMAIN;
extern const char* const CONFIG_DS_HOST;
extern const char* const CONFIG_DS_PORT;
extern const char* const CONFIG_DS_SUFFIX;
extern const char* const PX_USER_ID;
extern const char* const PX_GROUP;
extern const char* const CONFIG_LDAP_URL;
extern const char* const VX_ADMIN_ID;
extern const char* const VX_ADMIN_PWD;
extern const char* const UG_LDAP_URL;
extern const char* const UG_ADMIN_ID;
extern const char* const UG_ADMIN_PWD;

/* File names. */
extern const char* const INF_SUFFIX;
extern const char* const LOG_SUFFIX;
extern const char* const PLEXUS_INF;
extern const char* const INSTALL_INF;
extern const char* const UNINSTALL_INF;
extern const char* const SETUP_DIR;
extern const char* const INSTALL_LOG;

SETUP_END_DECLS

#endif

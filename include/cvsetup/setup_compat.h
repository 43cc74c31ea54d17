/*
 * The older names of the plain-function interface, kept for installer
 * programs written against them. Usable from C and C++; cvsetup.h includes
 * this header, so a program that includes the umbrella header has them all.
 *
 * Short names: each forwards all its arguments, unchanged, to the setup
 * function named beside it and returns its result; the documentation of that
 * function (in the header named) applies. The password hash and the Base64
 * coder keep their unprefixed names: the same functions as their setup
 * entry points. INFO is the log level SETUP_LOG_INFO ("Info").
 */
#ifndef CV_SETUP_COMPAT_H
#define CV_SETUP_COMPAT_H

#include <stddef.h>

#include "setup_common.h"

SETUP_BEGIN_DECLS

/* ---- Directory connections and entries (setup_ldap.h) ------------------- */

int createLdap(Ldap** handle, const char* url, const char* user, const char* password,
               const char* searchDN, const char* searchPwd); /* setupCreateLdap */
void destroyLdap(Ldap* ldap);                                /* setupDestroyLdap */
void requireStartTLS(int required);                          /* setupRequireStartTLS */
const char* referralRefusal(Ldap* ldap);                     /* setupGetReferralRefusal */
const char* userDN(Ldap* ldap);                              /* setupGetUserDN */
const char* ldapServerVersion(Ldap* ldap);                   /* setupGetServerVersion */
int verifyLdapUrl(const char* url, const char* user, const char* password); /* setupVerifyLdapUrl */
int authLdapUser(const char* url, const char* user, const char* password, const char* searchDN,
                 const char* searchPwd);                 /* setupAuthLdapUser */
LdapEntry* createLdapEntry(Ldap* ldap);                  /* setupCreateLdapEntry */
void destroyLdapEntry(LdapEntry* entry);                 /* setupDestroyLdapEntry */
const char* entryDN(LdapEntry* entry);                   /* setupGetEntryDN */
Bool entryExists(LdapEntry* entry, const char* dn);      /* setupEntryExists */
int retrieveLdapEntry(LdapEntry* entry, const char* dn); /* setupRetrieveLdapEntry */
int retrieveLdapEntries(LdapEntry* entry, const char* filter, int scope,
                        const char* base);                    /* setupRetrieveLdapEntries */
int nextLdapEntry(LdapEntry* entry);                          /* setupNextLdapEntry */
char** getLdapAttributeNames(LdapEntry* entry);               /* setupGetLdapAttributeNames */
void freeLdapAttributeNames(LdapEntry* entry, char** names);  /* setupFreeLdapAttributeNames */
char** getLdapAttributes(LdapEntry* entry, const char* name); /* setupGetLdapAttributes */
void freeLdapAttributes(LdapEntry* entry, char** values);     /* setupFreeLdapAttributes */
void setLdapAttribute(LdapEntry* entry, const char* name,
                      const char* value); /* setupSetLdapAttribute */
void addLdapAttribute(LdapEntry* entry, const char* name,
                      const char* value); /* setupAddLdapAttribute */
void addLdapAttributes(LdapEntry* entry, const char* name,
                       const char** values); /* setupAddLdapAttributes */
int renameLdapEntry(LdapEntry* entry, const char* dn,
                    const char* newRDN);                 /* setupRenameLdapEntry */
int replaceLdapEntry(LdapEntry* entry, const char* dn);  /* setupReplaceLdapEntry */
int insertLdapEntry(LdapEntry* entry, const char* dn);   /* setupInsertLdapEntry */
int updateLdapEntry(LdapEntry* entry, const char* dn);   /* setupUpdateLdapEntry */
int dropLdapEntry(Ldap* ldap, const char* dn);           /* setupDropLdapEntry */
int dropAllLdapEntries(Ldap* ldap, const char* dn);      /* setupDropAllLdapEntries */
void printLdapEntry(LdapEntry* entry, const char* file); /* setupPrintLdapEntry */

/* ---- URLs and default servers (setup_ldapurl.h) ------------------------- */

void getDefaultLdapInfo(const char* serverRoot, char** url, char** user,
                        char** adminDomain); /* setupGetDefaultLdapInfo */
char* formConfigLdapURL(const char* url);    /* setupFormConfigLdapURL */
char* stripConfigLdapURL(const char* url);   /* setupStripConfigLdapURL */
int ParseLdapUrl(const char* url, char** host, int* port, char** baseDN); /* setupParseLdapUrl */
char* formAdminDomainDN(const char* name); /* setupFormAdminDomainDN */
char* stripAdminDomainDN(const char* dn);  /* setupStripAdminDomainDN */
int IsValidLdapServer(const char* host, int port, const char* baseDN, const char* bindDN,
                      const char* password); /* setupIsValidLdapServer */
int IsValidLdapUser(const char* host, int port, const char* baseDN, char** user,
                    const char* password, int wantDN); /* setupIsValidLdapUser */

/* ---- LDIF loading (setup_ldif.h) ---------------------------------------- */

int insertLdifEntries(Ldap* ldap, const char* suffix, const char* file,
                      const char* classSuffix); /* setupUpdateLdifEntries */
int insertPluginLdifEntries(const char* url, const char* suffix, const char* user,
                            const char* password,
                            const char* file); /* setupInsertPluginLdifEntries */

/* ---- Registry (setup_register.h, setup_remove.h, setup_userdir.h) ------- */

int createSIE(LdapEntry* sie, LdapEntry* isie, const char* hostName, const char* serverRoot,
              const char* adminDomain); /* setupCreateSIE */
int updateISIEVersionInfo(Ldap* ldap, LdapEntry* source, const char* productName,
                          const char* hostName, const char* serverRoot,
                          const char* adminDomain); /* setupUpdateISIEVersionInfo */
int createACIForConfigEntry(LdapEntry* entry,
                            const char* groupDN);          /* setupCreateACIForConfigEntry */
int checkAdminDomain(Ldap* ldap, const char* adminDomain); /* setupCheckAdminDomain */
int isSubTreeWritable(Ldap* ldap, const char* dn);         /* setupIsSubTreeWritable */
char* guessAdminDomainName(const char* url, const char* bindUser,
                           const char* password);           /* setupGuessAdminDomainName */
int removeSIE(Ldap* ldap, const char* sieDN, int alsoISIE); /* setupRemoveSIE */
int removeISIE(Ldap* ldap, const char* isieDN);             /* setupRemoveISIE */
int getGlobalUserDirectory(Ldap* ldap, const char* adminDomain, char** url, char** bindDN,
                           char** bindPassword); /* setupGetGlobalUserDirectory */
int addGlobalUserDirectory(Ldap* ldap, const char* adminDomain, const char* url, const char* bindDN,
                           const char* bindPassword); /* setupAddGlobalUserDirectory */
int getUserDirectory(Ldap* ldap, const char* sieDN, char** url, char** bindDN,
                     char** bindPassword); /* setupGetUserDirectory */
int getLocalUserDirectory(Ldap* ldap, const char* adminDomain, const char* hostName,
                          const char* serverRoot, char** url, char** bindDN,
                          char** bindPassword); /* setupGetLocalUserDirectory */

/* ---- Password hashing and Base64 (setup_hash.h) ------------------------- */

char* sha1_pw_enc(const char* password);                   /* setupSHA1_pw_enc */
int sha1_pw_cmp(const char* password, const char* stored); /* setupSHA1_pw_cmp */
int base64_encode(const unsigned char* source, char* target, unsigned int length,
                  int column); /* setupBase64_Encode */
int base64_encode_sized(const unsigned char* source, char* target, size_t targetSize,
                        unsigned int length, int column);     /* setupBase64_EncodeSized */
size_t base64_encoded_size(unsigned int length, int column);  /* setupBase64_EncodedSize */
int base64_decode(const char* source, unsigned char* target); /* setupBase64_decode */
int base64_decode_sized(const char* source, unsigned char* target,
                        size_t targetSize);     /* setupBase64_DecodeSized */
size_t base64_decoded_size(const char* source); /* setupBase64_DecodedSize */

/* ---- Install log and memory (setup_util.h) ------------------------------ */

extern const char* const INFO; /* SETUP_LOG_INFO, "Info" */
void cvSetupFree(void* p);     /* setupFree */

SETUP_END_DECLS

#endif

/* Checks of the plain-function interface written in C (c_api_checks.c). */
#ifndef CV_TEST_C_API_CHECKS_H
#define CV_TEST_C_API_CHECKS_H

#ifdef __cplusplus
extern "C" {
#endif

int capi_null_arguments(void);
int capi_connections(const char* url, const char* deadUrl, const char* rootDN, const char* rootPw);
int capi_entries(const char* url, const char* rootDN, const char* rootPw, const char* base);

#ifdef __cplusplus
}
#endif

#endif

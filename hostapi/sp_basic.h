/* The host's basic suite: acquisition and release of suites by name and
 * version. Plain C. */
#ifndef HOSTAPI_SP_BASIC_H
#define HOSTAPI_SP_BASIC_H

#include <stddef.h>

#include "pf_basic.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long SPErr;
enum {
    kSPNoError = 0,
    kSPSuiteNotFoundError = 0x53214e46 /* "S!NF" */
};

typedef struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char *name, A_long version, const void **suite);
    SPErr (*ReleaseSuite)(const char *name, A_long version);
    A_Boolean (*IsEqual)(const char *token1, const char *token2);
    SPErr (*AllocateBlock)(size_t size, void **block);
    SPErr (*FreeBlock)(void *block);
    SPErr (*ReallocateBlock)(void *block, size_t newSize, void **newblock);
    SPErr (*Undefined)(void);
} SPBasicSuite;

#ifdef __cplusplus
}
#endif

#endif

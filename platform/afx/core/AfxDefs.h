// Basic definitions of the application framework: calling-convention markers, POSITION, the diagnostic
// macros of a release build, and the raw allocation the framework's containers use (a failed allocation
// throws the framework's memory exception, never std::bad_alloc).
#pragma once

#include <cstddef>
#include <cstdint>

#include "windef.h"

#ifndef AFXAPI
#define AFXAPI
#endif
#ifndef AFX_CDECL
#define AFX_CDECL
#endif
#ifndef PASCAL
#define PASCAL
#endif
#ifndef AFX_INLINE
#define AFX_INLINE inline
#endif
#ifndef AFX_API
#define AFX_API
#endif

// Abstract iteration position of lists and maps.
struct __POSITION {};
typedef __POSITION* POSITION;
#define BEFORE_START_POSITION ((POSITION)-1L)

// The program is built as a release build: assertions cost nothing, VERIFY still evaluates.
#ifndef ASSERT
#define ASSERT(f) ((void)0)
#endif
#ifndef VERIFY
#define VERIFY(f) ((void)(f))
#endif
#ifndef ASSERT_VALID
#define ASSERT_VALID(p) ((void)0)
#endif
#ifndef ASSERT_KINDOF
#define ASSERT_KINDOF(class_name, object) ((void)0)
#endif
#ifndef TRACE
#define TRACE(...) ((void)0)
#endif
#ifndef DEBUG_NEW
#define DEBUG_NEW new
#endif
#define ENSURE(cond)                                                                                                   \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            AfxThrowInvalidArgException();                                                                             \
    } while (0)
#define ENSURE_ARG(cond) ENSURE(cond)

[[noreturn]] void AFXAPI AfxThrowInvalidArgException();
[[noreturn]] void AFXAPI AfxThrowMemoryException();

// Raw storage for the framework's containers and strings; throws CMemoryException* when nothing is left.
void* AfxAllocateRaw(size_t nBytes);
void AfxFreeRaw(void* p) noexcept;

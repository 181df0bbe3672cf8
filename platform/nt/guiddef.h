// Named GUID constants. DEFINE_GUID declares an inline constexpr GUID, so a header can carry the
// constant and every translation unit that includes it sees the same single object: no INITGUID
// switch and no separate definition file.
#pragma once

#include "ntdef.h"

#ifdef DEFINE_GUID
#undef DEFINE_GUID
#endif
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                                                   \
    inline constexpr GUID name = {                                                                                     \
        (ULONG)(l),                                                                                                    \
        (USHORT)(w1),                                                                                                  \
        (USHORT)(w2),                                                                                                  \
        {(UCHAR)(b1), (UCHAR)(b2), (UCHAR)(b3), (UCHAR)(b4), (UCHAR)(b5), (UCHAR)(b6), (UCHAR)(b7), (UCHAR)(b8)}}

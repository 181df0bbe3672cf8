#include "app/core/app/HelpContext.h"

#include <iterator>

namespace {

// The internal USB IOCTL codes that have a topic, in the order of their ids (1401 up).
constexpr ULONG kInternalIoctls[] = {0x220007, 0x22000F, 0x220013, 0x220017, 0x22001B, 0x22001F, 0x220020,
                                     0x220027, 0x22002B, 0x220420, 0x220424, 0x220428, 0x22042C, 0x220433,
                                     0x220437, 0x22043B, 0x22043F, 0x220443, 0x220447, 0x22044B, 0x22044F};
static_assert(std::size(kInternalIoctls) == 21);

// A run of codes 0..nLast with a topic each at nFirstId + code; the rest share nOtherId.
DWORD InRun(ULONG nCode, ULONG nLast, DWORD nFirstId, DWORD nOtherId) {
    return nCode <= nLast ? nFirstId + nCode : nOtherId;
}

DWORD UrbContext(ULONG nFunction) {
    // The three functions past the numbered run have topics of their own.
    if (nFunction >= 0x1000 && nFunction <= 0x1002) {
        return 1100 + (nFunction - 0x1000);
    }
    return InRun(nFunction, 52, 1000, 1199);
}

DWORD InternalIoctlContext(ULONG nCode) {
    for (size_t i = 0; i < std::size(kInternalIoctls); ++i) {
        if (kInternalIoctls[i] == nCode) {
            return 1401 + static_cast<DWORD>(i);
        }
    }
    return 1499;
}

} // namespace

DWORD HelpContextForCode(UINT nGroup, ULONG nCode) {
    switch (nGroup) {
    case HELP_GROUP_URB: return UrbContext(nCode);
    case HELP_GROUP_INTERNAL_IOCTL: return InternalIoctlContext(nCode);
    case HELP_GROUP_HUB_INTERFACE: return InRun(nCode, 35, 1800, 1898);
    case HELP_GROUP_HOOK: return InRun(nCode, 79, 1900, 1999);
    default: return 0;
    }
}

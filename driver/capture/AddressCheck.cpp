// Range checks of the memory a request points to (AddressCheck.h).
#include "driver/capture/AddressCheck.h"

#include <algorithm>

namespace {

bool Valid(ULONG_PTR address) {
    return MmIsAddressValid(reinterpret_cast<PVOID>(address)) != FALSE;
}

// Bytes of the piece that starts at `at`: up to the end of its page, at most `left`.
ULONG_PTR PieceLength(ULONG_PTR at, ULONG_PTR left) {
    return std::min<ULONG_PTR>(left, PAGE_SIZE - BYTE_OFFSET(at));
}

// The valid prefix of a piece whose first byte is valid and whose last byte (at + length - 1) is not: the
// offset of the one boundary between them.
ULONG_PTR ValidPrefix(ULONG_PTR at, ULONG_PTR length) {
    ULONG_PTR valid = 0;            // the byte at this offset is valid
    ULONG_PTR invalid = length - 1; // the byte at this offset is not
    while (invalid - valid > 1) {
        const ULONG_PTR middle = valid + (invalid - valid) / 2;
        if (Valid(at + middle)) {
            valid = middle;
        } else {
            invalid = middle;
        }
    }
    return invalid;
}

bool Wraps(ULONG_PTR start, SIZE_T length) {
    return start + length < start;
}

} // namespace

BOOLEAN AddressRangeIsValidPieces(const VOID* Address, SIZE_T Length) {
    const auto start = reinterpret_cast<ULONG_PTR>(Address);
    if (start == 0 || Wraps(start, Length)) {
        return FALSE;
    }
    for (ULONG_PTR at = start, left = Length; left != 0;) {
        const ULONG_PTR piece = PieceLength(at, left);
        if (!Valid(at) || !Valid(at + piece - 1)) {
            return FALSE;
        }
        at += piece;
        left -= piece;
    }
    return TRUE;
}

BOOLEAN AddressRangeIsValidAfterHeadPieces(const VOID* Address, SIZE_T Length) {
    const auto start = reinterpret_cast<ULONG_PTR>(Address);
    if (Length == 0 || Wraps(start, Length)) {
        return Length == 0 ? TRUE : FALSE;
    }
    const ULONG_PTR first = PieceLength(start, Length);
    if (!Valid(start + first - 1)) {
        return FALSE;
    }
    return first == Length || AddressRangeIsValid(reinterpret_cast<const VOID*>(start + first), Length - first);
}

ULONG AddressReadablePrefixPieces(const VOID* Address, ULONG Length) {
    const auto start = reinterpret_cast<ULONG_PTR>(Address);
    if (start == 0 || Wraps(start, Length)) {
        return 0;
    }
    ULONG readable = 0;
    while (readable < Length) {
        const ULONG_PTR at = start + readable;
        const auto piece = static_cast<ULONG>(PieceLength(at, Length - readable));
        if (!Valid(at)) {
            break;
        }
        if (!Valid(at + piece - 1)) {
            readable += static_cast<ULONG>(ValidPrefix(at, piece));
            break;
        }
        readable += piece;
    }
    return readable;
}

PVOID AddressOfMdlBytes(PMDL Mdl) {
    if (!AddressRangeIsValid(Mdl, sizeof(MDL)) ||
        !(Mdl->MdlFlags & (MDL_MAPPED_TO_SYSTEM_VA | MDL_SOURCE_IS_NONPAGED_POOL | MDL_PAGES_LOCKED | MDL_PARTIAL))) {
        return nullptr;
    }
    return MmGetSystemAddressForMdlSafe(Mdl, NormalPagePriority | MdlMappingNoExecute);
}

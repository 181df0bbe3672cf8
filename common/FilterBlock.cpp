#include "common/FilterBlock.h"

#include <cstring>

namespace {

constexpr ULONG IoctlFunction(ULONG code) {
    return (code >> 2) & 0xFFF;
}
constexpr ULONG IoctlMethod(ULONG code) {
    return code & 3;
}

// Byte of value `v` in a group of `count` bytes at `start` that begins with value `first`.
constexpr size_t GroupByte(size_t start, size_t count, ULONG first, ULONG v) {
    return v >= first && v - first < count ? start + (v - first) : FILTER_NO_BYTE;
}

// A HID code's byte is in the group of its own transfer method only: looking on in the other groups would let
// a GET_DRIVER_CONFIG record pass when only SET_FEATURE (the same function number, out-direct) is ticked. The
// driver and the application both take the code's byte from here.
size_t HidCodeByte(ULONG code) {
    using namespace FilterByte;
    const ULONG f = IoctlFunction(code);
    switch (IoctlMethod(code)) {
    case 0: // METHOD_BUFFERED
        return GroupByte(HidBuffered, HidBufferedCount, HidFirst, f);
    case 1: // METHOD_IN_DIRECT
        return GroupByte(HidInDirect, HidInDirectCount, HidFirst, f);
    case 2: // METHOD_OUT_DIRECT
        return GroupByte(HidOutDirect, HidOutDirectCount, HidFirst, f);
    default: { // METHOD_NEITHER: two groups
        const size_t low = GroupByte(HidNeitherLow, HidNeitherLowCount, HidFirst, f);
        return low != FILTER_NO_BYTE ? low : GroupByte(HidNeitherHigh, HidNeitherHighCount, HidNeitherHighFirst, f);
    }
    }
}

} // namespace

void InitLoggingOptions(FILTER_BLOCK& block) {
    std::memset(block.Bytes, 0, sizeof block.Bytes);
    block.Bytes[FilterByte::Marker] = FilterByte::MarkerValue;
    block.Bytes[FilterByte::Marker + 1] = FilterByte::MarkerValue;
}

size_t FilterPhaseByte(FilterFamily family, FilterPhase phase) {
    using namespace FilterByte;
    const bool request = phase == FilterPhase::Request;
    switch (family) {
    case FilterFamily::Urb: return request ? UrbRequest : UrbCompletion;
    case FilterFamily::HubInterface: return request ? HubIfRequest : HubIfCompletion;
    case FilterFamily::PortHook: return request ? PortHookRequest : PortHookCompletion;
    case FilterFamily::Internal: return request ? InternalRequest : InternalCompletion;
    case FilterFamily::Hcd: return request ? HcdRequest : HcdCompletion;
    case FilterFamily::Hub: return request ? HubRequest : HubCompletion;
    case FilterFamily::Hid: return request ? HidRequest : HidCompletion;
    case FilterFamily::Pnp: return request ? PnpRequest : PnpCompletion;
    case FilterFamily::Power: return request ? PowerRequest : PowerCompletion;
    }
    return FILTER_NO_BYTE;
}

bool FilterStatusPasses(const FILTER_BLOCK& block, ULONG status, FilterStatusRule rule) {
    if (status < 0x80000000u)
        return FilterFlag(block, FilterByte::AcceptSuccess);
    if (rule == FilterStatusRule::Driver && status < 0xC0000000u)
        return false; // a warning: the driver's gate has no byte for it
    return FilterFlag(block, FilterByte::AcceptError);
}

size_t FilterCodeByte(FilterFamily family, ULONG code) {
    using namespace FilterByte;
    switch (family) {
    case FilterFamily::Urb:
        if (code < UrbFunctionCount)
            return UrbFunctions + code;
        return GroupByte(UrbEndpointFunctions, UrbEndpointFunctionCount, UrbEndpointFirstFunction, code);
    case FilterFamily::HubInterface: return GroupByte(HubIfFunctions, HubIfFunctionCount, 0, code);
    case FilterFamily::PortHook: return GroupByte(PortHookFunctions, PortHookFunctionCount, 0, code);
    case FilterFamily::Internal: {
        const ULONG f = IoctlFunction(code);
        const size_t low = GroupByte(InternalLow, InternalLowCount, InternalLowFirst, f);
        return low != FILTER_NO_BYTE ? low : GroupByte(InternalHigh, InternalHighCount, InternalHighFirst, f);
    }
    case FilterFamily::Hcd: return GroupByte(HcdFunctions, HcdFunctionCount, HcdFirst, IoctlFunction(code));
    case FilterFamily::Hub: return GroupByte(HubFunctions, HubFunctionCount, HubFirst, IoctlFunction(code));
    case FilterFamily::Hid: return HidCodeByte(code);
    case FilterFamily::Pnp: return GroupByte(PnpMinors, PnpMinorCount, 0, code);
    case FilterFamily::Power: return GroupByte(PowerMinors, PowerMinorCount, 0, code);
    }
    return FILTER_NO_BYTE;
}

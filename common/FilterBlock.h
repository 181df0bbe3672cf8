// The 297-byte filter block: one per capture filter (sent to the driver inside LOGGING_OPTIONS), buffer
// filter and stop trigger. Per request family it holds an enable byte for the request phase (I, with its
// R record and "iCnt" continuations) and one for the completion phase (C, "cCnt"), then one byte per code;
// at the end the status and direction gates. Every flag byte is 0 or 1; readers take any non-zero byte as
// on. The offsets are binding for the driver and the application alike.
//
// The match helpers below are pure and allocate nothing, so the driver's request capture and the
// application's CFilterDefinition::Match decide from the same code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ntdef.h"

constexpr size_t FILTER_BLOCK_SIZE = 297;

typedef struct _FILTER_BLOCK {
    UCHAR Bytes[FILTER_BLOCK_SIZE];
} FILTER_BLOCK, *PFILTER_BLOCK;
static_assert(sizeof(FILTER_BLOCK) == 297 && alignof(FILTER_BLOCK) == 1);

// Offsets of the block's bytes, and the sizes and first codes of its code groups.
namespace FilterByte {
constexpr size_t Marker = 0; // two bytes 0x02 0x02; never tested
constexpr UCHAR MarkerValue = 0x02;

constexpr size_t UrbRequest = 2;
constexpr size_t UrbCompletion = 3;
constexpr size_t UrbFunctions = 4; // URB functions 0 to 52
constexpr size_t UrbFunctionCount = 53;
constexpr size_t UrbSynchronous = 57;       // functions with bit 0x2000 set; tested by the driver only
constexpr size_t UrbEndpointFunctions = 58; // URB functions 0x1000 to 0x1002
constexpr size_t UrbEndpointFunctionCount = 3;
constexpr ULONG UrbEndpointFirstFunction = 0x1000;

constexpr size_t HubIfRequest = 61; // hub-interface calls ("buh")
constexpr size_t HubIfCompletion = 62;
constexpr size_t HubIfFunctions = 63;
constexpr size_t HubIfFunctionCount = 36;

constexpr size_t PortHookRequest = 99; // port-driver hook calls ("khp")
constexpr size_t PortHookCompletion = 100;
constexpr size_t PortHookFunctions = 101;
constexpr size_t PortHookFunctionCount = 80;

constexpr size_t InternalRequest = 181; // other internal USB IOCTLs ("uin")
constexpr size_t InternalCompletion = 182;
constexpr size_t InternalLow = 183; // function numbers 0 to 10: 0x220003 ... 0x22002B
constexpr size_t InternalLowCount = 11;
constexpr ULONG InternalLowFirst = 0;
constexpr size_t InternalHigh = 194; // function numbers 264 to 275: 0x220420 ... 0x22044F
constexpr size_t InternalHighCount = 12;
constexpr ULONG InternalHighFirst = 264;

constexpr size_t HcdRequest = 206; // host-controller device-control IOCTLs ("hcd")
constexpr size_t HcdCompletion = 207;
constexpr size_t HcdFunctions = 208; // function numbers 255 to 270: 0x2203FC ... 0x220438
constexpr size_t HcdFunctionCount = 16;
constexpr ULONG HcdFirst = 255;

constexpr size_t HubRequest = 224; // hub device-control IOCTLs ("hub")
constexpr size_t HubCompletion = 225;
constexpr size_t HubFunctions = 226; // function numbers 258 to 276: 0x220408 ... 0x220450
constexpr size_t HubFunctionCount = 19;
constexpr ULONG HubFirst = 258;

constexpr size_t HidRequest = 245; // HID IOCTLs ("hid"), one group per transfer method
constexpr size_t HidCompletion = 246;
constexpr size_t HidBuffered = 247; // METHOD_BUFFERED, function numbers 100 to 106
constexpr size_t HidBufferedCount = 7;
constexpr size_t HidNeitherLow = 254; // METHOD_NEITHER, function numbers 100 and 101 (0xB0193, 0xB0197)
constexpr size_t HidNeitherLowCount = 2;
constexpr size_t HidNeitherHigh = 256; // METHOD_NEITHER, function numbers 130 and 131 (0xB020B, 0xB020F)
constexpr size_t HidNeitherHighCount = 2;
constexpr ULONG HidNeitherHighFirst = 130;
constexpr size_t HidInDirect = 258; // METHOD_IN_DIRECT, function numbers 100 and 101 (0xB0191, 0xB0195)
constexpr size_t HidInDirectCount = 2;
constexpr size_t HidOutDirect = 260; // METHOD_OUT_DIRECT, function numbers 100 to 121 (0xB0192 ... 0xB01E6)
constexpr size_t HidOutDirectCount = 22;
constexpr ULONG HidFirst = 100;

constexpr size_t PnpRequest = 282;
constexpr size_t PnpCompletion = 283;
constexpr size_t PnpMinors = 284; // START_DEVICE, QUERY_REMOVE_DEVICE, REMOVE_DEVICE
constexpr size_t PnpMinorCount = 3;

constexpr size_t PowerRequest = 287;
constexpr size_t PowerCompletion = 288;
constexpr size_t PowerMinors = 289; // WAIT_WAKE, POWER_SEQUENCE, SET_POWER, QUERY_POWER
constexpr size_t PowerMinorCount = 4;

constexpr size_t AcceptError = 293;   // requests whose status is an error
constexpr size_t AcceptSuccess = 294; // requests whose status is a success
constexpr size_t AcceptIn = 295;      // IN data transfers
constexpr size_t AcceptOut = 296;     // OUT data transfers
} // namespace FilterByte

// Each group ends where the next begins, and the last gate is the block's last byte.
static_assert(FilterByte::UrbFunctions + FilterByte::UrbFunctionCount == FilterByte::UrbSynchronous);
static_assert(FilterByte::UrbEndpointFunctions + FilterByte::UrbEndpointFunctionCount == FilterByte::HubIfRequest);
static_assert(FilterByte::HubIfFunctions + FilterByte::HubIfFunctionCount == FilterByte::PortHookRequest);
static_assert(FilterByte::PortHookFunctions + FilterByte::PortHookFunctionCount == FilterByte::InternalRequest);
static_assert(FilterByte::InternalLow + FilterByte::InternalLowCount == FilterByte::InternalHigh);
static_assert(FilterByte::InternalHigh + FilterByte::InternalHighCount == FilterByte::HcdRequest);
static_assert(FilterByte::HcdFunctions + FilterByte::HcdFunctionCount == FilterByte::HubRequest);
static_assert(FilterByte::HubFunctions + FilterByte::HubFunctionCount == FilterByte::HidRequest);
static_assert(FilterByte::HidBuffered + FilterByte::HidBufferedCount == FilterByte::HidNeitherLow);
static_assert(FilterByte::HidNeitherLow + FilterByte::HidNeitherLowCount == FilterByte::HidNeitherHigh);
static_assert(FilterByte::HidNeitherHigh + FilterByte::HidNeitherHighCount == FilterByte::HidInDirect);
static_assert(FilterByte::HidInDirect + FilterByte::HidInDirectCount == FilterByte::HidOutDirect);
static_assert(FilterByte::HidOutDirect + FilterByte::HidOutDirectCount == FilterByte::PnpRequest);
static_assert(FilterByte::PnpMinors + FilterByte::PnpMinorCount == FilterByte::PowerRequest);
static_assert(FilterByte::PowerMinors + FilterByte::PowerMinorCount == FilterByte::AcceptError);
static_assert(FilterByte::AcceptOut + 1 == FILTER_BLOCK_SIZE);

// The request families a filter block distinguishes.
enum class FilterFamily : uint8_t { Urb, HubInterface, PortHook, Internal, Hcd, Hub, Hid, Pnp, Power };

// Request phase: I records (with their R records and "iCnt" continuations); completion phase: C records
// (with "cCnt").
enum class FilterPhase : uint8_t { Request, Completion };

// How the status gate reads a status. The application takes every negative status as an error; the
// driver only statuses with both top bits set, so warnings (0x80000000-0xBFFFFFFF) pass neither gate there.
enum class FilterStatusRule : uint8_t { Application, Driver };

// Writes the default block: the marker, everything else 0 (selects nothing).
void InitLoggingOptions(FILTER_BLOCK& block);

inline bool FilterFlag(const FILTER_BLOCK& block, size_t offset) {
    return offset < FILTER_BLOCK_SIZE && block.Bytes[offset] != 0;
}

// Offset of the family's enable byte for the phase.
size_t FilterPhaseByte(FilterFamily family, FilterPhase phase);

inline bool FilterPhaseEnabled(const FILTER_BLOCK& block, FilterFamily family, FilterPhase phase) {
    return FilterFlag(block, FilterPhaseByte(family, phase));
}

bool FilterStatusPasses(const FILTER_BLOCK& block, ULONG status, FilterStatusRule rule);

// Offset of the enable byte of one code of the family, or FILTER_NO_BYTE when the code has none. The code
// is: the URB function without its synchronous bit (0-52, 0x1000-0x1002); the IOCTL code for the internal,
// host-controller, hub and HID families (each HID transfer method has its own group); the minor function
// for PnP and power; the function number for hub-interface and port-hook calls.
constexpr size_t FILTER_NO_BYTE = static_cast<size_t>(-1);
size_t FilterCodeByte(FilterFamily family, ULONG code);

inline bool FilterCodeEnabled(const FILTER_BLOCK& block, FilterFamily family, ULONG code) {
    return FilterFlag(block, FilterCodeByte(family, code));
}

// The driver's extra test for URBs whose function carries the synchronous bit (0x2000).
inline bool FilterUrbSyncPasses(const FILTER_BLOCK& block, ULONG urbFunction) {
    return (urbFunction & 0x2000) == 0 || FilterFlag(block, FilterByte::UrbSynchronous);
}

// Direction gate of data transfers (URB functions 8, 9, 10 and 50).
inline bool FilterDirectionPasses(const FILTER_BLOCK& block, bool directionIn) {
    return FilterFlag(block, directionIn ? FilterByte::AcceptIn : FilterByte::AcceptOut);
}
inline bool FilterAcceptsBothDirections(const FILTER_BLOCK& block) {
    return FilterFlag(block, FilterByte::AcceptIn) && FilterFlag(block, FilterByte::AcceptOut);
}
// The URB functions whose records are subject to the direction gate.
constexpr bool FilterIsDataTransfer(ULONG urbFunction) {
    return urbFunction == 8 || urbFunction == 9 || urbFunction == 10 || urbFunction == 50;
}

// Phase, status and code gates together (the direction gate is the caller's, where it applies).
inline bool FilterAccepts(const FILTER_BLOCK& block, FilterFamily family, FilterPhase phase, ULONG code, ULONG status,
                          FilterStatusRule rule) {
    return FilterPhaseEnabled(block, family, phase) && FilterStatusPasses(block, status, rule) &&
           FilterCodeEnabled(block, family, code);
}

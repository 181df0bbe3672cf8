// The hub-interface calls that work on the bus context, on one device handle or on a flag of a device.
#include "app/decoders/ioctl/HubifOutputer.h"
#include "app/decoders/ioctl/HubifRows.h"

namespace {

using enum HubifSource;
using enum HubifShow;
using namespace hubif_widths;

// A call that returns nothing says so among its results.
constexpr HubifRow kReturnsNothing{"Return Status", "ReturnStatus", Nothing, 0, U32, "out"};
constexpr HubifRow kDeviceHandle{"UsbdDeviceHandle", "UsbdDeviceHandle", Handle, 0, U64, "in"};
// The calls that act on every pipe of a device tell "no device" from a handle.
constexpr HubifRow kDeviceHandleOrNull{"UsbdDeviceHandle", "UsbdDeviceHandle", Handle, 0, U64, "in", HandleOrNull};

constexpr HubifRow kNoRows[] = {kReturnsNothing};

constexpr HubifRow kGetDeviceBusContextIn[] = {kDeviceHandle};
constexpr HubifRow kGetDeviceBusContextOut[] = {{"Return BusContext", "BusContext", Argument, 0, U64, "out"}};
constexpr HubifRow kDeviceHandleOrNullIn[] = {kDeviceHandleOrNull};
constexpr HubifRow kSetDeviceHandleDataIn[] = {
    {"Hub UsbdDeviceHandle", "HubUsbdDeviceHandle", Handle, 0, U64, "in"},
    {"UsbDevicePdo", "UsbDevicePdo", Argument, 0, U64, "in"},
};
constexpr HubifRow kHubIsRootIn[] = {{"HubPdo", "HubPdo", Argument, 0, U64, "in"}};
constexpr HubifRow kHubIsRootOut[] = {{"Return BOOLEAN", "ReturnStatus", Returned, 0, U32, "out", Boolean}};
constexpr HubifRow kSetBusSystemWakeModeIn[] = {{"WakeMode", "WakeMode", Argument, 0, U32, "in"}};
constexpr HubifRow kSetDeviceFlagIn[] = {
    {"DeviceFlagGuid", "DeviceFlagGuidPointer", Argument, 0, U64, "in"},
    {"ValueData", "ValueData", Argument, 8, U64, "in"},
    {"ValueLength", "ValueLength", Argument, 16, U32, "in"},
};
constexpr HubifRow kSetDeviceHandleIdleReadyStateIn[] = {
    kDeviceHandle,
    {"NewIdleReadyState", "NewIdleReadyState", Argument, 0, U32, "in"},
};
constexpr HubifRow kSetDeviceHandleIdleReadyStateOut[] = {{"Return ULONG", "ReturnUlong", Returned, 0, U32, "out"}};
constexpr HubifRow kSetDeviceErrataFlagIn[] = {
    kDeviceHandle,
    {"DeviceErrataFlag", "DeviceErrataFlag", Argument, 0, U32, "in"},
};

constexpr HubifFunction kGetDeviceBusContext{kGetDeviceBusContextIn, kGetDeviceBusContextOut};
constexpr HubifFunction kFlushTransfers{kDeviceHandleOrNullIn, kNoRows};
constexpr HubifFunction kSetDeviceHandleData{kSetDeviceHandleDataIn, kNoRows};
constexpr HubifFunction kHubIsRoot{kHubIsRootIn, kHubIsRootOut};
// Acquiring and releasing the semaphore: no arguments beyond the bus context.
constexpr HubifFunction kBusSemaphore{{}, kNoRows};
constexpr HubifFunction kSetBusSystemWakeMode{kSetBusSystemWakeModeIn, kNoRows};
constexpr HubifFunction kSetDeviceFlag{kSetDeviceFlagIn, kNoRows};
constexpr HubifFunction kSetDeviceHandleIdleReadyState{kSetDeviceHandleIdleReadyStateIn,
                                                       kSetDeviceHandleIdleReadyStateOut};
constexpr HubifFunction kAbortAllDevicePipes{kDeviceHandleOrNullIn, kNoRows};
constexpr HubifFunction kSetDeviceErrataFlag{kSetDeviceErrataFlagIn, kNoRows};

} // namespace

void HubifOutputer::OutputGetDeviceBusContext(int mode, ULONG /*dataSize*/, const BYTE* /*args*/) {
    OutputFunctionRows(mode, kGetDeviceBusContext);
}

void HubifOutputer::OutputFlushTransfers(int mode, ULONG /*dataSize*/, const BYTE* /*args*/) {
    OutputFunctionRows(mode, kFlushTransfers);
}

void HubifOutputer::OutputSetDeviceHandleData(int mode, ULONG /*dataSize*/, const BYTE* /*args*/) {
    OutputFunctionRows(mode, kSetDeviceHandleData);
}

void HubifOutputer::OutputHubIsRoot(int mode, ULONG /*dataSize*/, const BYTE* /*args*/) {
    OutputFunctionRows(mode, kHubIsRoot);
}

void HubifOutputer::OutputBusSemaphore(int mode, ULONG /*dataSize*/, const BYTE* /*args*/) {
    OutputFunctionRows(mode, kBusSemaphore);
}

void HubifOutputer::OutputSetBusSystemWakeMode(int mode, ULONG /*dataSize*/, const BYTE* /*args*/) {
    OutputFunctionRows(mode, kSetBusSystemWakeMode);
}

void HubifOutputer::OutputSetDeviceFlag(int mode, ULONG /*dataSize*/, const BYTE* /*args*/) {
    OutputFunctionRows(mode, kSetDeviceFlag);
}

void HubifOutputer::OutputSetDeviceHandleIdleReadyState(int mode, ULONG /*dataSize*/, const BYTE* /*args*/) {
    OutputFunctionRows(mode, kSetDeviceHandleIdleReadyState);
}

void HubifOutputer::OutputAbortAllDevicePipes(int mode, ULONG /*dataSize*/, const BYTE* /*args*/) {
    OutputFunctionRows(mode, kAbortAllDevicePipes);
}

void HubifOutputer::OutputSetDeviceErrataFlag(int mode, ULONG /*dataSize*/, const BYTE* /*args*/) {
    OutputFunctionRows(mode, kSetDeviceErrataFlag);
}

#include "app/core/RecordNames.h"

#include <iterator>

#include "app/core/CodeNames.h"
#include "app/decoders/ioctl/IoctlFamilyOutputer.h"

namespace {

// clang-format off
// The hub driver's bus interface, by the index of the call the hook records.
constexpr LPCSTR kHubInterfaceFunctions[] = {
    "CreateUsbDevice", "InitializeUsbDevice", "GetUsbDescriptors", "RemoveUsbDevice", "RestoreDevice",       // 0-4
    "GetPortHackFlags", "QueryDeviceInformation", "GetControllerInfo", "ControllerSelectiveSusp",            // 5-8
    "GetExtendedHubInfo", "GetRootHubSymbolicName", "GetDeviceBusContext", "Initialize20Hub",               // 9-12
    "RootHubInitNotif", "FlushTransfers", "SetDeviceHandleData", "CreateUsbDeviceEx",                       // 13-16
    "InitializeUsbDeviceEx", "HubIsRoot", "AcquireBusSemaphore", "ReleaseBusSemaphore",                     // 17-20
    "CalculatePipeBandwidth", "SetBusSystemWakeMode", "SetDeviceFlag", "HubTestPoint",                      // 21-24
    "GetDevicePerformanceInfo", "WaitAsyncPowerUp", "GetDeviceAddress", "RefDeviceHandle",                  // 25-28
    "DerefDeviceHandle", "SetDeviceHandleIdleReadyState", "CreateUsbDeviceV7", "GetContainerIdForPort",     // 29-32
    "SetContainerIdForPort", "AbortAllDevicePipes", "SetDeviceErrataFlag",                                  // 33-35
};
static_assert(std::size(kHubInterfaceFunctions) == 36);

// The port driver's miniport entries and services, by the index of the call the hook records.
constexpr LPCSTR kMiniportFunctions[] = {
    "OpenEndpoint", "PokeEndpoint", "QueryEndpointRequirements", "CloseEndpoint", "StartController",         // 0-4
    "StopController", "SuspendController", "ResumeController", "InterruptService", "InterruptDpc",           // 5-9
    "SubmitTransfer", "SubmitIsoTransfer", "AbortTransfer", "GetEndpointState", "SetEndpointState",          // 10-14
    "PollEndpoint", "CheckController", "Get32BitFrameNumber", "InterruptNextSOF", "EnableInterrupts",        // 15-19
    "DisableInterrupts", "PollController", "SetEndpointDataToggle", "GetEndpointStatus",                     // 20-23
    "SetEndpointStatus", "HCResetDpc", "RHGetRootHubData", "RHGetStatus", "RHGetPortStatus",                // 24-28
    "RHGetHubStatus", "RHSetFeaturePortReset", "RHSetFeaturePortPower", "RHSetFeaturePortEnable",           // 29-32
    "RHSetFeaturePortSuspend", "RHClearFeaturePortEnable", "RHClearFeaturePortPower",                       // 33-35
    "RHClearFeaturePortSuspend", "RHClearFeaturePortEnableChange", "RHClearFeaturePortConnectChange",       // 36-38
    "RHClearFeaturePortResetChange", "RHClearFeaturePortSuspendChange",                                     // 39-40
    "RHClearFeaturePortOvercurrentChange", "RHDisableIrq", "RHEnableIrq", "StartSendOnePacket",             // 41-44
    "EndSendOnePacket", "PassThru", "USBPORTSVC_DbgPrint", "USBPORTSVC_TestDebugBreak",                     // 45-48
    "USBPORTSVC_AssertFailure", "USBPORTSVC_GetMiniportRegistryKeyValue", "USBPORTSVC_InvalidateRootHub",   // 49-51
    "USBPORTSVC_InvalidateEndpoint", "USBPORTSVC_CompleteTransfer", "USBPORTSVC_CompleteIsoTransfer",       // 52-54
    "USBPORTSVC_LogEntry", "USBPORTSVC_MapHwPhysicalToVirtual", "USBPORTSVC_RequestAsyncCallback",          // 55-57
    "USBPORTSVC_ReadWriteConfigSpace", "USBPORTSVC_Wait", "USBPORTSVC_InvalidateController",                // 58-60
    "USBPORTSVC_BugCheck", "USBPORTSVC_NotifyDoubleBuffer", "RebalanceEndpoint", "FlushInterrupts",         // 61-64
    "RHChirpRootPort", "TakePortControl", "ReleasePortControl", "ReadConfigFlag", "SetWakeOnConnect",       // 65-69
    "InterruptDpcEx", "NotifyTransferQueueState", "CheckHwSync", "USBPORTSVC_RequestAsyncCallbackEx",       // 70-73
    "USBPORTSVC_CancelAsyncCallback", "DbgFreeEndpoint", "HaltController", "Get32BitMicroFrameNumber",      // 74-77
    "USBPORTSVC_EtwWrite", "GetHcCapabilities",                                                             // 78-79
};
static_assert(std::size(kMiniportFunctions) == 80);

constexpr CodeName kPnpMinors[] = {{0, "START_DEVICE"}, {2, "REMOVE_DEVICE"}};
constexpr CodeName kPowerMinors[] = {{0, "WAIT_WAKE"}, {1, "POWER_SEQUENCE"}, {2, "SET_POWER"}, {3, "QUERY_POWER"}};
// clang-format on

} // namespace

namespace RecordNames {

LPCSTR InternalIoctl(ULONG ioControlCode) {
    return IoctlListName(InternalIoctlFamily(), ioControlCode);
}
LPCSTR HcdIoctl(ULONG ioControlCode) {
    return IoctlListName(HcdIoctlFamily(), ioControlCode);
}
LPCSTR HubIoctl(ULONG ioControlCode) {
    return IoctlListName(HubIoctlFamily(), ioControlCode);
}
LPCSTR HidIoctl(ULONG ioControlCode) {
    return IoctlListName(HidIoctlFamily(), ioControlCode);
}
LPCSTR HubInterfaceFunction(ULONG index) {
    return FindIndexedName(kHubInterfaceFunctions, index);
}
LPCSTR MiniportFunction(ULONG index) {
    return FindIndexedName(kMiniportFunctions, index);
}
LPCSTR PnpMinor(ULONG minor) {
    return FindCodeName(kPnpMinors, minor);
}
LPCSTR PowerMinor(ULONG minor) {
    return FindCodeName(kPowerMinors, minor);
}

} // namespace RecordNames

#include "app/core/RecordNames.h"

#include <iterator>

#include "app/core/CodeNames.h"

namespace {

// clang-format off
constexpr CodeName kInternalIoctls[] = {
    {0x220007, "RESET_PORT"},           {0x22000F, "GET_ROOTHUB_PDO"},        {0x220013, "GET_PORT_STATUS"},
    {0x220017, "ENABLE_PORT"},          {0x22001B, "GET_HUB_COUNT"},          {0x22001F, "CYCLE_PORT"},
    {0x220020, "GET_HUB_NAME"},         {0x220027, "SUBMIT_IDLE_NOTIFICATION"}, {0x22002B, "RECORD_FAILURE"},
    {0x220420, "GET_BUS_INFO"},         {0x220424, "GET_CONTROLLER_NAME"},    {0x220428, "GET_BUSGUID_INFO"},
    {0x22042C, "GET_PARENT_HUB_INFO"},  {0x220433, "GET_DEVICE_HANDLE"},      {0x220437, "GET_DEVICE_HANDLE_EX"},
    {0x22043B, "GET_TT_DEVICE_HANDLE"}, {0x22043F, "GET_TOPOLOGY_ADDRESS"},   {0x220443, "NOTIFY_IDLE_READY"},
    {0x220447, "REQ_GLOBAL_SUSPEND"},   {0x22044B, "REQ_GLOBAL_RESUME"},      {0x22044F, "GET_DEVICE_CONFIG_INFO"},
};

constexpr CodeName kHcdIoctls[] = {
    {0x2203FC, "HCD_GET_STATS_1"},        {0x220400, "DIAGNOSTIC_MODE_ON"}, {0x220404, "DIAGNOSTIC_MODE_OFF"},
    {0x220408, "GET_ROOT_HUB_NAME"},      {0x220424, "GET_HCD_DRIVERKEY_NAME"}, {0x220428, "HCD_GET_STATS_2"},
    {0x220430, "HCD_DISABLE_PORT"},       {0x220434, "HCD_ENABLE_PORT"},    {0x220438, "USER_REQUEST"},
};

constexpr CodeName kHubIoctls[] = {
    {0x220408, "GET_NODE_INFORMATION"},          {0x22040C, "GET_NODE_CONNECTION_INFORMATION"},
    {0x220410, "GET_DESCRIPTOR_FROM_NODE_CONNECTION"}, {0x220414, "GET_NODE_CONNECTION_NAME"},
    {0x220418, "DIAG_IGNORE_HUBS_ON"},           {0x22041C, "DIAG_IGNORE_HUBS_OFF"},
    {0x220420, "GET_NODE_CONNECTION_DRIVERKEY_NAME"}, {0x22043C, "GET_HUB_CAPABILITIES"},
    {0x220440, "GET_NODE_CONNECTION_ATTRIBUTES"}, {0x220444, "HUB_CYCLE_PORT"},
    {0x220448, "GET_NODE_CONNECTION_INFORMATION_EX"}, {0x22044C, "RESET_HUB"},
    {0x220450, "GET_HUB_CAPABILITIES_EX"},
};

constexpr CodeName kHidIoctls[] = {
    {0xB0190, "GET_DRIVER_CONFIG"},       {0xB0191, "SET_FEATURE"},          {0xB0192, "GET_FEATURE"},
    {0xB0193, "GET_COLLECTION_DESCRIPTOR"}, {0xB0194, "SET_DRIVER_CONFIG"}, {0xB0195, "SET_OUTPUT_REPORT"},
    {0xB0197, "FLUSH_QUEUE"},             {0xB0198, "GET_POLL_FREQUENCY_MSEC"}, {0xB019A, "GET_PHYSICAL_DESCRIPTOR"},
    {0xB019C, "SET_POLL_FREQUENCY_MSEC"}, {0xB019E, "GET_HARDWARE_ID"},      {0xB01A0, "GET_NUM_DEVICE_INPUT_BUFFERS"},
    {0xB01A2, "GET_INPUT_REPORT"},        {0xB01A4, "SET_NUM_DEVICE_INPUT_BUFFERS"}, {0xB01A8, "GET_COLLECTION_INFORMATION"},
    {0xB01BA, "GET_MANUFACTURER_STRING"}, {0xB01BE, "GET_PRODUCT_STRING"},   {0xB01C2, "GET_SERIALNUMBER_STRING"},
    {0xB01E2, "GET_INDEXED_STRING"},      {0xB01E6, "GET_MS_GENRE_DESCRIPTOR"}, {0xB020B, "ENABLE_SECURE_READ"},
    {0xB020F, "DISABLE_SECURE_READ"},
};

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
    return FindCodeName(kInternalIoctls, ioControlCode);
}
LPCSTR HcdIoctl(ULONG ioControlCode) {
    return FindCodeName(kHcdIoctls, ioControlCode);
}
LPCSTR HubIoctl(ULONG ioControlCode) {
    return FindCodeName(kHubIoctls, ioControlCode);
}
LPCSTR HidIoctl(ULONG ioControlCode) {
    return FindCodeName(kHidIoctls, ioControlCode);
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

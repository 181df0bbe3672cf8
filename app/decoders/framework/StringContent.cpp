#include "app/decoders/framework/StringContent.h"

#include <iterator>

#include "app/core/CodeNames.h"
#include "app/core/FormatInto.h"

namespace {

// clang-format off
constexpr LPCSTR kUrbFunctionNames[] = {
    "SELECT_CONFIGURATION", "SELECT_INTERFACE", "ABORT_PIPE", "TAKE_FRAME_LENGTH_CONTROL",           // 0-3
    "RELEASE_FRAME_LENGTH_CONTROL", "GET_FRAME_LENGTH", "SET_FRAME_LENGTH",                           // 4-6
    "GET_CURRENT_FRAME_NUMBER", "CONTROL_TRANSFER", "BULK_OR_INTERRUPT_TRANSFER", "ISOCH_TRANSFER",   // 7-10
    "GET_DESCRIPTOR_FROM_DEVICE", "SET_DESCRIPTOR_TO_DEVICE", "SET_FEATURE_TO_DEVICE",                // 11-13
    "SET_FEATURE_TO_INTERFACE", "SET_FEATURE_TO_ENDPOINT", "CLEAR_FEATURE_TO_DEVICE",                 // 14-16
    "CLEAR_FEATURE_TO_INTERFACE", "CLEAR_FEATURE_TO_ENDPOINT", "GET_STATUS_FROM_DEVICE",              // 17-19
    "GET_STATUS_FROM_INTERFACE", "GET_STATUS_FROM_ENDPOINT", "RESERVED_0X0016", "VENDOR_DEVICE",      // 20-23
    "VENDOR_INTERFACE", "VENDOR_ENDPOINT", "CLASS_DEVICE", "CLASS_INTERFACE", "CLASS_ENDPOINT",       // 24-28
    "RESERVED_0X001D", "RESET_PIPE", "CLASS_OTHER", "VENDOR_OTHER", "GET_STATUS_FROM_OTHER",          // 29-33
    "CLEAR_FEATURE_TO_OTHER", "SET_FEATURE_TO_OTHER", "GET_DESCRIPTOR_FROM_ENDPOINT",                 // 34-36
    "SET_DESCRIPTOR_TO_ENDPOINT", "GET_CONFIGURATION", "GET_INTERFACE",                               // 37-39
    "GET_DESCRIPTOR_FROM_INTERFACE", "SET_DESCRIPTOR_TO_INTERFACE", "GET_MS_FEATURE_DESCRIPTOR",      // 40-42
    "RESERVED_0X002B", "RESERVED_0X002C", "RESERVED_0X002D", "RESERVED_0X002E", "RESERVED_0X002F",    // 43-47
    "SYNC_RESET_PIPE", "SYNC_CLEAR_STALL", "CONTROL_TRANSFER_EX", "SET_PIPE_IO_POLICY",               // 48-51
    "GET_PIPE_IO_POLICY",                                                                             // 52
};
static_assert(std::size(kUrbFunctionNames) == 53);

// Functions the host controller's port driver takes for its own endpoint requests.
constexpr LPCSTR kUrbEndpointFunctionNames[] = {"OPEN_ENDPOINT", "CLOSE_ENDPOINT", "GET_ENDPOINT_STATE"};
constexpr USHORT kUrbEndpointFunctionBase = 0x1000;

constexpr CodeName kNtStatusNames[] = {
    {0x00000000, "SUCCESS"},           {0x00000103, "PENDING"},
    {0xC0000001, "UNSUCCESSFUL"},      {0xC0000002, "NOT_IMPLEMENTED"},
    {0xC000000D, "INVALID_PARAMETER"}, {0xC000000E, "NO_SUCH_DEVICE"},
    {0xC0000010, "INVALID_DEVICE_REQUEST"}, {0xC0000023, "BUFFER_TOO_SMALL"},
    {0xC0000056, "DELETE_PENDING"},    {0xC000009C, "DEVICE_DATA_ERROR"},
    {0xC000009D, "DEVICE_NOT_CONNECTED"}, {0xC00000BB, "NOT_SUPPORTED"},
    {0xC0000120, "CANCELLED"},         {0xC00002B6, "DEVICE_REMOVED"},
};

constexpr CodeName kStandardRequests[] = {
    {0, "Get_Status"}, {1, "Clear_Feature"}, {2, "Reserved(2)"}, {3, "Set_Feature"}, {4, "Reserved(4)"},
    {5, "Set_Address"}, {6, "Get_Descriptor"}, {7, "Set_Descriptor"}, {8, "Get_Configuration"},
    {9, "Set_Configuration"}, {10, "Get_Interface"}, {11, "Set_Interface"}, {12, "Synch_Frame"},
    {48, "Set_SEL"}, {49, "Set_Isoch_Delay"},
};
constexpr CodeName kHubRequests[] = {
    {0, "GetHubStatus"}, {1, "ClearHubFeature"}, {3, "SetHubFeature"},
    {6, "GetHubDescriptor"}, {7, "SetHubDescriptor"}, {12, "SetHubDepth"},
};
constexpr CodeName kPortRequests[] = {
    {0, "GetPortStatus"}, {1, "ClearPortFeature"}, {2, "GetBusState"}, {3, "SetPortFeature"}, {8, "ClearTTBuffer"},
    {9, "ResetTT"}, {10, "GetTTState"}, {11, "StopTT"}, {13, "GetPortErrCount"},
};
constexpr CodeName kHidRequests[] = {
    {1, "Get_Report"}, {2, "Get_Idle"}, {3, "Get_Protocol"}, {9, "Set_Report"}, {10, "Set_Idle"}, {11, "Set_Protocol"},
};
constexpr CodeName kPrinterRequests[] = {{0, "Get_Device_ID"}, {1, "Get_Port_Status"}, {2, "Soft_Reset"}};
constexpr CodeName kMscBotRequests[] = {{0xFE, "Get_Max_LUN"}, {0xFF, "MSC_BOT_Reset"}};
// clang-format on

constexpr LPCSTR kUnknownRequest = "Unknown";

LPCSTR RequestText(std::span<const CodeName> table, UCHAR bRequest) {
    const LPCSTR name = FindCodeName(table, bRequest);
    return name ? name : kUnknownRequest;
}

} // namespace

LPCSTR UrbFunctionName(USHORT code) {
    if (const LPCSTR name = FindIndexedName(kUrbFunctionNames, code))
        return name;
    if (code >= kUrbEndpointFunctionBase)
        if (const LPCSTR name = FindIndexedName(kUrbEndpointFunctionNames, code - kUrbEndpointFunctionBase))
            return name;
    return "UNKNOWN";
}

LPCSTR CStringContent::NtStatusText(ULONG status) {
    return FindCodeName(kNtStatusNames, status);
}

void CStringContent::NtStatusName(CString& text, ULONG status) const {
    if (const LPCSTR name = NtStatusText(status))
        text = name;
    else
        FormatInto(text, "0x%08x", status);
}

LPCSTR CStringContent::StandardRequestText(UCHAR bRequest) {
    return RequestText(kStandardRequests, bRequest);
}
LPCSTR CStringContent::HubRequestText(UCHAR bRequest) {
    return RequestText(kHubRequests, bRequest);
}
LPCSTR CStringContent::PortRequestText(UCHAR bRequest) {
    return RequestText(kPortRequests, bRequest);
}
LPCSTR CStringContent::HidRequestText(UCHAR bRequest) {
    return RequestText(kHidRequests, bRequest);
}
LPCSTR CStringContent::PrinterRequestText(UCHAR bRequest) {
    return RequestText(kPrinterRequests, bRequest);
}
LPCSTR CStringContent::MscBotRequestText(UCHAR bRequest) {
    return RequestText(kMscBotRequests, bRequest);
}

void CStringContent::StandardRequestName(UCHAR bRequest, CString& text) const {
    text = StandardRequestText(bRequest);
}
void CStringContent::HubRequestName(UCHAR bRequest, CString& text) const {
    text += HubRequestText(bRequest);
}
void CStringContent::PortRequestName(UCHAR bRequest, CString& text) const {
    text += PortRequestText(bRequest);
}
void CStringContent::HidRequestName(UCHAR bRequest, CString& text) const {
    text += HidRequestText(bRequest);
}
void CStringContent::PrinterRequestName(UCHAR bRequest, CString& text) const {
    text += PrinterRequestText(bRequest);
}
void CStringContent::MscBotRequestName(UCHAR bRequest, CString& text) const {
    text += MscBotRequestText(bRequest);
}

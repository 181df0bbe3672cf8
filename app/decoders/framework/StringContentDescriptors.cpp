// Names of descriptor types, endpoint attributes and hub port connection states, and the packet sizes of
// high-bandwidth endpoints.
#include <iterator>

#include "app/core/records/CodeNames.h"
#include "app/decoders/framework/StringContent.h"

namespace {

constexpr LPCSTR kTransferTypes[] = {"Control", "Isochronous", "Bulk", "Interrupt"};
constexpr LPCSTR kUsageTypes[] = {"Data EP", "Feedback EP", "Implicit Feedback EP", "Reserved EP"};
constexpr LPCSTR kSyncTypes[] = {"No Synchronization", "Asynchronous", "Adaptive", "Synchronous"};

constexpr CodeName kStandardDescriptorTypes[] = {
    {1, "DEVICE"},   {2, "CONFIGURATION"},    {3, "STRING"},       {4, "INTERFACE"},
    {5, "ENDPOINT"}, {6, "DEVICE QUALIFIER"}, {7, "CONFIG POWER"}, {8, "INTERFACE POWER"},
    {9, "OTG"},      {10, "DEBUG"},           {15, "BOS"},         {16, "DEVICE CAPABILITY"},
};

// The values of the USB connection status the hub driver reports for a port.
constexpr LPCSTR kConnectionStates[] = {
    "No device connected",        "Device connected",        "Device failed enumeration",   "Device general failure",
    "Device caused over-current", "Device not enough power", "Device not enough bandwidth",
};
constexpr ULONG kDeviceConnected = 1;

// wMaxPacketSize: bits 12-11 additional transactions per microframe, bits 10-0 the packet size.
constexpr USHORT kPacketSizeMask = 0x07FF;
constexpr unsigned kAdditionalShift = 11;

} // namespace

void CStringContent::TransferTypeName(UCHAR type, CString& text) const {
    if (const LPCSTR name = FindIndexedName(kTransferTypes, type))
        text = name;
}

void CStringContent::UsageTypeName(UCHAR attributes, CString& text) const {
    text = kUsageTypes[(attributes >> 4) & 3];
}

void CStringContent::SyncTypeName(UCHAR attributes, CString& text) const {
    text = kSyncTypes[(attributes >> 2) & 3];
}

int CStringContent::DecodeMaxPacketSize(USHORT wMaxPacketSize, UCHAR& count, ULONG& total) const {
    const unsigned additional = (wMaxPacketSize >> kAdditionalShift) & 3;
    const ULONG size = wMaxPacketSize & kPacketSizeMask;
    // 3 is reserved: like 0, nothing to add.
    if (additional != 1 && additional != 2)
        return 0;
    count = static_cast<UCHAR>(additional);
    total = size * (additional + 1);
    return static_cast<int>(additional);
}

void CStringContent::ConnectionStatusText(ULONG status, CString& text) const {
    const LPCSTR name = FindIndexedName(kConnectionStates, status);
    text = name ? name : "Unknown connection status";
}

void CStringContent::ConnectionStatusHtml(ULONG status, CString& text) const {
    ConnectionStatusText(status, text);
    // Every state but a working connection is drawn to the eye.
    if (status != kDeviceConnected)
        text = "<font color=\"red\">" + text + "</font>";
}

void CStringContent::DescriptorTypeName(UCHAR type, CString& text) const {
    // Bits 6-5 are the type's kind; only standard types are looked up whole.
    switch ((type >> 5) & 3) {
    case 1: text = "CLASS-SPECIFIC"; return;
    case 2: text = "VENDOR-SPECIFIC"; return;
    case 3: return;
    default: break;
    }
    const LPCSTR name = FindCodeName(kStandardDescriptorTypes, type);
    text = name ? name : "UNKNOWN";
}

#include "app/decoders/framework/StringContent.h"

#include <iterator>

#include "app/core/records/CodeNames.h"
#include "app/core/records/FormatInto.h"
#include "app/decoders/urb/HidUrbOutputer.h"
#include "app/decoders/urb/HubUrbOutputer.h"
#include "app/decoders/urb/MscBOTUrbOutputer.h"
#include "app/decoders/urb/PrinterUrbOutputer.h"

namespace {

// clang-format off
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
// clang-format on

LPCSTR RequestText(std::span<const CodeName> table, UCHAR bRequest) {
    const LPCSTR name = FindCodeName(table, bRequest);
    return name ? name : "Unknown";
}

} // namespace

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
    return UrbOutputer::ListedClassRequest(HubUrbOutputer::HubRequests(), bRequest);
}
LPCSTR CStringContent::PortRequestText(UCHAR bRequest) {
    return UrbOutputer::ListedClassRequest(HubUrbOutputer::PortRequests(), bRequest);
}
LPCSTR CStringContent::HidRequestText(UCHAR bRequest) {
    return UrbOutputer::ListedClassRequest(HidUrbOutputer::Requests(), bRequest);
}
LPCSTR CStringContent::PrinterRequestText(UCHAR bRequest) {
    return UrbOutputer::ListedClassRequest(PrinterUrbOutputer::Requests(), bRequest);
}
LPCSTR CStringContent::MscBotRequestText(UCHAR bRequest) {
    return UrbOutputer::ListedClassRequest(MscBOTUrbOutputer::Requests(), bRequest);
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

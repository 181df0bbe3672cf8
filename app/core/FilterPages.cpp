#include "app/core/FilterPages.h"

#include <iterator>
#include <string>
#include <vector>

#include "app/decoders/ioctl/IoctlFamilyOutputer.h"

namespace {
using Item = CCheckListPage::Item;

// A family's filter items from its code table, in its order: each code's text (the record list's name
// unless the table gives another) after the family's prefix.
class IoctlItems {
public:
    explicit IoctlItems(const IoctlFamily& family) {
        m_texts.reserve(family.codes.size());
        for (const IoctlCode& code : family.codes) {
            const char* text = code.row.filterText != nullptr ? code.row.filterText : IoctlListName(family, code);
            m_texts.push_back(std::string(family.filterPrefix) + text);
        }
        for (size_t i = 0; i < m_texts.size(); ++i)
            m_items.push_back({m_texts[i].c_str(), family.codes[i].row.offer});
    }
    operator std::span<const Item>() const { return m_items; }

private:
    std::vector<std::string> m_texts;
    std::vector<Item> m_items;
};

const IoctlItems kUSBIntItems(InternalIoctlFamily());
const IoctlItems kHubItems(HubIoctlFamily());
const IoctlItems kHCDItems(HcdIoctlFamily());
const IoctlItems kHIDItems(HidIoctlFamily());
using Run = CCheckListPage::ByteRun;
using Offer = CCheckListPage::Offer;
namespace FB = FilterByte;

constexpr Offer kNever = Offer::Never;
constexpr Offer kW7 = Offer::Windows7;
constexpr Offer kW8 = Offer::Windows8;
constexpr Offer kNew = Offer::NewUsbStack;

const Item kUrbItems[] = {
    {"SELECT_CONFIGURATION"},
    {"SELECT_INTERFACE"},
    {"ABORT_PIPE"},
    {"TAKE_FRAME_LENGTH_CONTROL"},
    {"RELEASE_FRAME_LENGTH_CONTROL"},
    {"GET_FRAME_LENGTH"},
    {"SET_FRAME_LENGTH"},
    {"GET_CURRENT_FRAME_NUMBER"},
    {"CONTROL_TRANSFER"},
    {"BULK_OR_INTERRUPT_TRANSFER"},
    {"ISOCH_TRANSFER"},
    {"GET_DESCRIPTOR_FROM_DEVICE"},
    {"SET_DESCRIPTOR_TO_DEVICE"},
    {"SET_FEATURE_TO_DEVICE"},
    {"SET_FEATURE_TO_INTERFACE"},
    {"SET_FEATURE_TO_ENDPOINT"},
    {"CLEAR_FEATURE_TO_DEVICE"},
    {"CLEAR_FEATURE_TO_INTERFACE"},
    {"CLEAR_FEATURE_TO_ENDPOINT"},
    {"GET_STATUS_FROM_DEVICE"},
    {"GET_STATUS_FROM_INTERFACE"},
    {"GET_STATUS_FROM_ENDPOINT"},
    {"RESERVED_0X0016", kNever},
    {"VENDOR_DEVICE"},
    {"VENDOR_INTERFACE"},
    {"VENDOR_ENDPOINT"},
    {"CLASS_DEVICE"},
    {"CLASS_INTERFACE"},
    {"CLASS_ENDPOINT"},
    {"RESERVED_0X001D", kNever},
    {"SYNC_RESET_PIPE_AND_CLEAR_STALL"},
    {"CLASS_OTHER"},
    {"VENDOR_OTHER"},
    {"GET_STATUS_FROM_OTHER"},
    {"CLEAR_FEATURE_TO_OTHER"},
    {"SET_FEATURE_TO_OTHER"},
    {"GET_DESCRIPTOR_FROM_ENDPOINT"},
    {"SET_DESCRIPTOR_TO_ENDPOINT"},
    {"GET_CONFIGURATION"},
    {"GET_INTERFACE"},
    {"GET_DESCRIPTOR_FROM_INTERFACE"},
    {"SET_DESCRIPTOR_TO_INTERFACE"},
    {"GET_MS_FEATURE_DESCRIPTOR"},
    {"RESERVED_0X002B", kNever},
    {"RESERVED_0X002C", kNever},
    {"RESERVED_0X002D", kNever},
    {"RESERVED_0X002E", kNever},
    {"RESERVED_0X002F", kNever},
    {"SYNC_RESET_PIPE"},
    {"SYNC_CLEAR_STALL"},
    {"CONTROL_TRANSFER_EX", kW7},
    {"SET_PIPE_IO_POLICY", kW7},
    {"GET_PIPE_IO_POLICY", kW7},
    {"SUBMIT_SYNCHRONOUS", kNew},
    {"OPEN_ENDPOINT", kNew},
    {"CLOSE_ENDPOINT", kNew},
    {"GET_ENDPOINT_STATE", kNew},
};
const Run kUrbBytes[] = {{FB::UrbFunctions, FB::UrbFunctionCount},
                         {FB::UrbSynchronous, 1},
                         {FB::UrbEndpointFunctions, FB::UrbEndpointFunctionCount}};

const Item kIHubItems[] = {
    {"CreateUsbDevice", Offer::BeforeWindows7},
    {"InitializeUsbDevice", Offer::BeforeWindows7},
    {"GetUsbDescriptors"},
    {"RemoveUsbDevice"},
    {"RestoreDevice"},
    {"GetPortHackFlags"},
    {"QueryDeviceInformation"},
    {"GetControllerInformation"},
    {"ControllerSelectiveSuspend"},
    {"GetExtendedHubInformation"},
    {"GetRootHubSymbolicName"},
    {"GetDeviceBusContext"},
    {"Initialize20Hub"},
    {"RootHubInitNotification"},
    {"FlushTransfers"},
    {"SetDeviceHandleData"},
    {"CreateUsbDeviceEx", kW7},
    {"InitializeUsbDeviceEx", kW7},
    {"HubIsRoot", kW7},
    {"AcquireBusSemaphore", kW7},
    {"ReleaseBusSemaphore", kW7},
    {"CalculatePipeBandwidth", kW7},
    {"SetBusSystemWakeMode", kW7},
    {"SetDeviceFlag", kW7},
    {"HubTestPoint", kW7},
    {"GetDevicePerformanceInfo", kW7},
    {"WaitAsyncPowerUp", kW7},
    {"GetDeviceAddress", kW7},
    {"RefDeviceHandle", kW7},
    {"DerefDeviceHandle", kW7},
    {"SetDeviceHandleIdleReadyState", kW7},
    {"CreateUsbDeviceV7", kW8},
    {"GetContainerIdForPort", kW8},
    {"SetContainerIdForPort", kW8},
    {"AbortAllDevicePipes", kW8},
    {"SetDeviceErrataFlag", kW8},
};
const Run kIHubBytes[] = {{FB::HubIfFunctions, FB::HubIfFunctionCount}};

const Run kUSBIntBytes[] = {{FB::InternalLow, FB::InternalLowCount}, {FB::InternalHigh, FB::InternalHighCount}};

// Function numbers 258-264, then 271-276 (265-270 are no hub requests).
const Run kHubBytes[] = {{FB::HubFunctions, 7}, {FB::HubFunctions + 13, 6}};

// Function numbers 255-258, 265, 266, 268-270 (259-264 and 267 are none of the controller's).
const Run kHCDBytes[] = {{FB::HcdFunctions, 4}, {FB::HcdFunctions + 10, 2}, {FB::HcdFunctions + 13, 3}};

// The out-direct group holds function numbers 100-121; only 100, 102-104, 110-112, 120 and 121 are requests.
const Run kHIDBytes[] = {{FB::HidBuffered, FB::HidBufferedCount},
                         {FB::HidNeitherLow, FB::HidNeitherLowCount},
                         {FB::HidNeitherHigh, FB::HidNeitherHighCount},
                         {FB::HidInDirect, FB::HidInDirectCount},
                         {FB::HidOutDirect, 1},
                         {FB::HidOutDirect + 2, 3},
                         {FB::HidOutDirect + 10, 3},
                         {FB::HidOutDirect + 20, 2}};

// QUERY_REMOVE_DEVICE (minor 1) is not offered.
const Item kPnpItems[] = {{"START_DEVICE"}, {"REMOVE_DEVICE"}};
const Run kPnpBytes[] = {{FB::PnpMinors, 1}, {FB::PnpMinors + 2, 1}};

const Item kPowerItems[] = {{"WAIT_WAKE"}, {"POWER_SEQUENCE"}, {"SET_POWER"}, {"QUERY_POWER"}};
const Run kPowerBytes[] = {{FB::PowerMinors, FB::PowerMinorCount}};
} // namespace

const CCheckListPage::Layout CUrbPage::s_layout{142,       "URBs",   1265, FB::UrbRequest, FB::UrbCompletion,
                                                kUrbItems, kUrbBytes};
const CCheckListPage::Layout CIHubPage::s_layout{143,        "IHub",    1267, FB::HubIfRequest, FB::HubIfCompletion,
                                                 kIHubItems, kIHubBytes};
const CCheckListPage::Layout CUSBIntPage::s_layout{
    145, "USBInt", 1269, FB::InternalRequest, FB::InternalCompletion, kUSBIntItems, kUSBIntBytes};
const CCheckListPage::Layout CHubIoctlPage::s_layout{146,       "Hub",    1270, FB::HubRequest, FB::HubCompletion,
                                                     kHubItems, kHubBytes};
const CCheckListPage::Layout CHCDIoctlPage::s_layout{147,       "HCD",    1271, FB::HcdRequest, FB::HcdCompletion,
                                                     kHCDItems, kHCDBytes};
const CCheckListPage::Layout CHIDIoctlPage::s_layout{148,       "HID",    1272, FB::HidRequest, FB::HidCompletion,
                                                     kHIDItems, kHIDBytes};
const CCheckListPage::Layout CPnpIrpPage::s_layout{149,       "PnP",    1273, FB::PnpRequest, FB::PnpCompletion,
                                                   kPnpItems, kPnpBytes};
const CCheckListPage::Layout CPowerIrpPage::s_layout{
    150, "Power", 1274, FB::PowerRequest, FB::PowerCompletion, kPowerItems, kPowerBytes};

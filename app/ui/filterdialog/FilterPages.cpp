#include "app/ui/filterdialog/FilterPages.h"

#include <iterator>
#include <string>
#include <vector>

#include "app/decoders/framework/PnpOutputer.h"
#include "app/decoders/framework/PowerOutputer.h"
#include "app/decoders/ioctl/HubifOutputer.h"
#include "app/decoders/ioctl/IoctlFamilyOutputer.h"
#include "app/decoders/urb/UrbFunctions.h"

namespace {
using Item = CCheckListPage::Item;

// A family's filter items from its code table, in its order: each code's text (the record list's name
// unless the table gives another) after the family's prefix.
class CodeItems {
public:
    template <class Row, class ListName> CodeItems(std::span<const Row> rows, const char* prefix, ListName listName) {
        m_texts.reserve(rows.size());
        for (const Row& row : rows) {
            const char* text = row.row.filterText != nullptr ? row.row.filterText : listName(row);
            m_texts.push_back(std::string(prefix) + text);
        }
        for (size_t i = 0; i < m_texts.size(); ++i)
            m_items.push_back({m_texts[i].c_str(), rows[i].row.offer});
    }
    operator std::span<const Item>() const { return m_items; }

private:
    std::vector<std::string> m_texts;
    std::vector<Item> m_items;
};

CodeItems IoctlItems(const IoctlFamily& family) {
    return CodeItems(family.codes, family.filterPrefix,
                     [&family](const IoctlCode& code) { return IoctlListName(family, code); });
}

const CodeItems kUSBIntItems = IoctlItems(InternalIoctlFamily());
const CodeItems kHubItems = IoctlItems(HubIoctlFamily());
const CodeItems kHCDItems = IoctlItems(HcdIoctlFamily());
const CodeItems kHIDItems = IoctlItems(HidIoctlFamily());
using Run = CCheckListPage::ByteRun;
using Offer = CCheckListPage::Offer;
namespace FB = FilterByte;

const CodeItems kUrbItems(UrbFunctionCodes(), "", [](const UrbFunctionCode& code) { return code.row.name; });
const Run kUrbBytes[] = {{FB::UrbFunctions, FB::UrbFunctionCount},
                         {FB::UrbSynchronous, 1},
                         {FB::UrbEndpointFunctions, FB::UrbEndpointFunctionCount}};

const CodeItems kIHubItems(HubifOutputer::FunctionCodes(), "", [](const HubifCode& code) { return code.row.name; });
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
const CodeItems kPnpItems(PnpOutputer::MinorCodes(), "", [](const PnpMinorCode& code) { return code.row.name; });
const Run kPnpBytes[] = {{FB::PnpMinors, 1}, {FB::PnpMinors + 2, 1}};

const CodeItems kPowerItems(PowerOutputer::MinorCodes(), "", [](const PowerMinorCode& code) { return code.row.name; });
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

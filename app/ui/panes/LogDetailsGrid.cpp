#include "app/ui/panes/LogDetailsGrid.h"

#include <iterator>
#include <memory>
#include <span>

#include "GkPropertyGrid.h"
#include "app/decoders/framework/LogOutputer.h"
#include "app/decoders/framework/LogProperties.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/ui/panes/PropertiesWnd.h"

namespace {

// The items of the record's own categories; the decoders find them by caption, the target's also by id.
struct PreparedItem {
    const char* caption;
    UINT id;
    const char* value;
    const char* description;
};
constexpr PreparedItem kLogEntryItems[] = {
    {"Type", 0, nullptr, "One of URB, USBINT, IHUB, MPORT, HCD, HUB, HID, PNP, PWR"},
    {"State", 0, nullptr, "One of Initiated, Returned, or Completed."},
    {"Record", 0, nullptr, "The sequence number of the log record."},
    {"Status", 0, nullptr, "Irp completion or return status."},
};
constexpr PreparedItem kTargetItems[] = {
    {"DeviceObject", 5000, "...", nullptr},
    {"NtDeviceObject", 5001, "...", nullptr},
    {"DriverObject", 5002, "...", nullptr},
    {"NtDriverObject", 5003, "...", nullptr},
};
constexpr PreparedItem kIrpItems[] = {
    {"Irp Address", 0, nullptr, nullptr},
    {"IoStatus.Status", 0, nullptr, nullptr},
    {"Irp Stack Pointer", 0, nullptr, nullptr},
    {"Stack Count", 0, nullptr, nullptr},
    {"Current Stack Location", 0, nullptr, nullptr},
    {"Major Function", 0, nullptr, nullptr},
    {"Minor Function", 0, nullptr, nullptr},
    {"IoControlCode", 0, nullptr, nullptr},
};

// The items of the record's own three categories, in the categories' order; the kind categories start empty.
constexpr std::span<const PreparedItem> kPreparedItems[] = {kLogEntryItems, kTargetItems, kIrpItems};
static_assert(std::size(kPreparedItems) == kLogDetailsFirstKindCategory);

void AddItems(CGkPropertyGridItem* pCategory, std::span<const PreparedItem> items) {
    CLogProperties properties;
    for (const PreparedItem& prepared : items) {
        CGkPropertyGridItem* pItem =
            properties.AddGridItem(pCategory, prepared.caption, prepared.value, prepared.description);
        if (pItem != nullptr && prepared.id != 0)
            pItem->SetID(prepared.id);
    }
}

} // namespace

void BuildLogDetailsGrid(CGkPropertyGrid& grid) {
    CPropertiesWnd::ApplyGridLook(grid);
    for (size_t i = 0; i < std::size(kLogDetailsCategories); ++i) {
        CGkPropertyGridItem* pCategory = grid.AddCategory(kLogDetailsCategories[i]);
        if (pCategory == nullptr)
            continue;
        if (i < std::size(kPreparedItems))
            AddItems(pCategory, kPreparedItems[i]);
        pCategory->Expand();
        pCategory->SetHidden(i != 0);
    }
}

BOOL DecodeLogRecord(OutputerImp& backEnd, CUSBLog* pDocument, const _LOGHDR* pRecord, LogDecoderFactory pfnCreate) {
    if (pfnCreate == nullptr)
        pfnCreate = &LogOutputer::Create;
    std::unique_ptr<LogOutputer> decoder(pfnCreate(&backEnd, pDocument, pRecord));
    if (!decoder)
        return FALSE;
    // Every record hides every category first: the captions are made once rather than for each call.
    struct Captions {
        CString text[std::size(kLogDetailsCategories)];
        Captions() {
            for (size_t i = 0; i < std::size(kLogDetailsCategories); ++i)
                text[i] = kLogDetailsCategories[i];
        }
    };
    static const Captions captions;
    for (const CString& caption : captions.text)
        backEnd.HideCategory(caption);
    decoder->OutputLogEntry();
    decoder->OutputTarget();
    decoder->OutputIrpFields();
    decoder->OutputKindTitle(OUTPUT_MODE_GRID);
    return TRUE;
}

// The Log Details pane for decoder tests: an in-memory grid with the pane's categories, items, captions,
// descriptions and ids, a value colour no decoder would pick by chance, and ShowRecord doing what the pane
// does with a selected record. Shown() lists what a user sees: the items not hidden, with their values,
// descriptions and value colours.
#pragma once

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "GkPropertyGrid.h"
#include "app/decoders/framework/GridOutputImp.h"
#include "app/decoders/framework/LogOutputer.h"
#include "common/LogHeader.h"

namespace tdl::test {

class LogDetailsPane : public GridOutputPane {
public:
    static constexpr COLORREF kValueColour = 0x00ABCDEF;
    static constexpr const char* kCategories[] = {"Log Entry", "Target", "IRP", "URB", "CBW", "CSW",  "USBINT",
                                                  "PNP",       "PWR",    "HCD", "HID", "HUB", "IHUB", "MPORT"};

    LogDetailsPane() {
        CGkPropertyGridItem* logEntry = m_grid.AddCategory("Log Entry");
        AddItem(logEntry, "Type", 0, "One of URB, USBINT, IHUB, MPORT, HCD, HUB, HID, PNP, PWR");
        AddItem(logEntry, "State", 0, "One of Initiated, Returned, or Completed.");
        AddItem(logEntry, "Record", 0, "The sequence number of the log record.");
        AddItem(logEntry, "Status", 0, "Irp completion or return status.");
        CGkPropertyGridItem* target = m_grid.AddCategory("Target");
        const struct {
            const char* caption;
            UINT id;
        } targetItems[] = {
            {"DeviceObject", 5000}, {"NtDeviceObject", 5001}, {"DriverObject", 5002}, {"NtDriverObject", 5003}};
        for (const auto& item : targetItems)
            AddItem(target, item.caption, item.id, nullptr)->SetValue("...");
        CGkPropertyGridItem* irp = m_grid.AddCategory("IRP");
        for (const char* caption : {"Irp Address", "IoStatus.Status", "Irp Stack Pointer", "Stack Count",
                                    "Current Stack Location", "Major Function", "Minor Function", "IoControlCode"})
            AddItem(irp, caption, 0, nullptr);
        for (size_t i = 3; i < std::size(kCategories); ++i)
            m_grid.AddCategory(kCategories[i]);
        for (int i = 0; i < m_grid.GetCategories()->GetCount(); ++i) {
            m_grid.GetCategories()->GetAt(i)->Expand();
            m_grid.GetCategories()->GetAt(i)->SetHidden(TRUE);
        }
    }

    CGkPropertyGrid* GetPropertyGrid() override { return &m_grid; }
    COLORREF GetNormalValueColour() override { return kValueColour; }

    // What the pane does with the record the user selected; false when the factory gave no decoder.
    bool ShowRecord(CUSBLog* document, const _LOGHDR* record) {
        GridOutputImp grid(this);
        std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&grid, document, record));
        if (!decoder)
            return false;
        for (const char* caption : kCategories)
            grid.HideCategory(caption);
        decoder->OutputLogEntry();
        decoder->OutputTarget();
        decoder->OutputIrpFields();
        decoder->OutputKindTitle(1);
        return true;
    }
    bool ShowRecord(CUSBLog* document, const std::vector<uint8_t>& record) {
        return ShowRecord(document, reinterpret_cast<const _LOGHDR*>(record.data()));
    }

    // The items a user sees, one a line, indented by level: "caption = value", then the description in
    // quotes and the colour of the value's text, when either is set.
    std::string Shown() const { return Shown(m_grid.GetCategories(), 0); }
    // The same below one category, whose own line is left out.
    std::string Shown(const char* category) const {
        const CGkPropertyGridItem* item = Category(category);
        return item && !item->IsHidden() ? Shown(item->GetChilds(), 0) : std::string();
    }

    CGkPropertyGrid& Grid() { return m_grid; }
    CGkPropertyGridItem* Category(const char* caption) const { return m_grid.GetCategories()->FindItem(caption); }

private:
    static CGkPropertyGridItem* AddItem(CGkPropertyGridItem* parent, const char* caption, UINT id,
                                        const char* description) {
        auto* item = parent->AddChildItem(new CGkPropertyGridItem(caption));
        item->SetID(id);
        if (description)
            item->SetDescription(description);
        item->SetReadOnly(TRUE);
        return item;
    }

    static std::string Shown(const CGkPropertyGridItems* items, int level) {
        std::string text;
        for (int i = 0; i < items->GetCount(); ++i) {
            const CGkPropertyGridItem* item = items->GetAt(i);
            if (item->IsHidden())
                continue;
            text.append(2 * static_cast<size_t>(level), ' ');
            text += item->GetCaption().GetString();
            if (!item->IsCategory() || !item->GetValue().IsEmpty()) {
                text += " =";
                if (!item->GetValue().IsEmpty()) {
                    text += " ";
                    text += item->GetValue().GetString();
                }
            }
            if (!item->GetDescription().IsEmpty()) {
                text += " \"";
                text += item->GetDescription().GetString();
                text += "\"";
            }
            const CGkPaintManagerColor& colour = item->GetValueMetrics()->m_clrFore;
            if (!colour.IsDefaultValue()) {
                char marker[24];
                std::snprintf(marker, sizeof marker, " {0x%06X}", static_cast<unsigned>(colour.GetCustomValue()));
                text += marker;
            }
            text += "\n";
            text += Shown(item->GetChilds(), level + 1);
        }
        return text;
    }

    CGkPropertyGrid m_grid;
};

} // namespace tdl::test

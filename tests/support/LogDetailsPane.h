// The Log Details pane for decoder tests: an in-memory grid built as the pane builds its own, a value colour
// no decoder would pick by chance, and ShowRecord doing what the pane does with a selected record. Shown()
// lists what a user sees: the items not hidden, with their values, descriptions and value colours.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "GkPropertyGrid.h"
#include "app/decoders/framework/GridOutputImp.h"
#include "app/decoders/framework/LogOutputer.h"
#include "app/ui/panes/LogDetailsGrid.h"
#include "common/LogHeader.h"

namespace tdl::test {

class LogDetailsPane : public GridOutputPane {
public:
    static constexpr COLORREF kValueColour = 0x00ABCDEF;
    static constexpr const auto& kCategories = kLogDetailsCategories;

    LogDetailsPane() { BuildLogDetailsGrid(m_grid); }

    CGkPropertyGrid* GetPropertyGrid() override { return &m_grid; }
    COLORREF GetNormalValueColour() override { return kValueColour; }

    // What the pane does with the record the user selected; false when the factory gave no decoder.
    bool ShowRecord(CUSBLog* document, const _LOGHDR* record) {
        GridOutputImp grid(this);
        return DecodeLogRecord(grid, document, record) != FALSE;
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

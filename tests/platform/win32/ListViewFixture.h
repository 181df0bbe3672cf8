// A parent window for list view and header tests: it records the notifications its children send and answers
// them as a test sets (text for LVN_GETDISPINFOA, custom-draw colours per column, vetoes).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/UiFixture.h"

namespace tdl::test {

struct ItemChange {
    UINT code;
    int item;
    UINT oldState;
    UINT newState;
    UINT changed;
};

class ListParent {
public:
    ListParent()
        : m_window(
              WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 420, 300},
              [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return Answer(message, wParam, lParam); }) {}

    HWND hwnd() const { return m_window.hwnd(); }

    // Makes a report list filling the parent's client area (or `rect`).
    HWND MakeList(DWORD style, DWORD exStyle = 0, std::optional<RECT> rect = {}) {
        win32::RegisterDialogClasses();
        RECT client{};
        GetClientRect(hwnd(), &client);
        const RECT r = rect ? *rect : client;
        HWND list =
            CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | style, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, hwnd(), reinterpret_cast<HMENU>(7), nullptr, nullptr);
        if (exStyle)
            SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(exStyle));
        return list;
    }

    // Answers.
    std::function<std::string(int row, int column)> text; // LVN_GETDISPINFOA
    std::function<bool(const NMLISTVIEW&)> refuseChange;  // LVN_ITEMCHANGING: true refuses
    std::map<int, COLORREF> columnBackground;             // sub-item custom draw, by column
    std::map<UINT, LRESULT> answers;                      // any other code
    UINT notifyFormat = NFR_ANSI;

    // What came.
    std::vector<UINT> codes;
    std::vector<std::pair<int, int>> asked; // LVN_GETDISPINFOA (row, column)
    std::vector<int> bufferLengths;
    std::vector<ItemChange> changes; // LVN_ITEMCHANGING and LVN_ITEMCHANGED
    std::vector<NMHEADERA> headerNotes;
    std::vector<DRAWITEMSTRUCT> drawn;
    std::vector<std::optional<std::string>> endedEdits; // LVN_ENDLABELEDITA's text (none: cancelled)

    void Forget() {
        codes.clear();
        asked.clear();
        bufferLengths.clear();
        changes.clear();
        headerNotes.clear();
        drawn.clear();
        endedEdits.clear();
    }
    std::set<int> AskedRows() const {
        std::set<int> rows;
        for (const auto& [row, column] : asked)
            rows.insert(row);
        return rows;
    }
    std::vector<ItemChange> Changes(UINT code) const {
        std::vector<ItemChange> out;
        for (const ItemChange& change : changes)
            if (change.code == code)
                out.push_back(change);
        return out;
    }

private:
    std::optional<LRESULT> Answer(UINT message, WPARAM, LPARAM lParam) {
        if (message == WM_NOTIFYFORMAT)
            return notifyFormat;
        if (message == WM_DRAWITEM) {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            drawn.push_back(*draw);
            HBRUSH brush = CreateSolidBrush(RGB(0, 128, 0));
            FillRect(draw->hDC, &draw->rcItem, brush);
            DeleteObject(brush);
            return TRUE;
        }
        if (message != WM_NOTIFY)
            return std::nullopt;
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        codes.push_back(nm->code);
        switch (nm->code) {
        case LVN_GETDISPINFOA: {
            auto* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
            asked.emplace_back(info->item.iItem, info->item.iSubItem);
            bufferLengths.push_back(info->item.cchTextMax);
            if ((info->item.mask & LVIF_TEXT) && text) {
                const std::string value = text(info->item.iItem, info->item.iSubItem);
                // As a careless parent might: the whole buffer, unterminated when the text is longer.
                const size_t n = std::min(value.size() + 1, static_cast<size_t>(info->item.cchTextMax));
                std::copy(value.c_str(), value.c_str() + n, info->item.pszText);
            }
            return 0;
        }
        case LVN_ITEMCHANGING:
        case LVN_ITEMCHANGED: {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            changes.push_back({nm->code, change->iItem, change->uOldState, change->uNewState, change->uChanged});
            return nm->code == LVN_ITEMCHANGING && refuseChange && refuseChange(*change) ? 1 : 0;
        }
        case LVN_ENDLABELEDITA: {
            const auto* info = reinterpret_cast<const NMLVDISPINFOA*>(lParam);
            endedEdits.push_back(info->item.pszText ? std::optional<std::string>(info->item.pszText) : std::nullopt);
            break;
        }
        case NM_CUSTOMDRAW: {
            auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
            if (columnBackground.empty())
                return CDRF_DODEFAULT;
            if (cd->nmcd.dwDrawStage == CDDS_PREPAINT)
                return CDRF_NOTIFYITEMDRAW;
            if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
                return CDRF_NOTIFYSUBITEMDRAW;
            if (cd->nmcd.dwDrawStage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
                auto it = columnBackground.find(cd->iSubItem);
                if (it != columnBackground.end()) {
                    cd->clrTextBk = it->second;
                    cd->clrText = RGB(0, 0, 0);
                }
            }
            return CDRF_DODEFAULT;
        }
        default: break;
        }
        if (nm->code <= HDN_ITEMCHANGINGA && nm->code >= HDN_ENDDRAG - 20)
            headerNotes.push_back(*reinterpret_cast<const NMHEADERA*>(lParam));
        auto it = answers.find(nm->code);
        return it != answers.end() ? it->second : 0;
    }

    TestWindow m_window;
};

inline void AddColumns(HWND list, const std::vector<std::pair<const char*, int>>& columns, int fmt = LVCFMT_LEFT) {
    int index = 0;
    for (const auto& [heading, width] : columns) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(heading);
        column.cx = width;
        column.fmt = fmt;
        column.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
        ++index;
    }
}

inline RECT ItemRect(HWND list, int row, int code) {
    RECT r{code, 0, 0, 0};
    SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    return r;
}

inline RECT SubItemRect(HWND list, int row, int column, int code) {
    RECT r{code, column, 0, 0};
    SendMessageA(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    return r;
}

inline POINT Middle(const RECT& r) {
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

inline BOOL SetState(HWND list, int row, UINT state, UINT mask) {
    LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    return static_cast<BOOL>(
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
}

} // namespace tdl::test

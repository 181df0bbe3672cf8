#include "TreeViewTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace win32::test {

void ClientSnapshot::Read(HDC source, int width, int height) {
    HDC screen = GetDC(nullptr);
    HDC copy = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(copy, bitmap);
    BitBlt(copy, 0, 0, width, height, source, 0, 0, SRCCOPY);
    width_ = static_cast<size_t>(width);
    pixels_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels_[static_cast<size_t>(y) * width_ + static_cast<size_t>(x)] = GetPixel(copy, x, y);
    SelectObject(copy, old);
    DeleteObject(bitmap);
    DeleteDC(copy);
    ReleaseDC(nullptr, screen);
}

ClientSnapshot::ClientSnapshot(HWND hwnd) {
    win32::PumpUiMessages();
    RECT client{};
    GetClientRect(hwnd, &client);
    HDC dc = GetDC(hwnd);
    Read(dc, client.right, client.bottom);
    ReleaseDC(hwnd, dc);
}

ClientSnapshot ClientSnapshot::PaintedInto(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageA(hwnd, WM_PAINT, reinterpret_cast<WPARAM>(memory), 0);
    ClientSnapshot snapshot;
    snapshot.Read(memory, client.right, client.bottom);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return snapshot;
}

int ClientSnapshot::Count(COLORREF colour, const RECT& r) const {
    int count = 0;
    for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, Height()); ++y)
        for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, Width()); ++x)
            count += Pixel(x, y) == colour;
    return count;
}

void TreeViewTest::SetUp() {
    UiTest::SetUp();
    InitCommonControls();
    parent_ = std::make_unique<tdl::test::TestWindow>(
        WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 240, 200},
        [this](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
            if (message != WM_NOTIFY)
                return std::nullopt;
            auto* hdr = reinterpret_cast<NMHDR*>(lParam);
            if (hdr->hwndFrom != tree_ && tree_)
                return std::nullopt;
            TreeNote note;
            note.code = hdr->code;
            switch (hdr->code) {
            case TVN_SELCHANGINGA:
            case TVN_SELCHANGEDA:
            case TVN_ITEMEXPANDINGA:
            case TVN_ITEMEXPANDEDA:
            case TVN_DELETEITEMA: {
                auto* nm = reinterpret_cast<NMTREEVIEWA*>(lParam);
                note.action = nm->action;
                note.oldItem = nm->itemOld.hItem;
                note.newItem = nm->itemNew.hItem;
                note.oldParam = nm->itemOld.lParam;
                note.newParam = nm->itemNew.lParam;
                note.newState = nm->itemNew.state;
                break;
            }
            case TVN_GETDISPINFOA: {
                auto* info = reinterpret_cast<NMTVDISPINFOA*>(lParam);
                note.newItem = info->item.hItem;
                if (info->item.mask & TVIF_TEXT)
                    snprintf(info->item.pszText, static_cast<size_t>(info->item.cchTextMax), "asked %lld",
                             static_cast<long long>(info->item.lParam));
                break;
            }
            case TVN_KEYDOWN: note.key = reinterpret_cast<NMTVKEYDOWN*>(lParam)->wVKey; break;
            case TVN_GETINFOTIPA: {
                auto* tip = reinterpret_cast<NMTVGETINFOTIPA*>(lParam);
                note.newItem = tip->hItem;
                note.newParam = tip->lParam;
                if (!infoTip_.empty())
                    strncpy(tip->pszText, infoTip_.c_str(), static_cast<size_t>(tip->cchTextMax) - 1);
                break;
            }
            default: break;
            }
            notes_.push_back(note);
            auto answer = answers_.find(hdr->code);
            return answer == answers_.end() ? 0 : answer->second;
        });
}

void TreeViewTest::TearDown() {
    parent_.reset();
    tree_ = nullptr;
    UiTest::TearDown();
}

HWND TreeViewTest::MakeTree(DWORD style, int width, int height) {
    tree_ = CreateWindowExA(0, WC_TREEVIEW, "", WS_CHILD | WS_VISIBLE | style, 0, 0, width, height, *parent_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTreeId)), nullptr, nullptr);
    return tree_;
}

HTREEITEM TreeViewTest::Insert(HTREEITEM parent, const char* text, LPARAM param, HTREEITEM after) {
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<char*>(text);
    insert.item.lParam = param;
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

std::vector<UINT> TreeViewTest::Codes(std::vector<UINT> only) const {
    std::vector<UINT> codes;
    for (const TreeNote& note : notes_)
        if (only.empty() || std::find(only.begin(), only.end(), note.code) != only.end())
            codes.push_back(note.code);
    return codes;
}

HIMAGELIST MakeImages(int size, const std::vector<COLORREF>& fills) {
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, static_cast<int>(fills.size()), 1);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP strip = CreateCompatibleBitmap(screen, size * static_cast<int>(fills.size()), size);
    HGDIOBJ old = SelectObject(dc, strip);
    constexpr COLORREF kKey = RGB(255, 0, 255);
    for (size_t i = 0; i < fills.size(); ++i) {
        const int x = static_cast<int>(i) * size;
        RECT cell{x, 0, x + size, size};
        HBRUSH key = CreateSolidBrush(kKey);
        FillRect(dc, &cell, key);
        DeleteObject(key);
        RECT square{x + 1, 1, x + size - 1, size - 1};
        FrameRect(dc, &square, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&square, -1, -1);
        HBRUSH fill = CreateSolidBrush(fills[i]);
        FillRect(dc, &square, fill);
        DeleteObject(fill);
    }
    SelectObject(dc, old);
    ImageList_AddMasked(list, strip, kKey);
    DeleteObject(strip);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return list;
}

} // namespace win32::test

// The tree view's layout, hit tests and painting: one set of rectangles serves all three, so a click where the
// picture shows a part of an item hits that part. Locks: none (the window's thread only).
#include <algorithm>

#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinUser.h"
#include "WinUserDraw.h"
#include "internal/ControlSupport.h"
#include "internal/TreeViewState.h"

namespace win32::internal {

namespace {

constexpr int kDefaultIndent = 19;
constexpr int kButtonSize = 9;

bool LinesAtRoot(HWND hwnd) {
    return (GetWindowLongA(hwnd, GWL_STYLE) & TVS_LINESATROOT) != 0;
}

int StateIndex(const TreeNode* node) {
    return static_cast<int>((node->state & TVIS_STATEIMAGEMASK) >> 12);
}

SIZE TextSize(HDC dc, const std::string& text) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

// A dotted line, one pixel on and one off, on even coordinates so neighbouring rows join up.
void DottedLine(HDC dc, int x0, int y0, int x1, int y1, HBRUSH brush) {
    if (x0 == x1) {
        for (int y = std::min(y0, y1); y < std::max(y0, y1); ++y)
            if (((x0 + y) & 1) == 0) {
                RECT dot{x0, y, x0 + 1, y + 1};
                FillRect(dc, &dot, brush);
            }
    } else {
        for (int x = std::min(x0, x1); x < std::max(x0, x1); ++x)
            if (((x + y0) & 1) == 0) {
                RECT dot{x, y0, x + 1, y0 + 1};
                FillRect(dc, &dot, brush);
            }
    }
}

void DrawButton(HDC dc, int cx, int cy, bool expanded, HBRUSH frame) {
    RECT box{cx - kButtonSize / 2, cy - kButtonSize / 2, cx + kButtonSize / 2 + 1, cy + kButtonSize / 2 + 1};
    FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
    FrameRect(dc, &box, frame);
    HBRUSH ink = GetSysColorBrush(COLOR_WINDOWTEXT);
    RECT minus{cx - 2, cy, cx + 3, cy + 1};
    FillRect(dc, &minus, ink);
    if (!expanded) {
        RECT bar{cx, cy - 2, cx + 1, cy + 3};
        FillRect(dc, &bar, ink);
    }
}

void DrawLines(HWND hwnd, TreeState& state, const TreeMetrics& metrics, TreeNode* node, const TreeItemGeometry& g,
               HDC dc, HBRUSH brush) {
    const int half = metrics.indent / 2;
    const int cy = (g.row.top + g.row.bottom) / 2;
    // The columns of the ancestors: a line goes on down where an ancestor has a sibling still to come.
    int column = g.lineX - metrics.indent;
    for (TreeNode* at = state.items.ParentOf(node); at; at = state.items.ParentOf(at), column -= metrics.indent) {
        if (at->next && (column >= 0 || LinesAtRoot(hwnd)))
            DottedLine(dc, column + half, g.row.top, column + half, g.row.bottom, brush);
    }
    if (!state.items.IsTopLevel(node) || LinesAtRoot(hwnd)) {
        const int cx = g.lineX + half;
        const bool firstOfAll = state.items.IsTopLevel(node) && !node->prev;
        DottedLine(dc, cx, firstOfAll ? cy : g.row.top, cx, node->next ? g.row.bottom : cy + 1, brush);
        DottedLine(dc, cx, cy, g.itemX, cy, brush);
    }
}

} // namespace

TreeMetrics MeasureTree(HWND hwnd, TreeState& state) {
    TreeMetrics m;
    m.textHeight = FontLineHeight(state.font);
    if (state.normal)
        ImageList_GetIconSize(state.normal, &m.imageWidth, &m.imageHeight);
    if (state.stateImages)
        ImageList_GetIconSize(state.stateImages, &m.stateWidth, &m.stateHeight);
    m.itemHeight =
        state.customHeight > 0 ? state.customHeight : std::max({m.textHeight, m.imageHeight, m.stateHeight}) + 2;
    m.indent = state.indent > 0 ? state.indent : std::max(kDefaultIndent, m.imageWidth + 3);
    return m;
}

HFONT TreeItemFont(TreeState& state, const TreeNode* node) {
    if (!(node->state & TVIS_BOLD))
        return ControlFont(state.font);
    if (!state.boldFont) {
        LOGFONTA lf{};
        GetObjectA(ControlFont(state.font), sizeof lf, &lf);
        lf.lfWeight = FW_BOLD;
        state.boldFont = CreateFontIndirectA(&lf);
    }
    return state.boldFont ? state.boldFont : ControlFont(state.font);
}

bool TreeItemLayout(HWND hwnd, TreeState& state, const TreeMetrics& metrics, TreeNode* node, TreeItemGeometry* out) {
    const int row = state.items.VisibleIndex(node);
    if (row < 0)
        return false;
    RECT client{};
    GetClientRect(hwnd, &client);
    TreeItemGeometry& g = *out;
    const int top = (row - state.top) * metrics.itemHeight;
    g.row = {0, top, std::max<LONG>(client.right, 0), top + metrics.itemHeight};
    const int depth = state.items.Depth(node) + (LinesAtRoot(hwnd) ? 1 : 0);
    g.itemX = depth * metrics.indent;
    g.lineX = g.itemX - metrics.indent;
    g.button = (GetWindowLongA(hwnd, GWL_STYLE) & TVS_HASBUTTONS) && depth > 0 && TreeItemHasChildren(hwnd, node);
    int x = g.itemX;
    const bool stateShown = state.stateImages && StateIndex(node) > 0;
    g.stateIcon = {x, top, x + (stateShown ? metrics.stateWidth : 0), top + metrics.itemHeight};
    x = g.stateIcon.right;
    g.icon = {x, top, x + (state.normal ? metrics.imageWidth : 0), top + metrics.itemHeight};
    x = g.icon.right + 1;
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, TreeItemFont(state, node));
    const SIZE text = TextSize(dc, TreeItemText(hwnd, node));
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    g.label = {x, top, x + text.cx + 4, top + metrics.itemHeight};
    return true;
}

TreeNode* TreeHitTest(HWND hwnd, TreeState& state, POINT point, UINT* flags) {
    RECT client{};
    GetClientRect(hwnd, &client);
    UINT outside = 0;
    if (point.y < client.top)
        outside |= TVHT_ABOVE;
    else if (point.y >= client.bottom)
        outside |= TVHT_BELOW;
    if (point.x < client.left)
        outside |= TVHT_TOLEFT;
    else if (point.x >= client.right)
        outside |= TVHT_TORIGHT;
    if (outside) {
        *flags = outside;
        return nullptr;
    }
    const TreeMetrics metrics = MeasureTree(hwnd, state);
    const auto& visible = state.items.Visible();
    const size_t row = static_cast<size_t>(state.top + point.y / metrics.itemHeight);
    if (row >= visible.size()) {
        *flags = TVHT_NOWHERE;
        return nullptr;
    }
    TreeNode* node = visible[row];
    TreeItemGeometry g;
    TreeItemLayout(hwnd, state, metrics, node, &g);
    if (point.x < g.lineX)
        *flags = TVHT_ONITEMINDENT;
    else if (point.x < g.itemX)
        *flags = g.button ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
    else if (point.x < g.stateIcon.right)
        *flags = TVHT_ONITEMSTATEICON;
    else if (point.x < g.icon.right)
        *flags = TVHT_ONITEMICON;
    else if (point.x < g.label.right)
        *flags = TVHT_ONITEMLABEL;
    else
        *flags = TVHT_ONITEMRIGHT;
    return node;
}

void PaintTree(HWND hwnd, TreeState& state, HDC dc) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const bool enabled = IsWindowEnabled(hwnd);
    HBRUSH background = state.background == CLR_NONE ? nullptr : CreateSolidBrush(state.background);
    FillRect(dc, &client, background ? background : GetSysColorBrush(COLOR_WINDOW));
    const TreeMetrics metrics = MeasureTree(hwnd, state);
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    HBRUSH lineBrush = CreateSolidBrush(state.lines == CLR_DEFAULT ? GetSysColor(COLOR_GRAYTEXT) : state.lines);
    HGDIOBJ oldFont = SelectObject(dc, ControlFont(state.font));
    SetBkMode(dc, TRANSPARENT);
    const auto visible = state.items.Visible(); // a copy: text callbacks may change the tree
    for (size_t row = static_cast<size_t>(std::max(state.top, 0)); row < visible.size(); ++row) {
        TreeNode* node = visible[row];
        TreeItemGeometry g;
        if (!TreeItemLayout(hwnd, state, metrics, node, &g))
            continue;
        if (g.row.top >= client.bottom)
            break;
        if (style & TVS_HASLINES)
            DrawLines(hwnd, state, metrics, node, g, dc, lineBrush);
        if (g.button)
            DrawButton(dc, g.lineX + metrics.indent / 2, (g.row.top + g.row.bottom) / 2,
                       (node->state & TVIS_EXPANDED) != 0, lineBrush);
        const int stateIndex = StateIndex(node);
        if (g.stateIcon.right > g.stateIcon.left && stateIndex < ImageList_GetImageCount(state.stateImages))
            ImageList_Draw(state.stateImages, stateIndex, dc, g.stateIcon.left,
                           g.row.top + (metrics.itemHeight - metrics.stateHeight) / 2, ILD_TRANSPARENT);
        const bool selected = node == state.caret;
        if (state.normal) {
            const int image = selected ? node->selectedImage : node->image;
            // An index the list does not have draws nothing.
            if (image >= 0 && image < ImageList_GetImageCount(state.normal))
                ImageList_Draw(state.normal, image, dc, g.icon.left,
                               g.row.top + (metrics.itemHeight - metrics.imageHeight) / 2, ILD_TRANSPARENT);
        }
        const bool highlighted = (selected && state.focused) || (node->state & TVIS_DROPHILITED);
        const bool shownSelected = selected && !state.focused && (style & TVS_SHOWSELALWAYS);
        COLORREF ink = state.text == CLR_NONE ? GetSysColor(COLOR_WINDOWTEXT) : state.text;
        if (highlighted) {
            FillRect(dc, &g.label, GetSysColorBrush(COLOR_HIGHLIGHT));
            ink = GetSysColor(COLOR_HIGHLIGHTTEXT);
        } else if (shownSelected) {
            FillRect(dc, &g.label, GetSysColorBrush(COLOR_BTNFACE));
        }
        if (!enabled)
            ink = GetSysColor(COLOR_GRAYTEXT);
        SetTextColor(dc, ink);
        SelectObject(dc, TreeItemFont(state, node));
        const std::string text = TreeItemText(hwnd, node);
        RECT textRect = g.label;
        textRect.left += 2;
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (selected && state.focused)
            DrawFocusRect(dc, &g.label);
    }
    SelectObject(dc, oldFont);
    DeleteObject(lineBrush);
    if (background)
        DeleteObject(background);
}

} // namespace win32::internal

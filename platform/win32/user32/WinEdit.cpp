// The edit control. Locks: none; its state lives in a property of its window, touched only on the window's
// thread. The text is kept in the state and mirrored into the window's own text, so WM_GETTEXT answers it.
#include "WinEdit.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "WinClipboard.h"
#include "WinGdi.h"
#include "WinInput.h"
#include "WinMessageBox.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinUserDraw.h"
#include "internal/ControlSupport.h"

using namespace win32::internal;

namespace {

const char kStateProp[] = "TdlEditState";
constexpr int kMarginX = 2;
constexpr int kMarginY = 1;
// The limit a new edit starts with, and the one EM_LIMITTEXT(0) sets.
constexpr size_t kDefaultLimit = 30000;
constexpr size_t kLargestLimit = 0x7FFFFFFE;

struct EditState {
    std::string text;
    size_t anchor = 0; // the fixed end of the selection
    size_t caret = 0;  // the moving end, where the caret stands
    size_t limit = kDefaultLimit;
    HFONT font = nullptr;
    bool modified = false;
    bool focused = false;
    bool selecting = false; // a mouse drag is under way
    int scrollX = 0;        // pixels of a single line scrolled out on the left
    int firstLine = 0;      // the top line of a multi-line edit
    char password = '*';
    char swallow = 0; // the character of a key the dialog took, not to be typed when it arrives
};

LONG StyleOf(HWND hwnd) {
    return GetWindowLongA(hwnd, GWL_STYLE);
}

bool Multiline(HWND hwnd) {
    return (StyleOf(hwnd) & ES_MULTILINE) != 0;
}

// A measuring DC with the edit's font selected.
class Measure {
public:
    explicit Measure(const EditState& state) : m_dc(GetDC(nullptr)) {
        m_old = SelectObject(m_dc, ControlFont(state.font));
        TEXTMETRICA metrics{};
        GetTextMetricsA(m_dc, &metrics);
        m_height = std::max<int>(1, metrics.tmHeight);
    }
    ~Measure() {
        SelectObject(m_dc, m_old);
        ReleaseDC(nullptr, m_dc);
    }
    Measure(const Measure&) = delete;
    Measure& operator=(const Measure&) = delete;

    int Height() const { return m_height; }
    int Width(const char* text, size_t count) const {
        SIZE size{};
        GetTextExtentPoint32A(m_dc, text, static_cast<int>(count), &size);
        return size.cx;
    }

private:
    HDC m_dc;
    HGDIOBJ m_old;
    int m_height = 1;
};

// Where each line starts; one line unless the edit is multi-line.
std::vector<size_t> LineStarts(HWND hwnd, const std::string& text) {
    std::vector<size_t> starts{0};
    if (!Multiline(hwnd))
        return starts;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
        starts.push_back(at + 2);
    return starts;
}

size_t LineOf(const std::vector<size_t>& starts, size_t index) {
    return static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), index) - starts.begin()) - 1;
}

size_t LineEnd(const std::vector<size_t>& starts, const std::string& text, size_t line) {
    return line + 1 < starts.size() ? starts[line + 1] - 2 : text.size();
}

// What the line shows: the text, or the password character in its place.
std::string Shown(HWND hwnd, const EditState& state, size_t from, size_t to) {
    if (StyleOf(hwnd) & ES_PASSWORD)
        return std::string(to - from, state.password);
    return state.text.substr(from, to - from);
}

int InnerWidth(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    return std::max<int>(0, client.right - 2 * kMarginX);
}

// The x of a line's first character: aligned within the inner width, less the horizontal scroll.
int LineOrigin(HWND hwnd, const EditState& state, int lineWidth) {
    const LONG align = StyleOf(hwnd) & (ES_CENTER | ES_RIGHT);
    const int spare = std::max(0, InnerWidth(hwnd) - lineWidth);
    const int shift = align == ES_CENTER ? spare / 2 : align == ES_RIGHT ? spare : 0;
    return kMarginX + shift - state.scrollX;
}

POINT PositionOf(HWND hwnd, const EditState& state, const Measure& m, size_t index) {
    const std::vector<size_t> starts = LineStarts(hwnd, state.text);
    const size_t line = LineOf(starts, index);
    const std::string shown = Shown(hwnd, state, starts[line], LineEnd(starts, state.text, line));
    const int origin = LineOrigin(hwnd, state, m.Width(shown.data(), shown.size()));
    return {origin + m.Width(shown.data(), index - starts[line]),
            kMarginY + (static_cast<int>(line) - state.firstLine) * m.Height()};
}

// The character boundary nearest to a point of the client area.
size_t IndexAt(HWND hwnd, const EditState& state, const Measure& m, POINT at) {
    const std::vector<size_t> starts = LineStarts(hwnd, state.text);
    const int row = at.y < kMarginY ? -1 : (at.y - kMarginY) / m.Height();
    const long line = std::clamp<long>(state.firstLine + row, 0, static_cast<long>(starts.size()) - 1);
    const size_t begin = starts[static_cast<size_t>(line)];
    const size_t end = LineEnd(starts, state.text, static_cast<size_t>(line));
    const std::string shown = Shown(hwnd, state, begin, end);
    const int origin = LineOrigin(hwnd, state, m.Width(shown.data(), shown.size()));
    size_t best = 0;
    int bestDistance = std::abs(at.x - origin);
    for (size_t i = 1; i <= shown.size(); ++i) {
        const int distance = std::abs(at.x - (origin + m.Width(shown.data(), i)));
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return begin + best;
}

// Scrolls so that the caret is inside the client area, and moves the system caret there.
void ShowCaretPlace(HWND hwnd, EditState& state) {
    Measure m(state);
    const std::vector<size_t> starts = LineStarts(hwnd, state.text);
    if (Multiline(hwnd)) {
        RECT client{};
        GetClientRect(hwnd, &client);
        const int visible = std::max(1, static_cast<int>(client.bottom - kMarginY) / m.Height());
        const int line = static_cast<int>(LineOf(starts, state.caret));
        if (line < state.firstLine)
            state.firstLine = line;
        else if (line >= state.firstLine + visible)
            state.firstLine = line - visible + 1;
    }
    POINT at = PositionOf(hwnd, state, m, state.caret);
    const int right = kMarginX + InnerWidth(hwnd);
    if (at.x > right) {
        state.scrollX += at.x - right;
        at.x = right;
    } else if (at.x < kMarginX && state.scrollX > 0) {
        const int back = std::min(state.scrollX, kMarginX - at.x);
        state.scrollX -= back;
        at.x += back;
    }
    if (state.focused)
        SetCaretPos(at.x, at.y);
}

void Changed(HWND hwnd, EditState& state) {
    DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state.text.c_str()));
    ShowCaretPlace(hwnd, state);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void SelectionChanged(HWND hwnd, EditState& state) {
    ShowCaretPlace(hwnd, state);
    InvalidateRect(hwnd, nullptr, FALSE);
}

// A place inside a line break is moved to its start.
size_t Snap(const EditState& state, size_t index) {
    index = std::min(index, state.text.size());
    if (index > 0 && index < state.text.size() && state.text[index - 1] == '\r' && state.text[index] == '\n')
        --index;
    return index;
}

void SetSelection(HWND hwnd, EditState& state, size_t anchor, size_t caret) {
    state.anchor = Snap(state, anchor);
    state.caret = Snap(state, caret);
    SelectionChanged(hwnd, state);
}

size_t SelStart(const EditState& state) {
    return std::min(state.anchor, state.caret);
}
size_t SelEnd(const EditState& state) {
    return std::max(state.anchor, state.caret);
}

// Replaces the selection with `text` as far as the limit lets it; the parent hears EN_MAXTEXT when it was cut,
// EN_UPDATE and EN_CHANGE when anything changed.
void ReplaceSelection(HWND hwnd, EditState& state, std::string text, bool byUser) {
    const size_t start = SelStart(state), end = SelEnd(state);
    const size_t kept = state.text.size() - (end - start);
    const size_t room = state.limit > kept ? state.limit - kept : 0;
    const bool cut = text.size() > room;
    if (cut)
        text.resize(room);
    if (text.empty() && start == end) {
        if (cut)
            NotifyParent(hwnd, EN_MAXTEXT);
        return;
    }
    state.text.replace(start, end - start, text);
    state.anchor = state.caret = start + text.size();
    if (byUser)
        state.modified = true;
    Changed(hwnd, state);
    if (cut)
        NotifyParent(hwnd, EN_MAXTEXT);
    NotifyParent(hwnd, EN_UPDATE);
    NotifyParent(hwnd, EN_CHANGE);
}

bool ReadOnly(HWND hwnd) {
    return (StyleOf(hwnd) & ES_READONLY) != 0;
}

void Copy(HWND hwnd, const EditState& state) {
    if (SelStart(state) == SelEnd(state) || (StyleOf(hwnd) & ES_PASSWORD))
        return;
    if (!OpenClipboard(hwnd))
        return;
    const std::string part = state.text.substr(SelStart(state), SelEnd(state) - SelStart(state));
    EmptyClipboard();
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, part.size() + 1)) {
        if (auto* bytes = static_cast<char*>(GlobalLock(block))) {
            std::memcpy(bytes, part.c_str(), part.size() + 1);
            GlobalUnlock(block);
            SetClipboardData(CF_TEXT, block);
        } else {
            GlobalFree(block);
        }
    }
    CloseClipboard();
}

// The text a typed or pasted piece becomes under the edit's case and line styles; false when ES_NUMBER refuses
// it.
bool Conform(HWND hwnd, std::string& text) {
    const LONG style = StyleOf(hwnd);
    if (!(style & ES_MULTILINE)) {
        // One line keeps what comes before the first line break.
        const size_t br = text.find_first_of("\r\n");
        if (br != std::string::npos)
            text.resize(br);
    } else {
        // Many lines break at "\r\n" only: a bare "\n" from the clipboard becomes the pair.
        for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
            if (at == 0 || text[at - 1] != '\r')
                text.insert(at++, 1, '\r');
            else
                --at;
        }
    }
    for (char& c : text) {
        if ((style & ES_NUMBER) && !std::isdigit(static_cast<unsigned char>(c)))
            return false;
        if (style & ES_UPPERCASE)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        else if (style & ES_LOWERCASE)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return true;
}

void Paste(HWND hwnd, EditState& state) {
    if (ReadOnly(hwnd) || !OpenClipboard(hwnd))
        return;
    std::string text;
    if (HANDLE block = GetClipboardData(CF_TEXT)) {
        if (auto* bytes = static_cast<const char*>(GlobalLock(block))) {
            text.assign(bytes, strnlen(bytes, GlobalSize(block)));
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    if (Conform(hwnd, text))
        ReplaceSelection(hwnd, state, std::move(text), true);
    else
        MessageBeep(MB_OK);
}

void DeleteSelection(HWND hwnd, EditState& state) {
    if (ReadOnly(hwnd)) {
        MessageBeep(MB_OK);
        return;
    }
    ReplaceSelection(hwnd, state, {}, true);
}

// One step left or right, over a line break as one.
size_t Step(const EditState& state, size_t index, bool forward) {
    if (forward) {
        if (index >= state.text.size())
            return index;
        return state.text.compare(index, 2, "\r\n") == 0 ? index + 2 : index + 1;
    }
    if (index == 0)
        return 0;
    return index >= 2 && state.text.compare(index - 2, 2, "\r\n") == 0 ? index - 2 : index - 1;
}

void Backspace(HWND hwnd, EditState& state) {
    if (ReadOnly(hwnd)) {
        MessageBeep(MB_OK);
        return;
    }
    if (state.anchor == state.caret)
        state.anchor = Step(state, state.caret, false);
    ReplaceSelection(hwnd, state, {}, true);
}

void TypeChar(HWND hwnd, EditState& state, char c) {
    if (c == state.swallow && c != 0) {
        state.swallow = 0;
        return;
    }
    switch (c) {
    case 0x01: // Ctrl+A
        SetSelection(hwnd, state, 0, state.text.size());
        return;
    case 0x03: // Ctrl+C
        Copy(hwnd, state);
        return;
    case 0x18: // Ctrl+X
        SendMessageA(hwnd, WM_CUT, 0, 0);
        return;
    case 0x16: // Ctrl+V
        SendMessageA(hwnd, WM_PASTE, 0, 0);
        return;
    case '\b': Backspace(hwnd, state); return;
    default: break;
    }
    std::string piece(1, c);
    if (c == '\r') {
        if (!Multiline(hwnd))
            return;
        piece = "\r\n";
    } else if (static_cast<unsigned char>(c) < 0x20 && !(c == '\t' && Multiline(hwnd))) {
        return;
    }
    if (ReadOnly(hwnd) || !Conform(hwnd, piece)) {
        MessageBeep(MB_OK);
        return;
    }
    ReplaceSelection(hwnd, state, std::move(piece), true);
}

void MoveCaret(HWND hwnd, EditState& state, size_t to, bool extend) {
    state.caret = Snap(state, to);
    if (!extend)
        state.anchor = state.caret;
    SelectionChanged(hwnd, state);
}

// The edit field of a combo box hands the keys that work the list to the combo.
bool ForwardToCombo(HWND hwnd, EditState& state, WPARAM vk) {
    HWND parent = GetParent(hwnd);
    char className[16] = {};
    if (Multiline(hwnd) || !parent || !GetClassNameA(parent, className, sizeof className) ||
        strcasecmp(className, "COMBOBOX") != 0)
        return false;
    switch (vk) {
    case VK_UP:
    case VK_DOWN:
    case VK_F4: break;
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_TAB: state.swallow = vk == VK_RETURN ? '\r' : vk == VK_TAB ? '\t' : 0x1B; break;
    default: return false;
    }
    SendMessageA(parent, WM_KEYDOWN, vk, 0);
    return true;
}

void KeyDown(HWND hwnd, EditState& state, WPARAM vk) {
    if (ForwardToCombo(hwnd, state, vk))
        return;
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const std::vector<size_t> starts = LineStarts(hwnd, state.text);
    const size_t line = LineOf(starts, state.caret);
    switch (vk) {
    case VK_LEFT:
    case VK_RIGHT: {
        const bool forward = vk == VK_RIGHT;
        if (!shift && state.anchor != state.caret)
            MoveCaret(hwnd, state, forward ? SelEnd(state) : SelStart(state), false);
        else
            MoveCaret(hwnd, state, Step(state, state.caret, forward), shift);
        return;
    }
    case VK_HOME: MoveCaret(hwnd, state, control ? 0 : starts[line], shift); return;
    case VK_END: MoveCaret(hwnd, state, control ? state.text.size() : LineEnd(starts, state.text, line), shift); return;
    case VK_UP:
    case VK_DOWN: {
        if (!Multiline(hwnd)) {
            MoveCaret(hwnd, state, Step(state, state.caret, vk == VK_DOWN), shift);
            return;
        }
        Measure m(state);
        POINT at = PositionOf(hwnd, state, m, state.caret);
        at.y += vk == VK_UP ? -m.Height() : m.Height();
        if ((vk == VK_UP && line == 0) || (vk == VK_DOWN && line + 1 >= starts.size()))
            return;
        // The target line may be scrolled out; measure it as if it were the top one.
        const int savedFirst = state.firstLine;
        state.firstLine = static_cast<int>(vk == VK_UP ? line - 1 : line + 1);
        at.y = kMarginY;
        const size_t to = IndexAt(hwnd, state, m, at);
        state.firstLine = savedFirst;
        MoveCaret(hwnd, state, to, shift);
        return;
    }
    case VK_DELETE:
        if (shift) {
            SendMessageA(hwnd, WM_CUT, 0, 0);
        } else if (ReadOnly(hwnd)) {
            MessageBeep(MB_OK);
        } else {
            if (state.anchor == state.caret)
                state.anchor = Step(state, state.caret, true);
            ReplaceSelection(hwnd, state, {}, true);
        }
        return;
    case VK_INSERT:
        if (control)
            Copy(hwnd, state);
        else if (shift)
            SendMessageA(hwnd, WM_PASTE, 0, 0);
        return;
    case VK_RETURN:
        if (Multiline(hwnd) && (StyleOf(hwnd) & ES_WANTRETURN))
            return;
        if (win32::ForwardDialogKey(hwnd, vk))
            state.swallow = '\r';
        return;
    case VK_TAB:
    case VK_ESCAPE:
        if (win32::ForwardDialogKey(hwnd, vk))
            state.swallow = vk == VK_TAB ? '\t' : 0x1B;
        return;
    default: return;
    }
}

void Paint(HWND hwnd, HDC dc, const EditState& state) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const bool enabled = IsWindowEnabled(hwnd);
    HBRUSH background =
        ReadOnly(hwnd) || !enabled
            ? ParentColourBrush(hwnd, dc, WM_CTLCOLORSTATIC, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNFACE)
            : ParentColourBrush(hwnd, dc, WM_CTLCOLOREDIT, COLOR_WINDOWTEXT, COLOR_WINDOW, COLOR_WINDOW);
    FillRect(dc, &client, background);
    if (!enabled)
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    const COLORREF textColour = GetTextColor(dc);
    HGDIOBJ oldFont = SelectObject(dc, ControlFont(state.font));
    SetBkMode(dc, TRANSPARENT);
    Measure m(state);
    const std::vector<size_t> starts = LineStarts(hwnd, state.text);
    const bool showSelection = state.focused || (StyleOf(hwnd) & ES_NOHIDESEL);
    const size_t selStart = SelStart(state), selEnd = SelEnd(state);
    for (size_t line = static_cast<size_t>(state.firstLine); line < starts.size(); ++line) {
        const int top = kMarginY + static_cast<int>(line - static_cast<size_t>(state.firstLine)) * m.Height();
        if (top >= client.bottom)
            break;
        const size_t begin = starts[line], end = LineEnd(starts, state.text, line);
        const std::string shown = Shown(hwnd, state, begin, end);
        const int origin = LineOrigin(hwnd, state, m.Width(shown.data(), shown.size()));
        TextOutA(dc, origin, top, shown.data(), static_cast<int>(shown.size()));
        const size_t from = std::clamp(selStart, begin, end), to = std::clamp(selEnd, begin, end);
        if (!showSelection || from >= to)
            continue;
        const RECT band{origin + m.Width(shown.data(), from - begin), top, origin + m.Width(shown.data(), to - begin),
                        top + m.Height()};
        FillRect(dc, &band, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        TextOutA(dc, band.left, top, shown.data() + (from - begin), static_cast<int>(to - from));
        SetTextColor(dc, textColour);
    }
    SelectObject(dc, oldFont);
}

// A line's text for EM_GETLINE: the buffer's first WORD holds its size in characters; no NUL is added.
LRESULT CopyLine(HWND hwnd, const EditState& state, WPARAM line, LPARAM buffer) {
    auto* out = reinterpret_cast<char*>(buffer);
    if (!out)
        return 0;
    WORD size = 0;
    std::memcpy(&size, out, sizeof size);
    const std::vector<size_t> starts = LineStarts(hwnd, state.text);
    const size_t index = Multiline(hwnd) ? static_cast<size_t>(line) : 0;
    if (index >= starts.size())
        return 0;
    const size_t begin = starts[index];
    const size_t count = std::min<size_t>(size, LineEnd(starts, state.text, index) - begin);
    std::memcpy(out, state.text.data() + begin, count);
    return static_cast<LRESULT>(count);
}

LRESULT EditMessage(HWND hwnd, EditState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case EM_GETSEL: {
        const auto start = static_cast<DWORD>(SelStart(state)), end = static_cast<DWORD>(SelEnd(state));
        if (wParam)
            *reinterpret_cast<DWORD*>(wParam) = start;
        if (lParam)
            *reinterpret_cast<DWORD*>(lParam) = end;
        return MAKELONG(std::min<DWORD>(start, 0xFFFF), std::min<DWORD>(end, 0xFFFF));
    }
    case EM_SETSEL: {
        const auto start = static_cast<long long>(static_cast<int>(wParam));
        const auto end = static_cast<long long>(static_cast<int>(lParam));
        if (start == -1) {
            SetSelection(hwnd, state, state.caret, state.caret);
            return 0;
        }
        const size_t length = state.text.size();
        const size_t to = end < 0 ? length : static_cast<size_t>(end);
        SetSelection(hwnd, state, start < 0 ? length : static_cast<size_t>(start), to);
        return 0;
    }
    case EM_REPLACESEL: {
        std::string text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
        ReplaceSelection(hwnd, state, std::move(text), false);
        return 0;
    }
    case EM_LIMITTEXT: state.limit = wParam ? std::min<size_t>(wParam, kLargestLimit) : kLargestLimit; return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(state.limit);
    case EM_SETREADONLY: {
        const LONG style = StyleOf(hwnd);
        SetWindowLongA(hwnd, GWL_STYLE, wParam ? style | ES_READONLY : style & ~ES_READONLY);
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case EM_GETMODIFY: return state.modified;
    case EM_SETMODIFY: state.modified = wParam != 0; return 0;
    case EM_GETLINECOUNT: return static_cast<LRESULT>(LineStarts(hwnd, state.text).size());
    case EM_LINEINDEX: {
        const std::vector<size_t> starts = LineStarts(hwnd, state.text);
        const size_t line = static_cast<int>(wParam) < 0 ? LineOf(starts, state.caret) : wParam;
        return line < starts.size() ? static_cast<LRESULT>(starts[line]) : -1;
    }
    case EM_LINEFROMCHAR: {
        const std::vector<size_t> starts = LineStarts(hwnd, state.text);
        const size_t index = static_cast<int>(wParam) < 0 ? SelStart(state) : std::min(wParam, state.text.size());
        return static_cast<LRESULT>(LineOf(starts, index));
    }
    case EM_LINELENGTH: {
        const std::vector<size_t> starts = LineStarts(hwnd, state.text);
        const size_t index = static_cast<int>(wParam) < 0 ? SelStart(state) : std::min(wParam, state.text.size());
        const size_t line = LineOf(starts, index);
        return static_cast<LRESULT>(LineEnd(starts, state.text, line) - starts[line]);
    }
    case EM_GETLINE: return CopyLine(hwnd, state, wParam, lParam);
    case EM_GETFIRSTVISIBLELINE: return state.firstLine;
    case EM_POSFROMCHAR: {
        if (wParam > state.text.size())
            return -1;
        Measure m(state);
        const POINT at = PositionOf(hwnd, state, m, wParam);
        return MAKELONG(static_cast<WORD>(at.x), static_cast<WORD>(at.y));
    }
    case EM_CHARFROMPOS: {
        Measure m(state);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const size_t index = IndexAt(hwnd, state, m, at);
        const size_t line = LineOf(LineStarts(hwnd, state.text), index);
        return MAKELONG(static_cast<WORD>(index), static_cast<WORD>(line));
    }
    case EM_GETRECT:
        if (auto* rect = reinterpret_cast<RECT*>(lParam)) {
            GetClientRect(hwnd, rect);
            InflateRect(rect, -kMarginX, -kMarginY);
        }
        return 0;
    case EM_SCROLLCARET:
        ShowCaretPlace(hwnd, state);
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case EM_SETPASSWORDCHAR: {
        const LONG style = StyleOf(hwnd);
        if (wParam)
            state.password = static_cast<char>(wParam);
        SetWindowLongA(hwnd, GWL_STYLE, wParam ? style | ES_PASSWORD : style & ~ES_PASSWORD);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case EM_GETPASSWORDCHAR: return StyleOf(hwnd) & ES_PASSWORD ? static_cast<unsigned char>(state.password) : 0;
    case EM_CANUNDO:
    case EM_UNDO:
    case WM_UNDO:
    case EM_EMPTYUNDOBUFFER: return FALSE; // no undo is kept
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    EditState* state = ControlState<EditState>(hwnd, message, kStateProp);
    if (!state)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_CREATE: state->text = ControlText(hwnd); return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintControl(hwnd, wParam, [state](HWND h, HDC dc) { Paint(h, dc, *state); });
    case WM_ERASEBKGND: return TRUE;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN && Multiline(hwnd) &&
            (StyleOf(hwnd) & ES_WANTRETURN))
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_SETTEXT:
        state->text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
        state->anchor = state->caret = 0;
        state->scrollX = 0;
        state->firstLine = 0;
        state->modified = false;
        Changed(hwnd, *state);
        NotifyParent(hwnd, EN_CHANGE);
        return TRUE;
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        ShowCaretPlace(hwnd, *state);
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_ENABLE:
    case WM_SIZE:
        ShowCaretPlace(hwnd, *state);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_SETFOCUS:
        state->focused = true;
        CreateCaret(hwnd, nullptr, 1, FontLineHeight(state->font));
        ShowCaretPlace(hwnd, *state);
        ShowCaret(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        NotifyParent(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        state->focused = false;
        state->selecting = false;
        DestroyCaret();
        InvalidateRect(hwnd, nullptr, FALSE);
        NotifyParent(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_CHAR: TypeChar(hwnd, *state, static_cast<char>(wParam)); return 0;
    case WM_KEYDOWN: KeyDown(hwnd, *state, wParam); return 0;
    case WM_LBUTTONDOWN: {
        SetFocus(hwnd);
        Measure m(*state);
        const size_t at =
            IndexAt(hwnd, *state, m, {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        MoveCaret(hwnd, *state, at, (wParam & MK_SHIFT) != 0);
        state->selecting = true;
        SetCapture(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (state->selecting) {
            Measure m(*state);
            MoveCaret(
                hwnd, *state,
                IndexAt(hwnd, *state, m, {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}),
                true);
        }
        return 0;
    case WM_LBUTTONUP:
        if (state->selecting) {
            state->selecting = false;
            ReleaseCapture();
        }
        return 0;
    case WM_LBUTTONDBLCLK: {
        // A double click selects the word under the pointer.
        Measure m(*state);
        const size_t at =
            IndexAt(hwnd, *state, m, {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        auto word = [&](size_t i) {
            return i < state->text.size() && !std::isspace(static_cast<unsigned char>(state->text[i]));
        };
        size_t begin = at, end = at;
        while (begin > 0 && word(begin - 1))
            --begin;
        while (word(end))
            ++end;
        SetSelection(hwnd, *state, begin, end);
        return 0;
    }
    case WM_COPY: Copy(hwnd, *state); return 0;
    case WM_CUT:
        Copy(hwnd, *state);
        DeleteSelection(hwnd, *state);
        return 0;
    case WM_CLEAR: DeleteSelection(hwnd, *state); return 0;
    case WM_PASTE: Paste(hwnd, *state); return 0;
    default: return EditMessage(hwnd, *state, message, wParam, lParam);
    }
}

} // namespace

namespace win32 {

void RegisterEditClass() {
    RegisterControlClass(WC_EDITA, EditProc, 0, CS_DBLCLKS | CS_PARENTDC, IDC_IBEAM);
}

} // namespace win32

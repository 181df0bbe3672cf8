// Message boxes through the modal request service. Locks: none of its own.
#include "WinMessageBox.h"

#include <algorithm>
#include <vector>

#include "WinDialogs.h"
#include "WinGdi.h"
#include "WinIcons.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinThreads.h"
#include "WinUser.h"
#include "WinUserDraw.h"
#include "internal/DialogTemplates.h"
#include "internal/ModalService.h"
#include "internal/WindowManager.h"
#include "winerror.h"

namespace {

std::vector<int> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OK: return {IDOK};
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE: return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default: return {};
    }
}

const char* ButtonText(int id) {
    switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "&Abort";
    case IDRETRY: return "&Retry";
    case IDIGNORE: return "&Ignore";
    case IDYES: return "&Yes";
    case IDNO: return "&No";
    case IDTRYAGAIN: return "&Try Again";
    case IDCONTINUE: return "&Continue";
    default: return "Help";
    }
}

LPCSTR IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return IDI_HAND;
    case MB_ICONQUESTION: return IDI_QUESTION;
    case MB_ICONEXCLAMATION: return IDI_EXCLAMATION;
    case MB_ICONASTERISK: return IDI_ASTERISK;
    default: return nullptr;
    }
}

constexpr int kIconId = 20;
constexpr int kTextId = 0xFFFF;
constexpr int kMargin = 7;       // dialog units
constexpr int kButtonWidth = 50; // dialog units
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 4;
constexpr int kMaxTextWidth = 360; // pixels: a longer line wraps

struct Box {
    UINT type;
    std::vector<int> buttons;
    int defaultId;
};

// The box's template: the icon at the top left, the text beside it, the buttons in a centred row below.
win32::DialogResource BoxTemplate(const std::string& text, const std::string& caption, const Box& box) {
    const LONG units = GetDialogBaseUnits();
    const int baseX = LOWORD(units), baseY = HIWORD(units);
    auto unitsX = [&](int pixels) { return (pixels * 4 + baseX - 1) / baseX; };
    auto unitsY = [&](int pixels) { return (pixels * 8 + baseY - 1) / baseY; };
    RECT extent{0, 0, kMaxTextWidth, 0};
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextA(dc, text.c_str(), -1, &extent, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const bool icon = IconOf(box.type) != nullptr;
    const int iconWidth = icon ? unitsX(32) : 0, iconHeight = icon ? unitsY(32) : 0;
    const int textX = kMargin + (icon ? iconWidth + kMargin : 0);
    const int textWidth = unitsX(extent.right) + 2, textHeight = unitsY(extent.bottom);
    const int content = std::max(iconHeight, textHeight);
    const int count = static_cast<int>(box.buttons.size());
    const int row = count * kButtonWidth + (count - 1) * kButtonGap;
    const int width = std::max(textX + textWidth + kMargin, row + 2 * kMargin);
    const int rowY = kMargin + content + 2 * kMargin;

    win32::DialogResource d{};
    d.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    d.cx = static_cast<short>(width);
    d.cy = static_cast<short>(rowY + kButtonHeight + kMargin);
    d.caption = caption;
    if (icon)
        d.items.push_back({"STATIC", static_cast<UINT>(kIconId), "", SS_ICON | WS_VISIBLE, 0, kMargin, kMargin,
                           static_cast<short>(iconWidth), static_cast<short>(iconHeight)});
    const int textY = kMargin + (content - textHeight) / 2;
    d.items.push_back({"STATIC", static_cast<UINT>(kTextId), text, SS_LEFT | SS_NOPREFIX | WS_VISIBLE | WS_GROUP, 0,
                       static_cast<short>(textX), static_cast<short>(textY), static_cast<short>(textWidth),
                       static_cast<short>(textHeight)});
    int x = (width - row) / 2;
    for (int id : box.buttons) {
        const DWORD style = (id == box.defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP | WS_VISIBLE |
                            (id == box.buttons.front() ? WS_GROUP : 0);
        d.items.push_back({"BUTTON", static_cast<UINT>(id), ButtonText(id), style, 0, static_cast<short>(x),
                           static_cast<short>(rowY), kButtonWidth, kButtonHeight});
        x += kButtonWidth + kButtonGap;
    }
    return d;
}

INT_PTR CALLBACK BoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto* box = reinterpret_cast<const Box*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        if (LPCSTR icon = IconOf(box->type))
            SendDlgItemMessageA(dialog, kIconId, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, icon)), 0);
        if (HWND button = GetDlgItem(dialog, box->defaultId))
            SetFocus(button);
        return FALSE;
    }
    case WM_COMMAND: {
        const auto* box = reinterpret_cast<const Box*>(GetWindowLongPtrA(dialog, DWLP_USER));
        const int id = LOWORD(wParam);
        // Escape and the close box come as IDCANCEL: a box without a Cancel button stays up.
        if (box && std::find(box->buttons.begin(), box->buttons.end(), id) != box->buttons.end())
            EndDialog(dialog, id);
        return TRUE;
    }
    default: return FALSE;
    }
}

} // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const std::vector<int> buttons = ButtonsOf(type);
    if (buttons.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const size_t defaultIndex = std::min<size_t>((type & MB_DEFMASK) >> 8, buttons.size() - 1);
    win32::ModalRequest request;
    request.kind = win32::ModalKind::MessageBox;
    request.owner = owner;
    request.text = text ? text : "";
    request.caption = caption ? caption : "Error";
    request.style = type;
    win32::internal::DisabledOwner waiting(owner);
    auto offered = [&](INT_PTR answer) {
        return std::find(buttons.begin(), buttons.end(), static_cast<int>(answer)) != buttons.end();
    };
    // An answer a script gives outright needs no window; otherwise the box is a real dialog, so that a script's
    // steps or a display host see it and press its buttons.
    INT_PTR answer;
    const Box box{type, buttons, buttons[defaultIndex]};
    HWND window = nullptr;
    if (!win32::internal::AnsweredOutright(request)) {
        // A worker's box has no owner window: the owner's thread may be waiting for the worker.
        win32::DialogResource resource = BoxTemplate(request.text, request.caption, box);
        window = win32::internal::CreateDialogFromTemplate(nullptr, resource, waiting.Root(), BoxProc,
                                                           reinterpret_cast<LPARAM>(&box), true);
    }
    if (window)
        answer = win32::internal::RunModalDialog(window, request, box.defaultId, offered);
    else
        answer = win32::internal::ResolveModalRequest(request, box.defaultId, offered);
    return static_cast<int>(answer);
}

int MessageBoxExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD) {
    return MessageBoxA(owner, text, caption, type);
}

BOOL MessageBeep(UINT type) {
    win32::internal::RecordBeep(type);
    return TRUE;
}

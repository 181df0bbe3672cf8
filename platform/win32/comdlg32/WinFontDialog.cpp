// The font chooser over the modal request service. Locks: the request list's own lock, never held while the
// request is answered (its steps may ask for more).
#include "WinFontDialog.h"

#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "WinFontDialogControl.h"
#include "WinInput.h"
#include "WinMessageBox.h"
#include "WinPaint.h"
#include "WinThreads.h"
#include "WinUser.h"
#include "commdlg.h"
#include "internal/CommDlgError.h"
#include "internal/ModalService.h"

namespace {

struct Requests {
    std::mutex lock;
    std::vector<win32::FontDialogRequest> list;
};

Requests& TheRequests() {
    static auto* requests = new Requests; // never destroyed: a worker may still ask during static destruction
    return *requests;
}

struct Choice {
    LOGFONTA font;
    COLORREF colour;
};

// The choice made inside the request being answered on this thread, and the request.
thread_local std::optional<Choice>* t_choice = nullptr;
thread_local const win32::FontDialogRequest* t_request = nullptr;

int ScreenPixelsPerInch() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The size in tenths of a point of a font whose height is given in pixels (negative: the character height).
int TenthsOfPoint(LONG height) {
    const long long pixels = height < 0 ? -static_cast<long long>(height) : height;
    return static_cast<int>((pixels * 720 + ScreenPixelsPerInch() / 2) / ScreenPixelsPerInch());
}

LOGFONTA DefaultFont() {
    LOGFONTA font{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    return font;
}

bool SizeAllowed(const CHOOSEFONTA& cf, int tenths, HWND owner) {
    if (!(cf.Flags & CF_LIMITSIZE))
        return true;
    const int points = (tenths + 5) / 10;
    if (points >= cf.nSizeMin && points <= cf.nSizeMax)
        return true;
    const std::string text =
        "Size must be between " + std::to_string(cf.nSizeMin) + " and " + std::to_string(cf.nSizeMax) + " points.";
    MessageBoxA(owner, text.c_str(), "Font", MB_OK | MB_ICONEXCLAMATION);
    return false;
}

} // namespace

namespace win32 {

void ChooseFontChoice(const LOGFONTA& font, COLORREF colour) {
    if (t_choice != nullptr)
        *t_choice = Choice{font, colour};
}

const FontDialogRequest* CurrentFontDialogRequest() {
    return t_request;
}

void QueueFontDialogChoice(const LOGFONTA& font, COLORREF colour, const std::string& match) {
    QueueModalSteps(
        ModalKind::Font,
        [font, colour](const ModalRequest&, HWND) {
            ChooseFontChoice(font, colour);
            return static_cast<INT_PTR>(IDOK);
        },
        match);
}

std::vector<FontDialogRequest> FontDialogRequests() {
    std::lock_guard guard(TheRequests().lock);
    return TheRequests().list;
}

void ClearFontDialogRequests() {
    std::lock_guard guard(TheRequests().lock);
    TheRequests().list.clear();
}

} // namespace win32

BOOL ChooseFontA(LPCHOOSEFONTA cf) {
    if (cf == nullptr || cf->lStructSize != sizeof(CHOOSEFONTA)) {
        win32::internal::SetCommDlgError(CDERR_STRUCTSIZE);
        return FALSE;
    }
    if (cf->lpLogFont == nullptr) {
        win32::internal::SetCommDlgError(CDERR_INITIALIZATION);
        return FALSE;
    }
    win32::internal::SetCommDlgError(0);
    win32::FontDialogRequest record;
    record.owner = cf->hwndOwner;
    record.flags = cf->Flags;
    record.initial = cf->Flags & CF_INITTOLOGFONTSTRUCT ? *cf->lpLogFont : DefaultFont();
    record.initialColour = cf->rgbColors;

    win32::ModalRequest request;
    request.kind = win32::ModalKind::Font;
    request.owner = cf->hwndOwner;
    request.caption = "Font";
    request.text.assign(record.initial.lfFaceName, strnlen(record.initial.lfFaceName, LF_FACESIZE));
    std::optional<Choice> choice;
    INT_PTR answer;
    {
        win32::internal::DisabledOwner waiting(cf->hwndOwner);
        std::optional<Choice>* outer = t_choice;
        const win32::FontDialogRequest* outerRequest = t_request;
        t_choice = &choice;
        t_request = &record;
        auto valid = [](INT_PTR a) { return a == IDOK || a == IDCANCEL; };
        answer = win32::internal::ResolveModalRequest(request, IDCANCEL, valid);
        t_choice = outer;
        t_request = outerRequest;
    }

    BOOL result = FALSE;
    if (answer == IDOK) {
        const LOGFONTA font = choice ? choice->font : record.initial;
        const int tenths = TenthsOfPoint(font.lfHeight);
        if (SizeAllowed(*cf, tenths, cf->hwndOwner)) {
            *cf->lpLogFont = font;
            cf->iPointSize = tenths;
            cf->nFontType = static_cast<WORD>(SCREEN_FONTTYPE | (font.lfWeight >= FW_BOLD ? BOLD_FONTTYPE : 0) |
                                              (font.lfItalic ? ITALIC_FONTTYPE : 0) |
                                              (font.lfWeight < FW_BOLD && !font.lfItalic ? REGULAR_FONTTYPE : 0));
            if ((cf->Flags & CF_EFFECTS) && choice)
                cf->rgbColors = choice->colour;
            record.chose = true;
            record.chosen = font;
            record.chosenColour = cf->rgbColors;
            result = TRUE;
        }
    }
    {
        std::lock_guard guard(TheRequests().lock);
        TheRequests().list.push_back(record);
    }
    return result;
}

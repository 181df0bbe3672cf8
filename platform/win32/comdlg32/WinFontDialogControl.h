// Simulation control of the font chooser (not part of the platform's interface): what a request asked for and
// what it chose, and how a test or display host chooses a font.
#pragma once

#include <string>
#include <vector>

#include "WinFontDialog.h"
#include "WinUiControl.h"

namespace win32 {

struct FontDialogRequest {
    HWND owner = nullptr;
    DWORD flags = 0;
    LOGFONTA initial{};
    COLORREF initialColour = 0;
    bool chose = false; // TRUE came back
    LOGFONTA chosen{};
    COLORREF chosenColour = 0;
};

// Inside the steps of a font request (or a display driver's Run of it): the font (and, with CF_EFFECTS, the
// colour) the user picked.
void ChooseFontChoice(const LOGFONTA& font, COLORREF colour = 0);
// Inside the same: what the request asks for (flags, initial font and colour); null on a thread that is
// answering no font request.
const FontDialogRequest* CurrentFontDialogRequest();
// Queues a font answer that picks `font` (matching as QueueModalAnswer, by the initial face name).
void QueueFontDialogChoice(const LOGFONTA& font, COLORREF colour = 0, const std::string& match = {});
std::vector<FontDialogRequest> FontDialogRequests();
void ClearFontDialogRequests();

} // namespace win32

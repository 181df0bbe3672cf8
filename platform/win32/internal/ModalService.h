// Internal to the user-mode stand-in: the one service every modal request goes through (message boxes here;
// dialogs, pop-up menus and the common dialogs where they are built).
#pragma once

#include <functional>
#include <optional>

#include "WinUiControl.h"

namespace win32::internal {

// The window of a modal request that has one (a box, a dialog, a menu): a script's steps and a display
// driver's loop get it, and `result` gives its own answer once it has ended (nothing while it is up).
struct ModalWindow {
    HWND hwnd = nullptr;
    std::function<std::optional<INT_PTR>()> result;
};

// Records the request and answers it, on the calling thread: the display driver's answer when it answers
// modal requests, else the next queued script of its kind whose match the text or caption holds, else
// `defaultAnswer` (the request is then reported as unexpected). A script's steps and the driver get `window`
// (a window's own result, once it ended, is the answer). An answer `isValid` rejects is reported and replaced by
// the default.
INT_PTR ResolveModalRequest(ModalRequest request, INT_PTR defaultAnswer,
                            const std::function<bool(INT_PTR)>& isValid = {}, const ModalWindow& window = {});

// True when the request would be answered at once, with no window: the driver leaves modal requests to the
// scripts, and the next script that matches it is an answer without steps.
bool AnsweredOutright(const ModalRequest& request);

void RecordBeep(UINT type);

// While a modal request is up its owner's top-level window waits, disabled (and is activated again after); an
// owner of another thread is left alone, so that a worker's request never waits for the thread that owns it.
class DisabledOwner {
public:
    explicit DisabledOwner(HWND owner);
    ~DisabledOwner();
    DisabledOwner(const DisabledOwner&) = delete;
    DisabledOwner& operator=(const DisabledOwner&) = delete;
    // The owner's top-level window when it belongs to the calling thread, else null.
    HWND Root() const { return m_root; }

private:
    HWND m_root = nullptr;
    HWND m_disabled = nullptr;
};

} // namespace win32::internal

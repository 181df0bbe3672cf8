// Internal to the user-mode stand-in: the one service every modal request goes through (message boxes here;
// dialogs, pop-up menus and the common dialogs where they are built).
#pragma once

#include <functional>

#include "../WinUiControl.h"

namespace win32::internal {

// Records the request and answers it, on the calling thread: a display host's answer, else the next queued
// script of its kind whose match the text or caption holds, else `defaultAnswer` (the request is then
// reported as unexpected). A script's steps run through `runSteps` (the caller's modal loop; null: called
// directly with no window). An answer `isValid` rejects is reported and replaced by the default.
INT_PTR ResolveModalRequest(ModalRequest request, INT_PTR defaultAnswer,
                            const std::function<bool(INT_PTR)>& isValid = {},
                            const std::function<INT_PTR(const ModalSteps&, const ModalRequest&)>& runSteps = {});

// True when the request would be answered at once, with no window: no display host, and the next script that
// matches it is an answer without steps.
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

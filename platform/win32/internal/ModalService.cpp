// Locks: the service's own lock around its lists; it is let go before the display driver, a script's steps or
// the failure handler runs (they may ask for more modal requests).
#include "ModalService.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>

#include "WinDisplayDriver.h"
#include "WinInput.h"
#include "WinMessages.h"
#include "WinSync.h"
#include "WinThreads.h"
#include "WinUser.h"
#include "WindowEvents.h"

namespace win32 {

namespace {

struct Service {
    std::mutex lock;
    std::deque<ModalScript> scripts;
    std::vector<ModalRequest> requests;
    std::vector<ModalRequest> unexpected;
    std::vector<UINT> beeps;
    bool strict = false;
    std::function<void(const ModalRequest&)> failureHandler;
};

Service& TheService() {
    static auto* service = new Service; // never destroyed: workers may still ask during static destruction
    return *service;
}

bool Matches(const ModalScript& script, const ModalRequest& request) {
    return script.kind == request.kind &&
           (script.match.empty() || request.text.find(script.match) != std::string::npos ||
            request.caption.find(script.match) != std::string::npos);
}

void Report(const ModalRequest& request, const char* why) {
    std::function<void(const ModalRequest&)> handler;
    bool strict;
    {
        Service& s = TheService();
        std::lock_guard guard(s.lock);
        s.unexpected.push_back(request);
        handler = s.failureHandler;
        strict = s.strict;
    }
    if (strict && handler) {
        handler(request);
        return;
    }
    std::fprintf(stderr, "%s %s \"%s\" (\"%s\") on thread %u\n", why, ModalKindName(request.kind), request.text.c_str(),
                 request.caption.c_str(), static_cast<unsigned>(request.thread));
}

// The loop a display driver runs a request in: the requesting thread's messages are handled as they come
// until the request's window has an answer or End gives one.
class ModalRun final : public ModalLoop {
public:
    ModalRun(const internal::ModalWindow& window, INT_PTR defaultAnswer)
        : window_(window), defaultAnswer_(defaultAnswer), thread_(GetCurrentThreadId()) {}

    INT_PTR Run() override {
        for (;;) {
            if (std::optional<INT_PTR> answer = Answer())
                return *answer;
            MSG msg;
            bool handled = false;
            // Sent messages are handled inside the peek even when it returns nothing, so the window's end is
            // looked at again after each one.
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(msg.wParam));
                    return defaultAnswer_;
                }
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
                handled = true;
                if (Answer())
                    break;
            }
            if (!handled && !Answer())
                MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
        }
    }

    void End(INT_PTR answer) override {
        {
            std::lock_guard guard(lock_);
            if (ended_)
                return;
            ended_ = true;
            answer_ = answer;
        }
        PostThreadMessageA(thread_, WM_NULL, 0, 0); // wakes the wait
    }

private:
    std::optional<INT_PTR> Answer() {
        if (window_.result)
            if (std::optional<INT_PTR> own = window_.result())
                return own;
        if (window_.hwnd && !IsWindow(window_.hwnd))
            return defaultAnswer_; // destroyed under the request
        std::lock_guard guard(lock_);
        return ended_ ? std::optional<INT_PTR>(answer_) : std::nullopt;
    }

    const internal::ModalWindow& window_;
    INT_PTR defaultAnswer_;
    DWORD thread_;
    std::mutex lock_;
    bool ended_ = false;
    INT_PTR answer_ = 0;
};

} // namespace

const char* ModalKindName(ModalKind kind) {
    switch (kind) {
    case ModalKind::MessageBox: return "message box";
    case ModalKind::Dialog: return "dialog";
    case ModalKind::PopupMenu: return "pop-up menu";
    case ModalKind::File: return "file dialog";
    case ModalKind::Font: return "font dialog";
    case ModalKind::PrintSetup: return "print setup dialog";
    }
    return "modal request";
}

void QueueModalScript(ModalScript script) {
    Service& s = TheService();
    std::lock_guard guard(s.lock);
    s.scripts.push_back(std::move(script));
}

void QueueModalAnswer(ModalKind kind, INT_PTR answer, const std::string& match) {
    QueueModalScript({kind, match, answer, {}});
}

void QueueModalSteps(ModalKind kind, ModalSteps steps, const std::string& match) {
    QueueModalScript({kind, match, 0, std::move(steps)});
}

size_t PendingModalScripts() {
    Service& s = TheService();
    std::lock_guard guard(s.lock);
    return s.scripts.size();
}

std::vector<ModalRequest> ModalRequests() {
    Service& s = TheService();
    std::lock_guard guard(s.lock);
    return s.requests;
}

std::vector<ModalRequest> UnexpectedModalRequests() {
    Service& s = TheService();
    std::lock_guard guard(s.lock);
    return s.unexpected;
}

void ClearModalRequests() {
    Service& s = TheService();
    std::lock_guard guard(s.lock);
    s.scripts.clear();
    s.requests.clear();
    s.unexpected.clear();
    s.beeps.clear();
}

void SetModalStrict(bool strict) {
    Service& s = TheService();
    std::lock_guard guard(s.lock);
    s.strict = strict;
}

void SetModalFailureHandler(std::function<void(const ModalRequest&)> handler) {
    Service& s = TheService();
    std::lock_guard guard(s.lock);
    s.failureHandler = std::move(handler);
}

std::vector<UINT> MessageBeeps() {
    Service& s = TheService();
    std::lock_guard guard(s.lock);
    return s.beeps;
}

namespace internal {

void RecordBeep(UINT type) {
    Service& s = TheService();
    std::lock_guard guard(s.lock);
    s.beeps.push_back(type);
}

bool AnsweredOutright(const ModalRequest& request) {
    if (Display().AnswersModalRequests())
        return false;
    Service& s = TheService();
    std::lock_guard guard(s.lock);
    for (const ModalScript& script : s.scripts)
        if (Matches(script, request))
            return !script.steps;
    return false;
}

INT_PTR ResolveModalRequest(ModalRequest request, INT_PTR defaultAnswer, const std::function<bool(INT_PTR)>& isValid,
                            const ModalWindow& window) {
    Service& s = TheService();
    request.thread = GetCurrentThreadId();
    DisplayDriver& driver = Display();
    const bool hosted = driver.AnswersModalRequests();
    std::optional<ModalScript> script;
    if (!hosted) {
        std::lock_guard guard(s.lock);
        for (auto it = s.scripts.begin(); it != s.scripts.end(); ++it) {
            if (Matches(*it, request)) {
                script = std::move(*it);
                s.scripts.erase(it);
                break;
            }
        }
    }
    if (hosted) {
        ModalRun loop(window, defaultAnswer);
        request.answer = driver.Run(request, window.hwnd, loop);
    } else if (!script) {
        request.expected = false;
        request.answer = defaultAnswer;
        Report(request, "unexpected");
    } else if (script->steps) {
        request.answer = script->steps(request, window.hwnd);
        if (window.result)
            request.answer = window.result().value_or(request.answer);
    } else {
        request.answer = script->answer;
    }
    if (request.expected && isValid && !isValid(request.answer)) {
        request.expected = false;
        Report(request, "answer not offered by");
        request.answer = defaultAnswer;
    }
    std::lock_guard guard(s.lock);
    s.requests.push_back(request);
    return request.answer;
}

DisabledOwner::DisabledOwner(HWND owner) {
    HWND root = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    if (!root || GetWindowThreadProcessId(root, nullptr) != GetCurrentThreadId())
        return;
    m_root = root;
    if (IsWindowEnabled(root)) {
        EnableWindow(root, FALSE);
        m_disabled = root;
    }
}

DisabledOwner::~DisabledOwner() {
    if (m_disabled && IsWindow(m_disabled)) {
        EnableWindow(m_disabled, TRUE);
        SetActiveWindow(m_disabled);
    }
}

} // namespace internal

} // namespace win32

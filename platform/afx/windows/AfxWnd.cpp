// CWnd: handle maps, creation and the window procedure.
#include "AfxWnd.h"

#include <memory>
#include <mutex>
#include <unordered_map>

#include "AfxException.h"
#include "AfxWinApp.h"
#include "AfxWndClass.h"

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

namespace {

// Windows with a framework object, of every thread.
struct PermanentMap {
    std::mutex lock;
    std::unordered_map<HWND, CWnd*> windows;
};

PermanentMap& Permanent() {
    static PermanentMap map;
    return map;
}

// Objects made by FromHandle for windows without one; released at idle time.
struct TempMap {
    std::unordered_map<HWND, std::unique_ptr<CWnd>> windows;
    ~TempMap() {
        for (auto& entry : windows)
            entry.second->m_hWnd = nullptr; // the window is not theirs to destroy
    }
};

thread_local TempMap t_temp;

// The object being created on this thread, attached by the creation hook.
thread_local CWnd* t_pWndInit = nullptr;
thread_local MSG t_lastMsg{};

} // namespace

CWnd::CWnd() = default;

CWnd::~CWnd() {
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this) {
        // The object goes first: the window must not reach it any more.
        HWND hWnd = m_hWnd;
        Detach();
        ::DestroyWindow(hWnd);
    }
}

CWnd* PASCAL CWnd::FromHandlePermanent(HWND hWnd) {
    if (hWnd == nullptr)
        return nullptr;
    PermanentMap& map = Permanent();
    std::lock_guard guard(map.lock);
    auto it = map.windows.find(hWnd);
    return it != map.windows.end() ? it->second : nullptr;
}

CWnd* PASCAL CWnd::FromHandle(HWND hWnd) {
    if (hWnd == nullptr)
        return nullptr;
    if (CWnd* pWnd = FromHandlePermanent(hWnd))
        return pWnd;
    auto& slot = t_temp.windows[hWnd];
    if (!slot) {
        slot = std::make_unique<CWnd>();
        slot->m_hWnd = hWnd;
    }
    return slot.get();
}

void AFXAPI AfxDeleteTempMap() {
    for (auto& entry : t_temp.windows)
        entry.second->m_hWnd = nullptr;
    t_temp.windows.clear();
}

const MSG* AFXAPI AfxGetCurrentMessage() {
    return &t_lastMsg;
}

BOOL CWnd::Attach(HWND hWndNew) {
    if (hWndNew == nullptr || m_hWnd != nullptr)
        return FALSE;
    PermanentMap& map = Permanent();
    std::lock_guard guard(map.lock);
    if (map.windows.count(hWndNew) != 0)
        return FALSE;
    map.windows[hWndNew] = this;
    m_hWnd = hWndNew;
    // A temporary object of the window is out of date now.
    auto it = t_temp.windows.find(hWndNew);
    if (it != t_temp.windows.end())
        it->second->m_hWnd = nullptr;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr) {
        PermanentMap& map = Permanent();
        std::lock_guard guard(map.lock);
        auto it = map.windows.find(hWnd);
        if (it != map.windows.end() && it->second == this)
            map.windows.erase(it);
    }
    m_hWnd = nullptr;
    return hWnd;
}

void CWnd::PreSubclassWindow() {}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!Attach(hWnd))
        return FALSE;
    PreSubclassWindow();
    auto previous =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    // Already a framework window: its default processing stays what it was.
    if (previous != &AfxWndProc)
        m_pfnSuper = previous;
    else if (m_pfnSuper == nullptr)
        m_pfnSuper = &::DefWindowProcA;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    HWND hWndControl = ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID));
    return hWndControl != nullptr && SubclassWindow(hWndControl);
}

HWND CWnd::UnsubclassWindow() {
    if (m_pfnSuper != nullptr)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    return Detach();
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs) {
    if (cs.lpszClass == nullptr)
        cs.lpszClass = AfxDefaultWndClass();
    return TRUE;
}

BOOL CWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                  UINT nID, CCreateContext* pContext) {
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), pContext);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                    CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), lpParam);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam) {
    CREATESTRUCT cs{};
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = static_cast<LONG>(dwStyle);
    cs.x = x;
    cs.y = y;
    cs.cx = nWidth;
    cs.cy = nHeight;
    cs.hwndParent = hWndParent;
    cs.hMenu = nIDorHMenu;
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs)) {
        PostNcDestroy();
        return FALSE;
    }
    // The object attaches to its window before the window's first message, whatever its class: a creation
    // hook hands it the window, whose procedure becomes the framework's; the class's own procedure does the
    // default processing.
    CWnd* pPreviousInit = t_pWndInit;
    t_pWndInit = this;
    HHOOK hHook = ::SetWindowsHookExA(WH_CBT, &AfxCbtFilterHook, nullptr, ::GetCurrentThreadId());
    HWND hWnd = ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y,
                                  cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    if (hHook != nullptr)
        ::UnhookWindowsHookEx(hHook);
    // A window that never came to be leaves the object unattached; it is cleaned up as after a destruction.
    bool neverAttached = t_pWndInit == this;
    t_pWndInit = pPreviousInit;
    if (neverAttached) {
        PostNcDestroy();
        return FALSE;
    }
    // A window that existed for a moment (WM_CREATE refused it) already ran PostNcDestroy, which may have
    // deleted this object: nothing of it is touched then.
    if (hWnd == nullptr)
        return FALSE;
    return m_hWnd == hWnd;
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CWnd::PostNcDestroy() {}

LRESULT CALLBACK AfxCbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HCBT_CREATEWND && t_pWndInit != nullptr) {
        CWnd* pWnd = t_pWndInit;
        t_pWndInit = nullptr;
        auto hWnd = reinterpret_cast<HWND>(wParam);
        if (pWnd->Attach(hWnd)) {
            auto previous = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
            pWnd->m_pfnSuper = previous != nullptr && previous != &AfxWndProc ? previous : &::DefWindowProcA;
        }
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, nMsg, wParam, lParam);

    MSG previous = t_lastMsg;
    t_lastMsg = MSG{hWnd, nMsg, wParam, lParam, 0, {0, 0}};
    LRESULT lResult = 0;
    try {
        lResult = pWnd->WindowProc(nMsg, wParam, lParam);
    } catch (CException* e) {
        // A handler's failure is shown and the message counts as handled, as the framework always did.
        e->ReportError();
        e->Delete();
        lResult = nMsg == WM_CREATE ? -1 : 0;
    }
    t_lastMsg = previous;
    if (nMsg == WM_NCDESTROY && CWnd::FromHandlePermanent(hWnd) == pWnd) {
        // The end of the main window is the end of the program's message loop.
        CWinApp* pApp = AfxGetApp();
        if (pApp != nullptr && pApp->m_pMainWnd == pWnd) {
            pApp->m_pMainWnd = nullptr;
            ::PostQuitMessage(0);
        }
        pWnd->Detach();
        pWnd->PostNcDestroy();
    }
    return lResult;
}

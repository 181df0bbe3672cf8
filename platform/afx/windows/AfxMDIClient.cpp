// The MDI client's window procedure. The active child is kept in the client's user data; the children's order
// is the window system's z-order, the active child first.
#include "AfxMDIClient.h"

#include <algorithm>
#include <vector>

namespace {

// The visible children, topmost first.
std::vector<HWND> Children(HWND hClient) {
    std::vector<HWND> children;
    for (HWND h = ::GetWindow(hClient, GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT))
        children.push_back(h);
    return children;
}

HWND StoredActive(HWND hClient) {
    auto hActive = reinterpret_cast<HWND>(::GetWindowLongPtrA(hClient, GWLP_USERDATA));
    // A child destroyed without a word leaves the topmost remaining one active.
    if (hActive != nullptr && (!::IsWindow(hActive) || ::GetParent(hActive) != hClient)) {
        std::vector<HWND> children = Children(hClient);
        hActive = children.empty() ? nullptr : children.front();
        ::SetWindowLongPtrA(hClient, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hActive));
    }
    return hActive;
}

void Activate(HWND hClient, HWND hChild) {
    HWND hOld = StoredActive(hClient);
    if (hChild != nullptr)
        ::SetWindowPos(hChild, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (hOld == hChild)
        return;
    ::SetWindowLongPtrA(hClient, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hChild));
    // Each child hears of the change: wParam the child losing, lParam the child gaining the activation.
    if (hOld != nullptr)
        ::SendMessageA(hOld, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(hOld), reinterpret_cast<LPARAM>(hChild));
    if (hChild != nullptr)
        ::SendMessageA(hChild, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(hOld), reinterpret_cast<LPARAM>(hChild));
}

void Cascade(HWND hClient) {
    RECT client;
    ::GetClientRect(hClient, &client);
    std::vector<HWND> children = Children(hClient);
    const int step = ::GetSystemMetrics(SM_CYCAPTION) + ::GetSystemMetrics(SM_CYFRAME);
    const int width = (client.right - client.left) * 2 / 3;
    const int height = (client.bottom - client.top) * 2 / 3;
    // The bottom one first, so that the active child (the topmost) ends furthest down and on top.
    int n = 0;
    for (auto it = children.rbegin(); it != children.rend(); ++it, ++n)
        ::SetWindowPos(*it, nullptr, n * step, n * step, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Tile(HWND hClient, UINT how) {
    RECT client;
    ::GetClientRect(hClient, &client);
    std::vector<HWND> children = Children(hClient);
    if (children.empty())
        return;
    const int n = static_cast<int>(children.size());
    int columns = 1;
    while (columns * columns < n)
        ++columns;
    int rows = (n + columns - 1) / columns;
    if (how & MDITILE_HORIZONTAL)
        std::swap(columns, rows);
    const int width = (client.right - client.left) / columns;
    const int height = (client.bottom - client.top) / rows;
    for (int i = 0; i < n; ++i) {
        int column = (how & MDITILE_HORIZONTAL) ? i % columns : i / rows;
        int row = (how & MDITILE_HORIZONTAL) ? i / columns : i % rows;
        ::SetWindowPos(children[static_cast<size_t>(i)], nullptr, column * width, row * height, width, height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

LRESULT CALLBACK MDIClientProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MDIACTIVATE: Activate(hWnd, reinterpret_cast<HWND>(wParam)); return 0;
    case WM_MDIGETACTIVE: {
        HWND hActive = StoredActive(hWnd);
        if (lParam != 0)
            *reinterpret_cast<BOOL*>(lParam) = hActive != nullptr && ::IsZoomed(hActive);
        return reinterpret_cast<LRESULT>(hActive);
    }
    case WM_MDINEXT: {
        std::vector<HWND> children = Children(hWnd);
        if (children.size() < 2)
            return 0;
        HWND hActive = StoredActive(hWnd);
        if (lParam == 0) {
            // The next one comes up; the active one goes to the bottom.
            HWND hNext = children[1];
            Activate(hWnd, hNext);
            if (hActive != nullptr)
                ::SetWindowPos(hActive, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        } else {
            Activate(hWnd, children.back());
        }
        return 0;
    }
    case WM_MDIMAXIMIZE: {
        auto hChild = reinterpret_cast<HWND>(wParam);
        RECT client;
        ::GetClientRect(hWnd, &client);
        ::ShowWindow(hChild, SW_MAXIMIZE);
        ::SetWindowPos(hChild, nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_MDIDESTROY:
        ::DestroyWindow(reinterpret_cast<HWND>(wParam));
        StoredActive(hWnd);
        return 0;
    case WM_MDICASCADE: Cascade(hWnd); return TRUE;
    case WM_MDITILE: Tile(hWnd, static_cast<UINT>(wParam)); return TRUE;
    default: return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
}

} // namespace

LPCTSTR AFXAPI AfxMDIClientClass() {
    WNDCLASSA wc{};
    if (::GetClassInfoA(nullptr, "MDICLIENT", &wc))
        return "MDICLIENT";
    wc.lpfnWndProc = &MDIClientProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_APPWORKSPACE + 1));
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "MDICLIENT";
    return ::RegisterClassA(&wc) != 0 ? "MDICLIENT" : nullptr;
}

// The Log Details pane in a window of its own, drawn as a user sees it, for tests that save its picture.
#pragma once

#include <string>

#include "afxwin.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/Pictures.h"

namespace decoder_test {

class LogDetailsWindow {
public:
    explicit LogDetailsWindow(int height) {
        m_created = m_owner.CreateEx(0, nullptr, "Log Details", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                     CRect(0, 0, 460, height), nullptr, 0) != FALSE;
        if (!m_created)
            return;
        CRect client;
        m_owner.GetClientRect(&client);
        m_created = m_pane.Grid().Create(client, &m_owner, 100) != FALSE;
    }
    ~LogDetailsWindow() {
        if (m_owner.m_hWnd != nullptr)
            m_owner.DestroyWindow();
    }
    LogDetailsWindow(const LogDetailsWindow&) = delete;
    LogDetailsWindow& operator=(const LogDetailsWindow&) = delete;

    bool Created() const { return m_created; }
    tdl::test::LogDetailsPane& Pane() { return m_pane; }

    // The window's picture, saved as fileName ("log_details_power.png").
    bool Save(const std::string& fileName) const { return tdl::test::SavePicture(m_owner.m_hWnd, fileName); }

private:
    CWnd m_owner;
    tdl::test::LogDetailsPane m_pane;
    bool m_created = false;
};

} // namespace decoder_test

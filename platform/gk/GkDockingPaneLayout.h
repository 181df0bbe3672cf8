// CGkDockingPaneLayout: a docking layout in a form that can be kept in the profile (one versioned value in a
// section such as "UserLayout") and applied to a manager later: bands, splits, tab groups with their active
// tabs, the closed state of each pane, sizes.
#pragma once

#include <vector>

#include "afxwin.h"

class CGkDockingPaneManager;

class CGkDockingPaneLayout {
public:
    explicit CGkDockingPaneLayout(CGkDockingPaneManager* pManager);

    // TRUE when a well-formed layout was read; otherwise FALSE and this layout unchanged.
    BOOL Load(LPCTSTR lpszSection);
    BOOL Save(LPCTSTR lpszSection) const;
    // Whether it holds a layout (from the manager or from Load).
    BOOL IsValid() const { return !m_bytes.empty(); }

    CGkDockingPaneManager* GetManager() const { return m_pManager; }
    const std::vector<BYTE>& GetBytes() const { return m_bytes; }
    // For the manager: FALSE, and nothing kept, for bytes that are not a well-formed layout.
    BOOL SetBytes(std::vector<BYTE> bytes);

private:
    CGkDockingPaneManager* m_pManager;
    std::vector<BYTE> m_bytes;
};

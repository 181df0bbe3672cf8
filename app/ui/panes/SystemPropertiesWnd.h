// CSystemPropertiesWnd: the window of the System Properties docking pane, which shows facts about this
// machine for a live capture ("System Information") or those stored in an opened capture file ("Log File
// Information"), as rows of one grid category. It is filled for the active document when it is made; the
// device tree fills it again when the computer's item is selected.
#pragma once

#include "app/ui/panes/PropertiesWnd.h"

class CGkPropertyGridItem;

class CSystemPropertiesWnd : public CPropertiesWnd {
    DECLARE_DYNAMIC(CSystemPropertiesWnd)
public:
    // The one category the rows go into.
    static constexpr UINT CategoryId = 5000;

    CSystemPropertiesWnd() = default;
    ~CSystemPropertiesWnd() override = default;
    CSystemPropertiesWnd(const CSystemPropertiesWnd&) = delete;
    CSystemPropertiesWnd& operator=(const CSystemPropertiesWnd&) = delete;

    // The category captioned "System Properties" again and emptied.
    void ResetCategory();
    // This machine's facts; a fact the system does not give stays empty.
    void ShowSystemInformation();
    // The facts stored in the active capture document; only the caption without one.
    void ShowLogFileInformation();

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    DECLARE_MESSAGE_MAP()

private:
    // A fill: the category emptied first; captioned and expanded at the end.
    CGkPropertyGridItem* BeginFill();
    void EndFill(LPCSTR lpszCaption);
};

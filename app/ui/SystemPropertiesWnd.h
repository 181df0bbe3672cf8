// CSystemPropertiesWnd: the window of the System Properties docking pane, which shows facts about this
// machine for a live capture ("System Information") or those stored in an opened capture file ("Log File
// Information").
//
// For now the window holds neither toolbar nor grid: they come with the System Properties pane, made in this
// window's creation.
#pragma once

#include "app/ui/PropertiesWnd.h"

class CSystemPropertiesWnd : public CPropertiesWnd {
    DECLARE_DYNAMIC(CSystemPropertiesWnd)
public:
    CSystemPropertiesWnd() = default;
    ~CSystemPropertiesWnd() override = default;
    CSystemPropertiesWnd(const CSystemPropertiesWnd&) = delete;
    CSystemPropertiesWnd& operator=(const CSystemPropertiesWnd&) = delete;

    // The category captioned "System Properties" again and emptied.
    void ResetCategory();
    // The machine's facts, or those of the active capture file.
    void ShowSystemInformation();
    void ShowLogFileInformation();
};

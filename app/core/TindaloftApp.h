// CTindaloftApp: the application object. It owns the live settings (m_Settings) and moves them between
// the registry, the program and the capture driver: at start CheckRegistryVersion, LoadAppSettings and
// GetDriverSettings, in that order; SaveAppSettings at exit and after the options dialog;
// SetDriverLoggingOptions whenever the capture options or the capture filter change.
#pragma once

#include "afx.h"
#include "app/core/AppSettings.h"
#include "common/FilterBlock.h"

class COXRegistryItem;

class CTindaloftApp {
public:
    // The layout of the application key this program writes; any other clears the key.
    static constexpr char RegistryVersion[] = "1.0";

    CTindaloftApp();
    virtual ~CTindaloftApp();
    CTindaloftApp(const CTindaloftApp&) = delete;
    CTindaloftApp& operator=(const CTindaloftApp&) = delete;

    // Clears the application key (settings, filters, triggers, profile) unless its "Version" is ours.
    void CheckRegistryVersion();
    // Reads the program's options from "AppSettings", writing the default of any that is missing.
    void LoadAppSettings();
    // The capture banks are always 262,144 bytes: the stored value is set so, and so is the setting.
    void LoadMaxLogBuffer(COXRegistryItem& item);
    void SaveAppSettings();
    // Reads the capture switches and sizes from the driver and switches off a filter it still holds. FALSE
    // when the driver cannot be reached (the user is told) or refuses.
    BOOL GetDriverSettings();
    // Sends the capture switches and sizes, with the filter block when there is one (nullptr: no filter).
    BOOL SetDriverLoggingOptions(const FILTER_BLOCK* pFilter);

    CAppSettings m_Settings;
};

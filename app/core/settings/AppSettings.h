// CAppSettings: every setting of the analyzer. The capture switches and size limits are the driver's (read
// from it at start and sent back as LOGGING_OPTIONS); the program's own options live in the registry under
// "AppSettings"; and every capture log stores a copy of the settings it was captured with, in the layout of
// its schema.
//
// The three per-transfer sizes are held as size codes 1..7; the driver speaks bytes (SizeCodeOfBytes and
// BytesOfSizeCode). Codes stay 32-bit in memory and in files.
#pragma once

#include "afx.h"

// Size codes: 1 = 8 bytes, 2 = 64, 3 = 65,536, 4 = 262,144, 5 = 524,288, 6 = 786,432, 7 = 1,048,576.
constexpr DWORD SIZE_CODE_FIRST = 1;
constexpr DWORD SIZE_CODE_LAST = 7;
// A size the table lacks reads as the smallest code.
DWORD SizeCodeOfBytes(DWORD dwBytes);
// A code outside the table (a damaged file, a driver's stray value) gives the smallest size.
DWORD BytesOfSizeCode(DWORD dwCode);

class CAppSettings : public CObject {
    DECLARE_SERIAL(CAppSettings)

public:
    // The layout this program stores.
    static constexpr UINT CurrentSchema = 12;
    // The size of each capture bank; the only value the program uses.
    static constexpr DWORD DefaultMaxLogBuffer = 262144;

    // Every field 0 except MaxLogBuffer; the defaults of the options are applied by whoever loads them.
    CAppSettings();
    // The same, for loading the layout of a file's schema.
    explicit CAppSettings(UINT nSchema);
    ~CAppSettings() override;

    // Stores the current layout (39 bytes); loads the layout of the object's schema (34 bytes for schema 4, 35
    // for 5, 36 for 6, 39 from 7), the fields it lacks as 0. Throws the archive's exceptions.
    void Serialize(CArchive& ar) override;

    UINT GetSchema() const { return m_nSchema; }
    void SetSchema(UINT nSchema) { m_nSchema = nSchema; }

    bool CaptureOnceOnBoot;   // capture on the next system boot (bit 0 of the boot-flag request)
    bool EnableMiniportHook;  // bit 1 of the boot-flag request
    DWORD MemlogFlags;        // the driver's event-log switches (not stored in files)
    bool AutoEnable;          // devices arriving while capturing are captured
    bool CaptureBulk;         // bulk and interrupt transfer data
    DWORD BulkMaxSize;        // size code
    bool CaptureCtrl;         // control transfer data
    DWORD CtrlMaxSize;        // size code
    bool CaptureIsoch;        // isochronous transfer data
    DWORD IsochMaxSize;       // size code
    bool CaptureUrbs;         // first of the ten per-kind switches
    bool CaptureHubInterface; // always 0
    bool CaptureUsbportHook;  // always 0
    bool CaptureUsbIntern;
    bool CaptureHubIoctl;
    bool CaptureHcdIoctl;
    bool CaptureHidIoctl;
    bool CaptureHidIntern;
    bool CapturePnp;
    bool CapturePower;
    DWORD MaxLogBuffer;       // bytes of each capture bank
    DWORD DetailsFontSize;    // font size step of the detail panes, 0..4
    bool HideDTOnLogging;     // capturing hides the device tree and stack inspector panes
    bool ContinuousLogging;   // the capture banks alternate instead of ending a full capture
    bool BackgroundLogging;   // the capture thread parses records itself
    bool AutoCloseProgress;   // the progress dialog closes itself after success
    bool IndependentHtmlHelp; // help opens through the shell
    bool CheckForUpdate;      // look for a newer version at start

private:
    UINT m_nSchema;
};

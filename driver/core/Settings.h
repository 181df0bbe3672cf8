// The driver's settings in the Parameters subkey of its service key: every value a REG_DWORD; a value that
// is absent (or not a four-byte REG_DWORD) leaves the setting as it was, so the value in memory is the default.
//
//   DebugLevel 4, TraceFlags 5                      read at entry, kept
//   BreakOnEntry, CaptureOnBoot, CaptureOnceOnBoot,
//   EnableMiniportHook, MemlogFlags (all 0)         boot parameters (g_Driver.Boot)
//   CaptureBulk, BulkMaxSize, CaptureCtrl, CtrlMaxSize, CaptureIsoch, IsochMaxSize, CaptureUrbs,
//   CaptureUsbIntern, CaptureHubIoctl, CaptureHubInterface, CaptureUsbportHook, CaptureHcdIoctl,
//   CaptureHidIoctl, CaptureHidIntern, CapturePnp, CapturePower
//                                                   capture settings (g_Driver.Capture), in this order
//
// Switches read from the registry are taken as 0/1; CaptureHubInterface and CaptureUsbportHook are always 0;
// sizes are clamped to LOGGING_OPTIONS_MAX_SIZE.
//
// Locks: none; registry access at PASSIVE_LEVEL. The settings in memory are bytes and words written whole.
#pragma once

#include "common/LoggingOptions.h"
#include "driver/core/Driver.h"

// The built-in capture settings: every switch on except CaptureHidIntern, CapturePower and the two hooks
// this driver does not have; 65,536 bytes per transfer.
void CaptureSettingsSetDefaults(PCAPTURE_SETTINGS settings);
// A per-transfer size as the driver keeps it: at most LOGGING_OPTIONS_MAX_SIZE.
ULONG CaptureSizeClamp(ULONG size);
// Takes the settings a client sent (bytes 2-26 of LOGGING_OPTIONS): transfer switches as 0/1, the other
// switches as sent, sizes clamped, the two hooks the driver lacks off.
void CaptureSettingsTake(PCAPTURE_SETTINGS settings, const LOGGING_OPTIONS* options);
// Fills bytes 2-26 of LOGGING_OPTIONS from the settings.
void CaptureSettingsPut(const CAPTURE_SETTINGS* settings, PLOGGING_OPTIONS options);

// Opens the service key and opens or creates its Parameters subkey; `created` tells whether it was new.
NTSTATUS OpenParametersKey(PHANDLE key, PBOOLEAN created);
// Reads one value of the Parameters key into `value`; on any failure `value` keeps what it held.
NTSTATUS QueryParameter(PCWSTR name, PULONG value);
// Writes one value into the Parameters key (creating the key when absent).
NTSTATUS SetParameter(ULONG value, PCWSTR name);

// BreakOnEntry, CaptureOnBoot, CaptureOnceOnBoot, EnableMiniportHook and MemlogFlags, then the capture
// settings.
void LoadBootParameters(void);
void LoadCaptureSettings(HANDLE parametersKey);
// Writes the sixteen capture values; failures are not reported (the settings in memory stand).
void SaveCaptureSettings(void);

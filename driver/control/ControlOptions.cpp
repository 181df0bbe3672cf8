// Control codes SET_LOGGING_OPTIONS and GET_LOGGING_OPTIONS: the capture settings and the capture filter.
//
// Locks: none. Settings are written byte by byte and word by word without a lock, so request capture may
// see a mix of old and new switches while a SET runs. The filter block is copied before it is put in force.
#include <cstddef>

#include "common/LoggingOptions.h"
#include "driver/control/ControlHandlers.h"
#include "driver/core/Driver.h"
#include "driver/core/Settings.h"

NTSTATUS ControlSetLoggingOptions(PCONTROL_REQUEST Request) {
    LOGGING_OPTIONS options;
    RtlCopyMemory(&options, Request->Buffer, sizeof options);

    CaptureSettingsTake(&g_Driver.Capture, &options);
    SaveCaptureSettings();

    // Without a filter the previous block stays in memory, out of force.
    if (options.FilterPresent != 0) {
        RtlCopyMemory(&g_Driver.CaptureFilter, &options.Filter, sizeof options.Filter);
    }
    g_Driver.FilterPresent = options.FilterPresent;
    return STATUS_SUCCESS;
}

NTSTATUS ControlGetLoggingOptions(PCONTROL_REQUEST Request) {
    LOGGING_OPTIONS options = {};
    CaptureSettingsPut(&g_Driver.Capture, &options);
    options.FilterPresent = g_Driver.FilterPresent;
    options.Filter = g_Driver.CaptureFilter; // also when not in force

    // The two reserved bytes at the start are the caller's and stay as sent.
    constexpr size_t FIRST_SETTING = offsetof(LOGGING_OPTIONS, CaptureBulk);
    RtlCopyMemory(static_cast<UCHAR*>(Request->Buffer) + FIRST_SETTING,
                  reinterpret_cast<const UCHAR*>(&options) + FIRST_SETTING, sizeof options - FIRST_SETTING);
    Request->Information = sizeof options;
    return STATUS_SUCCESS;
}

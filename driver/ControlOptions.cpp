// Control codes SET_LOGGING_OPTIONS and GET_LOGGING_OPTIONS: the capture settings and the capture filter.
//
// Locks: none. Settings are written byte by byte and word by word without a lock, so request capture may
// see a mix of old and new switches while a SET runs. The filter block is copied before it is put in force.
#include <cstddef>

#include "common/LoggingOptions.h"
#include "driver/ControlHandlers.h"
#include "driver/Driver.h"
#include "driver/Settings.h"

NTSTATUS ControlSetLoggingOptions(PCONTROL_REQUEST Request) {
    LOGGING_OPTIONS options;
    RtlCopyMemory(&options, Request->Buffer, sizeof options);

    PCAPTURE_SETTINGS settings = &g_Driver.Capture;
    settings->CaptureBulk = options.CaptureBulk != 0;
    settings->BulkMaxSize = CaptureSizeClamp(options.BulkMaxSize);
    settings->CaptureCtrl = options.CaptureCtrl != 0;
    settings->CtrlMaxSize = CaptureSizeClamp(options.CtrlMaxSize);
    settings->CaptureIsoch = options.CaptureIsoch != 0;
    settings->IsochMaxSize = CaptureSizeClamp(options.IsochMaxSize);
    settings->CaptureUrbs = options.CaptureUrbs;
    settings->CaptureHubInterface = 0; // the driver has no hub-interface hook
    settings->CaptureUsbportHook = 0;  // nor a port-driver hook
    settings->CaptureUsbIntern = options.CaptureUsbIntern;
    settings->CaptureHubIoctl = options.CaptureHubIoctl;
    settings->CaptureHcdIoctl = options.CaptureHcdIoctl;
    settings->CaptureHidIoctl = options.CaptureHidIoctl;
    settings->CaptureHidIntern = options.CaptureHidIntern;
    settings->CapturePnp = options.CapturePnp;
    settings->CapturePower = options.CapturePower;
    SaveCaptureSettings();

    // Without a filter the previous block stays in memory, out of force.
    if (options.FilterPresent != 0) {
        RtlCopyMemory(&g_Driver.CaptureFilter, &options.Filter, sizeof options.Filter);
    }
    g_Driver.FilterPresent = options.FilterPresent;
    return STATUS_SUCCESS;
}

NTSTATUS ControlGetLoggingOptions(PCONTROL_REQUEST Request) {
    const CAPTURE_SETTINGS* settings = &g_Driver.Capture;
    LOGGING_OPTIONS options = {};
    options.CaptureBulk = settings->CaptureBulk;
    options.BulkMaxSize = settings->BulkMaxSize;
    options.CaptureCtrl = settings->CaptureCtrl;
    options.CtrlMaxSize = settings->CtrlMaxSize;
    options.CaptureIsoch = settings->CaptureIsoch;
    options.IsochMaxSize = settings->IsochMaxSize;
    options.CaptureUrbs = settings->CaptureUrbs;
    options.CaptureHubInterface = 0;
    options.CaptureUsbportHook = 0;
    options.CaptureUsbIntern = settings->CaptureUsbIntern;
    options.CaptureHubIoctl = settings->CaptureHubIoctl;
    options.CaptureHcdIoctl = settings->CaptureHcdIoctl;
    options.CaptureHidIoctl = settings->CaptureHidIoctl;
    options.CaptureHidIntern = settings->CaptureHidIntern;
    options.CapturePnp = settings->CapturePnp;
    options.CapturePower = settings->CapturePower;
    options.FilterPresent = g_Driver.FilterPresent;
    options.Filter = g_Driver.CaptureFilter; // also when not in force

    // The two reserved bytes at the start are the caller's and stay as sent.
    constexpr size_t FIRST_SETTING = offsetof(LOGGING_OPTIONS, CaptureBulk);
    RtlCopyMemory(static_cast<UCHAR*>(Request->Buffer) + FIRST_SETTING,
                  reinterpret_cast<const UCHAR*>(&options) + FIRST_SETTING, sizeof options - FIRST_SETTING);
    Request->Information = sizeof options;
    return STATUS_SUCCESS;
}

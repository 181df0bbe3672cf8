// Control codes INFO, SET_BOOTFLAG and NOP.
//
// Locks: none; the settings are bytes and words written whole, and the registry is used at PASSIVE_LEVEL.
#include "common/ControlCodes.h"
#include "common/DriverInfo.h"
#include "common/LogBlock.h"
#include "driver/control/ControlHandlers.h"
#include "driver/core/Driver.h"
#include "driver/core/Settings.h"
#include "driver/log/Log.h"

NTSTATUS ControlInfo(PCONTROL_REQUEST Request) {
    DRIVER_INFO info = {};
    info.MajorVersion = TINDALOFT_DRIVER_MAJOR;
    info.MinorVersion = TINDALOFT_DRIVER_MINOR;
    info.Revision = TINDALOFT_DRIVER_REVISION;
    info.Build = TINDALOFT_DRIVER_BUILD;
    info.LogBlockSize = LOG_BLOCK_SIZE;
    info.MemlogFlags = g_Driver.Boot.MemlogFlags;
    info.CaptureLogActive = LogIsActive(g_Driver.CaptureLog) ? 1 : 0;
    info.CaptureOnBoot = g_Driver.Boot.CaptureOnBoot ? 1 : 0;
    info.CaptureOnceOnBoot = g_Driver.Boot.CaptureOnceOnBoot ? 1 : 0;
    info.SafeMode = g_Driver.SafeMode ? 1 : 0;
    info.EnableMiniportHook = g_Driver.Boot.EnableMiniportHook ? 1 : 0;
    RtlCopyMemory(Request->Buffer, &info, sizeof info);
    Request->Information = sizeof info;

    // A capture once on boot is reported to the first client that asks, then cleared for later starts.
    ULONG captureOnce = g_Driver.Boot.CaptureOnceOnBoot;
    QueryParameter(u"CaptureOnceOnBoot", &captureOnce);
    if (captureOnce != 0) {
        SetParameter(0, u"CaptureOnceOnBoot");
        QueryParameter(u"CaptureOnceOnBoot", &captureOnce);
    }
    g_Driver.Boot.CaptureOnceOnBoot = captureOnce != 0;
    return STATUS_SUCCESS;
}

// The three values are saved for the next start and take effect in memory at once, also when the registry
// cannot be written.
NTSTATUS ControlSetBootflag(PCONTROL_REQUEST Request) {
    ULONG word;
    RtlCopyMemory(&word, Request->Buffer, sizeof word);

    const BOOLEAN captureOnce = (word & BOOTFLAG_CAPTURE_ONCE_ON_BOOT) != 0;
    SetParameter(captureOnce, u"CaptureOnceOnBoot");
    g_Driver.Boot.CaptureOnceOnBoot = captureOnce;

    const BOOLEAN miniportHook = (word & BOOTFLAG_ENABLE_MINIPORT_HOOK) != 0;
    SetParameter(miniportHook, u"EnableMiniportHook");
    g_Driver.Boot.EnableMiniportHook = miniportHook;

    const ULONG memlogFlags = BootflagMemlogFlags(word);
    SetParameter(memlogFlags, u"MemlogFlags");
    g_Driver.Boot.MemlogFlags = memlogFlags;
    return STATUS_SUCCESS;
}

// Lets a client test that it can reach the driver with write access.
NTSTATUS ControlNop(PCONTROL_REQUEST Request) {
    (void)Request;
    return STATUS_SUCCESS;
}

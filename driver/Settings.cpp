// Settings in the Parameters key.
//
// Locks: none; PASSIVE_LEVEL only. The settings in memory are bytes and 32-bit words stored whole.
#include "driver/Settings.h"

#include <cstddef>

#include "common/ControlCodes.h"
#include "common/LoggingOptions.h"
#include "driver/RegistryKeys.h"

namespace {

enum class ValueKind : UCHAR {
    Switch,     // one byte, 0/1 when read from the registry
    Size,       // u32, clamped
    AlwaysZero, // one byte, never anything but 0
};

struct CaptureValue {
    PCWSTR name;
    size_t offset;
    ValueKind kind;
    ULONG defaultValue;
};

// The sixteen capture values, in the order they are loaded and saved.
const CaptureValue g_captureValues[] = {
    {u"CaptureBulk", offsetof(CAPTURE_SETTINGS, CaptureBulk), ValueKind::Switch, 1},
    {u"BulkMaxSize", offsetof(CAPTURE_SETTINGS, BulkMaxSize), ValueKind::Size, LOGGING_OPTIONS_DEFAULT_SIZE},
    {u"CaptureCtrl", offsetof(CAPTURE_SETTINGS, CaptureCtrl), ValueKind::Switch, 1},
    {u"CtrlMaxSize", offsetof(CAPTURE_SETTINGS, CtrlMaxSize), ValueKind::Size, LOGGING_OPTIONS_DEFAULT_SIZE},
    {u"CaptureIsoch", offsetof(CAPTURE_SETTINGS, CaptureIsoch), ValueKind::Switch, 1},
    {u"IsochMaxSize", offsetof(CAPTURE_SETTINGS, IsochMaxSize), ValueKind::Size, LOGGING_OPTIONS_DEFAULT_SIZE},
    {u"CaptureUrbs", offsetof(CAPTURE_SETTINGS, CaptureUrbs), ValueKind::Switch, 1},
    {u"CaptureUsbIntern", offsetof(CAPTURE_SETTINGS, CaptureUsbIntern), ValueKind::Switch, 1},
    {u"CaptureHubIoctl", offsetof(CAPTURE_SETTINGS, CaptureHubIoctl), ValueKind::Switch, 1},
    {u"CaptureHubInterface", offsetof(CAPTURE_SETTINGS, CaptureHubInterface), ValueKind::AlwaysZero, 0},
    {u"CaptureUsbportHook", offsetof(CAPTURE_SETTINGS, CaptureUsbportHook), ValueKind::AlwaysZero, 0},
    {u"CaptureHcdIoctl", offsetof(CAPTURE_SETTINGS, CaptureHcdIoctl), ValueKind::Switch, 1},
    {u"CaptureHidIoctl", offsetof(CAPTURE_SETTINGS, CaptureHidIoctl), ValueKind::Switch, 1},
    {u"CaptureHidIntern", offsetof(CAPTURE_SETTINGS, CaptureHidIntern), ValueKind::Switch, 0},
    {u"CapturePnp", offsetof(CAPTURE_SETTINGS, CapturePnp), ValueKind::Switch, 1},
    {u"CapturePower", offsetof(CAPTURE_SETTINGS, CapturePower), ValueKind::Switch, 0},
};

ULONG CaptureValueGet(const CAPTURE_SETTINGS* settings, const CaptureValue& value) {
    const UCHAR* field = reinterpret_cast<const UCHAR*>(settings) + value.offset;
    if (value.kind == ValueKind::Size) {
        ULONG size;
        RtlCopyMemory(&size, field, sizeof size);
        return size;
    }
    return *field;
}

void CaptureValueSet(PCAPTURE_SETTINGS settings, const CaptureValue& value, ULONG number) {
    UCHAR* field = reinterpret_cast<UCHAR*>(settings) + value.offset;
    switch (value.kind) {
    case ValueKind::Size: {
        const ULONG size = CaptureSizeClamp(number);
        RtlCopyMemory(field, &size, sizeof size);
        break;
    }
    case ValueKind::Switch:
        *field = number != 0 ? 1 : 0;
        break;
    case ValueKind::AlwaysZero:
        *field = 0;
        break;
    }
}

BOOLEAN QueryBoolean(HANDLE key, PCWSTR name, BOOLEAN current) {
    ULONG value = current;
    RegistryQueryDword(key, name, &value);
    return value != 0 ? TRUE : FALSE;
}

// The Parameters key as it is: not created when absent.
NTSTATUS OpenExistingParametersKey(PHANDLE key) {
    *key = nullptr;
    HANDLE serviceKey;
    NTSTATUS status = RegistryOpenServiceKey(&serviceKey);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    UNICODE_STRING parameters = RTL_CONSTANT_STRING(u"Parameters");
    status = RegistryOpenKey(key, serviceKey, &parameters);
    ZwClose(serviceKey);
    return status;
}

} // namespace

void CaptureSettingsSetDefaults(PCAPTURE_SETTINGS settings) {
    RtlZeroMemory(settings, sizeof *settings);
    for (const CaptureValue& value : g_captureValues) {
        CaptureValueSet(settings, value, value.defaultValue);
    }
}

ULONG CaptureSizeClamp(ULONG size) { return size > LOGGING_OPTIONS_MAX_SIZE ? LOGGING_OPTIONS_MAX_SIZE : size; }

NTSTATUS OpenParametersKey(PHANDLE key, PBOOLEAN created) {
    return RegistryCreateServiceSubkey(key, u"Parameters", created);
}

NTSTATUS QueryParameter(PCWSTR name, PULONG value) {
    HANDLE key;
    NTSTATUS status = OpenExistingParametersKey(&key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    status = RegistryQueryDword(key, name, value);
    ZwClose(key);
    return status;
}

NTSTATUS SetParameter(ULONG value, PCWSTR name) {
    HANDLE key;
    NTSTATUS status = OpenParametersKey(&key, nullptr);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    status = RegistrySetDword(key, name, value);
    ZwClose(key);
    return status;
}

void LoadBootParameters(void) {
    HANDLE key;
    if (!NT_SUCCESS(OpenExistingParametersKey(&key))) {
        return;
    }
    PBOOT_PARAMETERS boot = &g_Driver.Boot;
    boot->BreakOnEntry = QueryBoolean(key, u"BreakOnEntry", boot->BreakOnEntry);
    boot->CaptureOnBoot = QueryBoolean(key, u"CaptureOnBoot", boot->CaptureOnBoot);
    boot->CaptureOnceOnBoot = QueryBoolean(key, u"CaptureOnceOnBoot", boot->CaptureOnceOnBoot);
    boot->EnableMiniportHook = QueryBoolean(key, u"EnableMiniportHook", boot->EnableMiniportHook);
    ULONG memlogFlags = boot->MemlogFlags;
    RegistryQueryDword(key, u"MemlogFlags", &memlogFlags);
    boot->MemlogFlags = memlogFlags & BOOTFLAG_MEMLOG_MASK;
    LoadCaptureSettings(key);
    ZwClose(key);
}

void LoadCaptureSettings(HANDLE parametersKey) {
    PCAPTURE_SETTINGS settings = &g_Driver.Capture;
    for (const CaptureValue& value : g_captureValues) {
        ULONG number = CaptureValueGet(settings, value);
        if (NT_SUCCESS(RegistryQueryDword(parametersKey, value.name, &number))) {
            CaptureValueSet(settings, value, number);
        }
    }
}

void SaveCaptureSettings(void) {
    HANDLE key;
    if (!NT_SUCCESS(OpenParametersKey(&key, nullptr))) {
        return;
    }
    for (const CaptureValue& value : g_captureValues) {
        RegistrySetDword(key, value.name, CaptureValueGet(&g_Driver.Capture, value));
    }
    ZwClose(key);
}

// Settings in the Parameters key.
//
// Locks: none; PASSIVE_LEVEL only. The settings in memory are bytes and 32-bit words stored whole.
#include "driver/core/Settings.h"

#include <cstddef>

#include "common/ControlCodes.h"
#include "common/LoggingOptions.h"
#include "driver/core/RegistryKeys.h"

namespace {

enum class ValueKind : UCHAR {
    TransferSwitch, // one byte, always 0/1
    Switch,         // one byte, 0/1 when read from the registry, as sent in LOGGING_OPTIONS
    Size,           // u32, clamped
    AlwaysZero,     // one byte, never anything but 0
};

struct CaptureValue {
    PCWSTR name;          // registry value
    size_t offset;        // in CAPTURE_SETTINGS
    size_t optionsOffset; // in LOGGING_OPTIONS
    ValueKind kind;
    ULONG defaultValue;
};

// clang-format off
#define CAPTURE_VALUE_NAME(text) u##text
#define CAPTURE_VALUE(field, kind, defaultValue)                                                                       \
    {CAPTURE_VALUE_NAME(#field), offsetof(CAPTURE_SETTINGS, field), offsetof(LOGGING_OPTIONS, field), ValueKind::kind, \
     defaultValue}
// clang-format on

// The sixteen capture values, in the order they are loaded and saved.
const CaptureValue g_captureValues[] = {
    CAPTURE_VALUE(CaptureBulk, TransferSwitch, 1),
    CAPTURE_VALUE(BulkMaxSize, Size, LOGGING_OPTIONS_DEFAULT_SIZE),
    CAPTURE_VALUE(CaptureCtrl, TransferSwitch, 1),
    CAPTURE_VALUE(CtrlMaxSize, Size, LOGGING_OPTIONS_DEFAULT_SIZE),
    CAPTURE_VALUE(CaptureIsoch, TransferSwitch, 1),
    CAPTURE_VALUE(IsochMaxSize, Size, LOGGING_OPTIONS_DEFAULT_SIZE),
    CAPTURE_VALUE(CaptureUrbs, Switch, 1),
    CAPTURE_VALUE(CaptureUsbIntern, Switch, 1),
    CAPTURE_VALUE(CaptureHubIoctl, Switch, 1),
    CAPTURE_VALUE(CaptureHubInterface, AlwaysZero, 0), // the driver has no hub-interface hook
    CAPTURE_VALUE(CaptureUsbportHook, AlwaysZero, 0),  // nor a port-driver hook
    CAPTURE_VALUE(CaptureHcdIoctl, Switch, 1),
    CAPTURE_VALUE(CaptureHidIoctl, Switch, 1),
    CAPTURE_VALUE(CaptureHidIntern, Switch, 0),
    CAPTURE_VALUE(CapturePnp, Switch, 1),
    CAPTURE_VALUE(CapturePower, Switch, 0),
};

#undef CAPTURE_VALUE
#undef CAPTURE_VALUE_NAME

// A value's number as held at `field` (a byte, or an unaligned u32 for sizes).
ULONG FieldGet(const UCHAR* field, ValueKind kind) {
    if (kind == ValueKind::Size) {
        ULONG size;
        RtlCopyMemory(&size, field, sizeof size);
        return size;
    }
    return *field;
}

// Stores `number` as the driver keeps the value; switches from the registry are taken as 0/1.
void FieldSet(UCHAR* field, ValueKind kind, ULONG number, BOOLEAN fromRegistry) {
    switch (kind) {
    case ValueKind::Size: {
        const ULONG size = CaptureSizeClamp(number);
        RtlCopyMemory(field, &size, sizeof size);
        break;
    }
    case ValueKind::TransferSwitch: *field = number != 0 ? 1 : 0; break;
    case ValueKind::Switch: *field = fromRegistry ? (number != 0 ? 1 : 0) : static_cast<UCHAR>(number); break;
    case ValueKind::AlwaysZero: *field = 0; break;
    }
}

UCHAR* SettingsField(PCAPTURE_SETTINGS settings, const CaptureValue& value) {
    return reinterpret_cast<UCHAR*>(settings) + value.offset;
}
const UCHAR* SettingsField(const CAPTURE_SETTINGS* settings, const CaptureValue& value) {
    return reinterpret_cast<const UCHAR*>(settings) + value.offset;
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
        FieldSet(SettingsField(settings, value), value.kind, value.defaultValue, TRUE);
    }
}

void CaptureSettingsTake(PCAPTURE_SETTINGS settings, const LOGGING_OPTIONS* options) {
    const UCHAR* bytes = reinterpret_cast<const UCHAR*>(options);
    for (const CaptureValue& value : g_captureValues) {
        FieldSet(SettingsField(settings, value), value.kind, FieldGet(bytes + value.optionsOffset, value.kind), FALSE);
    }
}

void CaptureSettingsPut(const CAPTURE_SETTINGS* settings, PLOGGING_OPTIONS options) {
    UCHAR* bytes = reinterpret_cast<UCHAR*>(options);
    for (const CaptureValue& value : g_captureValues) {
        const ULONG number = FieldGet(SettingsField(settings, value), value.kind);
        if (value.kind == ValueKind::Size) {
            RtlCopyMemory(bytes + value.optionsOffset, &number, sizeof number);
        } else {
            bytes[value.optionsOffset] = static_cast<UCHAR>(number);
        }
    }
}

ULONG CaptureSizeClamp(ULONG size) {
    return size > LOGGING_OPTIONS_MAX_SIZE ? LOGGING_OPTIONS_MAX_SIZE : size;
}

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
        UCHAR* field = SettingsField(settings, value);
        ULONG number = FieldGet(field, value.kind);
        if (NT_SUCCESS(RegistryQueryDword(parametersKey, value.name, &number))) {
            FieldSet(field, value.kind, number, TRUE);
        }
    }
}

void SaveCaptureSettings(void) {
    HANDLE key;
    if (!NT_SUCCESS(OpenParametersKey(&key, nullptr))) {
        return;
    }
    for (const CaptureValue& value : g_captureValues) {
        RegistrySetDword(key, value.name, FieldGet(SettingsField(&g_Driver.Capture, value), value.kind));
    }
    ZwClose(key);
}

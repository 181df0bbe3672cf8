// The hub class's feature selectors and status words as named rows, each status section a table of bit
// fields walked by one routine.
#include <iterator>

#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/urb/HubUrbOutputer.h"
#include "app/devices/DeviceStack.h"
#include "common/ByteReader.h"

namespace {

CString LinkStateName(unsigned state) {
    static constexpr LPCSTR kNames[] = {
        "Link in U0",
        "Link in U1",
        "Link in U2",
        "Link in U3",
        "Link in SS.Disabled",
        "Link in Rx.Detect",
        "Link in SS.Inactive",
        "Link in Polling",
        "Link in Recovery",
        "Link in Hot Reset",
        "Link in Compliance Mode",
        "Link in Loopback",
    };
    return state < std::size(kNames) ? kNames[state] : "Link in Unknown";
}

LPCSTR PortFeatureName(unsigned selector) {
    static constexpr LPCSTR kNames[] = {
        "PORT_CONNECTION",
        "PORT_ENABLE",
        "PORT_SUSPEND",
        "PORT_OVER_CURRENT",
        "PORT_RESET",
        "PORT_LINK_STATE",
        nullptr,
        nullptr,
        "PORT_POWER",
        "PORT_LOW_SPEED",
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        "C_PORT_CONNECTION",
        "C_PORT_ENABLE",
        "C_PORT_SUSPEND",
        "C_PORT_OVER_CURRENT",
        "C_PORT_RESET",
        "PORT_TEST",
        "PORT_INDICATOR",
        "PORT_U1_TIMEOUT",
        "PORT_U2_TIMEOUT",
        "C_PORT_LINK_STATE",
        "C_PORT_CONFIG_ERROR",
        "PORT_REMOTE_WAKE_MASK",
        "BH_PORT_RESET",
        "C_BH_PORT_RESET",
        "FORCE_LINKPM_ACCEPT",
    };
    const LPCSTR name = selector < std::size(kNames) ? kNames[selector] : nullptr;
    return name ? name : "Unknown";
}

// Port selectors whose wIndex carries a selector of its own in the high byte.
constexpr unsigned kPortTest = 21;
constexpr unsigned kPortIndicator = 22;

CString SpeedName(unsigned speed) {
    return speed == 0 ? "5Gbps" : "Reserved";
}

// The change bits carry the feature that clears them.
CString OverCurrentChangeName(unsigned) {
    return "C_HUB_OVER_CURRENT";
}

CString LocalPowerChangeName(unsigned) {
    return "C_HUB_LOCAL_POWER";
}

constexpr FieldDecl kHubStatusRows[] = {
    FieldBits("Reserved.HubStatus.15-2", 2, 14, FieldFormat::Hex4),
    FieldBits("Over-current.HubStatus.1", 1, 1, FieldFormat::Decimal),
    FieldBits("LocalPowerSource.HubStatus.0", 0, 1, FieldFormat::Decimal),
};

constexpr FieldDecl kHubChangeRows[] = {
    FieldBits("Reserved.HubChange.15-2", 2, 14, FieldFormat::Hex4),
    FieldBits("Over-currentChange.HubChange.1", 1, 1, FieldFormat::Decimal)
        .Named("Name", FieldNameOf<OverCurrentChangeName>, FieldDecl::kAttributeAfter),
    FieldBits("LocalPowerSourceChange.HubChange.0", 0, 1, FieldFormat::Decimal)
        .Named("Name", FieldNameOf<LocalPowerChangeName>, FieldDecl::kAttributeAfter),
};

constexpr FieldDecl kPortStatusRows[] = {
    FieldBits("Reserved.PortStatus.15-13", 13, 3, FieldFormat::Hex2),
    FieldBits("PORT_INDICATOR.PortStatus.12", 12, 1, FieldFormat::Digit),
    FieldBits("PORT_TEST.PortStatus.11", 11, 1, FieldFormat::Digit),
    FieldBits("PORT_HIGH_SPEED.PortStatus.10", 10, 1, FieldFormat::Digit),
    FieldBits("PORT_LOW_SPEED.PortStatus.9", 9, 1, FieldFormat::Digit),
    FieldBits("PORT_POWER.PortStatus.8", 8, 1, FieldFormat::Digit),
    FieldBits("Reserved.PortStatus.7-5", 5, 3, FieldFormat::Hex2),
    FieldBits("PORT_RESET.PortStatus.4", 4, 1, FieldFormat::Digit),
    FieldBits("PORT_OVER_CURRENT.PortStatus.3", 3, 1, FieldFormat::Digit),
    FieldBits("PORT_SUSPEND.PortStatus.2", 2, 1, FieldFormat::Digit),
    FieldBits("PORT_ENABLE.PortStatus.1", 1, 1, FieldFormat::Digit),
    FieldBits("PORT_CONNECTION.PortStatus.0", 0, 1, FieldFormat::Digit),
};

constexpr FieldDecl kPortChangeRows[] = {
    FieldBits("Reserved.PortChange.15-5", 5, 11, FieldFormat::Hex4),
    FieldBits("C_PORT_RESET.PortChange.4", 4, 1, FieldFormat::Digit),
    FieldBits("C_PORT_OVER_CURRENT.PortChange.3", 3, 1, FieldFormat::Digit),
    FieldBits("C_PORT_SUSPEND.PortChange.2", 2, 1, FieldFormat::Digit),
    FieldBits("C_PORT_ENABLE.PortChange.1", 1, 1, FieldFormat::Digit),
    FieldBits("C_PORT_CONNECTION.PortChange.0", 0, 1, FieldFormat::Digit),
};

constexpr FieldDecl kSsPortStatusRows[] = {
    FieldBits("Reserved.SSPortStatus.15-13", 13, 3, FieldFormat::Hex2),
    FieldBits("NegotiatedSpeed.SSPortStatus.12-10", 10, 3, FieldFormat::Hex2)
        .Named("DeviceSpeed", FieldNameOf<SpeedName>, FieldDecl::kAttributeAfter),
    FieldBits("PORT_POWER.SSPortStatus.9", 9, 1, FieldFormat::Digit),
    FieldBits("PORT_LINK_STATE.SSPortStatus.8-5", 5, 4, FieldFormat::Hex2)
        .Named("Name", FieldNameOf<LinkStateName>, FieldDecl::kAttributeAfter),
    FieldBits("PORT_RESET.SSPortStatus.4", 4, 1, FieldFormat::Digit),
    FieldBits("PORT_OVER_CURRENT.SSPortStatus.3", 3, 1, FieldFormat::Digit),
    FieldBits("Reserved.SSPortStatus.2", 2, 1, FieldFormat::Digit),
    FieldBits("PORT_ENABLE.SSPortStatus.1", 1, 1, FieldFormat::Digit),
    FieldBits("PORT_CONNECTION.SSPortStatus.0", 0, 1, FieldFormat::Digit),
};

constexpr FieldDecl kSsPortChangeRows[] = {
    FieldBits("Reserved.SSPortChange.15-8", 8, 8, FieldFormat::Hex2),
    FieldBits("C_PORT_CONFIG_ERROR.SSPortChange.7", 7, 1, FieldFormat::Digit),
    FieldBits("C_PORT_LINK_STATE.SSPortChange.6", 6, 1, FieldFormat::Digit),
    FieldBits("C_BH_PORT_RESET.SSPortChange.5", 5, 1, FieldFormat::Digit),
    FieldBits("C_PORT_RESET.SSPortChange.4", 4, 1, FieldFormat::Digit),
    FieldBits("C_PORT_OVER_CURRENT.SSPortChange.3", 3, 1, FieldFormat::Digit),
    FieldBits("Reserved.SSPortChange.2", 2, 1, FieldFormat::Digit),
    FieldBits("Reserved.SSPortChange.1", 1, 1, FieldFormat::Digit),
    FieldBits("C_PORT_CONNECTION.SSPortChange.0", 0, 1, FieldFormat::Digit),
};

} // namespace

void HubUrbOutputer::OutputHubFeatureSelector(int mode, USHORT wValue) {
    FieldWriter& fields = Fields(mode);
    const LPCSTR name = wValue == 0   ? "C_HUB_LOCAL_POWER"
                        : wValue == 1 ? "C_HUB_OVER_CURRENT"
                                      : "Unknown Feature Selector";
    fields.NamedField("FeatureSelector.wValue", fields.Number(FieldFormat::Hex4, wValue), "Name", name,
                      FieldDecl::kAttributeAfter);
}

void HubUrbOutputer::OutputPortFeatureSelector(int mode, USHORT wValue, USHORT wIndex) {
    FieldWriter& fields = Fields(mode);
    fields.NamedField("FeatureSelector.wValue", fields.Number(FieldFormat::Hex4, wValue), "Name",
                      PortFeatureName(wValue), FieldDecl::kAttributeAfter);
    if (wValue == kPortTest || wValue == kPortIndicator) {
        const LPCSTR high = wValue == kPortTest ? "TestModeSelector.wIndexHi" : "IndicatorSelector.wIndexHi";
        fields.Field({high, high}, fields.Number(FieldFormat::Hex4, wIndex >> 8));
        fields.Field({"PortNumber.wIndexLo", "PortNumber.wIndexLo"}, fields.Number(FieldFormat::Hex4, wIndex & 0xFF));
    } else {
        fields.Field({"PortNumber.wIndex", "PortNumber.wIndex"}, fields.Number(FieldFormat::Hex4, wIndex));
    }
}

void HubUrbOutputer::OutputPortStatusBits(int mode, USHORT wPortStatus) {
    OutputFieldSection(mode, "Port Status Bits", "PortStatusBits", kPortStatusRows, wPortStatus);
}

void HubUrbOutputer::OutputPortChangeBits(int mode, USHORT wPortChange) {
    OutputFieldSection(mode, "Port Status Change Bits", "PortStatusChange", kPortChangeRows, wPortChange);
}

void HubUrbOutputer::OutputSsPortStatusBits(int mode, USHORT wPortStatus) {
    OutputFieldSection(mode, "SuperSpeed Port Status Bits", "SuperSpeed-PortStatus", kSsPortStatusRows, wPortStatus);
}

void HubUrbOutputer::OutputSsPortChangeBits(int mode, USHORT wPortChange) {
    OutputFieldSection(mode, "SuperSpeed Port Status Change Bits", "SuperSpeed-PortStatusChange", kSsPortChangeRows,
                       wPortChange);
}

void HubUrbOutputer::OutputHubStatus(int mode, ULONG length, const BYTE* data) {
    if (!HasDataBytes(mode, length, kStatusSize))
        return;
    OutputFieldSection(mode, "Hub Status Bits", "HubStatus", kHubStatusRows, tdl::LoadLe<USHORT>(data));
    OutputFieldSection(mode, "Hub Status Change Bits", "HubStatusChange", kHubChangeRows,
                       tdl::LoadLe<USHORT>(data + 2));
}

bool HubUrbOutputer::IsSuperSpeedHub() const {
    // Without its stack a record's hub is taken for a USB 2.0 hub, the layout every hub can report.
    const CDeviceStack* pStack = FindDeviceStack();
    return pStack != nullptr && pStack->HasBosDescriptor != 0;
}

void HubUrbOutputer::OutputPortStatus(int mode, ULONG length, const BYTE* data) {
    if (!HasDataBytes(mode, length, kStatusSize))
        return;
    const auto status = tdl::LoadLe<USHORT>(data);
    const auto change = tdl::LoadLe<USHORT>(data + 2);
    if (IsSuperSpeedHub()) {
        OutputSsPortStatusBits(mode, status);
        OutputSsPortChangeBits(mode, change);
    } else {
        OutputPortStatusBits(mode, status);
        OutputPortChangeBits(mode, change);
    }
}

void HubUrbOutputer::OutputPortLinkErrorCount(int mode, ULONG length, const BYTE* data) {
    FieldWriter& fields = Fields(mode);
    if (!HasDataBytes(mode, length, kErrorCountSize))
        return;
    fields.Open(FieldSection::Block, {"PortLinkErrorCount", "Port Link Error Count"}, "");
    fields.Field({"LinkErrorCount", "Link Error Count"}, fields.Number(FieldFormat::Hex4, tdl::LoadLe<USHORT>(data)));
    fields.Close(FieldSection::Block);
}

#include "app/decoders/ioctl/HcdIoctlOutputer.h"

#include <cstddef>
#include <iterator>

#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/OutputerImp.h"
#include "common/RecordPayloads.h"
#include "usbioctl.h"
#include "usbuser.h"

namespace {

// A counter of the statistics: its name, its place in its structure and its width.
#define HCD_COUNTER(type, field, format) FieldOf(#field, FieldFormat::format, offsetof(type, field))

constexpr FieldDecl kStatCounters[] = {
    HCD_COUNTER(HCD_STAT_COUNTERS, BytesTransferred, Hex8),
    HCD_COUNTER(HCD_STAT_COUNTERS, IsoMissedCount, Hex4),
    HCD_COUNTER(HCD_STAT_COUNTERS, DataOverrunErrorCount, Hex4),
    HCD_COUNTER(HCD_STAT_COUNTERS, CrcErrorCount, Hex4),
    HCD_COUNTER(HCD_STAT_COUNTERS, ScheduleOverrunCount, Hex4),
    HCD_COUNTER(HCD_STAT_COUNTERS, TimeoutErrorCount, Hex4),
    HCD_COUNTER(HCD_STAT_COUNTERS, InternalHcErrorCount, Hex4),
    HCD_COUNTER(HCD_STAT_COUNTERS, BufferOverrunErrorCount, Hex4),
    HCD_COUNTER(HCD_STAT_COUNTERS, SWErrorCount, Hex4),
    HCD_COUNTER(HCD_STAT_COUNTERS, StallPidCount, Hex4),
    HCD_COUNTER(HCD_STAT_COUNTERS, PortDisableCount, Hex4),
};

constexpr size_t kReserved7 = offsetof(HCD_ISO_STAT_COUNTERS, Reserved7);

constexpr FieldDecl kIsoCounters[] = {
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, LateUrbs, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, DoubleBufferedPackets, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, TransfersCF_5ms, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, TransfersCF_2ms, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, TransfersCF_1ms, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, MaxInterruptLatency, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, BadStartFrame, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, StaleUrbs, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoPacketNotAccesed, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoPacketHWError, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, SmallestUrbPacketCount, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, LargestUrbPacketCount, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoCRC_Error, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoOVERRUN_Error, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoINTERNAL_Error, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoUNKNOWN_Error, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoBytesTransferred, Hex8),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, LateMissedCount, Hex4),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, HWIsoMissedCount, Hex4),
    FieldOf("Reserved7.0", FieldFormat::Short, kReserved7 + 0),
    FieldOf("Reserved7.1", FieldFormat::Short, kReserved7 + 4),
    FieldOf("Reserved7.2", FieldFormat::Short, kReserved7 + 8),
    FieldOf("Reserved7.3", FieldFormat::Short, kReserved7 + 12),
    FieldOf("Reserved7.4", FieldFormat::Short, kReserved7 + 16),
    FieldOf("Reserved7.5", FieldFormat::Short, kReserved7 + 20),
    FieldOf("Reserved7.6", FieldFormat::Short, kReserved7 + 24),
    FieldOf("Reserved7.7", FieldFormat::Short, kReserved7 + 28),
};

#undef HCD_COUNTER

// A value its name stands for.
struct ValueName {
    ULONG code;
    LPCSTR name;
};

constexpr ValueName kUserRequests[] = {
    {1, "USBUSER_GET_CONTROLLER_INFO_0"},
    {2, "USBUSER_GET_CONTROLLER_DRIVER_KEY"},
    {3, "USBUSER_PASS_THRU"},
    {4, "USBUSER_GET_POWER_STATE_MAP"},
    {5, "USBUSER_GET_BANDWIDTH_INFORMATION"},
    {6, "USBUSER_GET_BUS_STATISTICS_0"},
    {7, "USBUSER_GET_ROOTHUB_SYMBOLIC_NAME"},
    {8, "USBUSER_GET_USB_DRIVER_VERSION"},
    {9, "USBUSER_GET_USB2_HW_VERSION"},
    {10, "USBUSER_USB_REFRESH_HCT_REG"},
};

constexpr ValueName kFlavors[] = {
    {0, "USB_HcGeneric"},       {100, "OHCI_Generic"},  {101, "OHCI_Hydra"},   {102, "OHCI_NEC"},
    {200, "UHCI_Generic"},      {201, "UHCI_Piix4"},    {202, "UHCI_Piix3"},   {203, "UHCI_Ich2"},
    {204, "UHCI_Reserved204"},  {205, "UHCI_Ich1"},     {206, "UHCI_Ich3m"},   {207, "UHCI_Ich4"},
    {208, "UHCI_Ich5"},         {209, "UHCI_Ich6"},     {249, "UHCI_Intel"},   {250, "UHCI_VIA"},
    {251, "UHCI_VIA_x01"},      {252, "UHCI_VIA_x02"},  {253, "UHCI_VIA_x03"}, {254, "UHCI_VIA_x04"},
    {264, "UHCI_VIA_x0E_FIFO"}, {1000, "EHCI_Generic"}, {2000, "EHCI_NEC"},    {3000, "EHCI_Lucent"},
};

template <size_t N> LPCSTR FindName(const ValueName (&table)[N], ULONG code) {
    for (const ValueName& entry : table)
        if (entry.code == code)
            return entry.name;
    return nullptr;
}

// The feature flags that have a name, by bit.
constexpr LPCSTR kFeatureFlags[] = {
    "USB_HC_FEATURE_FLAG_PORT_POWER_SWITCHING",
    "USB_HC_FEATURE_FLAG_SEL_SUSPEND",
    "USB_HC_FEATURE_LEGACY_BIOS",
};
static_assert(USB_HC_FEATURE_FLAG_PORT_POWER_SWITCHING == 1 && USB_HC_FEATURE_FLAG_SEL_SUSPEND == 2 &&
              USB_HC_FEATURE_LEGACY_BIOS == 4);

// What shows in place of a size or name the record does not carry.
constexpr LPCSTR kNoValue = "---";

// The user request's parts in the record: the request's lengths and buffer, the request header, then the
// controller information.
constexpr size_t kHeader = offsetof(HCD_RECORD_USER_REQUEST, BufferHead);
constexpr size_t kInfo = sizeof(HCD_RECORD_USER_REQUEST);
constexpr ULONG kInfoEnd = kInfo + sizeof(USB_CONTROLLER_INFO_0);

constexpr FieldDecl kStatisticsHead[] = {
    FieldOf("Reserved1", FieldFormat::Hex8, offsetof(HCD_STAT_INFORMATION_1, Reserved1)),
    FieldOf("Reserved2", FieldFormat::Hex8, offsetof(HCD_STAT_INFORMATION_1, Reserved2)),
    FieldOf("ResetCounters", FieldFormat::Hex8, offsetof(HCD_STAT_INFORMATION_1, ResetCounters)),
};

// The head both statistics forms share: the grid shows the time read as one 64-bit number, the mark-up as
// its two halves.
void OutputStatisticsHead(FieldWriter& fields) {
    fields.PayloadFields(kStatisticsHead);
    constexpr size_t kTime = offsetof(HCD_STAT_INFORMATION_1, TimeRead);
    ULONG low = 0;
    ULONG high = 0;
    const bool have = fields.Read(kTime, low) && fields.Read(kTime + 4, high);
    CString text = LogOutputer::kUnknownText;
    if (have)
        text.Format("0x%08x%08x", high, low);
    fields.Field("TimeRead", text, nullptr, kGrid);
    fields.NumberField("TimeRead_HighPart", FieldFormat::Hex8, high, have, kXml);
    fields.NumberField("TimeRead_LowPart", FieldFormat::Hex8, low, have, kXml);
}

// A counter structure at an offset of the payload: a group in the grid, its values in the current element
// in mark-up.
void OutputCounters(FieldWriter& fields, LPCSTR title, std::span<const FieldDecl> counters, size_t base) {
    fields.Open(FieldSection::GridGroup, title);
    fields.PayloadFields(counters, base);
    fields.Close(FieldSection::GridGroup);
}

} // namespace

HcdIoctlOutputer::~HcdIoctlOutputer() = default;

const IoctlFamily& HcdIoctlFamily() {
    using Self = HcdIoctlOutputer;
    using enum CodeOffer;
    static constexpr IoctlCode kCodes[] = {
        TDL_IOCTL_CODE(IOCTL_USB_HCD_GET_STATS_1, "GET_STATS_1", Always, &Self::OutputGetStats1),
        TDL_IOCTL_CODE(IOCTL_USB_DIAGNOSTIC_MODE_ON, nullptr, Always, &Self::OutputDiagnosticMode),
        TDL_IOCTL_CODE(IOCTL_USB_DIAGNOSTIC_MODE_OFF, nullptr, Always, &Self::OutputDiagnosticMode),
        TDL_IOCTL_CODE(IOCTL_USB_GET_ROOT_HUB_NAME, nullptr, Always, &Self::OutputGetRootHubName),
        TDL_IOCTL_CODE(IOCTL_GET_HCD_DRIVERKEY_NAME, "GET_DRIVERKEY_NAME", Always, &Self::OutputGetDriverKeyName),
        TDL_IOCTL_CODE(IOCTL_USB_HCD_GET_STATS_2, "GET_STATS_2", Always, &Self::OutputGetStats2),
        TDL_IOCTL_CODE(IOCTL_USB_HCD_DISABLE_PORT, "DISABLE_PORT", Always, &Self::OutputDisablePort),
        TDL_IOCTL_CODE(IOCTL_USB_HCD_ENABLE_PORT, "ENABLE_PORT", Always, &Self::OutputEnablePort),
        TDL_IOCTL_CODE(IOCTL_USB_USER_REQUEST, nullptr, Always, &Self::OutputUserRequest),
    };
    static constexpr IoctlFamily kFamily{"HCD", "HCD Ioctl", "USB_", "HCD_IOCTL_%X", false, "", kCodes};
    return kFamily;
}

HcdIoctlOutputer::HcdIoctlOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : IoctlFamilyOutputer(pImp, pDocument, pRecord, HcdIoctlFamily()) {}

CString HcdIoctlOutputer::UserRequestName(ULONG request) {
    if (LPCSTR name = FindName(kUserRequests, request))
        return name;
    CString text;
    text.Format("USBUSER_%X", request);
    return text;
}

CString HcdIoctlOutputer::ControllerFlavorName(ULONG flavor) {
    if (LPCSTR name = FindName(kFlavors, flavor))
        return name;
    CString text;
    text.Format("HCFlavor_%u", flavor);
    return text;
}

// --- sizes, ports and names ---

void HcdIoctlOutputer::OutputBufferSize(int mode, LPCSTR title) {
    FieldWriter fields(*this, mode, IOCTL_RECORD_U32_SIZE);
    fields.Open(FieldSection::Category, {"HcdIoctl-BufferSize", title});
    if (fields.IsEmpty())
        fields.Field({"BufferSize", "Buffer Size"}, kNoValue);
    else
        fields.ValueField({"BufferSize", "Buffer Size"}, FieldFormat::Hex8, 0);
    fields.Close(FieldSection::Category);
}

void HcdIoctlOutputer::OutputPort(int mode, LPCSTR title) {
    if (!m_Decode.HasInputData())
        return;
    FieldWriter fields(*this, mode, IOCTL_RECORD_U32_SIZE);
    fields.Open(FieldSection::Category, {"HcdIoctl-Port", title});
    if (fields.IsEmpty())
        fields.Field("PortNumber", kNoValue);
    else
        fields.ValueField("PortNumber", FieldFormat::Short, 0);
    fields.Close(FieldSection::Category);
}

void HcdIoctlOutputer::OutputName(int mode, LPCSTR title, LPCSTR element, LPCSTR label) {
    FieldWriter fields(*this, mode);
    fields.Open(FieldSection::Category, {element, title});
    // An answer too short for its length word tells nothing, as an empty one.
    constexpr size_t kNameOffset = offsetof(USB_ROOT_HUB_NAME, RootHubName);
    const char* none = FieldLabels("", kNoValue).For(fields.Mode());
    if (fields.Size() < kNameOffset) {
        fields.Field("ActualLength", none);
        fields.Field(label, none);
    } else {
        fields.ValueField("ActualLength", FieldFormat::Hex8, offsetof(USB_ROOT_HUB_NAME, ActualLength));
        // An answer of the bare structure only says how long the name is; a longer one shows its name,
        // empty or not.
        const CString name = fields.Size() == sizeof(USB_ROOT_HUB_NAME)
                                 ? CString(none)
                                 : FieldWideText(fields.DataAt(kNameOffset), fields.BytesFrom(kNameOffset));
        fields.Field(label, name);
    }
    fields.Close(FieldSection::Category);
}

void HcdIoctlOutputer::OutputGetRootHubName(int mode, ULONG, const BYTE*) {
    if (m_Decode.HasInputData())
        OutputBufferSize(mode, "USB_ROOT_HUB_NAME");
    else if (m_Decode.HasOutputData())
        OutputName(mode, "USB_ROOT_HUB_NAME", "HcdIoctl-GetRootHubName", "RootHubName");
}

void HcdIoctlOutputer::OutputGetDriverKeyName(int mode, ULONG, const BYTE*) {
    if (m_Decode.HasInputData())
        OutputBufferSize(mode, "USB_HCD_DRIVERKEY_NAME");
    else if (m_Decode.HasOutputData())
        OutputName(mode, "USB_HCD_DRIVERKEY_NAME", "HcdIoctl-GetDriverKeyName", "DriverKeyName");
}

void HcdIoctlOutputer::OutputDisablePort(int mode, ULONG, const BYTE*) {
    OutputPort(mode, "HCD_DISABLE_PORT");
}

void HcdIoctlOutputer::OutputEnablePort(int mode, ULONG, const BYTE*) {
    OutputPort(mode, "HCD_ENABLE_PORT");
}

void HcdIoctlOutputer::OutputDiagnosticMode(int mode, ULONG, const BYTE*) {
    FieldWriter(*this, mode).Field("No arguments", "", nullptr, kGrid);
}

// --- statistics ---

void HcdIoctlOutputer::OutputGetStats1(int mode, ULONG, const BYTE*) {
    if (m_Decode.HasInputData()) {
        OutputBufferSize(mode, "HCD_STAT_INFORMATION_1");
        return;
    }
    if (!m_Decode.HasOutputData())
        return;
    FieldWriter fields(*this, mode);
    fields.Open(FieldSection::Category, {"HcdIoctl-Stat1", "HCD_STAT_INFORMATION_1"});
    // Statistics of another size are no statistics this program knows.
    if (fields.Size() == HCD_RECORD_STATS1_SIZE) {
        OutputStatisticsHead(fields);
        OutputCounters(fields, "HCD_STAT_COUNTERS", kStatCounters, offsetof(HCD_STAT_INFORMATION_1, Counters));
    }
    fields.Close(FieldSection::Category);
}

void HcdIoctlOutputer::OutputGetStats2(int mode, ULONG, const BYTE*) {
    if (m_Decode.HasInputData()) {
        OutputBufferSize(mode, "HCD_STAT_INFORMATION_2");
        return;
    }
    FieldWriter fields(*this, mode);
    if (!m_Decode.HasOutputData() || fields.Size() != HCD_RECORD_STATS2_SIZE)
        return;
    fields.Open(FieldSection::Category, {"HcdIoctl-Stat2", "HCD_STAT_INFORMATION_2"});
    OutputStatisticsHead(fields);
    fields.ValueField("LockedMemoryUsed", FieldFormat::Hex8, offsetof(HCD_STAT_INFORMATION_2, LockedMemoryUsed));
    OutputCounters(fields, "HCD_STAT_COUNTERS", kStatCounters, offsetof(HCD_STAT_INFORMATION_2, Counters));
    OutputCounters(fields, "HCD_ISO_STAT_COUNTERS", kIsoCounters, offsetof(HCD_STAT_INFORMATION_2, IsoCounters));
    fields.Close(FieldSection::Category);
}

// --- user requests ---

void HcdIoctlOutputer::OutputUserRequest(int mode, ULONG, const BYTE*) {
    const bool completion = !m_Decode.HasInputData();
    if (completion && !m_Decode.HasOutputData())
        return;
    FieldWriter fields(*this, mode, sizeof(HCD_RECORD_USER_REQUEST));
    fields.Open(FieldSection::Category, {"HcdIoctl-UserRequest", "USBUSER_REQUEST"});
    if (!fields.IsEmpty()) {
        OutputDeviceControlParameters(fields);
        OutputRequestHeader(fields, completion);
        ULONG request = 0;
        ULONG status = 0;
        // The controller information follows only a request for it that the controller answered.
        if (completion && fields.Size() >= kInfoEnd &&
            fields.Read(kHeader + offsetof(USBUSER_REQUEST_HEADER, UsbUserRequest), request) &&
            fields.Read(kHeader + offsetof(USBUSER_REQUEST_HEADER, UsbUserStatusCode), status) && status == 0 &&
            request == USBUSER_GET_CONTROLLER_INFO_0)
            OutputControllerInfo(fields);
    }
    fields.Close(FieldSection::Category);
}

void HcdIoctlOutputer::OutputDeviceControlParameters(FieldWriter& fields) {
    static constexpr FieldDecl kParameters[] = {
        FieldU32("OutputBufferLength", offsetof(HCD_RECORD_USER_REQUEST, OutputBufferLength)),
        FieldU32("InputBufferLength", offsetof(HCD_RECORD_USER_REQUEST, InputBufferLength)),
        FieldU64("SystemBuffer", offsetof(HCD_RECORD_USER_REQUEST, SystemBuffer)),
    };
    fields.Open(FieldSection::Block, {"DeviceControlParameters", "DEVICE_CONTROL Parameters"});
    fields.PayloadFields(kParameters);
    fields.Close(FieldSection::Block);
}

void HcdIoctlOutputer::OutputRequestHeader(FieldWriter& fields, bool completion) {
    fields.Open(FieldSection::Block, {"USBUSER_REQUEST_HEADER", "USBUSER_REQUEST_HEADER"});
    ULONG request = 0;
    const bool have = fields.Read(kHeader + offsetof(USBUSER_REQUEST_HEADER, UsbUserRequest), request);
    fields.CodeField("UserRequest", request, UserRequestName(request), have);
    fields.ValueField("RequestBufferLength", FieldFormat::Hex8,
                      kHeader + offsetof(USBUSER_REQUEST_HEADER, RequestBufferLength));
    if (completion) {
        fields.ValueField("UserStatusCode", FieldFormat::Hex8,
                          kHeader + offsetof(USBUSER_REQUEST_HEADER, UsbUserStatusCode));
        fields.ValueField("ActualBufferLength", FieldFormat::Hex8,
                          kHeader + offsetof(USBUSER_REQUEST_HEADER, ActualBufferLength));
    }
    fields.EndOfBlock();
    fields.Close(FieldSection::Block);
}

void HcdIoctlOutputer::OutputControllerInfo(FieldWriter& fields) {
    fields.Open(FieldSection::Block, {"USB_CONTROLLER_INFO_0", "USB_CONTROLLER_INFO_0"});
    fields.ValueField("PciVendorId", FieldFormat::Hex8, kInfo + offsetof(USB_CONTROLLER_INFO_0, PciVendorId));
    fields.ValueField("PciDeviceId", FieldFormat::Hex8, kInfo + offsetof(USB_CONTROLLER_INFO_0, PciDeviceId));
    fields.ValueField("PciRevision", FieldFormat::Hex8, kInfo + offsetof(USB_CONTROLLER_INFO_0, PciRevision));
    fields.ValueField("NumberOfRootPorts", FieldFormat::Short,
                      kInfo + offsetof(USB_CONTROLLER_INFO_0, NumberOfRootPorts));
    ULONG flavor = 0;
    const bool haveFlavor = fields.Read(kInfo + offsetof(USB_CONTROLLER_INFO_0, ControllerFlavor), flavor);
    fields.CodeField("ControllerFlavor", flavor, ControllerFlavorName(flavor), haveFlavor);
    ULONG flags = 0;
    fields.Read(kInfo + offsetof(USB_CONTROLLER_INFO_0, HcFeatureFlags), flags);
    fields.ValueField("HcFeatureFlags", FieldFormat::Hex8, kInfo + offsetof(USB_CONTROLLER_INFO_0, HcFeatureFlags));
    for (ULONG bit = 0; bit < std::size(kFeatureFlags); ++bit) {
        if ((flags & (1u << bit)) == 0)
            continue;
        CString attribute;
        attribute.Format("Flag%u", bit);
        fields.Attribute(attribute, kFeatureFlags[bit]);
        fields.Field("", kFeatureFlags[bit], nullptr, kNotMarkup);
    }
    fields.Close(FieldSection::Block);
}

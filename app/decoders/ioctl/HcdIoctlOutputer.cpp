#include "app/decoders/ioctl/HcdIoctlOutputer.h"

#include <cstddef>
#include <iterator>

#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/ioctl/IoctlFields.h"
#include "common/RecordPayloads.h"
#include "usbioctl.h"
#include "usbuser.h"

namespace {

// A counter of the statistics: its name, its place in its structure and its width.
struct CounterField {
    LPCSTR name;
    size_t offset;
    IoctlWidth width;
};

#define HCD_COUNTER(type, field, width)                                                                                \
    { #field, offsetof(type, field), IoctlWidth::width }

constexpr CounterField kStatCounters[] = {
    HCD_COUNTER(HCD_STAT_COUNTERS, BytesTransferred, U32),
    HCD_COUNTER(HCD_STAT_COUNTERS, IsoMissedCount, U16),
    HCD_COUNTER(HCD_STAT_COUNTERS, DataOverrunErrorCount, U16),
    HCD_COUNTER(HCD_STAT_COUNTERS, CrcErrorCount, U16),
    HCD_COUNTER(HCD_STAT_COUNTERS, ScheduleOverrunCount, U16),
    HCD_COUNTER(HCD_STAT_COUNTERS, TimeoutErrorCount, U16),
    HCD_COUNTER(HCD_STAT_COUNTERS, InternalHcErrorCount, U16),
    HCD_COUNTER(HCD_STAT_COUNTERS, BufferOverrunErrorCount, U16),
    HCD_COUNTER(HCD_STAT_COUNTERS, SWErrorCount, U16),
    HCD_COUNTER(HCD_STAT_COUNTERS, StallPidCount, U16),
    HCD_COUNTER(HCD_STAT_COUNTERS, PortDisableCount, U16),
};

constexpr size_t kReserved7 = offsetof(HCD_ISO_STAT_COUNTERS, Reserved7);

constexpr CounterField kIsoCounters[] = {
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, LateUrbs, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, DoubleBufferedPackets, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, TransfersCF_5ms, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, TransfersCF_2ms, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, TransfersCF_1ms, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, MaxInterruptLatency, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, BadStartFrame, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, StaleUrbs, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoPacketNotAccesed, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoPacketHWError, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, SmallestUrbPacketCount, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, LargestUrbPacketCount, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoCRC_Error, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoOVERRUN_Error, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoINTERNAL_Error, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoUNKNOWN_Error, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, IsoBytesTransferred, U32),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, LateMissedCount, U16),
    HCD_COUNTER(HCD_ISO_STAT_COUNTERS, HWIsoMissedCount, U16),
    {"Reserved7.0", kReserved7 + 0, IoctlWidth::Short},
    {"Reserved7.1", kReserved7 + 4, IoctlWidth::Short},
    {"Reserved7.2", kReserved7 + 8, IoctlWidth::Short},
    {"Reserved7.3", kReserved7 + 12, IoctlWidth::Short},
    {"Reserved7.4", kReserved7 + 16, IoctlWidth::Short},
    {"Reserved7.5", kReserved7 + 20, IoctlWidth::Short},
    {"Reserved7.6", kReserved7 + 24, IoctlWidth::Short},
    {"Reserved7.7", kReserved7 + 28, IoctlWidth::Short},
};

#undef HCD_COUNTER

// A value its name stands for.
struct CodeName {
    ULONG code;
    LPCSTR name;
};

constexpr CodeName kUserRequests[] = {
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

constexpr CodeName kFlavors[] = {
    {0, "USB_HcGeneric"},       {100, "OHCI_Generic"},  {101, "OHCI_Hydra"},   {102, "OHCI_NEC"},
    {200, "UHCI_Generic"},      {201, "UHCI_Piix4"},    {202, "UHCI_Piix3"},   {203, "UHCI_Ich2"},
    {204, "UHCI_Reserved204"},  {205, "UHCI_Ich1"},     {206, "UHCI_Ich3m"},   {207, "UHCI_Ich4"},
    {208, "UHCI_Ich5"},         {209, "UHCI_Ich6"},     {249, "UHCI_Intel"},   {250, "UHCI_VIA"},
    {251, "UHCI_VIA_x01"},      {252, "UHCI_VIA_x02"},  {253, "UHCI_VIA_x03"}, {254, "UHCI_VIA_x04"},
    {264, "UHCI_VIA_x0E_FIFO"}, {1000, "EHCI_Generic"}, {2000, "EHCI_NEC"},    {3000, "EHCI_Lucent"},
};

template <size_t N> LPCSTR FindName(const CodeName (&table)[N], ULONG code) {
    for (const CodeName& entry : table)
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

// The head both statistics forms share.
void OutputStatisticsHead(IoctlFields& fields) {
    fields.ValueField("Reserved1", IoctlWidth::U32, offsetof(HCD_STAT_INFORMATION_1, Reserved1));
    fields.ValueField("Reserved2", IoctlWidth::U32, offsetof(HCD_STAT_INFORMATION_1, Reserved2));
    fields.ValueField("ResetCounters", IoctlWidth::U32, offsetof(HCD_STAT_INFORMATION_1, ResetCounters));
    constexpr size_t kTime = offsetof(HCD_STAT_INFORMATION_1, TimeRead);
    ULONG low = 0;
    ULONG high = 0;
    const bool have = fields.Read(kTime, low) && fields.Read(kTime + 4, high);
    if (fields.IsGrid()) {
        CString text = LogOutputer::kUnknownText;
        if (have)
            text.Format("0x%08x%08x", high, low);
        fields.Field("TimeRead", text);
    } else if (fields.IsMarkup()) {
        fields.Field("TimeRead_HighPart", fields.Text(IoctlWidth::U32, high, have));
        fields.Field("TimeRead_LowPart", fields.Text(IoctlWidth::U32, low, have));
    }
}

// A counter structure at an offset of the payload: a group in the grid, its values in the current element
// in mark-up.
template <size_t N>
void OutputCounters(IoctlFields& fields, LPCSTR title, const CounterField (&counters)[N], size_t base) {
    fields.OpenInnerGroup(title);
    for (const CounterField& counter : counters)
        fields.ValueField(counter.name, counter.width, base + counter.offset);
    fields.CloseInnerGroup();
}

} // namespace

HcdIoctlOutputer::~HcdIoctlOutputer() = default;

void HcdIoctlOutputer::OutputIrpFunction() {
    OutputDeviceControlFunction();
}

CString HcdIoctlOutputer::GetIoctlName() const {
    const ULONG code = m_Decode.GetFunctionWord();
    CString name;
    m_Decode.HcdIoctlName(name);
    // The driver-key name's code is named without "USB_".
    return IoctlDisplayName(name, code, code == 0x220424 ? "IOCTL_" : "IOCTL_USB_", "HCD_IOCTL_%X");
}

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

void HcdIoctlOutputer::OutputFunctionCode() {
    WriteIoctlFunctionCode(m_pImp, m_Decode.GetFunctionWord(), GetIoctlName());
}

void HcdIoctlOutputer::OutputKindTitle(int mode) {
    if (mode == OUTPUT_MODE_GRID)
        OutputRequestName("HCD", "HCD Ioctl", GetIoctlName());
    // A returned record only tells that the dispatch routine returned.
    if (m_Decode.HasTransferData())
        return;
    OutputIoctlBody(mode);
}

void HcdIoctlOutputer::OutputIoctlBody(int mode) {
    using Self = HcdIoctlOutputer;
    static constexpr IoctlOperation<Self> kOperations[] = {
        {0x2203FC, &Self::OutputGetStats1},        {0x220400, &Self::OutputDiagnosticMode},
        {0x220404, &Self::OutputDiagnosticMode},   {0x220408, &Self::OutputGetRootHubName},
        {0x220424, &Self::OutputGetDriverKeyName}, {0x220428, &Self::OutputGetStats2},
        {0x220430, &Self::OutputDisablePort},      {0x220434, &Self::OutputEnablePort},
        {0x220438, &Self::OutputUserRequest},
    };
    RunIoctlOperation(*this, kOperations, m_Decode.GetFunctionWord(), mode);
}

// --- sizes, ports and names ---

void HcdIoctlOutputer::OutputBufferSize(int mode, LPCSTR title) {
    IoctlFields fields(*this, mode, IOCTL_RECORD_U32_SIZE);
    fields.OpenSection(title, "HcdIoctl-BufferSize");
    if (fields.IsEmpty())
        fields.Field("Buffer Size", "BufferSize", kNoValue);
    else
        fields.ValueField("Buffer Size", "BufferSize", IoctlWidth::U32, 0);
    fields.CloseSection();
}

void HcdIoctlOutputer::OutputPort(int mode, LPCSTR title) {
    if (!m_Decode.HasInputData())
        return;
    IoctlFields fields(*this, mode, IOCTL_RECORD_U32_SIZE);
    fields.OpenSection(title, "HcdIoctl-Port");
    if (fields.IsEmpty())
        fields.Field("PortNumber", kNoValue);
    else
        fields.ValueField("PortNumber", IoctlWidth::Short, 0);
    fields.CloseSection();
}

void HcdIoctlOutputer::OutputName(int mode, LPCSTR title, LPCSTR element, LPCSTR label) {
    IoctlFields fields(*this, mode);
    fields.OpenSection(title, element);
    // An answer too short for its length word tells nothing, as an empty one.
    constexpr size_t kNameOffset = offsetof(USB_ROOT_HUB_NAME, RootHubName);
    const CString none = fields.IsMarkup() ? "" : kNoValue;
    if (fields.Size() < kNameOffset) {
        fields.Field("ActualLength", none);
        fields.Field(label, none);
    } else {
        fields.ValueField("ActualLength", IoctlWidth::U32, offsetof(USB_ROOT_HUB_NAME, ActualLength));
        // An answer of the bare structure only says how long the name is; a longer one shows its name,
        // empty or not.
        const CString name = fields.Size() == sizeof(USB_ROOT_HUB_NAME)
                                 ? none
                                 : IoctlWideText(fields.DataAt(kNameOffset), fields.BytesFrom(kNameOffset));
        fields.Field(label, name);
    }
    fields.CloseSection();
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
    if (mode == OUTPUT_MODE_GRID)
        m_pImp->AddItem("No arguments", "", nullptr);
}

// --- statistics ---

void HcdIoctlOutputer::OutputGetStats1(int mode, ULONG, const BYTE*) {
    if (m_Decode.HasInputData()) {
        OutputBufferSize(mode, "HCD_STAT_INFORMATION_1");
        return;
    }
    if (!m_Decode.HasOutputData())
        return;
    IoctlFields fields(*this, mode);
    fields.OpenSection("HCD_STAT_INFORMATION_1", "HcdIoctl-Stat1");
    // Statistics of another size are no statistics this program knows.
    if (fields.Size() == HCD_RECORD_STATS1_SIZE) {
        OutputStatisticsHead(fields);
        OutputCounters(fields, "HCD_STAT_COUNTERS", kStatCounters, offsetof(HCD_STAT_INFORMATION_1, Counters));
    }
    fields.CloseSection();
}

void HcdIoctlOutputer::OutputGetStats2(int mode, ULONG, const BYTE*) {
    if (m_Decode.HasInputData()) {
        OutputBufferSize(mode, "HCD_STAT_INFORMATION_2");
        return;
    }
    IoctlFields fields(*this, mode);
    if (!m_Decode.HasOutputData() || fields.Size() != HCD_RECORD_STATS2_SIZE)
        return;
    fields.OpenSection("HCD_STAT_INFORMATION_2", "HcdIoctl-Stat2");
    OutputStatisticsHead(fields);
    fields.ValueField("LockedMemoryUsed", IoctlWidth::U32, offsetof(HCD_STAT_INFORMATION_2, LockedMemoryUsed));
    OutputCounters(fields, "HCD_STAT_COUNTERS", kStatCounters, offsetof(HCD_STAT_INFORMATION_2, Counters));
    OutputCounters(fields, "HCD_ISO_STAT_COUNTERS", kIsoCounters, offsetof(HCD_STAT_INFORMATION_2, IsoCounters));
    fields.CloseSection();
}

// --- user requests ---

void HcdIoctlOutputer::OutputUserRequest(int mode, ULONG, const BYTE*) {
    const bool completion = !m_Decode.HasInputData();
    if (completion && !m_Decode.HasOutputData())
        return;
    IoctlFields fields(*this, mode, sizeof(HCD_RECORD_USER_REQUEST));
    fields.OpenSection("USBUSER_REQUEST", "HcdIoctl-UserRequest");
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
    fields.CloseSection();
}

void HcdIoctlOutputer::OutputDeviceControlParameters(IoctlFields& fields) {
    fields.OpenDataSection("DEVICE_CONTROL Parameters", "DeviceControlParameters");
    fields.ValueField("OutputBufferLength", IoctlWidth::U32, offsetof(HCD_RECORD_USER_REQUEST, OutputBufferLength));
    fields.ValueField("InputBufferLength", IoctlWidth::U32, offsetof(HCD_RECORD_USER_REQUEST, InputBufferLength));
    fields.ValueField("SystemBuffer", IoctlWidth::U64, offsetof(HCD_RECORD_USER_REQUEST, SystemBuffer));
    fields.CloseDataSection();
}

void HcdIoctlOutputer::OutputRequestHeader(IoctlFields& fields, bool completion) {
    fields.OpenDataSection("USBUSER_REQUEST_HEADER", "USBUSER_REQUEST_HEADER");
    ULONG request = 0;
    const bool have = fields.Read(kHeader + offsetof(USBUSER_REQUEST_HEADER, UsbUserRequest), request);
    fields.NamedCodeField("UserRequest", request, UserRequestName(request), have);
    fields.ValueField("RequestBufferLength", IoctlWidth::U32,
                      kHeader + offsetof(USBUSER_REQUEST_HEADER, RequestBufferLength));
    if (completion) {
        fields.ValueField("UserStatusCode", IoctlWidth::U32,
                          kHeader + offsetof(USBUSER_REQUEST_HEADER, UsbUserStatusCode));
        fields.ValueField("ActualBufferLength", IoctlWidth::U32,
                          kHeader + offsetof(USBUSER_REQUEST_HEADER, ActualBufferLength));
    }
    fields.EndOfBlock();
    fields.CloseDataSection();
}

void HcdIoctlOutputer::OutputControllerInfo(IoctlFields& fields) {
    fields.OpenDataSection("USB_CONTROLLER_INFO_0", "USB_CONTROLLER_INFO_0");
    fields.ValueField("PciVendorId", IoctlWidth::U32, kInfo + offsetof(USB_CONTROLLER_INFO_0, PciVendorId));
    fields.ValueField("PciDeviceId", IoctlWidth::U32, kInfo + offsetof(USB_CONTROLLER_INFO_0, PciDeviceId));
    fields.ValueField("PciRevision", IoctlWidth::U32, kInfo + offsetof(USB_CONTROLLER_INFO_0, PciRevision));
    fields.ValueField("NumberOfRootPorts", IoctlWidth::Short,
                      kInfo + offsetof(USB_CONTROLLER_INFO_0, NumberOfRootPorts));
    ULONG flavor = 0;
    const bool haveFlavor = fields.Read(kInfo + offsetof(USB_CONTROLLER_INFO_0, ControllerFlavor), flavor);
    fields.NamedCodeField("ControllerFlavor", flavor, ControllerFlavorName(flavor), haveFlavor);
    ULONG flags = 0;
    fields.Read(kInfo + offsetof(USB_CONTROLLER_INFO_0, HcFeatureFlags), flags);
    fields.ValueField("HcFeatureFlags", IoctlWidth::U32, kInfo + offsetof(USB_CONTROLLER_INFO_0, HcFeatureFlags));
    for (ULONG bit = 0; bit < std::size(kFeatureFlags); ++bit) {
        if ((flags & (1u << bit)) == 0)
            continue;
        if (fields.IsMarkup()) {
            CString attribute;
            attribute.Format("Flag%u", bit);
            fields.Imp()->AddAttribute(attribute, kFeatureFlags[bit]);
        } else {
            fields.Imp()->AddItem("", kFeatureFlags[bit], nullptr);
        }
    }
    fields.CloseDataSection();
}

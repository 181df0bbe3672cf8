// The writers of UsbintOutputer for the records that carry a structure: the parameter blocks of the device
// handle requests, the topology address, the start-failure data and the hub's configuration of a device.
#include <algorithm>
#include <cstddef>

#include "app/core/Trace.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/ioctl/IoctlFields.h"
#include "app/decoders/ioctl/IoctlHubCapFlags.h"
#include "app/decoders/ioctl/IoctlPlaceholders.h"
#include "app/decoders/ioctl/UsbintOutputer.h"
#include "common/RecordPayloads.h"
#include "usbioctl.h"

namespace {

// The arguments of a parameter block: the grid's label, the mark-up's element and its "Name" attribute.
constexpr struct {
    LPCSTR label;
    LPCSTR element;
    LPCSTR name;
} kArguments[] = {
    {"DeviceHandle* Arg1", "Argument1", "DeviceHandle*"},
    {"ReferenceContext Arg2", "Argument2", "ReferenceContext"},
    {"IoControlCode Arg3", "Argument3", "IoControlCode"},
    {"Unknown* Arg4", "Argument4", "Unknown*"},
};
static_assert(offsetof(UIN_RECORD_TT_DEVICE_HANDLE, Argument1Value) ==
              offsetof(UIN_RECORD_DEVICE_HANDLE_EX, Argument1Value));

constexpr LPCSTR kDeviceHandleLabel = "DeviceHandle (*Arg1)";
constexpr LPCSTR kUnknownLabel = "Unknown (*Arg4)";

// The topology address follows the caller's pointer to it.
constexpr size_t kTopology = sizeof(ULONG64);
constexpr ULONG kTopologySize = kTopology + sizeof(USB_TOPOLOGY_ADDRESS);

// The start-failure data follows the buffer size.
constexpr size_t kFailData = IOCTL_RECORD_U32_SIZE;
constexpr size_t kDriverData = kFailData + offsetof(USB_START_FAILDATA, DriverData);
constexpr ULONG kFixedFailLength = offsetof(USB_START_FAILDATA, DriverData);

// A configuration completion: the caller's pointer and its request, the structure, then the strings' texts.
constexpr size_t kConfig = sizeof(UIN_RECORD_DEVICE_CONFIG_INFO);
constexpr ULONG kConfigSize = kConfig + sizeof(HUB_DEVICE_CONFIG_INFO);
static_assert(kConfigSize == 220);

constexpr struct {
    LPCSTR name;
    size_t offset;
} kIdStrings[] = {
    {"HardwareIds", kConfig + offsetof(HUB_DEVICE_CONFIG_INFO, HardwareIds)},
    {"CompatibleIds", kConfig + offsetof(HUB_DEVICE_CONFIG_INFO, CompatibleIds)},
    {"DeviceDescription", kConfig + offsetof(HUB_DEVICE_CONFIG_INFO, DeviceDescription)},
};

#define CONFIG_TRACE(...) TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_INTERNAL_IOCTL, __VA_ARGS__)

} // namespace

// --- parameter blocks ---

void UsbintOutputer::OutputArgumentRows(IoctlFields& fields, int arguments) {
    const bool completion = !m_Decode.HasInputData();
    const bool four = arguments == 4;
    if (fields.IsEmpty()) {
        for (int i = 0; i < arguments; ++i)
            IoctlPlaceholderRows(fields, {kArguments[i].label});
        if (completion)
            IoctlPlaceholderRows(fields, {kDeviceHandleLabel});
        if (four)
            IoctlPlaceholderRows(fields, {kUnknownLabel});
        return;
    }
    for (int i = 0; i < arguments; ++i)
        fields.AttributedValueField(kArguments[i].label, kArguments[i].element, IoctlWidth::U64,
                                    static_cast<size_t>(i) * sizeof(ULONG64), "Name", kArguments[i].name);
    // The handle is there only once the request has succeeded.
    if (completion && Succeeded())
        fields.AttributedValueField(kDeviceHandleLabel, "DeviceHandle", IoctlWidth::U64,
                                    offsetof(UIN_RECORD_DEVICE_HANDLE_EX, Argument1Value), "Deref", "Argument1");
    if (four)
        fields.AttributedValueField(kUnknownLabel, "Unknown", IoctlWidth::U32,
                                    offsetof(UIN_RECORD_TT_DEVICE_HANDLE, Argument4Value), "Deref", "Argument4");
    fields.EndOfBlock();
}

void UsbintOutputer::OutputDeviceHandleExParameters(IoctlFields& fields) {
    OutputArgumentRows(fields, 2);
}

void UsbintOutputer::OutputTtDeviceHandleParameters(IoctlFields& fields) {
    OutputArgumentRows(fields, 4);
}

// --- topology ---

void UsbintOutputer::OutputTopologyAddress(IoctlFields& fields) {
    if (fields.IsEmpty())
        return;
    fields.AttributedValueField("Argument1 (PUSB_TOPOLOGY_ADDRESS)", "Argument1", IoctlWidth::U64, 0, "Type",
                                "PUSB_TOPOLOGY_ADDRESS");
    if (m_Decode.HasInputData() || !Succeeded()) {
        fields.EndOfBlock();
        return;
    }
    fields.SetNeeded(kTopologySize);
    fields.OpenDataSection("USB_TOPOLOGY_ADDRESS", "USB_TOPOLOGY_ADDRESS");
    fields.ValueField("PciBusNumber", IoctlWidth::U32, kTopology + offsetof(USB_TOPOLOGY_ADDRESS, PciBusNumber));
    fields.ValueField("PciDeviceNumber", IoctlWidth::U32, kTopology + offsetof(USB_TOPOLOGY_ADDRESS, PciDeviceNumber));
    fields.ValueField("PciFunctionNumber", IoctlWidth::U32,
                      kTopology + offsetof(USB_TOPOLOGY_ADDRESS, PciFunctionNumber));
    fields.ValueField("Reserved", IoctlWidth::U32, kTopology + offsetof(USB_TOPOLOGY_ADDRESS, Reserved));
    fields.ValueField("RootHubPortNumber", IoctlWidth::U16,
                      kTopology + offsetof(USB_TOPOLOGY_ADDRESS, RootHubPortNumber));
    for (int i = 0; i < 5; ++i) {
        CString label;
        label.Format("HubPortNumber.%d", i);
        CString index;
        index.Format("%d", i);
        fields.AttributedValueField(label, "HubPortNumber", IoctlWidth::U16,
                                    kTopology + offsetof(USB_TOPOLOGY_ADDRESS, HubPortNumber) + i * sizeof(USHORT),
                                    "Index", index);
    }
    fields.ValueField("Reserved2", IoctlWidth::U16, kTopology + offsetof(USB_TOPOLOGY_ADDRESS, Reserved2));
    fields.CloseDataSection();
}

// --- start failure ---

void UsbintOutputer::OutputStatusNameField(IoctlFields& fields, LPCSTR name, size_t offset, const CString& statusName) {
    ULONG64 status = 0;
    const bool have = fields.ReadValue(offset, IoctlWidth::U32, status);
    const CString value = fields.Text(IoctlWidth::U32, status, have);
    if (!have)
        fields.Field(name, value);
    else if (fields.IsMarkup())
        m_pImp->WriteValueWithAttribute(name, value, "Name", statusName);
    else
        fields.Field(name, statusName + " (" + value + ")");
}

void UsbintOutputer::OutputStartFailData(IoctlFields& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"LengthInBytes", "NtStatus", "UsbdStatus", "ConnectStatus"});
        return;
    }
    ULONG length = 0;
    const bool haveLength = fields.Read(kFailData + offsetof(USB_START_FAILDATA, LengthInBytes), length);
    fields.Field("LengthInBytes", fields.Text(IoctlWidth::U32, length, haveLength));

    ULONG ntStatus = 0;
    fields.Read(kFailData + offsetof(USB_START_FAILDATA, NtStatus), ntStatus);
    CString ntName;
    CStringContent().NtStatusName(ntName, ntStatus);
    OutputStatusNameField(fields, "NtStatus", kFailData + offsetof(USB_START_FAILDATA, NtStatus), "STATUS_" + ntName);

    ULONG usbdStatus = 0;
    fields.Read(kFailData + offsetof(USB_START_FAILDATA, UsbdStatus), usbdStatus);
    CString usbdName;
    CStringContent().UsbdStatusName(usbdName, usbdStatus);
    OutputStatusNameField(fields, "UsbdStatus", kFailData + offsetof(USB_START_FAILDATA, UsbdStatus), usbdName);

    ULONG connectStatus = 0;
    const bool haveConnect = fields.Read(kFailData + offsetof(USB_START_FAILDATA, ConnectStatus), connectStatus);
    CString connectText;
    CStringContent().ConnectionStatusText(connectStatus, connectText);
    fields.NamedCodeField("ConnectStatus", connectStatus, connectText, haveConnect);

    // LengthInBytes counts the four fields and the driver's own data after them.
    if (!haveLength || length <= kFixedFailLength)
        return;
    // The bytes a length claims are reported in 32 bits: a claim past them stops at the largest.
    const ULONG claimed = std::min<ULONG>(length - kFixedFailLength, 0xFFFFFFFFu - kDriverData);
    const ULONG present = fields.CountWithin(kDriverData, claimed, 1);
    if (present == 0)
        return;
    const BYTE* data = fields.DataAt(kDriverData);
    if (fields.IsMarkup()) {
        fields.Field("DriverData", IoctlHexText(data, present));
    } else if (fields.IsGrid()) {
        m_pImp->AddDataBufferItem("DriverData");
        // The driver data's title carries no byte count, unlike the other data sections of this kind.
        CString title;
        title.Format("  Start Fail DriverData  - record #%u", m_Decode.GetSequenceNumber());
        IoctlSetDataBar(title, data, present);
    }
}

// --- device configuration ---

void UsbintOutputer::OutputHubFlags(IoctlFields& fields, size_t offset, LPCSTR caption) {
    ULONG flags = 0;
    const bool have = fields.Read(offset, flags);
    fields.Field("HubFlags", fields.Text(IoctlWidth::U32, flags, have));
    if (fields.IsMarkup())
        m_pImp->BeginElement("USB_HUB_CAP_FLAGS");
    else
        m_pImp->BeginValueGroup("USB_HUB_CAP_FLAGS", caption);
    IoctlHubCapFlagBits(fields, flags);
    fields.CloseDataSection();
}

void UsbintOutputer::InsertUsbIdString(IoctlFields& fields, size_t offset, LPCSTR name, const CString& text) {
    CONFIG_TRACE("--CUsbintProperties::InsertUsbIdString");
    if (fields.IsMarkup())
        m_pImp->BeginSection("USB_ID_STRING", "Name", name);
    else
        m_pImp->BeginValueGroup("USB_ID_STRING", name);
    fields.ValueField("LanguageId", IoctlWidth::U16, offset + offsetof(USB_ID_STRING, LanguageId));
    fields.ValueField("Pad", IoctlWidth::U16, offset + offsetof(USB_ID_STRING, Pad));
    fields.ValueField("LengthInBytes", IoctlWidth::U32, offset + offsetof(USB_ID_STRING, LengthInBytes));
    fields.ValueField("Buffer", IoctlWidth::U64, offset + offsetof(USB_ID_STRING, Buffer));
    fields.Field("Buffer String", "BufferString", text);
    fields.CloseDataSection();
}

void UsbintOutputer::InsertUsbIntHubDeviceConfigInfo(IoctlFields& fields) {
    CONFIG_TRACE("--CUsbintProperties::InsertUsbIntHubDeviceConfigInfo");
    if (fields.IsEmpty())
        return;
    fields.AttributedValueField("Address (PHUB_DEVICE_CONFIG_INFO)", "Address", IoctlWidth::U64,
                                offsetof(UIN_RECORD_DEVICE_CONFIG_INFO, Argument1), "Type", "PHUB_DEVICE_CONFIG_INFO");
    const ULONG status = m_Decode.GetStatus();
    const bool request = m_Decode.HasInputData();
    // A request that failed tells only what the caller asked for; a warning tells nothing more.
    if (request || (status & 0xC0000000) == 0xC0000000) {
        fields.OpenDataSection("HUB_DEVICE_CONFIG_INFO", "HUB_DEVICE_CONFIG_INFO");
        fields.ValueField("Version", IoctlWidth::U32, offsetof(UIN_RECORD_DEVICE_CONFIG_INFO, First));
        fields.ValueField("Length", IoctlWidth::U32, offsetof(UIN_RECORD_DEVICE_CONFIG_INFO, Second));
        fields.CloseDataSection();
        fields.EndOfBlock();
        return;
    }
    if (!Succeeded()) {
        fields.EndOfBlock();
        return;
    }
    CONFIG_TRACE("Completed successfully");
    CONFIG_TRACE("Total BufferLength = %d", static_cast<int>(fields.Size()));
    fields.SetNeeded(kConfigSize);
    fields.OpenDataSection("HUB_DEVICE_CONFIG_INFO", "HUB_DEVICE_CONFIG_INFO");
    fields.ValueField("Version", IoctlWidth::U32, kConfig + offsetof(HUB_DEVICE_CONFIG_INFO, Version));
    fields.ValueField("Length", IoctlWidth::U32, kConfig + offsetof(HUB_DEVICE_CONFIG_INFO, Length));
    OutputHubFlags(fields, kConfig + offsetof(HUB_DEVICE_CONFIG_INFO, HubFlags), "HubFlags");

    // The texts lie one after the other in the area behind the structure, each as long as its string says.
    ULONG offset = 0;
    ULONG remaining = fields.Size() > kConfigSize ? fields.Size() - kConfigSize : 0;
    for (const auto& idString : kIdStrings) {
        CONFIG_TRACE("Insert %s", idString.name);
        ULONG length = 0;
        ULONG64 buffer = 0;
        fields.Read(idString.offset + offsetof(USB_ID_STRING, LengthInBytes), length);
        fields.Read(idString.offset + offsetof(USB_ID_STRING, Buffer), buffer);
        CONFIG_TRACE("stringLen = %d", static_cast<int>(length));
        CONFIG_TRACE("stringOffset = %d", static_cast<int>(offset));
        CONFIG_TRACE("stringBufferLen = %d", static_cast<int>(remaining));
        CString text = kIoctlPlaceholder;
        // A string without a buffer has no text in the area.
        if (length != 0 && buffer != 0) {
            if (length <= remaining) {
                const CString taken = IoctlWideText(fields.DataAt(kConfigSize + offset), length);
                CONFIG_TRACE("%s", taken.GetString());
                text.Format("\"%s\"", taken.GetString());
                offset += length;
                remaining -= length;
            } else {
                fields.ReportTruncation(std::min<size_t>(size_t{kConfigSize} + offset + length, 0xFFFFFFFFu));
            }
        }
        CONFIG_TRACE("%s", text.GetString());
        InsertUsbIdString(fields, idString.offset, idString.name, text);
    }
    fields.CloseDataSection();
}

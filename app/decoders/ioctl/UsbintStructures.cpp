// The writers of UsbintOutputer for the records that carry a structure: the parameter blocks of the device
// handle requests, the topology address, the start-failure data and the hub's configuration of a device.
#include <algorithm>
#include <cstddef>
#include <span>

#include "app/core/diagnostics/Trace.h"
#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/ioctl/IoctlHubCapFlags.h"
#include "app/decoders/ioctl/IoctlPlaceholders.h"
#include "app/decoders/ioctl/UsbintOutputer.h"
#include "common/RecordPayloads.h"
#include "usbioctl.h"

namespace {

// The arguments of a parameter block, with the mark-up's "Name" of each; then what the first and the fourth
// point to, behind them.
constexpr FieldDecl kArguments[] = {
    FieldOf({"Argument1", "DeviceHandle* Arg1"}, FieldFormat::Hex64,
            offsetof(UIN_RECORD_TT_DEVICE_HANDLE, Arguments) + 0 * sizeof(ULONG64))
        .MarkedUp("Name", "DeviceHandle*"),
    FieldOf({"Argument2", "ReferenceContext Arg2"}, FieldFormat::Hex64,
            offsetof(UIN_RECORD_TT_DEVICE_HANDLE, Arguments) + 1 * sizeof(ULONG64))
        .MarkedUp("Name", "ReferenceContext"),
    FieldOf({"Argument3", "IoControlCode Arg3"}, FieldFormat::Hex64,
            offsetof(UIN_RECORD_TT_DEVICE_HANDLE, Arguments) + 2 * sizeof(ULONG64))
        .MarkedUp("Name", "IoControlCode"),
    FieldOf({"Argument4", "Unknown* Arg4"}, FieldFormat::Hex64,
            offsetof(UIN_RECORD_TT_DEVICE_HANDLE, Arguments) + 3 * sizeof(ULONG64))
        .MarkedUp("Name", "Unknown*"),
};
constexpr FieldDecl kDeviceHandle = FieldOf({"DeviceHandle", "DeviceHandle (*Arg1)"}, FieldFormat::Hex64,
                                            offsetof(UIN_RECORD_DEVICE_HANDLE_EX, Argument1Value))
                                        .MarkedUp("Deref", "Argument1");
constexpr FieldDecl kUnknown =
    FieldOf({"Unknown", "Unknown (*Arg4)"}, FieldFormat::Hex8, offsetof(UIN_RECORD_TT_DEVICE_HANDLE, Argument4Value))
        .MarkedUp("Deref", "Argument4");
static_assert(offsetof(UIN_RECORD_TT_DEVICE_HANDLE, Argument1Value) ==
              offsetof(UIN_RECORD_DEVICE_HANDLE_EX, Argument1Value));

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

void UsbintOutputer::OutputArgumentRows(FieldWriter& fields, int arguments) {
    const bool completion = !m_Decode.HasInputData();
    const bool four = arguments == 4;
    if (fields.IsEmpty()) {
        for (int i = 0; i < arguments; ++i)
            IoctlPlaceholderRows(fields, {kArguments[i].label.grid});
        if (completion)
            IoctlPlaceholderRows(fields, {kDeviceHandle.label.grid});
        if (four)
            IoctlPlaceholderRows(fields, {kUnknown.label.grid});
        return;
    }
    fields.PayloadFields(std::span(kArguments).first(static_cast<size_t>(arguments)));
    // The handle is there only once the request has succeeded.
    if (completion && Succeeded())
        fields.PayloadField(kDeviceHandle);
    if (four)
        fields.PayloadField(kUnknown);
    fields.EndOfBlock();
}

void UsbintOutputer::OutputDeviceHandleExParameters(FieldWriter& fields) {
    OutputArgumentRows(fields, 2);
}

void UsbintOutputer::OutputTtDeviceHandleParameters(FieldWriter& fields) {
    OutputArgumentRows(fields, 4);
}

// --- topology ---

void UsbintOutputer::OutputTopologyAddress(FieldWriter& fields) {
    if (fields.IsEmpty())
        return;
    fields.PayloadField(FieldOf({"Argument1", "Argument1 (PUSB_TOPOLOGY_ADDRESS)"}, FieldFormat::Hex64, 0)
                            .MarkedUp("Type", "PUSB_TOPOLOGY_ADDRESS", nullptr));
    if (m_Decode.HasInputData() || !Succeeded()) {
        fields.EndOfBlock();
        return;
    }
    fields.SetNeeded(kTopologySize);
    fields.Open(FieldSection::Block, {"USB_TOPOLOGY_ADDRESS", "USB_TOPOLOGY_ADDRESS"});
    fields.ValueField("PciBusNumber", FieldFormat::Hex8, kTopology + offsetof(USB_TOPOLOGY_ADDRESS, PciBusNumber));
    fields.ValueField("PciDeviceNumber", FieldFormat::Hex8,
                      kTopology + offsetof(USB_TOPOLOGY_ADDRESS, PciDeviceNumber));
    fields.ValueField("PciFunctionNumber", FieldFormat::Hex8,
                      kTopology + offsetof(USB_TOPOLOGY_ADDRESS, PciFunctionNumber));
    fields.ValueField("Reserved", FieldFormat::Hex8, kTopology + offsetof(USB_TOPOLOGY_ADDRESS, Reserved));
    fields.ValueField("RootHubPortNumber", FieldFormat::Hex4,
                      kTopology + offsetof(USB_TOPOLOGY_ADDRESS, RootHubPortNumber));
    for (int i = 0; i < 5; ++i) {
        CString label;
        label.Format("HubPortNumber.%d", i);
        CString index;
        index.Format("%d", i);
        fields.PayloadField(FieldOf({"HubPortNumber", label}, FieldFormat::Hex4,
                                    kTopology + offsetof(USB_TOPOLOGY_ADDRESS, HubPortNumber) + i * sizeof(USHORT))
                                .MarkedUp("Index", index, nullptr));
    }
    fields.ValueField("Reserved2", FieldFormat::Hex4, kTopology + offsetof(USB_TOPOLOGY_ADDRESS, Reserved2));
    fields.Close(FieldSection::Block);
}

// --- start failure ---

void UsbintOutputer::OutputStatusNameField(FieldWriter& fields, LPCSTR name, size_t offset, const CString& statusName) {
    ULONG64 status = 0;
    const bool have = fields.ReadNumber(offset, 4, status);
    if (have)
        fields.NameFirstField(name, statusName, fields.Number(FieldFormat::Hex8, status));
    else
        fields.Field(name, LogOutputer::kUnknownText);
}

void UsbintOutputer::OutputStartFailData(FieldWriter& fields) {
    if (fields.IsEmpty() || !Succeeded()) {
        IoctlPlaceholderRows(fields, {"LengthInBytes", "NtStatus", "UsbdStatus", "ConnectStatus"});
        return;
    }
    ULONG length = 0;
    const bool haveLength = fields.Read(kFailData + offsetof(USB_START_FAILDATA, LengthInBytes), length);
    fields.Field("LengthInBytes", fields.Number(FieldFormat::Hex8, length, haveLength));

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
    fields.CodeField("ConnectStatus", connectStatus, connectText, haveConnect);

    // LengthInBytes counts the four fields and the driver's own data after them.
    if (!haveLength || length <= kFixedFailLength)
        return;
    // The bytes a length claims are reported in 32 bits: a claim past them stops at the largest.
    const ULONG claimed = std::min<ULONG>(length - kFixedFailLength, 0xFFFFFFFFu - kDriverData);
    const ULONG present = fields.CountWithin(kDriverData, claimed, 1);
    if (present == 0)
        return;
    const BYTE* data = fields.DataAt(kDriverData);
    fields.Field("DriverData", FieldHexText(data, present), nullptr, kXml);
    // The driver data's title carries no byte count, unlike the other data sections of this kind.
    CString title;
    title.Format("  Start Fail DriverData  - record #%u", m_Decode.GetSequenceNumber());
    fields.DataBuffer("DriverData", title, data, present);
}

// --- device configuration ---

void UsbintOutputer::OutputHubFlags(FieldWriter& fields, size_t offset, LPCSTR caption) {
    ULONG flags = 0;
    const bool have = fields.Read(offset, flags);
    fields.Field("HubFlags", fields.Number(FieldFormat::Hex8, flags, have));
    fields.Open(FieldSection::Block, "USB_HUB_CAP_FLAGS", caption);
    IoctlHubCapFlagBits(fields, flags);
    fields.Close(FieldSection::Block);
}

void UsbintOutputer::InsertUsbIdString(FieldWriter& fields, size_t offset, LPCSTR name, const CString& text) {
    CONFIG_TRACE("--CUsbintProperties::InsertUsbIdString");
    fields.Open(FieldSection::Block, "USB_ID_STRING", name, kAllMedia, "Name");
    fields.ValueField("LanguageId", FieldFormat::Hex4, offset + offsetof(USB_ID_STRING, LanguageId));
    fields.ValueField("Pad", FieldFormat::Hex4, offset + offsetof(USB_ID_STRING, Pad));
    fields.ValueField("LengthInBytes", FieldFormat::Hex8, offset + offsetof(USB_ID_STRING, LengthInBytes));
    fields.ValueField("Buffer", FieldFormat::Hex64, offset + offsetof(USB_ID_STRING, Buffer));
    fields.Field({"BufferString", "Buffer String"}, text);
    fields.Close(FieldSection::Block);
}

void UsbintOutputer::InsertUsbIntHubDeviceConfigInfo(FieldWriter& fields) {
    CONFIG_TRACE("--CUsbintProperties::InsertUsbIntHubDeviceConfigInfo");
    if (fields.IsEmpty())
        return;
    fields.PayloadField(FieldOf({"Address", "Address (PHUB_DEVICE_CONFIG_INFO)"}, FieldFormat::Hex64,
                                offsetof(UIN_RECORD_DEVICE_CONFIG_INFO, Argument1))
                            .MarkedUp("Type", "PHUB_DEVICE_CONFIG_INFO", nullptr));
    const ULONG status = m_Decode.GetStatus();
    const bool request = m_Decode.HasInputData();
    // A request that failed tells only what the caller asked for; a warning tells nothing more.
    if (request || (status & 0xC0000000) == 0xC0000000) {
        fields.Open(FieldSection::Block, {"HUB_DEVICE_CONFIG_INFO", "HUB_DEVICE_CONFIG_INFO"});
        fields.ValueField("Version", FieldFormat::Hex8, offsetof(UIN_RECORD_DEVICE_CONFIG_INFO, First));
        fields.ValueField("Length", FieldFormat::Hex8, offsetof(UIN_RECORD_DEVICE_CONFIG_INFO, Second));
        fields.Close(FieldSection::Block);
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
    fields.Open(FieldSection::Block, {"HUB_DEVICE_CONFIG_INFO", "HUB_DEVICE_CONFIG_INFO"});
    fields.ValueField("Version", FieldFormat::Hex8, kConfig + offsetof(HUB_DEVICE_CONFIG_INFO, Version));
    fields.ValueField("Length", FieldFormat::Hex8, kConfig + offsetof(HUB_DEVICE_CONFIG_INFO, Length));
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
                const CString taken = FieldWideText(fields.DataAt(kConfigSize + offset), length);
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
    fields.Close(FieldSection::Block);
}

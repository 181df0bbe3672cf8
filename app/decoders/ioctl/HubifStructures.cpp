// The structures hub-interface calls pass or return: device, controller and hub information, performance
// counters, pipe information, a device's descriptors, and the error blocks of a failed device creation.
// Offsets are the published layouts' own, placed where the calls put them in the argument block.
#include <algorithm>
#include <cstddef>

#include <afxcoll.h>

#include "app/decoders/descriptors/ConfigDescOutputer.h"
#include "app/decoders/descriptors/DeviceDescOutputer.h"
#include "app/decoders/descriptors/EndpointDescOutputer.h"
#include "app/decoders/descriptors/FullConfigDescOutputer.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/ioctl/CallArgument.h"
#include "app/decoders/ioctl/HubifOutputer.h"
#include "app/decoders/ioctl/HubifRows.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "common/ByteReader.h"
#include "hubbusif.h"
#include "usb.h"

namespace {

using enum HubifSource;
using enum HubifShow;
using namespace hubif_widths;

// The information queries: the input buffer's length, the length returned, then the structure.
constexpr size_t kLengthReturnedOffset = 4;
constexpr size_t kInformation = 8;
constexpr uint16_t At(size_t structureOffset) {
    return static_cast<uint16_t>(kInformation + structureOffset);
}

// USB_DEVICE_INFORMATION_0 up to its pipe list, and one pipe entry.
constexpr size_t kDeviceInformationHead = At(offsetof(USB_DEVICE_INFORMATION_0, PipeList));
constexpr size_t kDescriptorOffset = At(offsetof(USB_DEVICE_INFORMATION_0, DeviceDescriptor));
constexpr size_t kPipeEntry = sizeof(USB_PIPE_INFORMATION_0);
// ActualLength counts the head the pipe list follows within the structure.
constexpr ULONG kDeviceInformationFixed = offsetof(USB_DEVICE_INFORMATION_0, PipeList);
static_assert(kDeviceInformationHead == 60 && kDescriptorOffset == 20 && kDeviceInformationFixed == 52);

constexpr HubifRow kDeviceInformationHeadRows[] = {
    {"InformationLevel", "InformationLevel", Argument, At(offsetof(USB_DEVICE_INFORMATION_0, InformationLevel)), U32},
    {"ActualLength", "ActualLength", Argument, At(offsetof(USB_DEVICE_INFORMATION_0, ActualLength)), U32},
    {"PortNumber", "PortNumber", Argument, At(offsetof(USB_DEVICE_INFORMATION_0, PortNumber)), U32},
};
constexpr HubifRow kDeviceInformationTailRows[] = {
    {"CurrentConfigurationValue", "CurrentConfigurationValue", Argument,
     At(offsetof(USB_DEVICE_INFORMATION_0, CurrentConfigurationValue)), U8},
    {"ReservedMBZ", "ReservedMBZ", Argument, At(offsetof(USB_DEVICE_INFORMATION_0, ReservedMBZ)), U8},
    {"DeviceAddress", "DeviceAddress", Argument, At(offsetof(USB_DEVICE_INFORMATION_0, DeviceAddress)), U16},
    {"HubAddress", "HubAddress", Argument, At(offsetof(USB_DEVICE_INFORMATION_0, HubAddress)), U32},
};
constexpr size_t kDeviceSpeedOffset = At(offsetof(USB_DEVICE_INFORMATION_0, DeviceSpeed));
constexpr size_t kDeviceTypeOffset = At(offsetof(USB_DEVICE_INFORMATION_0, DeviceType));
constexpr HubifRow kOpenPipesRow{"NumberOfOpenPipes", "NumberOfOpenPipes", Argument,
                                 At(offsetof(USB_DEVICE_INFORMATION_0, NumberOfOpenPipes)), U32};
constexpr HubifRow kScheduleOffsetRow{"ScheduleOffset", "ScheduleOffset", Argument,
                                      offsetof(USB_PIPE_INFORMATION_0, ScheduleOffset), U32};

// USB_CONTROLLER_INFORMATION_0: the size tests cover its first 10 bytes; the flags behind may be cut.
constexpr ULONG kControllerInformationTested = 10;
constexpr size_t kControllerInformationEnd = At(offsetof(USB_CONTROLLER_INFORMATION_0, IsHighSpeedController) + 1);
constexpr HubifRow kControllerInformationRows[] = {
    {"InformationLevel", "InformationLevel", Argument, At(offsetof(USB_CONTROLLER_INFORMATION_0, InformationLevel)),
     U32},
    {"ActualLength", "ActualLength", Argument, At(offsetof(USB_CONTROLLER_INFORMATION_0, ActualLength)), U32},
    {"SelectiveSuspendEnabled", "SelectiveSuspendEnabled", Argument,
     At(offsetof(USB_CONTROLLER_INFORMATION_0, SelectiveSuspendEnabled)), U8, nullptr, Boolean},
    {"IsHighSpeedController", "IsHighSpeedController", Argument,
     At(offsetof(USB_CONTROLLER_INFORMATION_0, IsHighSpeedController)), U8, nullptr, Boolean},
};

// USB_EXTHUB_INFORMATION_0 and its port entries.
constexpr size_t kExtHubPorts = At(offsetof(USB_EXTHUB_INFORMATION_0, Port));
constexpr size_t kExtPortEntry = sizeof(USB_EXTPORT_INFORMATION_0);
constexpr HubifRow kExtHubRows[] = {
    {"InformationLevel", "InformationLevel", Argument, At(offsetof(USB_EXTHUB_INFORMATION_0, InformationLevel)), U32},
    {"NumberOfPorts", "NumberOfPorts", Argument, At(offsetof(USB_EXTHUB_INFORMATION_0, NumberOfPorts)), U32},
};
constexpr HubifRow kExtPortRows[] = {
    {"PhysicalPortNumber", "PhysicalPortNumber", Argument, offsetof(USB_EXTPORT_INFORMATION_0, PhysicalPortNumber),
     U32},
    {"PortLabelNumber", "PortLabelNumber", Argument, offsetof(USB_EXTPORT_INFORMATION_0, PortLabelNumber), U32},
    {"VidOverride", "VidOverride", Argument, offsetof(USB_EXTPORT_INFORMATION_0, VidOverride), U16},
    {"PidOverride", "PidOverride", Argument, offsetof(USB_EXTPORT_INFORMATION_0, PidOverride), U16},
    {"PortAttributes", "PortAttributes", Argument, offsetof(USB_EXTPORT_INFORMATION_0, PortAttributes), U32},
};

// USB_DEVICE_PERFORMANCE_INFO_0, whole.
constexpr ULONG kPerformanceInfoEnd = At(sizeof(USB_DEVICE_PERFORMANCE_INFO_0));
static_assert(kPerformanceInfoEnd == 96);
#define TDL_PERF_ROW(field)                                                                                            \
    { #field, #field, Argument, At(offsetof(USB_DEVICE_PERFORMANCE_INFO_0, field)), U32 }
constexpr HubifRow kPerformanceCountRows[] = {
    TDL_PERF_ROW(InformationLevel),  TDL_PERF_ROW(ActualLength),     TDL_PERF_ROW(BulkBytes),
    TDL_PERF_ROW(BulkUrbCount),      TDL_PERF_ROW(ControlDataBytes), TDL_PERF_ROW(ControlUrbCount),
    TDL_PERF_ROW(IsoBytes),          TDL_PERF_ROW(IsoUrbCount),      TDL_PERF_ROW(InterruptBytes),
    TDL_PERF_ROW(InterruptUrbCount),
};
constexpr HubifRow kPerformanceTotalRows[] = {
    TDL_PERF_ROW(AllocedIso),      TDL_PERF_ROW(Total32secBandwidth), TDL_PERF_ROW(TotalTtBandwidth),
    TDL_PERF_ROW(TotalIsoLatency), TDL_PERF_ROW(DroppedIsoPackets),   TDL_PERF_ROW(TransferErrors),
};
#undef TDL_PERF_ROW
constexpr size_t kAllocedInterrupt = At(offsetof(USB_DEVICE_PERFORMANCE_INFO_0, AllocedInterrupt));
constexpr int kAllocedInterrupts = 6;

// USBD_PIPE_INFORMATION, at +16 of CalculatePipeBandwidth's block.
constexpr size_t kPipeInformation = 16;
constexpr uint16_t Pipe(size_t field) {
    return static_cast<uint16_t>(kPipeInformation + field);
}
constexpr ULONG kPipeInformationEnd = Pipe(sizeof(USBD_PIPE_INFORMATION));
constexpr HubifRow kPipeInformationRows[] = {
    {"MaximumPacketSize", "MaximumPacketSize", Argument, Pipe(offsetof(USBD_PIPE_INFORMATION, MaximumPacketSize)), U16},
    {"MaximumTransferSize", "MaximumTransferSize", Argument, Pipe(offsetof(USBD_PIPE_INFORMATION, MaximumTransferSize)),
     U32},
    {"Interval", "Interval", Argument, Pipe(offsetof(USBD_PIPE_INFORMATION, Interval)), U8},
    {"PipeFlags", "PipeFlags", Argument, Pipe(offsetof(USBD_PIPE_INFORMATION, PipeFlags)), U32},
    {"PipeHandle", "PipeHandle", Argument, Pipe(offsetof(USBD_PIPE_INFORMATION, PipeHandle)), U64},
};

// GetUsbDescriptors: the two lengths, the device descriptor, the configuration behind it.
constexpr size_t kDescriptors = 8;
// A configuration longer than its 9-byte header holds its interfaces and endpoints.
constexpr ULONG kConfigurationHeader = 9;

// The error blocks and the completion records long enough for them, by where each call puts its block.
constexpr size_t kCreateDeviceExErrorOffset = 24;
constexpr size_t kCreateDeviceV7ErrorOffset = 40; // behind V7's own arguments, which end with its PDO at +32
constexpr size_t kInitDeviceErrorOffset = 8;
constexpr ULONG kXtraInfoBytes = 64;

LPCSTR InfoSpeedName(ULONG speed) {
    static constexpr LPCSTR kNames[] = {"Low Speed", "Full Speed", "High Speed"};
    return speed < std::size(kNames) ? kNames[speed] : "Invalid Speed";
}

LPCSTR InfoTypeName(ULONG type) {
    static constexpr LPCSTR kNames[] = {"USB 1.1", "USB 2.0"};
    return type < std::size(kNames) ? kNames[type] : "Invalid Type";
}

CString PathErrorName(ULONG value, std::span<const LPCSTR> names) {
    if (value < names.size())
        return names[value];
    CString name;
    name.Format("Error_%u", value);
    return name;
}

constexpr LPCSTR kCreateDevErrors[] = {
    "CreateDevErrNotSet",          "CreateDevBadHubDevHandle",   "CreateDevFailedAllocDevHandle",
    "CreateDevFailedOpenEndpoint", "CreateDevFailedAllocDsBuff", "CreateDevFailedGetDs",
    "CreateDevTtNotFound",         "CreateDevBadDevHandlePtr"};
constexpr LPCSTR kInitDevErrors[] = {"InitDevErrNotSet", "InitDevFailedSetAddress", "InitDevFailedPokeEndpoint",
                                     "InitDevBadDeviceDescriptor"};

} // namespace

// The two error blocks share their head: version, path error, two words, the NTSTATUS.
struct HubifErrorBlock {
    LPCSTR type;
    std::span<const LPCSTR> pathErrors;
    LPCSTR arguments[2];
    bool usbdStatus; // the initialisation's block adds the USBD status
    size_t xtraInfo;
};

namespace {

constexpr size_t kErrorVersion = offsetof(USB_CD_ERROR_INFORMATION, Version);
constexpr size_t kErrorPath = offsetof(USB_CD_ERROR_INFORMATION, PathError);
constexpr size_t kErrorArguments = offsetof(USB_CD_ERROR_INFORMATION, UlongArg1);
constexpr size_t kErrorNtStatus = offsetof(USB_CD_ERROR_INFORMATION, NtStatus);
static_assert(offsetof(USB_ID_ERROR_INFORMATION, Version) == kErrorVersion &&
              offsetof(USB_ID_ERROR_INFORMATION, PathError) == kErrorPath &&
              offsetof(USB_ID_ERROR_INFORMATION, Arg1) == kErrorArguments &&
              offsetof(USB_CD_ERROR_INFORMATION, UlongArg2) == kErrorArguments + 4 &&
              offsetof(USB_ID_ERROR_INFORMATION, UsbAddress) == kErrorArguments + 4 &&
              offsetof(USB_ID_ERROR_INFORMATION, NtStatus) == kErrorNtStatus);

constexpr HubifErrorBlock kCreateDeviceError{"USB_CD_ERROR_INFORMATION",
                                             kCreateDevErrors,
                                             {"UlongArg1", "UlongArg2"},
                                             false,
                                             offsetof(USB_CD_ERROR_INFORMATION, XtraInfo)};
constexpr HubifErrorBlock kInitDeviceError{"USB_ID_ERROR_INFORMATION",
                                           kInitDevErrors,
                                           {"Arg1", "UsbAddress"},
                                           true,
                                           offsetof(USB_ID_ERROR_INFORMATION, XtraInfo)};

} // namespace

void HubifOutputer::OutputStructureRows(FieldWriter& fields, std::span<const HubifRow> rows, size_t base) {
    for (HubifRow row : rows) {
        row.field.offset = static_cast<uint16_t>(row.field.offset + base);
        OutputFunctionRow(fields, row);
    }
}

void HubifOutputer::OutputNamedWord(FieldWriter& fields, LPCSTR label, size_t offset, LPCSTR (*name)(ULONG)) {
    ULONG value = 0;
    if (fields.Read(offset, value))
        NamedValueField(fields, label, label, fields.Text(U32, value), name(value), "Type");
    else
        fields.Field(label, kUnknownText);
}

void HubifOutputer::OutputDeviceInformation(int mode, ULONG dataSize, const BYTE* args) {
    if (!HasReturnedData() || dataSize <= kInformation)
        return;
    FieldWriter fields(*this, mode);
    ULONG lengthReturned = 0;
    fields.Read(kLengthReturnedOffset, lengthReturned);
    if (dataSize < kDeviceInformationHead || lengthReturned < dataSize - kInformation) {
        m_pImp->AddReadOnlyItem("USB_DEVICE_INFORMATION_0", "Invalid buffer");
        return;
    }
    fields.Open(FieldSection::Block, {"USB_DEVICE_INFORMATION_0", "USB_DEVICE_INFORMATION_0"});
    OutputStructureRows(fields, kDeviceInformationHeadRows, 0);
    // The descriptor's own length, within its 18-byte field; its decoder closes its own section.
    const ULONG descriptorLength = std::min<ULONG>(args[kDescriptorOffset], sizeof(USB_DEVICE_DESCRIPTOR));
    const int nested = fields.NestedMode();
    DeviceDescOutputer(m_pImp, m_pContext, args + kDescriptorOffset, descriptorLength)
        .Output(nested, FieldLabels("DeviceDescriptor", "Device Descriptor").For(nested), "", CStringArray(),
                CStringArray(), false);
    OutputStructureRows(fields, kDeviceInformationTailRows, 0);
    OutputNamedWord(fields, "DeviceSpeed", kDeviceSpeedOffset, InfoSpeedName);
    OutputNamedWord(fields, "DeviceType", kDeviceTypeOffset, InfoTypeName);
    OutputFunctionRow(fields, kOpenPipesRow);
    // ActualLength, not the open pipe count, tells how many entries follow; below one entry there are none
    // (and the count would wrap).
    ULONG actualLength = 0;
    fields.Read(At(offsetof(USB_DEVICE_INFORMATION_0, ActualLength)), actualLength);
    const ULONG wanted = actualLength >= kDeviceInformationFixed + kPipeEntry
                             ? (actualLength - kDeviceInformationFixed) / kPipeEntry
                             : 0;
    const ULONG pipes = fields.CountWithin(kDeviceInformationHead, wanted, kPipeEntry);
    for (ULONG i = 0; i < pipes; ++i) {
        const size_t entry = kDeviceInformationHead + i * kPipeEntry;
        CString number;
        number.Format("%d", static_cast<int>(i));
        fields.Open(FieldSection::Block, "USB_PIPE_INFORMATION_0", number, kXml, "Pipe");
        fields.Open(FieldSection::Block, "USB_PIPE_INFORMATION_0", "Pipe " + number, kNotMarkup);
        ULONG consumed = 0;
        EndpointDescOutputer(m_pImp, m_pContext, args + entry, sizeof(USB_ENDPOINT_DESCRIPTOR))
            .Output(nested, FieldLabels("EndpointDescriptor", "USB_ENDPOINT_DESCRIPTOR").For(nested), "", consumed,
                    false);
        OutputStructureRows(fields, {&kScheduleOffsetRow, 1}, entry);
        fields.Close(FieldSection::Block);
    }
    fields.Close(FieldSection::Block);
}

void HubifOutputer::OutputControllerInformation(int mode, ULONG dataSize, const BYTE* /*args*/) {
    FieldWriter fields(*this, mode, kControllerInformationEnd);
    ULONG lengthReturned = 0;
    if (!HasReturnedData() || dataSize < kControllerInformationTested ||
        !fields.Read(kLengthReturnedOffset, lengthReturned) || lengthReturned < kControllerInformationTested)
        return;
    fields.Open(FieldSection::Block, {"USB_CONTROLLER_INFORMATION_0", "USB_CONTROLLER_INFORMATION_0"});
    OutputStructureRows(fields, kControllerInformationRows, 0);
    fields.Close(FieldSection::Block);
}

void HubifOutputer::OutputExtHubInformation(int mode, ULONG dataSize, const BYTE* /*args*/) {
    FieldWriter fields(*this, mode);
    ULONG lengthReturned = 0;
    if (!HasReturnedData() || dataSize < kExtHubPorts || !fields.Read(kLengthReturnedOffset, lengthReturned) ||
        lengthReturned < dataSize - kInformation)
        return;
    fields.Open(FieldSection::Block, {"USB_EXTHUB_INFORMATION_0", "USB_EXTHUB_INFORMATION_0"});
    OutputStructureRows(fields, kExtHubRows, 0);
    ULONG numberOfPorts = 0;
    fields.Read(At(offsetof(USB_EXTHUB_INFORMATION_0, NumberOfPorts)), numberOfPorts);
    const ULONG filled = lengthReturned - static_cast<ULONG>(kInformation);
    const ULONG wanted = filled >= kExtPortEntry ? std::min<ULONG>(filled / kExtPortEntry, numberOfPorts) : 0;
    const ULONG ports = fields.CountWithin(kExtHubPorts, wanted, kExtPortEntry);
    for (ULONG i = 0; i < ports; ++i) {
        CString number;
        number.Format("%d", static_cast<int>(i));
        fields.Open(FieldSection::Block, "USB_EXTPORT_INFORMATION_0", number, kXml, "Port");
        fields.Open(FieldSection::Block, "USB_EXTPORT_INFORMATION_0", "Port " + number, kNotMarkup);
        OutputStructureRows(fields, kExtPortRows, kExtHubPorts + i * kExtPortEntry);
        fields.Close(FieldSection::Block);
    }
    fields.Close(FieldSection::Block);
}

void HubifOutputer::OutputDevicePerformanceInfo(int mode, ULONG dataSize, const BYTE* /*args*/) {
    if (!HasReturnedData() || dataSize < kPerformanceInfoEnd)
        return;
    FieldWriter fields(*this, mode, kPerformanceInfoEnd);
    fields.Open(FieldSection::Block, {"USB_DEVICE_PERFORMANCE_INFO_0", "USB_DEVICE_PERFORMANCE_INFO_0"});
    OutputStructureRows(fields, kPerformanceCountRows, 0);
    fields.Open(FieldSection::Block, {"AllocedInterrupts", "AllocedInterrupts"});
    for (int i = 0; i < kAllocedInterrupts; ++i) {
        ULONG64 value = 0;
        const bool have = fields.ReadNumber(kAllocedInterrupt + 4 * static_cast<size_t>(i), 4, value);
        CString index;
        index.Format("%d", i);
        const CString text = fields.Text(U32, value, have);
        fields.Field("AllocedInterrupt", text, nullptr, kXml);
        fields.Attribute("index", index);
        fields.Field("AllocedInterrupt." + index, text, nullptr, kNotMarkup);
    }
    fields.Close(FieldSection::Block);
    OutputStructureRows(fields, kPerformanceTotalRows, 0);
    fields.Close(FieldSection::Block);
}

void HubifOutputer::OutputPipeInformation(int mode, ULONG /*dataSize*/, const BYTE* args) {
    FieldWriter fields(*this, mode, kPipeInformationEnd);
    OpenValueSection(fields, "USBD_PIPE_INFORMATION", "PipeInfo", "USBD_PIPE_INFORMATION");
    const size_t addressAt = Pipe(offsetof(USBD_PIPE_INFORMATION, EndpointAddress));
    BYTE address = 0;
    UrbOutputer::FieldCursor cursor;
    if (fields.Read(addressAt, address))
        cursor = {args + addressAt, 1, 1};
    // The URB decoder writes endpoint addresses; it needs nothing of the record but the back-end.
    UrbOutputer(m_pImp, m_pContext, reinterpret_cast<const _LOGHDR*>(m_Decode.GetRecord()))
        .InsertEndpointAddress(mode, cursor, address);
    BYTE pipeType = 0;
    CString typeName = kUnknownText;
    if (fields.Read(Pipe(offsetof(USBD_PIPE_INFORMATION, PipeType)), pipeType)) {
        typeName.Empty();
        CStringContent().TransferTypeName(pipeType, typeName);
    }
    fields.Field("PipeType", typeName);
    OutputStructureRows(fields, kPipeInformationRows, 0);
    fields.Close(FieldSection::Block);
}

void HubifOutputer::OutputUsbDescriptors(int mode, ULONG /*dataSize*/, const BYTE* /*args*/) {
    if (!HasReturnedData())
        return;
    FieldWriter fields(*this, mode, kDescriptors);
    ULONG deviceLength = 0;
    ULONG configLength = 0;
    if (!fields.Read(0, deviceLength) || !fields.Read(4, configLength))
        return;
    fields.Open(FieldSection::Block, {"USB_Descriptors", "USB Descriptors"});
    // Each descriptor gets what its length asks for and the record holds; asking for more is a cut.
    const ULONG deviceBytes = std::min(deviceLength, fields.BytesFrom(kDescriptors));
    if (deviceBytes < deviceLength)
        fields.ReportTruncation(kDescriptors + static_cast<size_t>(deviceLength));
    const int nested = fields.NestedMode();
    DeviceDescOutputer(m_pImp, m_pContext, fields.DataAt(kDescriptors), deviceBytes)
        .Output(nested, FieldLabels("DeviceDescriptor", "Device Descriptor").For(nested), "", CStringArray(),
                CStringArray(), false);
    const ULONG64 configOffset = kDescriptors + static_cast<ULONG64>(deviceLength);
    if (configOffset < fields.Size()) {
        const ULONG configBytes = std::min(configLength, fields.BytesFrom(configOffset));
        if (configBytes < configLength)
            fields.ReportTruncation(configOffset + configLength);
        const BYTE* config = fields.DataAt(configOffset);
        if (configLength > kConfigurationHeader) {
            FullConfigDescOutputer(m_pImp, m_pContext, config, configBytes)
                .Output(nested, FieldLabels("FullConfigurationDescriptor", "Full Configuration Descriptor").For(nested),
                        "", false, false);
        } else {
            ULONG consumed = 0;
            ConfigDescOutputer(m_pImp, m_pContext, config, configBytes)
                .Output(nested, FieldLabels("ConfigurationDescriptor", "Configuration Descriptor").For(nested), "",
                        consumed, false);
        }
    } else if (configLength != 0) {
        fields.ReportTruncation(configOffset + configLength);
    }
    fields.Close(FieldSection::Block);
}

void HubifOutputer::OutputXtraInfo(FieldWriter& fields, const BYTE* bytes) {
    fields.Field("XtraInfo", FieldHexText(bytes, kXtraInfoBytes), nullptr, kXml);
    CString title;
    title.Format("  XtraInfo[64] - record #%u", m_Decode.GetSequenceNumber());
    fields.DataBuffer("XtraInfo", title, bytes, kXtraInfoBytes);
}

void HubifOutputer::OutputErrorBlock(int mode, const BYTE* block, const HubifErrorBlock& layout) {
    FieldWriter fields(*this, mode);
    OpenValueSection(fields, "ErrInfo", layout.type, layout.type);
    const auto word = [block](size_t offset) { return tdl::LoadLe<ULONG>(block + offset); };
    fields.Field("Version", fields.Number(U32, word(kErrorVersion)));
    const ULONG pathError = word(kErrorPath);
    NamedValueField(fields, "PathError", "PathError", fields.Text(U32, pathError),
                    PathErrorName(pathError, layout.pathErrors), "Name");
    fields.Field(layout.arguments[0], fields.Number(U32, word(kErrorArguments)));
    fields.Field(layout.arguments[1], fields.Number(U32, word(kErrorArguments + 4)));
    fields.Field("NtStatus", fields.Number(U32, word(kErrorNtStatus)));
    if (layout.usbdStatus)
        OutputUsbdStatus(mode, static_cast<LONG>(word(offsetof(USB_ID_ERROR_INFORMATION, UsbdStatus))), "UsbdStatus",
                         "as LONG");
    OutputXtraInfo(fields, block + layout.xtraInfo);
    fields.Close(FieldSection::Block);
}

void HubifOutputer::OutputCreateDeviceErrorInfo(int mode, const BYTE* block) {
    OutputErrorBlock(mode, block, kCreateDeviceError);
}

void HubifOutputer::OutputInitDeviceErrorInfo(int mode, const BYTE* block) {
    OutputErrorBlock(mode, block, kInitDeviceError);
}

void HubifOutputer::OutputCreateDeviceErrorInfoIfPresent(int mode, ULONG dataSize, const BYTE* args) {
    if (m_Decode.HasOutputData() && dataSize >= kCreateDeviceExErrorOffset + sizeof(USB_CD_ERROR_INFORMATION))
        OutputCreateDeviceErrorInfo(mode, args + kCreateDeviceExErrorOffset);
}

void HubifOutputer::OutputCreateDeviceV7ErrorInfoIfPresent(int mode, ULONG dataSize, const BYTE* args) {
    if (m_Decode.HasOutputData() && dataSize >= kCreateDeviceV7ErrorOffset + sizeof(USB_CD_ERROR_INFORMATION))
        OutputCreateDeviceErrorInfo(mode, args + kCreateDeviceV7ErrorOffset);
}

void HubifOutputer::OutputInitDeviceErrorInfoIfPresent(int mode, ULONG dataSize, const BYTE* args) {
    if (m_Decode.HasOutputData() && dataSize >= kInitDeviceErrorOffset + sizeof(USB_ID_ERROR_INFORMATION))
        OutputInitDeviceErrorInfo(mode, args + kInitDeviceErrorOffset);
}

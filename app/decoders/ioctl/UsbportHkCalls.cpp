// The calls between the port driver and its miniport, each a row of the call table, and their walker.
#include <cstring>
#include <iterator>

#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/ioctl/CallArgument.h"
#include "app/decoders/ioctl/HookRows.h"
#include "app/decoders/ioctl/UsbportHkOutputer.h"
#include "app/decoders/urb/UrbFunctions.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "common/ByteReader.h"

namespace {

using enum HookValue;
using enum HookOutputs;

constexpr HookField kContext{"MiniportDeviceContext", "MiniportDeviceContext", 0, Word, "in"};
constexpr HookField kEndpointContext{"MiniportEndptContext", "MiniportEndptContext", 4, Word, "in"};
constexpr HookField kReturnValue{"Return Value", "ReturnValue", 0, Returned, "out"};
constexpr HookField kPortNumber{"Port Number", "PortNumber", 4, Half, "in"};

constexpr HookField kContextIn[] = {kContext};
constexpr HookField kContextAndEndpointIn[] = {kContext, kEndpointContext};
constexpr HookField kContextAndUnknownIn[] = {kContext, {"Unknown", "Unknown", 4, Word}};
constexpr HookField kReturnValueOut[] = {kReturnValue};

constexpr HookField kOpenEndpointIn[] = {
    kContext,
    {"HcEndpointAttribs", "HcEndpointAttribs", 4, Word},
    {"MiniportEndptContext", "MiniportEndptContext", 8, Word, "in"},
};
constexpr HookField kEndpointRequirementsRequestIn[] = {kContext, {"HcEndpointAttribs", "HcEndpointAttribs", 4, Word}};
constexpr HookField kEndpointRequirementsResultIn[] = {
    kContext,
    {"HcEndpointAttribs", "HcEndpointAttribs", 4, Word},
    {"EP Requirement1", "EP_Requirement1", 8, Word},
    {"EP Requirement2", "EP_Requirement2", 12, Word},
};
constexpr HookField kSubmitTransferIn[] = {
    kContext,
    kEndpointContext,
    {"TxParameters", "TxParameters", 8, Word},
    {"Transfer Parameters", "TXPARMS", 20, TransferParameters},
    {"MiniportTxContext", "MiniportTxContext", 12, Word},
    {"Unknown", "Unknown", 16, Word},
};
constexpr HookField kAbortTransferIn[] = {
    kContext,
    kEndpointContext,
    {"MiniportTxContext", "MiniportTxContext", 8, Word},
    {"Unknown", "Unknown", 12, Word},
};
constexpr HookField kSetEndpointStateIn[] = {
    kContext, kEndpointContext, {"New Endpoint State", "NewEndpointState", 8, Word}};
constexpr HookField kSetEndpointStatusIn[] = {
    kContext, kEndpointContext, {"New Endpoint Status", "NewEndpointStatus", 8, Word}};
constexpr HookField kSetDataToggleIn[] = {kContext, kEndpointContext, {"Data Toggle", "DataToggle", 8, Word}};
constexpr HookField kFrameNumberOut[] = {{"Frame Number", "FrameNumber", 0, Returned, "out"}};
constexpr HookField kEndpointStatusOut[] = {{"Endpoint Status", "EndpointStatus", 0, Returned, "out"}};
constexpr HookField kRootHubStatusOut[] = {{"RootHub Status", "RootHubStatus", 4, Word, "out"}, kReturnValue};
constexpr HookField kPortNumberIn[] = {kContext, kPortNumber};
constexpr HookField kPortStatusOut[] = {{"Port Status", "PortStatus", 8, Word, "out"}, kReturnValue};
// The calls whose arguments are not known by name: the device context and numbered words.
constexpr HookField kNumberedArguments[] = {
    kContext,
    {"Argument1", "Argument1", 4, Word},
    {"Argument2", "Argument2", 8, Word},
    {"Argument3", "Argument3", 12, Word},
    {"Argument4", "Argument4", 16, Word},
    {"Argument5", "Argument5", 20, Word},
    {"Argument6", "Argument6", 24, Word},
    {"Argument7", "Argument7", 28, Word},
    {"Argument8", "Argument8", 32, Word},
};
// The device context and the first `count` numbered arguments.
constexpr std::span<const HookField> NumberedArguments(size_t count) {
    return std::span(kNumberedArguments).first(count + 1);
}
constexpr HookField kCompleteTransferIn[] = {
    kContext,
    kEndpointContext,
    {"TxParameters", "TxParameters", 8, Word},
    {"Transfer Parameters", "TXPARMS", 20, TransferParameters},
};
constexpr HookField kCompleteTransferOut[] = {
    {"USBD_STATUS", "USBD_STATUS", 12, UsbdStatus, "out"},
    {"Bytes Transferred", "BytesTransferred", 16, Word, "out"},
};
constexpr HookField kCompleteIsoTransferIn[] = {
    kContext,
    kEndpointContext,
    {"TxParameters", "TxParameters", 8, Word},
    {"Transfer Parameters", "TXPARMS", 16, TransferParameters},
    {"Unknown", "Unknown", 12, Word},
};
constexpr HookField kMapHwPhysicalToVirtualIn[] = {
    kContext, {"HWPhysical", "HWPhysical", 4, Word}, {"Virtual", "Virtual", 8, Word}};
constexpr HookField kRequestAsyncCallbackIn[] = {
    kContext,
    {"DelayToRun", "DelayToRun", 4, Word, nullptr, true},
    {"ContextSize", "ContextSize", 8, Word},
    {"ContextData", "ContextData", 12, Word},
    {"AsyncProcedure", "AsyncProcedure", 16, Word},
};
constexpr HookField kReadWriteConfigSpaceIn[] = {
    kContext,
    {"ZeroFill", "ZeroFill", 4, ZeroFill},
    {"Buffer", "Buffer", 8, Word},
    {"Offset", "Offset", 12, Word},
    {"Length", "Length", 16, Word},
};
constexpr HookField kWaitIn[] = {kContext, {"Delay Time (ms.)", "DelayTime", 4, Word, "in", true}};
constexpr HookField kInvalidateControllerIn[] = {kContext, {"Type", "Type", 4, InvalidateType, "in"}};
constexpr HookField kNotifyTransferQueueStateIn[] = {
    kContext, {"Unknown Arg2", "UnknownArg2", 4, Word}, {"Unknown Arg3", "UnknownArg3", 8, Word}};
constexpr HookField kEtwWriteIn[] = {
    kContext,
    {"EventDescriptor", "EventDescriptor", 4, Word, "in"},
    {"EventDescriptor", "EVENT_DESCRIPTOR", 20, EventDescriptor},
    {"ActivityId", "ActivityId", 8, Word, "in"},
    {"UserDataCount", "UserDataCount", 12, Word, "in"},
    {"UserData", "UserData", 16, Word, "in"},
};
constexpr HookField kGetHcCapabilitiesIn[] = {kContext, {"CapabilitiesPtr", "CapabilitiesPtr", 4, Word, "in"}};

constexpr HookCall kOpenEndpoint{12, kOpenEndpointIn, kReturnValueOut, Gated};
constexpr HookCall kEndpointRequirementsRequest{12, kEndpointRequirementsRequestIn, {}, None};
constexpr HookCall kEndpointRequirementsResult{16, kEndpointRequirementsResultIn, kReturnValueOut, Gated};
constexpr HookCall kDeviceContextAndUnknown{8, kContextAndUnknownIn, kReturnValueOut, Gated};
constexpr HookCall kStopController{8, kContextAndUnknownIn, {}, None};
constexpr HookCall kDeviceContextOnly{4, kContextIn, {}, None};
constexpr HookCall kSubmitTransfer{44, kSubmitTransferIn, kReturnValueOut, Always};
constexpr HookCall kAbortTransfer{16, kAbortTransferIn, kReturnValueOut, Always};
constexpr HookCall kSetEndpointState{12, kSetEndpointStateIn, kReturnValueOut, Gated};
constexpr HookCall kSetEndpointStatus{12, kSetEndpointStatusIn, kReturnValueOut, Gated};
constexpr HookCall kSetDataToggle{12, kSetDataToggleIn, kReturnValueOut, Gated};
constexpr HookCall kGetEndpointStatus{8, kContextAndEndpointIn, kEndpointStatusOut, Gated};
constexpr HookCall kRHGetStatus{8, kContextIn, kRootHubStatusOut, Gated};
constexpr HookCall kRHGetPortStatus{12, kPortNumberIn, kPortStatusOut, Gated};
constexpr HookCall kRHPortFeature{8, kPortNumberIn, kReturnValueOut, Gated};
constexpr HookCall kSendOnePacket{32, NumberedArguments(7), kReturnValueOut, Always};
constexpr HookCall kDbgPrint{36, NumberedArguments(8), kReturnValueOut, Always};
constexpr HookCall kGetMiniportRegistryKeyValue{24, NumberedArguments(5), kReturnValueOut, Always};
constexpr HookCall kCompleteTransfer{44, kCompleteTransferIn, kCompleteTransferOut, Always};
constexpr HookCall kCompleteIsoTransfer{40, kCompleteIsoTransferIn, kReturnValueOut, Always};
constexpr HookCall kMapHwPhysicalToVirtual{12, kMapHwPhysicalToVirtualIn, kReturnValueOut, Gated};
constexpr HookCall kRequestAsyncCallback{20, kRequestAsyncCallbackIn, kReturnValueOut, Always};
constexpr HookCall kReadWriteConfigSpace{20, kReadWriteConfigSpaceIn, kReturnValueOut, Always};
constexpr HookCall kWait{8, kWaitIn, {}, None};
constexpr HookCall kInvalidateController{8, kInvalidateControllerIn, {}, None};
constexpr HookCall kNotifyTransferQueueState{12, kNotifyTransferQueueStateIn, kReturnValueOut, Gated};
constexpr HookCall kEndpointContextCall{8, kContextAndEndpointIn, kReturnValueOut, Gated};
constexpr HookCall kRequestAsyncCallbackEx{28, NumberedArguments(6), kReturnValueOut, Always};
constexpr HookCall kCancelAsyncCallback{12, NumberedArguments(2), kReturnValueOut, Always};
constexpr HookCall kGetHcCapabilities{8, kGetHcCapabilitiesIn, kReturnValueOut, Gated};

// The event-write service's block is its five argument words; a record whose block also counts the 16-byte
// copy of the event descriptor shows the descriptor too.
constexpr ULONG kEtwWriteSize = 20;
constexpr ULONG kEtwWriteWithDescriptorSize = 36;
constexpr HookField kEtwWriteWordsIn[] = {kEtwWriteIn[0], kEtwWriteIn[1], kEtwWriteIn[3], kEtwWriteIn[4],
                                          kEtwWriteIn[5]};
constexpr HookCall kEtwWrite{kEtwWriteSize, kEtwWriteWordsIn, kReturnValueOut, Always};
constexpr HookCall kEtwWriteWithDescriptor{kEtwWriteWithDescriptorSize, kEtwWriteIn, kReturnValueOut, Always};

// Function codes of the calls whose third argument OutputSetEndpointValue names.
constexpr ULONG kSetEndpointStateCode = 14;
constexpr ULONG kSetEndpointStatusCode = 24;

// The event-write service's copy of its event descriptor, behind its five argument words.
constexpr size_t kEventDescriptorOffset = 20;
constexpr size_t kEventDescriptorSize = 16;
// The transfer parameter block: three shown words, one not shown, the setup packet.
constexpr size_t kTransferParametersSize = 24;

// URB functions whose transfers carry a setup packet, and where it lies in the transfer parameter block.
constexpr ULONG kControlTransfer = 8;
constexpr ULONG kControlTransferEx = 50;
constexpr size_t kSetupPacketOffset = 16;

LPCSTR InvalidateTypeMeaning(ULONG type) {
    switch (type) {
    case 1: return "Reset";
    case 2: return "Surprise Removal";
    case 3: return "Isr";
    default: return "Unknown";
    }
}

} // namespace

std::span<const HookCode> UsbportHkOutputer::FunctionCodes() {
    using U = UsbportHkOutputer;
    constexpr bool Entry = false;  // the port driver calls the miniport
    constexpr bool Service = true; // the miniport calls the port driver
    // By code; the calls without a decoder (null) show their title alone.
    // clang-format off
    static constexpr HookCode kCodes[] = {
        {{0, "OpenEndpoint"}, Entry, &U::OutputOpenEndpoint},
        {{1, "PokeEndpoint"}, Entry, &U::OutputOpenEndpoint},
        {{2, "QueryEndpointRequirements"}, Entry, &U::OutputQueryEndpointRequirements},
        {{3, "CloseEndpoint"}, Entry, nullptr},
        {{4, "StartController"}, Entry, &U::OutputDeviceContextAndUnknown},
        {{5, "StopController"}, Entry, &U::OutputStopController},
        {{6, "SuspendController"}, Entry, &U::OutputDeviceContextCall},
        {{7, "ResumeController"}, Entry, &U::OutputDeviceContextAndReturn},
        {{8, "InterruptService"}, Entry, nullptr},
        {{9, "InterruptDpc"}, Entry, nullptr},
        {{10, "SubmitTransfer"}, Entry, &U::OutputSubmitTransfer},
        {{11, "SubmitIsoTransfer"}, Entry, &U::OutputSubmitTransfer},
        {{12, "AbortTransfer"}, Entry, &U::OutputAbortTransfer},
        {{13, "GetEndpointState"}, Entry, nullptr},
        {{14, "SetEndpointState"}, Entry, &U::OutputSetEndpointValue},
        {{15, "PollEndpoint"}, Entry, nullptr},
        {{16, "CheckController"}, Entry, &U::OutputDeviceContextCall},
        {{17, "Get32BitFrameNumber"}, Entry, &U::OutputGet32BitFrameNumber},
        {{18, "InterruptNextSOF"}, Entry, &U::OutputDeviceContextCall},
        {{19, "EnableInterrupts"}, Entry, &U::OutputDeviceContextCall},
        {{20, "DisableInterrupts"}, Entry, &U::OutputDeviceContextCall},
        {{21, "PollController"}, Entry, nullptr},
        {{22, "SetEndpointDataToggle"}, Entry, &U::OutputSetEndpointValue},
        {{23, "GetEndpointStatus"}, Entry, &U::OutputGetEndpointStatus},
        {{24, "SetEndpointStatus"}, Entry, &U::OutputSetEndpointValue},
        {{25, "HCResetDpc"}, Entry, &U::OutputDeviceContextCall},
        {{26, "RHGetRootHubData"}, Entry, nullptr},
        {{27, "RHGetStatus"}, Entry, &U::OutputRHGetStatus},
        {{28, "RHGetPortStatus"}, Entry, &U::OutputRHGetPortStatus},
        {{29, "RHGetHubStatus"}, Entry, nullptr},
        {{30, "RHSetFeaturePortReset"}, Entry, &U::OutputRHPortFeature},
        {{31, "RHSetFeaturePortPower"}, Entry, &U::OutputRHPortFeature},
        {{32, "RHSetFeaturePortEnable"}, Entry, &U::OutputRHPortFeature},
        {{33, "RHSetFeaturePortSuspend"}, Entry, &U::OutputRHPortFeature},
        {{34, "RHClearFeaturePortEnable"}, Entry, &U::OutputRHPortFeature},
        {{35, "RHClearFeaturePortPower"}, Entry, &U::OutputRHPortFeature},
        {{36, "RHClearFeaturePortSuspend"}, Entry, &U::OutputRHPortFeature},
        {{37, "RHClearFeaturePortEnableChange"}, Entry, &U::OutputRHPortFeature},
        {{38, "RHClearFeaturePortConnectChange"}, Entry, &U::OutputRHPortFeature},
        {{39, "RHClearFeaturePortResetChange"}, Entry, &U::OutputRHPortFeature},
        {{40, "RHClearFeaturePortSuspendChange"}, Entry, &U::OutputRHPortFeature},
        {{41, "RHClearFeaturePortOvercurrentChange"}, Entry, &U::OutputRHPortFeature},
        {{42, "RHDisableIrq"}, Entry, nullptr},
        {{43, "RHEnableIrq"}, Entry, nullptr},
        {{44, "StartSendOnePacket"}, Entry, &U::OutputSendOnePacket},
        {{45, "EndSendOnePacket"}, Entry, &U::OutputSendOnePacket},
        {{46, "PassThru"}, Entry, nullptr},
        {{47, "USBPORTSVC_DbgPrint"}, Service, &U::OutputDbgPrint},
        {{48, "USBPORTSVC_TestDebugBreak"}, Service, nullptr},
        {{49, "USBPORTSVC_AssertFailure"}, Service, nullptr},
        {{50, "USBPORTSVC_GetMiniportRegistryKeyValue"}, Service, &U::OutputGetMiniportRegistryKeyValue},
        {{51, "USBPORTSVC_InvalidateRootHub"}, Service, nullptr},
        {{52, "USBPORTSVC_InvalidateEndpoint"}, Service, nullptr},
        {{53, "USBPORTSVC_CompleteTransfer"}, Service, &U::OutputCompleteTransfer},
        {{54, "USBPORTSVC_CompleteIsoTransfer"}, Service, &U::OutputCompleteIsoTransfer},
        {{55, "USBPORTSVC_LogEntry"}, Service, nullptr},
        {{56, "USBPORTSVC_MapHwPhysicalToVirtual"}, Service, &U::OutputMapHwPhysicalToVirtual},
        {{57, "USBPORTSVC_RequestAsyncCallback"}, Service, &U::OutputRequestAsyncCallback},
        {{58, "USBPORTSVC_ReadWriteConfigSpace"}, Service, &U::OutputReadWriteConfigSpace},
        {{59, "USBPORTSVC_Wait"}, Service, &U::OutputWait},
        {{60, "USBPORTSVC_InvalidateController"}, Service, &U::OutputInvalidateController},
        {{61, "USBPORTSVC_BugCheck"}, Service, nullptr},
        {{62, "USBPORTSVC_NotifyDoubleBuffer"}, Service, nullptr},
        {{63, "RebalanceEndpoint"}, Entry, &U::OutputOpenEndpoint},
        {{64, "FlushInterrupts"}, Entry, &U::OutputDeviceContextCall},
        {{65, "RHChirpRootPort"}, Entry, nullptr},
        {{66, "TakePortControl"}, Entry, &U::OutputDeviceContextCall},
        {{67, "ReleasePortControl"}, Entry, &U::OutputDeviceContextCall},
        {{68, "ReadConfigFlag"}, Entry, &U::OutputDeviceContextAndReturn},
        {{69, "SetWakeOnConnect"}, Entry, &U::OutputDeviceContextAndUnknown},
        {{70, "InterruptDpcEx"}, Entry, nullptr},
        {{71, "NotifyTransferQueueState"}, Entry, &U::OutputNotifyTransferQueueState},
        {{72, "CheckHwSync"}, Entry, &U::OutputEndpointContextCall},
        {{73, "USBPORTSVC_RequestAsyncCallbackEx"}, Service, &U::OutputRequestAsyncCallbackEx},
        {{74, "USBPORTSVC_CancelAsyncCallback"}, Service, &U::OutputCancelAsyncCallback},
        {{75, "DbgFreeEndpoint"}, Entry, &U::OutputEndpointContextCall},
        {{76, "HaltController"}, Entry, &U::OutputDeviceContextCall},
        {{77, "Get32BitMicroFrameNumber"}, Entry, nullptr},
        {{78, "USBPORTSVC_EtwWrite"}, Entry, &U::OutputEtwWrite},
        {{79, "GetHcCapabilities"}, Entry, &U::OutputGetHcCapabilities},
    };
    // clang-format on
    static_assert([] {
        for (ULONG i = 0; i < std::size(kCodes); ++i)
            if (kCodes[i].row.code != i)
                return false;
        return true;
    }());
    return kCodes;
}

const HookCode* UsbportHkOutputer::FindFunction(ULONG code) {
    const std::span<const HookCode> codes = FunctionCodes();
    return code < codes.size() ? &codes[code] : nullptr;
}

void UsbportHkOutputer::OutputFunctionBody(int mode) {
    const HookCode* code = FindFunction(m_Decode.GetFunctionWord());
    if (code == nullptr || code->operation == nullptr)
        return;
    const std::span<const uint8_t> payload = m_Decode.GetPayload();
    (this->*code->operation)(mode, static_cast<ULONG>(payload.size()), payload.data());
}

bool UsbportHkOutputer::OutputCallInputs(int mode, ULONG dataSize, const BYTE* args, const HookCall& call) {
    if (dataSize != call.size)
        return false;
    FieldWriter fields(*this, mode);
    if (fields.In(kXml)) {
        // Kept from record to record: the texts need no allocation once they have grown to size.
        static thread_local CString name, element;
        m_Decode.MiniportFunctionName(name);
        element = "MPORT-";
        element += name;
        fields.Open(FieldSection::Element, element);
    }
    fields.Open(FieldSection::GridGroup, "Inputs");
    for (const HookField& field : call.inputs)
        OutputHookField(fields, dataSize, args, field);
    fields.Close(FieldSection::GridGroup);
    return true;
}

void UsbportHkOutputer::OutputCallOutputs(int mode, ULONG dataSize, const BYTE* args,
                                          std::span<const HookField> outputs) {
    FieldWriter fields(*this, mode);
    fields.Open(FieldSection::GridGroup, "Outputs");
    for (const HookField& field : outputs)
        OutputHookField(fields, dataSize, args, field);
    fields.Close(FieldSection::GridGroup);
}

void UsbportHkOutputer::OutputCallRows(int mode, ULONG dataSize, const BYTE* args, const HookCall& call) {
    if (!OutputCallInputs(mode, dataSize, args, call))
        return;
    if (call.when == Always || (call.when == Gated && m_Decode.HasOutputData()))
        OutputCallOutputs(mode, dataSize, args, call.outputs);
    FieldWriter(*this, mode).Close(FieldSection::Element);
}

void UsbportHkOutputer::OutputHookField(FieldWriter& fields, ULONG dataSize, const BYTE* args, const HookField& field) {
    ULONG word = 0;
    if (field.value == Returned) {
        word = m_Decode.GetStatus();
    } else if (field.value == EventDescriptor) {
        // The block counts the descriptor's copy only when the record carries one.
        if (dataSize >= kEventDescriptorOffset + kEventDescriptorSize)
            OutputEventDescriptor(fields.Mode(), args);
        return;
    } else if (field.value == TransferParameters) {
        if (dataSize >= field.field.offset + kTransferParametersSize)
            OutputTransferParameters(fields.Mode(), args, field.field.offset);
        return;
    } else if (!tdl::LoadAt(args, dataSize, field.field.offset, word)) {
        // The tables' offsets lie within their sizes; a block that does not hold one shows it unknown.
        CallArgument(fields, field.field.label.grid, field.field.label.xml, kUnknownText, field.direction);
        return;
    }
    // Kept from record to record: the texts need no allocation once they have grown to size.
    static thread_local CString status, shown;
    LPCSTR value = nullptr;
    LPCSTR meaning = nullptr;
    switch (field.value) {
    case Half: value = fields.Number(FieldFormat::Hex4, word & 0xFFFF); break;
    case ZeroFill: value = word != 0 ? "true" : "false"; break;
    case InvalidateType:
        meaning = InvalidateTypeMeaning(word);
        value = fields.Number(FieldFormat::Hex8, word);
        break;
    case UsbdStatus:
        CStringContent().UsbdStatusName(status, word);
        value = status;
        break;
    default: value = fields.Number(FieldFormat::Hex8, word); break;
    }
    // The grid reads the meaning beside the value; the mark-up gives it, and the unit, as attributes.
    LPCSTR gridValue = value;
    if (meaning && !fields.In(kXml)) {
        shown = value;
        shown += " (";
        shown += meaning;
        shown += ')';
        gridValue = shown;
    }
    CallArgument(fields, field.field.label.grid, field.field.label.xml, value, gridValue, field.direction);
    if (field.milliseconds)
        fields.Attribute("Units", "ms.");
    if (meaning)
        fields.Attribute("Name", meaning);
}

void UsbportHkOutputer::OutputTransferParameters(int mode, const BYTE* args, size_t offset) {
    const BYTE* block = args + offset;
    FieldWriter fields(*this, mode);
    fields.Open(FieldSection::Block, {"TXPARMS", "Transfer Parameters"});
    fields.Field("UsbdDeviceHandle", fields.Number(FieldFormat::Hex8, tdl::LoadLe<ULONG>(block)));
    const ULONG irp = tdl::LoadLe<ULONG>(block + 4);
    fields.Field("Irp", irp == 0 ? CString("None") : fields.Text(FieldFormat::Hex8, irp));
    const ULONG function = tdl::LoadLe<ULONG>(block + 8);
    const LPCSTR name = UrbFunctionName(static_cast<USHORT>(function));
    CString text;
    text.Format("%04x", function);
    fields.Field("UrbFunction", text, nullptr, kXml);
    fields.Attribute("Name", name);
    text.Format("%s (0x%04x)", name, function);
    fields.Field("UrbFunction", text, nullptr, kNotMarkup);
    if (function == kControlTransfer || function == kControlTransferEx) {
        // The URB decoder writes setup packets; it needs nothing of the record but the back-end.
        UrbOutputer urb(m_pImp, m_pContext, reinterpret_cast<const _LOGHDR*>(m_Decode.GetRecord()));
        urb.InsertSetupPacket(mode, block + kSetupPacketOffset);
    }
    fields.Close(FieldSection::Block);
}

void UsbportHkOutputer::OutputEventDescriptor(int mode, const BYTE* args) {
    FieldWriter fields(*this, mode);
    OpenValueSection(fields, "EventDescriptor", "EVENT_DESCRIPTOR", "EVENT_DESCRIPTOR");
    static constexpr FieldDecl kFields[] = {
        FieldU16("Id", 20),    FieldU8("Version", 22), FieldU8("Channel", 23),  FieldU8("Level", 24),
        FieldU8("Opcode", 25), FieldU16("Task", 26),   FieldU64("Keyword", 28),
    };
    for (const FieldDecl& field : kFields)
        fields.FieldAt(field, args);
    fields.Close(FieldSection::Block);
}

void UsbportHkOutputer::OutputDeviceContextInputs(int mode, ULONG dataSize, const BYTE* args, bool close) {
    if (OutputCallInputs(mode, dataSize, args, kDeviceContextOnly) && close)
        FieldWriter(*this, mode).Close(FieldSection::Element);
}

void UsbportHkOutputer::OutputDeviceContextCall(int mode, ULONG dataSize, const BYTE* args) {
    OutputDeviceContextInputs(mode, dataSize, args, true);
}

void UsbportHkOutputer::OutputReturnValue(int mode) {
    FieldWriter fields(*this, mode);
    OutputHookField(fields, 0, nullptr, kReturnValue);
}

void UsbportHkOutputer::OutputResultAfterContext(int mode, ULONG dataSize, const BYTE* args,
                                                 std::span<const HookField> outputs) {
    // The result comes from the header, so a block of another size loses only the inputs.
    OutputDeviceContextInputs(mode, dataSize, args, false);
    if (m_Decode.HasOutputData())
        OutputCallOutputs(mode, dataSize, args, outputs);
    if (dataSize == kDeviceContextOnly.size)
        FieldWriter(*this, mode).Close(FieldSection::Element);
}

void UsbportHkOutputer::OutputOpenEndpoint(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kOpenEndpoint);
}

void UsbportHkOutputer::OutputQueryEndpointRequirements(int mode, ULONG dataSize, const BYTE* args) {
    // The result record also carries the requirements the miniport wrote back.
    OutputCallRows(mode, dataSize, args,
                   m_Decode.HasOutputData() ? kEndpointRequirementsResult : kEndpointRequirementsRequest);
}

void UsbportHkOutputer::OutputDeviceContextAndUnknown(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kDeviceContextAndUnknown);
}

void UsbportHkOutputer::OutputStopController(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kStopController);
}

void UsbportHkOutputer::OutputDeviceContextAndReturn(int mode, ULONG dataSize, const BYTE* args) {
    OutputResultAfterContext(mode, dataSize, args, kReturnValueOut);
}

void UsbportHkOutputer::OutputSubmitTransfer(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kSubmitTransfer);
}

void UsbportHkOutputer::OutputAbortTransfer(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kAbortTransfer);
}

void UsbportHkOutputer::OutputSetEndpointValue(int mode, ULONG dataSize, const BYTE* args) {
    // One decoder for three calls: the value's name comes from the function code.
    const ULONG code = m_Decode.GetFunctionWord();
    const HookCall& call = code == kSetEndpointStateCode    ? kSetEndpointState
                           : code == kSetEndpointStatusCode ? kSetEndpointStatus
                                                            : kSetDataToggle;
    OutputCallRows(mode, dataSize, args, call);
}

void UsbportHkOutputer::OutputGet32BitFrameNumber(int mode, ULONG dataSize, const BYTE* args) {
    OutputResultAfterContext(mode, dataSize, args, kFrameNumberOut);
}

void UsbportHkOutputer::OutputGetEndpointStatus(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kGetEndpointStatus);
}

void UsbportHkOutputer::OutputRHGetStatus(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kRHGetStatus);
}

void UsbportHkOutputer::OutputRHGetPortStatus(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kRHGetPortStatus);
}

void UsbportHkOutputer::OutputRHPortFeature(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kRHPortFeature);
}

void UsbportHkOutputer::OutputSendOnePacket(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kSendOnePacket);
}

void UsbportHkOutputer::OutputDbgPrint(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kDbgPrint);
}

void UsbportHkOutputer::OutputGetMiniportRegistryKeyValue(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kGetMiniportRegistryKeyValue);
}

void UsbportHkOutputer::OutputCompleteTransfer(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kCompleteTransfer);
}

void UsbportHkOutputer::OutputCompleteIsoTransfer(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kCompleteIsoTransfer);
}

void UsbportHkOutputer::OutputMapHwPhysicalToVirtual(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kMapHwPhysicalToVirtual);
}

void UsbportHkOutputer::OutputRequestAsyncCallback(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kRequestAsyncCallback);
}

void UsbportHkOutputer::OutputReadWriteConfigSpace(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kReadWriteConfigSpace);
}

void UsbportHkOutputer::OutputWait(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kWait);
}

void UsbportHkOutputer::OutputInvalidateController(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kInvalidateController);
}

void UsbportHkOutputer::OutputNotifyTransferQueueState(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kNotifyTransferQueueState);
}

void UsbportHkOutputer::OutputEndpointContextCall(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kEndpointContextCall);
}

void UsbportHkOutputer::OutputRequestAsyncCallbackEx(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kRequestAsyncCallbackEx);
}

void UsbportHkOutputer::OutputCancelAsyncCallback(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kCancelAsyncCallback);
}

void UsbportHkOutputer::OutputEtwWrite(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, dataSize == kEtwWriteWithDescriptorSize ? kEtwWriteWithDescriptor : kEtwWrite);
}

void UsbportHkOutputer::OutputGetHcCapabilities(int mode, ULONG dataSize, const BYTE* args) {
    OutputCallRows(mode, dataSize, args, kGetHcCapabilities);
}

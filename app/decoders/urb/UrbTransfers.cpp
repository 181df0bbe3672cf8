// The transfer decoders: control, control-ex, bulk or interrupt and isochronous URBs, and the continuation
// records that carry the rest of a large buffer.
#include <algorithm>

#include <afxcoll.h>

#include "app/core/records/LogRecordDecode.h"
#include "app/decoders/descriptors/ConfigDescOutputer.h"
#include "app/decoders/descriptors/DeviceDescOutputer.h"
#include "app/decoders/descriptors/FullBosDescOutputer.h"
#include "app/decoders/descriptors/FullConfigDescOutputer.h"
#include "app/decoders/descriptors/StringDescOutputer.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "common/ByteReader.h"
#include "common/LogHeader.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"

namespace {

constexpr size_t kPipe = offsetof(URB_RECORD_CONTROL_TRANSFER, Pipe);
constexpr size_t kFlags = offsetof(URB_RECORD_CONTROL_TRANSFER, TransferFlags);
constexpr BYTE kGetDescriptor = 6;

// Only the standard request 6 returns a descriptor of the standard's layouts; a vendor or class request
// may use the same number for data of its own.
bool IsStandardGetDescriptor(const CLogRecordDecode& decode, size_t setupOffset) {
    BYTE bmRequestType = 0;
    BYTE request = 0;
    return decode.ReadPayload(setupOffset, bmRequestType) && decode.ReadPayload(setupOffset + 1, request) &&
           ((bmRequestType >> 5) & 3) == 0 && request == kGetDescriptor;
}

// A continuation repeats its pipe block's first bytes, so the pipe's direction rule reads it in place.
static_assert(offsetof(URB_RECORD_CONTINUATION, InterfaceNumber) - offsetof(URB_RECORD_CONTINUATION, DeviceByte) ==
                  offsetof(URB_RECORD_PIPE, InterfaceNumber) &&
              offsetof(URB_RECORD_CONTINUATION, EndpointAddress) - offsetof(URB_RECORD_CONTINUATION, DeviceByte) ==
                  offsetof(URB_RECORD_PIPE, EndpointAddress));

} // namespace

bool UrbOutputer::OutputTransferHead(int mode) {
    FieldWriter& fields = Fields(mode);
    InsertUrbHeaderFields(mode);
    ULONG flags = 0;
    const bool haveFlags = fields.Read(kFlags, flags);
    const bool in = IsDirectionIn(kPipe, flags);
    InsertUrbStatus(mode);
    InsertTransferFlags(mode, flags, haveFlags);
    return in;
}

void UrbOutputer::OutputControlTransfer(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_CONTROL_TRANSFER;
    fields.Open(FieldSection::Element, "URB-ControlTransfer");
    ULONG length = 0;
    const bool in = OutputTransferHead(mode);
    ULONG captured = 0;
    OutputTransferData(mode, offsetof(Part, TransferBufferLength), offsetof(Part, CapturedLength), sizeof(Part), in, 1,
                       length, captured);
    InsertSetupPacketAt(mode, offsetof(Part, SetupPacket));
    if (!m_bSynchronous)
        InsertPipeInformation(mode, kPipe);
    if (!m_bSynchronous && m_Decode.HasOutputData() && IsStandardGetDescriptor(m_Decode, offsetof(Part, SetupPacket)))
        OutputSetupDescriptor(mode, offsetof(Part, SetupPacket), sizeof(Part), length, captured);
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputControlTransferEx(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_CONTROL_TRANSFER_EX;
    fields.Open(FieldSection::Element, "URB-ControlTransferEx");
    ULONG length = 0;
    const bool in = OutputTransferHead(mode);
    ULONG timeout = 0;
    const bool haveTimeout = fields.Read(offsetof(Part, Timeout), timeout);
    InsertTimeout(mode, timeout, haveTimeout);
    ULONG captured = 0;
    OutputTransferData(mode, offsetof(Part, TransferBufferLength), offsetof(Part, CapturedLength), sizeof(Part), in, 2,
                       length, captured);
    InsertSetupPacketAt(mode, offsetof(Part, SetupPacket));
    InsertPipeInformation(mode, kPipe);
    if (m_Decode.HasOutputData() && IsStandardGetDescriptor(m_Decode, offsetof(Part, SetupPacket)))
        OutputSetupDescriptor(mode, offsetof(Part, SetupPacket), sizeof(Part), length, captured);
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputTransferData(int mode, size_t lengthOffset, size_t capturedOffset, size_t fixedSize, bool in,
                                     int kind, ULONG& length, ULONG& captured, size_t addressOffset) {
    FieldWriter& fields = Fields(mode);
    const bool haveLength = fields.Read(lengthOffset, length);
    InsertTransferBufferLength(mode, length, haveLength);
    OutputStartingOffset(mode);
    // The isochronous transfer names its buffer's address before its bytes.
    if (addressOffset)
        fields.ValueField({"TransferBuffer", "TransferBuffer"}, FieldFormat::Hex64, addressOffset);
    ULONG status = 0;
    fields.Read(capturedOffset, captured);
    m_Decode.ReadPayload(offsetof(URB_RECORD_HEAD, UsbdStatus), status);
    if (m_Decode.GetPayload().size() > fixedSize)
        InsertTransferData(mode, fixedSize, length, captured, 0, in, status, kind);
}

void UrbOutputer::OutputSetupDescriptor(int mode, size_t setupOffset, size_t dataOffset, ULONG length, ULONG captured) {
    BYTE index = 0;
    BYTE type = 0;
    m_Decode.ReadPayload(setupOffset + 2, index);
    m_Decode.ReadPayload(setupOffset + 3, type);
    // Never more than the buffer's length, nor than the bytes the record holds; fewer than it says it holds
    // is the record's cut, which it has shown already.
    const ULONG wanted = std::min(length, captured);
    const ULONG count = DataBytesAt(dataOffset, wanted);
    OutputDescriptorData(mode, type, index, PayloadAt(dataOffset), count, count < wanted);
}

void UrbOutputer::OutputStartingOffset(int mode) {
    FieldWriter& fields = Fields(mode);
    ULONG continuation = 0;
    tdl::LoadAt(RecordBytes(), LOGHDR_SIZE, offsetof(_LOGHDR, Continuation), continuation);
    if (continuation == LogTag::More)
        fields.Field({"StartingOffset", "Starting Offset"}, fields.Number(FieldFormat::Hex8, 0));
}

void UrbOutputer::OutputBulkInterruptTransfer(int mode, ULONG dataSize, const BYTE* pPart) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_BULK_OR_INTERRUPT_TRANSFER;
    fields.Open(FieldSection::Element, "URB-BulkInterruptTransfer");
    ULONG length = 0;
    const bool in = OutputTransferHead(mode);
    ULONG captured = 0;
    OutputTransferData(mode, offsetof(Part, TransferBufferLength), offsetof(Part, CapturedLength), sizeof(Part), in, 3,
                       length, captured);
    OutputBulkPayload(mode, dataSize, pPart);
    InsertPipeInformation(mode, kPipe);
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputIsochronousTransfer(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_ISOCH_TRANSFER;
    fields.Open(FieldSection::Element, "URB-IsochronousTransfer");
    ULONG length = 0;
    const bool in = OutputTransferHead(mode);
    ULONG captured = 0;
    OutputTransferData(mode, offsetof(Part, TransferBufferLength), offsetof(Part, CapturedLength), sizeof(Part), in, 4,
                       length, captured, offsetof(Part, TransferBuffer));
    fields.ValueField({"StartFrame", "StartFrame"}, FieldFormat::Hex8, offsetof(Part, StartFrame));
    fields.ValueField({"NumberOfPackets", "NumberOfPackets"}, FieldFormat::Hex8, offsetof(Part, NumberOfPackets));
    fields.ValueField({"ErrorCount", "ErrorCount"}, FieldFormat::Hex8, offsetof(Part, ErrorCount));
    fields.ValueField({"NumberOfZeroLenPackets", "NumberOfZeroLenPackets"}, FieldFormat::Hex8,
                      offsetof(Part, ZeroLengthPackets));
    InsertPipeInformation(mode, kPipe);
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputTransferContinuation(int mode, ULONG dataSize, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_CONTINUATION;
    LPCSTR element = "URB-UnknownTransferCont";
    int kind = 0;
    switch (m_nFunction) {
    case 8:
        element = "URB-ControlTransferCont";
        kind = 1;
        break;
    case 9:
        element = "URB-BulkInterruptTransferCont";
        kind = 3;
        break;
    case 10:
        element = "URB-IsochronousTransferCont";
        kind = 4;
        break;
    case 50:
        element = "URB-ControlExTransferCont";
        kind = 2;
        break;
    default: break;
    }
    fields.Open(FieldSection::Element, element);
    // The piece carries its pipe's bytes and flags: the same direction rule as its URB's, a control
    // transfer's non-zero endpoint (recorded without its direction bit) taking the flags' word.
    bool in = false;
    const bool haveDirection = m_Decode.TryGetDirectionIn(in);
    ULONG flags = 0;
    if (haveDirection && m_Decode.ReadPayload(offsetof(Part, TransferFlags), flags))
        in = IsDirectionIn(offsetof(Part, DeviceByte), flags);
    fields.Field({"Direction", "Direction"}, haveDirection ? (in ? "IN" : "OUT") : kUnknownText);
    ULONG length = 0;
    ULONG partial = 0;
    ULONG start = 0;
    const bool haveLength = fields.Read(offsetof(Part, TransferBufferLength), length);
    const bool havePartial = fields.Read(offsetof(Part, PieceLength), partial);
    const bool haveStart = fields.Read(offsetof(Part, Offset), start);
    fields.Field({"TransferBufferLength", "TransferBufferLength"},
                 fields.Number(FieldFormat::Hex8, length, haveLength));
    fields.Field({"PartialLength", "PartialLength"}, fields.Number(FieldFormat::Hex8, partial, havePartial));
    fields.Field({"StartingOffset", "Starting Offset"}, fields.Number(FieldFormat::Hex8, start, haveStart));
    if (dataSize > sizeof(Part) && haveDirection)
        InsertTransferData(mode, sizeof(Part), length, partial, start, in, 0, kind);
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputDescriptorData(int mode, BYTE type, BYTE index, const BYTE* data, ULONG length, bool cut) {
    // A descriptor starts with its length byte; without one there is nothing to decode.
    if (!data || length < 1)
        return;
    // The grid media title each descriptor by its type; the mark-up names its element and gives no value.
    auto title = [mode](LPCSTR element) { return CString(FieldLabels(element, "Descriptor Type").For(mode)); };
    auto value = [mode](LPCSTR text) { return CString(FieldLabels("", text).For(mode)); };
    switch (type) {
    case 1: {
        const CStringArray none;
        DeviceDescOutputer(m_pImp, m_pContext, data, length)
            .Output(mode, title("DeviceDescriptor"), value("DEVICE"), none, none, false);
        break;
    }
    case 2:
        if (length > 9) {
            FullConfigDescOutputer set(m_pImp, m_pContext, data, length);
            if (cut)
                set.EndsAtRecordCut();
            set.Output(mode, title("FullConfigurationDescriptor"), value("FULL CONFIGURATION"), false, false);
        } else {
            ULONG consumed = 0;
            ConfigDescOutputer(m_pImp, m_pContext, data, length)
                .Output(mode, title("ConfigurationDescriptor"), value("CONFIGURATION"), consumed, false);
        }
        break;
    case 3:
        if (index == 0xEE && data[0] == 18)
            StringDescOutputer(m_pImp, m_pContext, data, index, length)
                .Output(mode, title("OsStringDescriptor"), value("MS OS STRING"));
        else
            StringDescOutputer(m_pImp, m_pContext, data, index, length)
                .Output(mode, title("StringDescriptor"), value("STRING"));
        break;
    case 6:
        DevQualifierDescOutputer(m_pImp, m_pContext, data, length)
            .Output(mode, title("DeviceQualifierDescriptor"), value("DEVICE QUALIFIER"));
        break;
    case 15: {
        FullBosDescOutputer set(m_pImp, m_pContext, data, length);
        if (cut)
            set.EndsAtRecordCut();
        set.Output(mode, title("FullBosDescriptor"), value("FULL BOS"));
        break;
    }
    default: break;
    }
}

// The transfer decoders: control, control-ex, bulk or interrupt and isochronous URBs, and the continuation
// records that carry the rest of a large buffer.
#include <algorithm>

#include <afxcoll.h>

#include "app/core/LogRecordDecode.h"
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
    InsertUrbHeaderFields(mode);
    ULONG flags = 0;
    const bool haveFlags = Get(mode, kFlags, flags);
    const bool in = IsDirectionIn(kPipe, flags);
    InsertUrbStatus(mode);
    InsertTransferFlags(mode, flags, haveFlags);
    return in;
}

void UrbOutputer::OutputControlTransfer(int mode, ULONG, const BYTE*) {
    using Part = URB_RECORD_CONTROL_TRANSFER;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-ControlTransfer");
    ULONG length = 0;
    const bool in = OutputTransferHead(mode);
    ULONG captured = 0;
    OutputTransferData(mode, offsetof(Part, TransferBufferLength), offsetof(Part, CapturedLength), sizeof(Part), in,
                       1, length, captured);
    InsertSetupPacketAt(mode, offsetof(Part, SetupPacket));
    if (!m_bSynchronous)
        InsertPipeInformation(mode, kPipe);
    if (!m_bSynchronous && m_Decode.HasOutputData() && IsStandardGetDescriptor(m_Decode, offsetof(Part, SetupPacket)))
        OutputSetupDescriptor(mode, offsetof(Part, SetupPacket), sizeof(Part), length, captured);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputControlTransferEx(int mode, ULONG, const BYTE*) {
    using Part = URB_RECORD_CONTROL_TRANSFER_EX;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-ControlTransferEx");
    ULONG length = 0;
    const bool in = OutputTransferHead(mode);
    ULONG timeout = 0;
    const bool haveTimeout = Get(mode, offsetof(Part, Timeout), timeout);
    InsertTimeout(mode, timeout, haveTimeout);
    ULONG captured = 0;
    OutputTransferData(mode, offsetof(Part, TransferBufferLength), offsetof(Part, CapturedLength), sizeof(Part), in,
                       2, length, captured);
    InsertSetupPacketAt(mode, offsetof(Part, SetupPacket));
    InsertPipeInformation(mode, kPipe);
    if (m_Decode.HasOutputData() && IsStandardGetDescriptor(m_Decode, offsetof(Part, SetupPacket)))
        OutputSetupDescriptor(mode, offsetof(Part, SetupPacket), sizeof(Part), length, captured);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputTransferData(int mode, size_t lengthOffset, size_t capturedOffset, size_t fixedSize, bool in,
                                     int kind, ULONG& length, ULONG& captured, size_t addressOffset) {
    const bool haveLength = Get(mode, lengthOffset, length);
    InsertTransferBufferLength(mode, length, haveLength);
    OutputStartingOffset(mode);
    // The isochronous transfer names its buffer's address before its bytes.
    if (addressOffset)
        HexField(mode, "TransferBuffer", "TransferBuffer", 16, addressOffset);
    ULONG status = 0;
    Get(mode, capturedOffset, captured);
    m_Decode.ReadPayload(offsetof(URB_RECORD_HEAD, UsbdStatus), status);
    if (m_Decode.GetPayload().size() > fixedSize)
        InsertTransferData(mode, fixedSize, length, captured, 0, in, status, kind);
}

void UrbOutputer::OutputSetupDescriptor(int mode, size_t setupOffset, size_t dataOffset, ULONG length,
                                        ULONG captured) {
    BYTE index = 0;
    BYTE type = 0;
    m_Decode.ReadPayload(setupOffset + 2, index);
    m_Decode.ReadPayload(setupOffset + 3, type);
    // Never more than the buffer's length, nor than the bytes the record holds.
    const ULONG count = DataBytesAt(dataOffset, std::min(length, captured));
    OutputDescriptorData(mode, type, index, PayloadAt(dataOffset), count);
}

void UrbOutputer::OutputStartingOffset(int mode) {
    ULONG continuation = 0;
    tdl::LoadAt(RecordBytes(), LOGHDR_SIZE, offsetof(_LOGHDR, Continuation), continuation);
    if (continuation == LogTag::More)
        Field(mode, "Starting Offset", "StartingOffset", Hex(mode, 8, 0));
}

void UrbOutputer::OutputBulkInterruptTransfer(int mode, ULONG dataSize, const BYTE* pPart) {
    using Part = URB_RECORD_BULK_OR_INTERRUPT_TRANSFER;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-BulkInterruptTransfer");
    ULONG length = 0;
    const bool in = OutputTransferHead(mode);
    ULONG captured = 0;
    OutputTransferData(mode, offsetof(Part, TransferBufferLength), offsetof(Part, CapturedLength), sizeof(Part), in,
                       3, length, captured);
    OutputBulkPayload(mode, dataSize, pPart);
    InsertPipeInformation(mode, kPipe);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputIsochronousTransfer(int mode, ULONG, const BYTE*) {
    using Part = URB_RECORD_ISOCH_TRANSFER;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-IsochronousTransfer");
    ULONG length = 0;
    const bool in = OutputTransferHead(mode);
    ULONG captured = 0;
    OutputTransferData(mode, offsetof(Part, TransferBufferLength), offsetof(Part, CapturedLength), sizeof(Part), in,
                       4, length, captured, offsetof(Part, TransferBuffer));
    HexField(mode, "StartFrame", "StartFrame", 8, offsetof(Part, StartFrame));
    HexField(mode, "NumberOfPackets", "NumberOfPackets", 8, offsetof(Part, NumberOfPackets));
    HexField(mode, "ErrorCount", "ErrorCount", 8, offsetof(Part, ErrorCount));
    HexField(mode, "NumberOfZeroLenPackets", "NumberOfZeroLenPackets", 8, offsetof(Part, ZeroLengthPackets));
    InsertPipeInformation(mode, kPipe);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputTransferContinuation(int mode, ULONG dataSize, const BYTE*) {
    using Part = URB_RECORD_CONTINUATION;
    LPCSTR element = "URB-UnknownTransferCont";
    int kind = 0;
    switch (m_nFunction) {
    case 8: element = "URB-ControlTransferCont"; kind = 1; break;
    case 9: element = "URB-BulkInterruptTransferCont"; kind = 3; break;
    case 10: element = "URB-IsochronousTransferCont"; kind = 4; break;
    case 50: element = "URB-ControlExTransferCont"; kind = 2; break;
    default: break;
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement(element);
    // The piece carries its pipe's bytes and flags: the same direction rule as its URB's, a control
    // transfer's non-zero endpoint (recorded without its direction bit) taking the flags' word.
    bool in = false;
    const bool haveDirection = m_Decode.TryGetDirectionIn(in);
    ULONG flags = 0;
    if (haveDirection && m_Decode.ReadPayload(offsetof(Part, TransferFlags), flags))
        in = IsDirectionIn(offsetof(Part, DeviceByte), flags);
    Field(mode, "Direction", "Direction", haveDirection ? (in ? "IN" : "OUT") : kUnknownText);
    ULONG length = 0;
    ULONG partial = 0;
    ULONG start = 0;
    const bool haveLength = Get(mode, offsetof(Part, TransferBufferLength), length);
    const bool havePartial = Get(mode, offsetof(Part, PieceLength), partial);
    const bool haveStart = Get(mode, offsetof(Part, Offset), start);
    Field(mode, "TransferBufferLength", "TransferBufferLength", Hex(mode, 8, length, haveLength));
    Field(mode, "PartialLength", "PartialLength", Hex(mode, 8, partial, havePartial));
    Field(mode, "Starting Offset", "StartingOffset", Hex(mode, 8, start, haveStart));
    if (dataSize > sizeof(Part) && haveDirection)
        InsertTransferData(mode, sizeof(Part), length, partial, start, in, 0, kind);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputDescriptorData(int mode, BYTE type, BYTE index, const BYTE* data, ULONG length) {
    // A descriptor starts with its length byte; without one there is nothing to decode.
    if (!data || length < 1)
        return;
    const bool grid = mode != OUTPUT_MODE_XML;
    auto title = [grid](LPCSTR element) { return CString(grid ? "Descriptor Type" : element); };
    auto value = [grid](LPCSTR text) { return CString(grid ? text : ""); };
    switch (type) {
    case 1: {
        const CStringArray none;
        DeviceDescOutputer(m_pImp, m_pContext, data, length)
            .Output(mode, title("DeviceDescriptor"), value("DEVICE"), none, none, false);
        break;
    }
    case 2:
        if (length > 9) {
            FullConfigDescOutputer(m_pImp, m_pContext, data, length)
                .Output(mode, title("FullConfigurationDescriptor"), value("FULL CONFIGURATION"), false, false);
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
    case 15:
        FullBosDescOutputer(m_pImp, m_pContext, data, length).Output(mode, title("FullBosDescriptor"), value("FULL BOS"));
        break;
    default:
        break;
    }
}

// The field operations of the URB decoders: one URB field, or one small block of them, in every medium.
#include <algorithm>

#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/settings/AppSettings.h"
#include "app/decoders/framework/NumberText.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "app/ui/PanePointers.h"
#include "common/ByteReader.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"

namespace {

constexpr LONG kPipeBlockSize = sizeof(URB_RECORD_PIPE);

LPCSTR DirectionWord(bool in) {
    return in ? "IN" : "OUT";
}

LPCSTR TypeWord(BYTE type) {
    return type == 0 ? "STD" : type == 1 ? "CLASS" : "VENDOR";
}

LPCSTR RecipientWordUpper(BYTE recipient) {
    switch (recipient) {
    case 0: return "DEVICE";
    case 1: return "INTERFACE";
    case 2: return "ENDPOINT";
    default: return "OTHER";
    }
}

LPCSTR RecipientWord(BYTE recipient) {
    switch (recipient) {
    case 0: return "device";
    case 1: return "interface";
    case 2: return "endpoint";
    case 3: return "other";
    default: return "invalid";
    }
}

// The data bar's title of each transfer-buffer kind (1 to 15).
LPCSTR BufferKindTitle(int kind) {
    static const char* const titles[] = {
        "Control TransferBuffer",         "Control-Ex TransferBuffer",     "Bulk/Interrupt TransferBuffer",
        "Isochronous TransferBuffer",     "Vendor Device TransferBuffer",  "Vendor Interface TransferBuffer",
        "Vendor Endpoint TransferBuffer", "Vendor Other TransferBuffer",   "Class Device TransferBuffer",
        "Class Interface TransferBuffer", "Class Endpoint TransferBuffer", "Class Other TransferBuffer",
        "Descriptor TransferBuffer",      "HID Report Descriptor",         "MS Feature Descriptor TransferBuffer",
    };
    return kind >= 1 && kind <= 15 ? titles[kind - 1] : nullptr;
}

// Bytes of a buffer shown under a capture size code: 64 for code 2, all for the codes of 64 KiB and more,
// else 8.
ULONG BytesBySizeCode(DWORD code, ULONG captured) {
    if (code == 2)
        return std::min<ULONG>(captured, 64);
    if (code >= 3 && code <= 7)
        return captured;
    return std::min<ULONG>(captured, 8);
}

} // namespace

bool UrbOutputer::ConsumeBytes(FieldCursor& cursor, LONG width) {
    if (cursor.dataLeft >= width && cursor.structureLeft >= width) {
        cursor.p += width;
        cursor.dataLeft -= width;
        cursor.structureLeft -= width;
        return true;
    }
    const LONG step = std::max<LONG>(0, std::min(cursor.dataLeft, cursor.structureLeft));
    cursor.p += step;
    cursor.dataLeft -= step;
    cursor.structureLeft -= step;
    return false;
}

FieldWriter& UrbOutputer::Fields(int mode) {
    std::optional<FieldWriter>& fields = m_fields[mode >= 0 && mode <= 2 ? mode : 3];
    if (!fields || fields->Mode() != mode)
        fields.emplace(*this, mode);
    fields->SetNeeded(static_cast<ULONG>(m_nNeeded));
    return *fields;
}

const BYTE* UrbOutputer::PayloadAt(size_t offset) const {
    const std::span<const uint8_t> payload = m_Decode.GetPayload();
    return offset <= payload.size() ? payload.data() + offset : nullptr;
}

ULONG UrbOutputer::DataBytesAt(size_t offset, ULONG wanted) const {
    const size_t size = m_Decode.GetPayload().size();
    if (offset >= size)
        return 0;
    return static_cast<ULONG>(std::min<size_t>(wanted, size - offset));
}

void UrbOutputer::InsertUrbHeaderFields(int mode) {
    FieldWriter& fields = Fields(mode);
    fields.ValueField({"UrbSize", "URB Length"}, FieldFormat::Hex4, offsetof(URB_RECORD_HEAD, Length));
    fields.ValueField({"USBDDeviceHandle", "USBDDeviceHandle"}, FieldFormat::Hex64,
                      offsetof(URB_RECORD_HEAD, DeviceHandle));
}

void UrbOutputer::InsertUrbStatus(int mode) {
    FieldWriter& fields = Fields(mode);
    if (!m_Decode.HasOutputData())
        return;
    // The status of the grid and the mark-up: the HTML report has none.
    ULONG status = 0;
    const bool have = fields.Read(offsetof(URB_RECORD_HEAD, UsbdStatus), status, kGrid | kXml);
    // Kept from record to record: the text needs no allocation once it has grown to size.
    static thread_local CString text;
    text = kUnknownText;
    if (have)
        CStringContent().UsbdStatusName(text, status);
    fields.Field("UrbStatus", fields.Number(FieldFormat::Hex8, status, have), nullptr, kXml);
    fields.Attribute("Name", text);
    if (have && (status & 0x80000000u) != 0)
        fields.FaultField("URB Status", text, kGrid);
    else
        fields.Field("URB Status", text, nullptr, kGrid);
}

void UrbOutputer::InsertTransferFlags(int mode, ULONG flags, bool have) {
    FieldWriter& fields = Fields(mode);
    fields.Field({"TransferFlags", "TransferFlags (as ULONG)"}, fields.Number(FieldFormat::Hex8, flags, have));
    if (!have)
        return;
    // The mark-up names each flag in an attribute; the grid adds a row of them.
    fields.Attribute("Flag1", (flags & 1) ? "DIRECTION_IN" : "DIRECTION_OUT");
    if (flags & 2)
        fields.Attribute("Flag2", "SHORT_TRANSFER_OK");
    if (flags & 4)
        fields.Attribute("Flag3", "START_ISO_TRANSFER_ASAP");
    if (flags & 8)
        fields.Attribute("Flag4", "DEFAULT_PIPE_TRANSFER");
    ShortText text;
    text.Add(DirectionWord((flags & 1) != 0));
    if (flags & 2)
        text.Add(", SHORT_TRANSFER_OK");
    if (flags & 4)
        text.Add(" START_ISO_TRANSFER_ASAP");
    if (flags & 8)
        text.Add(" DEFAULT_PIPE_TRANSFER");
    fields.Field("TransferFlags", text.Text(), nullptr, kGrid);
}

void UrbOutputer::InsertTimeout(int mode, ULONG timeout, bool have) {
    FieldWriter& fields = Fields(mode);
    fields.AttributedField({"Timeout", "Timeout (msec)"}, fields.Number(FieldFormat::Hex8, timeout, have), "Units",
                           "msec.");
}

void UrbOutputer::InsertTransferBufferLength(int mode, ULONG length, bool have) {
    FieldWriter& fields = Fields(mode);
    fields.Field({"TransferBufferLength", "TransferBufferLength"}, fields.Number(FieldFormat::Hex8, length, have));
}

void UrbOutputer::InsertByteField(int mode, FieldCursor& cursor, LPCSTR label) {
    FieldWriter& fields = Fields(mode);
    const BYTE* p = cursor.p;
    const bool have = ConsumeBytes(cursor, 1);
    fields.Field({label, label}, fields.Number(FieldFormat::Hex2, have ? p[0] : 0, have));
}

void UrbOutputer::InsertWordField(int mode, FieldCursor& cursor, LPCSTR label) {
    FieldWriter& fields = Fields(mode);
    const BYTE* p = cursor.p;
    const bool have = ConsumeBytes(cursor, 2);
    fields.Field({label, label}, fields.Number(FieldFormat::Hex4, have ? tdl::LoadLe<USHORT>(p) : 0, have));
}

void UrbOutputer::InsertDwordField(int mode, FieldCursor& cursor, LPCSTR label) {
    FieldWriter& fields = Fields(mode);
    const BYTE* p = cursor.p;
    const bool have = ConsumeBytes(cursor, 4);
    fields.Field({label, label}, fields.Number(FieldFormat::Hex8, have ? tdl::LoadLe<ULONG>(p) : 0, have));
}

void UrbOutputer::InsertHandle(int mode, FieldCursor& cursor, LPCSTR label, bool wide) {
    FieldWriter& fields = Fields(mode);
    const BYTE* p = cursor.p;
    const bool have = ConsumeBytes(cursor, wide ? 8 : 4);
    const ULONG64 value = !have ? 0 : wide ? tdl::LoadLe<ULONG64>(p) : tdl::LoadLe<ULONG>(p);
    fields.Field({label, label}, fields.Number(wide ? FieldFormat::Hex64 : FieldFormat::Hex8, value, have));
}

void UrbOutputer::InsertPipeType(int mode, FieldCursor& cursor, LONG width) {
    FieldWriter& fields = Fields(mode);
    const BYTE* p = cursor.p;
    if (!ConsumeBytes(cursor, width)) {
        fields.Field({"PipeType", "PipeType"}, kUnknownText);
        return;
    }
    // The pipe block holds the endpoint's bmAttributes, whose low two bits are the transfer type.
    const ULONG type = width == 4 ? tdl::LoadLe<ULONG>(p) : (p[0] & 3u);
    // Kept from record to record: the name needs no allocation once it has grown to size.
    static thread_local CString name;
    name.SetString(nullptr, 0); // a type the table lacks has no name
    CStringContent().TransferTypeName(static_cast<UCHAR>(type), name);
    fields.Field("PipeType", name, nullptr, kXml);
    ShortText value;
    value.Add(name.GetString(), name.GetLength()).Add(" (").AddDecimal(static_cast<int>(type)).Add(')');
    fields.Field("PipeType", value.Text(), nullptr, kNotMarkup);
}

void UrbOutputer::InsertClassCodes(int mode, FieldCursor& cursor) {
    FieldWriter& fields = Fields(mode);
    static constexpr FieldLabels kCodes[3] = {
        {"InterfaceClass", "Class"}, {"InterfaceSubClass", "SubClass"}, {"InterfaceProtocol", "Protocol"}};
    BYTE codes[3] = {};
    for (int i = 0; i < 3; ++i) {
        const BYTE* p = cursor.p;
        if (!ConsumeBytes(cursor, 1)) {
            fields.Field(kCodes[i], kUnknownText);
            continue;
        }
        codes[i] = p[0];
        CString hex;
        CString name;
        const CStringContent content;
        if (i == 0)
            content.ClassName(codes[0], hex, name);
        else if (i == 1)
            content.SubClassName(codes[0], codes[1], hex, name);
        else
            content.ProtocolName(codes[0], codes[1], codes[2], 0, hex, name);
        // The mark-up's code in its own form; the grid's as the name table gives it.
        fields.NameFirstField(kCodes[i], name, fields.Number(FieldFormat::Hex2, codes[i]), "Name",
                              FieldDecl::kAttributeAfter, kXml);
        fields.NameFirstField(kCodes[i], name, hex, "Name", 0, kNotMarkup);
    }
}

void UrbOutputer::InsertEndpointAddress(int mode, FieldCursor& cursor, BYTE address) {
    FieldWriter& fields = Fields(mode);
    if (!ConsumeBytes(cursor, 1)) {
        fields.Field({"EndpointAddress", "EndpointAddress"}, kUnknownText);
        return;
    }
    const bool in = (address & 0x80) != 0;
    ShortText value;
    value.Add("0x").AddHex(address, 2).Add(" (").Add(DirectionWord(in)).Add(',').AddDecimal(address & 15).Add(')');
    fields.Field("EndpointAddress", value.Text(), nullptr, kGrid);
    fields.AttributedField("EndpointAddress", fields.Number(FieldFormat::Hex2, address), "Direction", DirectionWord(in),
                           nullptr, kXml);
}

bool UrbOutputer::IsDirectionIn(size_t pipeOffset, ULONG transferFlags) const {
    BYTE interfaceNumber = URB_RECORD_PIPE_UNKNOWN;
    BYTE endpoint = 0;
    m_Decode.ReadPayload(pipeOffset + offsetof(URB_RECORD_PIPE, InterfaceNumber), interfaceNumber);
    m_Decode.ReadPayload(pipeOffset + offsetof(URB_RECORD_PIPE, EndpointAddress), endpoint);
    if (interfaceNumber == URB_RECORD_PIPE_UNKNOWN)
        return (transferFlags & URB_RECORD_TRANSFER_DIRECTION_IN) != 0;
    // The driver records the default pipe of a control transfer by its own rule; the flags tell the truth.
    if ((m_nFunction == 8 || m_nFunction == 50) && (endpoint & 0x0F) != 0)
        return (transferFlags & URB_RECORD_TRANSFER_DIRECTION_IN) != 0;
    return (endpoint & URB_RECORD_ENDPOINT_DIR_IN) != 0;
}

void UrbOutputer::InsertPipeInformation(int mode, size_t pipeOffset) {
    FieldWriter& fields = Fields(mode);
    fields.Open(FieldSection::Block, {"PipeInformation", "Pipe Information"}, "");
    const size_t size = m_Decode.GetPayload().size();
    if (size < pipeOffset + kPipeBlockSize)
        fields.ReportTruncation(m_nNeeded);
    FieldCursor cursor{PayloadAt(std::min(pipeOffset, size)),
                       static_cast<LONG>(DataBytesAt(pipeOffset, kPipeBlockSize)), kPipeBlockSize};
    ConsumeBytes(cursor, 1);
    const BYTE* p = cursor.p;
    const BYTE interfaceNumber = cursor.dataLeft >= 1 ? p[0] : 0;
    const bool haveInterface = cursor.dataLeft >= 1;
    InsertByteField(mode, cursor, "InterfaceNumber");
    if (haveInterface && interfaceNumber == URB_RECORD_PIPE_UNKNOWN) {
        ConsumeBytes(cursor, 4);
        for (const char* label : {"EndpointAddress", "PipeType", "MaxPacketSize (low byte)"})
            fields.Field(label, kUnknownText, nullptr, kGrid);
    } else {
        const BYTE address = cursor.dataLeft >= 1 ? cursor.p[0] : 0;
        InsertEndpointAddress(mode, cursor, address);
        // Bytes 3 and 4 as the driver writes them: wMaxPacketSize's low byte and bmAttributes, no interval.
        const BYTE* maxPacket = cursor.p;
        const bool haveMaxPacket = ConsumeBytes(cursor, 1);
        InsertPipeType(mode, cursor, 1);
        fields.Field({"MaxPacketSizeLo", "MaxPacketSize (low byte)"},
                     fields.Number(FieldFormat::Hex2, haveMaxPacket ? maxPacket[0] : 0, haveMaxPacket));
        ConsumeBytes(cursor, 1);
    }
    ULONG64 handle = 0;
    const bool haveHandle = m_Decode.ReadPayload(pipeOffset + offsetof(URB_RECORD_PIPE, PipeHandle), handle);
    fields.Field({"PipeHandle", "PipeHandle"}, fields.Number(FieldFormat::Hex64, handle, haveHandle));
    fields.Close(FieldSection::Block);
}

void UrbOutputer::InsertSetupPacket(int mode, const BYTE* setup) {
    InsertSetupPacket(mode, FieldCursor{setup, 8, 8});
}

void UrbOutputer::InsertSetupPacketAt(int mode, size_t offset) {
    FieldWriter& fields = Fields(mode);
    const size_t size = m_Decode.GetPayload().size();
    if (size < offset + 8)
        fields.ReportTruncation(m_nNeeded);
    InsertSetupPacket(mode,
                      FieldCursor{PayloadAt(std::min(offset, size)), static_cast<LONG>(DataBytesAt(offset, 8)), 8});
}

void UrbOutputer::InsertSetupPacket(int mode, FieldCursor cursor) {
    FieldWriter& fields = Fields(mode);
    fields.Open(FieldSection::Block, {"SetupPacket", "Setup Packet"}, "");
    InsertSetupFields(mode, cursor);
    fields.Close(FieldSection::Block);
}

void UrbOutputer::InsertSetupFields(int mode, FieldCursor& cursor) {
    FieldWriter& fields = Fields(mode);
    const BYTE* typeByte = cursor.p;
    const bool haveType = cursor.dataLeft >= 1 && cursor.structureLeft >= 1;
    InsertByteField(mode, cursor, "RequestTypeReservedBits");
    // Only a standard request's number names a request of the standard's table; a class or vendor request
    // reuses the numbers for requests of its own, so it shows the number alone.
    const bool standard = haveType && ((typeByte[0] >> 5) & 3) == 0;
    const BYTE* p = cursor.p;
    if (!ConsumeBytes(cursor, 1)) {
        fields.Field({"Request", "Request"}, kUnknownText);
    } else if (!standard) {
        fields.Field({"Request", "Request"}, fields.Number(FieldFormat::Hex2, p[0]));
    } else {
        // The mark-up's number in hexadecimal, the grid's in decimal.
        LPCSTR name = CStringContent::StandardRequestText(p[0]);
        fields.NameFirstField("Request", name, fields.Number(FieldFormat::Hex2, p[0]), "Name",
                              FieldDecl::kAttributeAfter, kXml);
        fields.NameFirstField("Request", name, fields.Number(FieldFormat::Decimal, p[0]), "Name", 0, kNotMarkup);
    }
    const bool haveRequest = cursor.p != p;
    LPCSTR indexLabel = "Index";
    if (standard && haveRequest && (p[0] == 6 || p[0] == 7)) {
        const BYTE* value = cursor.p;
        if (ConsumeBytes(cursor, 2)) {
            const auto wValue = tdl::LoadLe<USHORT>(value);
            InsertDescriptorTypeIndex(mode, wValue);
            // A string descriptor's wIndex is its language.
            if ((wValue >> 8) == 3)
                indexLabel = "LangID";
        } else {
            fields.Field({"DescriptorType.wValueHi", "DescriptorType.wValueHi"}, kUnknownText);
            fields.Field({"DescriptorIndex.wValueLo", "DescriptorIndex.wValueLo"}, kUnknownText);
        }
    } else {
        InsertWordField(mode, cursor, "Value");
    }
    InsertWordField(mode, cursor, indexLabel);
    InsertWordField(mode, cursor, "Length");
}

void UrbOutputer::InsertDescriptorTypeIndex(int mode, USHORT wValue) {
    FieldWriter& fields = Fields(mode);
    const auto type = static_cast<BYTE>(wValue >> 8);
    CString name;
    CStringContent().DescriptorTypeName(type, name);
    fields.NamedField("DescriptorType.wValueHi", fields.Number(FieldFormat::Hex2, type), "Name", name);
    fields.Field({"DescriptorIndex.wValueLo", "DescriptorIndex.wValueLo"},
                 fields.Number(FieldFormat::Hex2, wValue & 0xFF));
}

BYTE UrbOutputer::ComposeRequestType(BYTE direction, BYTE type, BYTE recipient) {
    return static_cast<BYTE>((direction << 7) | (type << 5) | recipient);
}

void UrbOutputer::RequestTypeText(BYTE type, BYTE recipient, LPCSTR typeWord, BYTE& bmRequestType,
                                  CString& description) {
    ULONG flags = 0;
    BYTE reserved = 0;
    m_Decode.ReadPayload(offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, TransferFlags), flags);
    m_Decode.ReadPayload(offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, RequestTypeReservedBits), reserved);
    const bool in = (flags & 1) != 0;
    bmRequestType = ComposeRequestType(in ? 1 : 0, type, reserved >= 4 ? reserved : recipient);
    description.Format("%s request %s %s", typeWord, in ? "from" : "to", RecipientWord(recipient));
}

void UrbOutputer::InsertRequestType(int mode) {
    FieldWriter& fields = Fields(mode);
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    if (m_Decode.HasInputData()) {
        ULONG flags = 0;
        const bool have = fields.Read(offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, TransferFlags), flags);
        InsertTransferFlags(mode, flags, have);
    }
    BYTE bits = 0;
    const bool have = fields.Read(offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, RequestTypeReservedBits), bits);
    const CString hex = fields.Text(FieldFormat::Hex2, bits, have);
    if (!have) {
        fields.Field("RequestTypeReservedBits", hex);
        return;
    }
    // The grid media read the bits' meaning beside them.
    fields.Field("RequestTypeReservedBits", hex, nullptr, kXml);
    CString value;
    value.Format("%s (%s,%s,%s)", hex.GetString(), DirectionWord((bits & 0x80) != 0),
                 TypeWord(static_cast<BYTE>((bits >> 5) & 3)), RecipientWordUpper(bits & 0x1F));
    fields.Field("RequestTypeReservedBits", value, nullptr, kNotMarkup);
}

bool UrbOutputer::InsertRecipient(int mode, LPCSTR typeWord, CString& hex, CString& triple, CString& description,
                                  BYTE& bmRequestType) {
    if (!ReadRecipient(typeWord, triple, description, bmRequestType))
        return false;
    hex = Fields(mode).Text(FieldFormat::Hex2, bmRequestType);
    return true;
}

bool UrbOutputer::ReadRecipient(LPCSTR typeWord, CString& triple, CString& description, BYTE& bmRequestType) const {
    bmRequestType = 0;
    if (!m_Decode.ReadPayload(GetControlLayout().setup, bmRequestType))
        return false;
    const bool in = (bmRequestType & 0x80) != 0;
    const BYTE recipient = bmRequestType & 0x1F;
    triple.Format("(%s,%s,%s)", DirectionWord(in), TypeWord(static_cast<BYTE>((bmRequestType >> 5) & 3)),
                  RecipientWordUpper(recipient));
    description.Format("%s request %s %s", typeWord, in ? "from" : "to", RecipientWord(recipient));
    return true;
}

void UrbOutputer::InsertBmRequestType(int mode, BYTE bmRequestType) {
    FieldWriter& fields = Fields(mode);
    const CString hex = fields.Text(FieldFormat::Hex2, bmRequestType);
    switch (m_nFunction) {
    case 26:
    case 27:
    case 28:
    case 31:
        fields.Field("bmRequestType", hex, nullptr, kXml);
        fields.Attribute("Note", "Calculated value");
        fields.Field("bmRequestType", hex + " (calculated)", nullptr, kNotMarkup);
        break;
    case 8:
    case 50: fields.Field({"bmRequestType", "bmRequestType"}, hex); break;
    default: break;
    }
}

void UrbOutputer::InsertCalculatedSetupPacket(int mode, BYTE bmRequestType, const CString& description) {
    FieldWriter& fields = Fields(mode);
    fields.Open(FieldSection::Block, {"SetupPacket", "Setup Packet"}, description, kAllMedia, "Description");
    const CString hex = fields.Text(FieldFormat::Hex2, bmRequestType);
    fields.Field("bmRequestType", hex, nullptr, kXml);
    fields.Attribute("Note", "Calculated value");
    fields.Field("bmRequestType", hex + " (Calculated value)", nullptr, kNotMarkup);
    fields.ValueField({"Request", "Request"}, FieldFormat::Hex2, offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, Request));
    fields.ValueField({"Value", "Value"}, FieldFormat::Hex4, offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, Value));
    fields.ValueField({"Index", "Index"}, FieldFormat::Hex4, offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, Index));
    fields.ValueField({"Length", "Length"}, FieldFormat::Hex8,
                      offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, TransferBufferLength));
    fields.Close(FieldSection::Block);
}

int UrbOutputer::VendorClassBufferKind(ULONG function) {
    switch (function) {
    case 23: return 5;
    case 24: return 6;
    case 25: return 7;
    case 32: return 8;
    case 26: return 9;
    case 27: return 10;
    case 28: return 11;
    case 31: return 12;
    default: return 1;
    }
}

int UrbOutputer::RequestTypeBufferKind(BYTE bmRequestType) {
    const BYTE type = (bmRequestType >> 5) & 3;
    const BYTE recipient = bmRequestType & 0x1F;
    if ((bmRequestType & 0x1C) != 0 || recipient > 3 || (type != 1 && type != 2))
        return 1;
    return (type == 1 ? 9 : 5) + recipient;
}

ULONG UrbOutputer::ShownBytes(int kind, ULONG capturedLength) const {
    const CAppSettings* pSettings = m_pContext ? m_pContext->GetSettings() : nullptr;
    if (!pSettings) {
        const auto* pApp = dynamic_cast<const CTindaloftApp*>(AfxGetApp());
        pSettings = pApp ? &pApp->m_Settings : nullptr;
    }
    switch (kind) {
    case 1: return BytesBySizeCode(pSettings ? pSettings->CtrlMaxSize : 0, capturedLength);
    case 3: return BytesBySizeCode(pSettings ? pSettings->BulkMaxSize : 0, capturedLength);
    case 4: return BytesBySizeCode(pSettings ? pSettings->IsochMaxSize : 0, capturedLength);
    default: return capturedLength;
    }
}

CString UrbOutputer::TransferBufferHex(const BYTE* data, ULONG capturedLength, int kind) const {
    // The mark-up text follows the data bar's rule, the control code serving both control kinds; other
    // kinds show their first 8 bytes.
    const ULONG count = kind == 2                ? ShownBytes(1, capturedLength)
                        : kind >= 1 && kind <= 4 ? ShownBytes(kind, capturedLength)
                                                 : std::min<ULONG>(capturedLength, 8);
    CString text;
    CStringContent().HexString(text, data, count);
    return text;
}

void UrbOutputer::InsertTransferBuffer(FieldWriter& fields, LPCSTR caption, int kind, bool input, const BYTE* data,
                                       ULONG transferBufferLength, ULONG capturedLength, ULONG startingOffset) {
    LPCSTR title = BufferKindTitle(kind);
    // Kept from record to record: the text needs no allocation once it has grown to size.
    static thread_local CString text;
    text.SetString(nullptr, 0);
    if (title) {
        // An empty piece names its start as its end rather than wrapping below it.
        const ULONG last = capturedLength ? startingOffset + capturedLength - 1 : startingOffset;
        text = "  ";
        text += title;
        text += input ? " (Input) - record #" : " (Output) - record #";
        AppendDecimal(text, m_Decode.GetSequenceNumber());
        text += "            (0x";
        AppendHex(text, startingOffset, 1, true);
        text += " - 0x";
        AppendHex(text, last, 1, true);
        text += " / 0x";
        AppendHex(text, transferBufferLength, 1, true);
        text += ")";
    }
    fields.DataBuffer(caption, text, data, title ? ShownBytes(kind, capturedLength) : 0);
}

void UrbOutputer::InsertTransferData(int mode, size_t dataOffset, ULONG transferBufferLength, ULONG capturedLength,
                                     ULONG startingOffset, bool directionIn, ULONG status, int kind, uint8_t media) {
    FieldWriter& fields = Fields(mode);
    // The data is the grid's and the mark-up's (as the caller asks): elsewhere it is no part of the record.
    if (!fields.In(media))
        return;
    const ULONG count = DataBytesAt(dataOffset, capturedLength);
    if (count < capturedLength)
        fields.ReportTruncation(dataOffset + capturedLength);
    // An "iCnt" continues a request's OUT data although the record view counts it to neither side.
    const bool requestSide = m_Decode.HasInputData() || m_Decode.GetLogType() == LogTag::iCnt;
    bool input;
    if (requestSide && !directionIn)
        input = false;
    else if (m_Decode.HasOutputData() && directionIn && static_cast<LONG>(status) >= 0)
        input = true;
    else
        return;
    const BYTE* data = PayloadAt(dataOffset);
    // The hex text is made only where it is shown: a bulk record's may be a quarter of a megabyte.
    if (fields.In(kXml))
        fields.Field("TransferBuffer", count ? TransferBufferHex(data, count, kind) : CString(), nullptr, kXml);
    static thread_local CString captured;
    SetHex(captured, count, 8);
    fields.Attribute("CaptureLength", captured);
    InsertTransferBuffer(fields, input ? "TransferBuffer (In)" : "TransferBuffer (Out)", kind, input, data,
                         transferBufferLength, count, startingOffset);
}

void UrbOutputer::OutputLengthAndStatusBuffer(int mode, size_t lengthOffset, FieldFormat format, size_t dataOffset) {
    FieldWriter& fields = Fields(mode);
    ULONG length = 0;
    const bool haveLength = fields.Read(lengthOffset, length);
    fields.Field({"TransferBufferLength", "TransferBufferLength"}, fields.Number(format, length, haveLength));
    if (haveLength)
        InsertStatusBuffer(mode, dataOffset, length);
}

void UrbOutputer::InsertStatusBuffer(int mode, size_t dataOffset, ULONG transferBufferLength) {
    FieldWriter& fields = Fields(mode);
    ULONG status = 0;
    if (!m_Decode.HasOutputData() || !m_Decode.ReadPayload(offsetof(URB_RECORD_HEAD, UsbdStatus), status) ||
        static_cast<LONG>(status) < 0)
        return;
    const ULONG count = DataBytesAt(dataOffset, transferBufferLength);
    if (count < transferBufferLength)
        fields.ReportTruncation(dataOffset + transferBufferLength);
    CString text;
    if (count)
        CStringContent().HexDumpHtml(text, PayloadAt(dataOffset), count, 16);
    fields.Field({"TransferBuffer", "TransferBuffer (In)"}, text);
}

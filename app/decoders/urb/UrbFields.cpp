// The field operations of the URB decoders: one URB field, or one small block of them, in every medium.
#include <algorithm>

#include "app/core/AppSettings.h"
#include "app/core/TindaloftApp.h"
#include "app/core/USBLog.h"
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
        "Control TransferBuffer",          "Control-Ex TransferBuffer",        "Bulk/Interrupt TransferBuffer",
        "Isochronous TransferBuffer",      "Vendor Device TransferBuffer",     "Vendor Interface TransferBuffer",
        "Vendor Endpoint TransferBuffer",  "Vendor Other TransferBuffer",      "Class Device TransferBuffer",
        "Class Interface TransferBuffer",  "Class Endpoint TransferBuffer",    "Class Other TransferBuffer",
        "Descriptor TransferBuffer",       "HID Report Descriptor",            "MS Feature Descriptor TransferBuffer",
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

CString UrbOutputer::Hex(int mode, int digits, ULONG64 value, bool have) {
    if (!have)
        return kUnknownText;
    const bool grid = mode == OUTPUT_MODE_GRID;
    CString text;
    switch (digits) {
    case 2: text.Format(grid ? "0x%02x" : "%02x", static_cast<unsigned>(value)); break;
    case 4: text.Format(grid ? "0x%04x" : "%04x", static_cast<unsigned>(value)); break;
    case 8: text.Format(grid ? "0x%08x" : "%08x", static_cast<unsigned>(value)); break;
    default: text.Format(grid ? "0x%I64x" : "%I64x", value); break;
    }
    return text;
}

void UrbOutputer::Field(int mode, LPCSTR label, LPCSTR element, const CString& value) {
    if (mode == OUTPUT_MODE_XML)
        m_pImp->WriteValue(element, value);
    else
        m_pImp->AddItem(label, value, nullptr);
}

void UrbOutputer::HexField(int mode, LPCSTR label, LPCSTR element, int digits, size_t offset) {
    ULONG64 value = 0;
    bool have = false;
    switch (digits) {
    case 2: { BYTE v = 0; have = Get(mode, offset, v); value = v; break; }
    case 4: { USHORT v = 0; have = Get(mode, offset, v); value = v; break; }
    case 8: { ULONG v = 0; have = Get(mode, offset, v); value = v; break; }
    default: { ULONG64 v = 0; have = Get(mode, offset, v); value = v; break; }
    }
    Field(mode, label, element, Hex(mode, digits, value, have));
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
    HexField(mode, "URB Length", "UrbSize", 4, offsetof(URB_RECORD_HEAD, Length));
    HexField(mode, "USBDDeviceHandle", "USBDDeviceHandle", 16, offsetof(URB_RECORD_HEAD, DeviceHandle));
}

void UrbOutputer::InsertUrbStatus(int mode) {
    if (!m_Decode.HasOutputData() || mode == OUTPUT_MODE_HTML)
        return;
    ULONG status = 0;
    const bool have = Get(mode, offsetof(URB_RECORD_HEAD, UsbdStatus), status);
    CString text = kUnknownText;
    if (have)
        CStringContent().UsbdStatusName(text, status);
    if (mode == OUTPUT_MODE_XML) {
        m_pImp->WriteValue("UrbStatus", Hex(mode, 8, status, have));
        m_pImp->AddAttribute("Name", text);
    } else if (have && (status & 0x80000000u) != 0) {
        m_pImp->AddReadOnlyItem("URB Status", text);
    } else {
        m_pImp->AddItem("URB Status", text, nullptr);
    }
}

void UrbOutputer::InsertTransferFlags(int mode, ULONG flags, bool have) {
    Field(mode, "TransferFlags (as ULONG)", "TransferFlags", Hex(mode, 8, flags, have));
    if (!have)
        return;
    if (mode == OUTPUT_MODE_XML) {
        m_pImp->AddAttribute("Flag1", (flags & 1) ? "DIRECTION_IN" : "DIRECTION_OUT");
        if (flags & 2)
            m_pImp->AddAttribute("Flag2", "SHORT_TRANSFER_OK");
        if (flags & 4)
            m_pImp->AddAttribute("Flag3", "START_ISO_TRANSFER_ASAP");
        if (flags & 8)
            m_pImp->AddAttribute("Flag4", "DEFAULT_PIPE_TRANSFER");
        return;
    }
    if (mode != OUTPUT_MODE_GRID)
        return;
    CString text = DirectionWord((flags & 1) != 0);
    if (flags & 2)
        text += ", SHORT_TRANSFER_OK";
    if (flags & 4)
        text += " START_ISO_TRANSFER_ASAP";
    if (flags & 8)
        text += " DEFAULT_PIPE_TRANSFER";
    m_pImp->AddItem("TransferFlags", text, nullptr);
}

void UrbOutputer::InsertTimeout(int mode, ULONG timeout, bool have) {
    if (mode == OUTPUT_MODE_XML)
        m_pImp->WriteValueWithAttribute("Timeout", Hex(mode, 8, timeout, have), "Units", "msec.");
    else
        m_pImp->AddItem("Timeout (msec)", Hex(mode, 8, timeout, have), nullptr);
}

void UrbOutputer::InsertTransferBufferLength(int mode, ULONG length, bool have) {
    Field(mode, "TransferBufferLength", "TransferBufferLength", Hex(mode, 8, length, have));
}

void UrbOutputer::InsertByteField(int mode, FieldCursor& cursor, LPCSTR label) {
    const BYTE* p = cursor.p;
    const bool have = ConsumeBytes(cursor, 1);
    Field(mode, label, label, Hex(mode, 2, have ? p[0] : 0, have));
}

void UrbOutputer::InsertWordField(int mode, FieldCursor& cursor, LPCSTR label) {
    const BYTE* p = cursor.p;
    const bool have = ConsumeBytes(cursor, 2);
    Field(mode, label, label, Hex(mode, 4, have ? tdl::LoadLe<USHORT>(p) : 0, have));
}

void UrbOutputer::InsertDwordField(int mode, FieldCursor& cursor, LPCSTR label) {
    const BYTE* p = cursor.p;
    const bool have = ConsumeBytes(cursor, 4);
    Field(mode, label, label, Hex(mode, 8, have ? tdl::LoadLe<ULONG>(p) : 0, have));
}

void UrbOutputer::InsertHandle(int mode, FieldCursor& cursor, LPCSTR label, bool wide) {
    const BYTE* p = cursor.p;
    const bool have = ConsumeBytes(cursor, wide ? 8 : 4);
    const ULONG64 value = !have ? 0 : wide ? tdl::LoadLe<ULONG64>(p) : tdl::LoadLe<ULONG>(p);
    Field(mode, label, label, Hex(mode, wide ? 16 : 8, value, have));
}

void UrbOutputer::InsertPipeType(int mode, FieldCursor& cursor, LONG width) {
    const BYTE* p = cursor.p;
    if (!ConsumeBytes(cursor, width)) {
        Field(mode, "PipeType", "PipeType", kUnknownText);
        return;
    }
    // The pipe block holds the endpoint's bmAttributes, whose low two bits are the transfer type.
    const ULONG type = width == 4 ? tdl::LoadLe<ULONG>(p) : (p[0] & 3u);
    CString name;
    CStringContent().TransferTypeName(static_cast<UCHAR>(type), name);
    CString value;
    if (mode == OUTPUT_MODE_XML)
        value = name;
    else
        value.Format("%s (%d)", static_cast<LPCSTR>(name), static_cast<int>(type));
    Field(mode, "PipeType", "PipeType", value);
}

void UrbOutputer::InsertClassCodes(int mode, FieldCursor& cursor) {
    struct Code {
        LPCSTR label;
        LPCSTR element;
    };
    static constexpr Code kCodes[3] = {
        {"Class", "InterfaceClass"}, {"SubClass", "InterfaceSubClass"}, {"Protocol", "InterfaceProtocol"}};
    BYTE codes[3] = {};
    for (int i = 0; i < 3; ++i) {
        const BYTE* p = cursor.p;
        if (!ConsumeBytes(cursor, 1)) {
            Field(mode, kCodes[i].label, kCodes[i].element, kUnknownText);
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
        if (mode == OUTPUT_MODE_XML) {
            m_pImp->WriteValue(kCodes[i].element, Hex(mode, 2, codes[i]));
            m_pImp->AddAttribute("Name", name);
        } else {
            CString value;
            value.Format("%s (%s)", static_cast<LPCSTR>(name), static_cast<LPCSTR>(hex));
            m_pImp->AddItem(kCodes[i].label, value, nullptr);
        }
    }
}

void UrbOutputer::InsertEndpointAddress(int mode, FieldCursor& cursor, BYTE address) {
    if (!ConsumeBytes(cursor, 1)) {
        Field(mode, "EndpointAddress", "EndpointAddress", kUnknownText);
        return;
    }
    const bool in = (address & 0x80) != 0;
    if (mode == OUTPUT_MODE_GRID) {
        CString value;
        value.Format("0x%02x (%s,%d)", address, DirectionWord(in), address & 15);
        m_pImp->AddItem("EndpointAddress", value, nullptr);
    } else if (mode == OUTPUT_MODE_XML) {
        m_pImp->WriteValueWithAttribute("EndpointAddress", Hex(mode, 2, address), "Direction", DirectionWord(in));
    }
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
    OpenBlock(mode, "PipeInformation", "Pipe Information", "");
    const size_t size = m_Decode.GetPayload().size();
    if (size < pipeOffset + kPipeBlockSize)
        OutputTruncation(mode, m_nNeeded);
    FieldCursor cursor{PayloadAt(std::min(pipeOffset, size)), static_cast<LONG>(DataBytesAt(pipeOffset, kPipeBlockSize)),
                       kPipeBlockSize};
    ConsumeBytes(cursor, 1);
    const BYTE* p = cursor.p;
    const BYTE interfaceNumber = cursor.dataLeft >= 1 ? p[0] : 0;
    const bool haveInterface = cursor.dataLeft >= 1;
    InsertByteField(mode, cursor, "InterfaceNumber");
    if (haveInterface && interfaceNumber == URB_RECORD_PIPE_UNKNOWN) {
        ConsumeBytes(cursor, 4);
        if (mode == OUTPUT_MODE_GRID) {
            m_pImp->AddItem("EndpointAddress", kUnknownText, nullptr);
            m_pImp->AddItem("PipeType", kUnknownText, nullptr);
            m_pImp->AddItem("MaxPacketSize (low byte)", kUnknownText, nullptr);
        }
    } else {
        const BYTE address = cursor.dataLeft >= 1 ? cursor.p[0] : 0;
        InsertEndpointAddress(mode, cursor, address);
        // The block's fourth byte is wMaxPacketSize's low byte, its fifth bmAttributes.
        const BYTE* maxPacket = cursor.p;
        const bool haveMaxPacket = ConsumeBytes(cursor, 1);
        InsertPipeType(mode, cursor, 1);
        Field(mode, "MaxPacketSize (low byte)", "MaxPacketSizeLo", Hex(mode, 2, haveMaxPacket ? maxPacket[0] : 0,
                                                                       haveMaxPacket));
        ConsumeBytes(cursor, 1);
    }
    ULONG64 handle = 0;
    const bool haveHandle = m_Decode.ReadPayload(pipeOffset + offsetof(URB_RECORD_PIPE, PipeHandle), handle);
    Field(mode, "PipeHandle", "PipeHandle", Hex(mode, 16, handle, haveHandle));
    CloseBlock(mode);
}

void UrbOutputer::OpenBlock(int mode, LPCSTR element, LPCSTR caption, LPCSTR value) {
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement(element);
    else
        m_pImp->BeginValueGroup(caption, value);
}

void UrbOutputer::CloseBlock(int mode) {
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
    else
        m_pImp->ExpandCurrent();
    m_pImp->EndGroup();
}

void UrbOutputer::OpenGridGroup(int mode, LPCSTR caption) {
    if (mode == OUTPUT_MODE_GRID)
        m_pImp->BeginValueGroup(caption, "");
}

void UrbOutputer::CloseGridGroup(int mode) {
    if (mode != OUTPUT_MODE_GRID)
        return;
    m_pImp->ExpandCurrent();
    m_pImp->EndGroup();
}

void UrbOutputer::InsertSetupPacket(int mode, const BYTE* setup) {
    InsertSetupPacket(mode, FieldCursor{setup, 8, 8});
}

void UrbOutputer::InsertSetupPacketAt(int mode, size_t offset) {
    const size_t size = m_Decode.GetPayload().size();
    if (size < offset + 8)
        OutputTruncation(mode, m_nNeeded);
    InsertSetupPacket(mode, FieldCursor{PayloadAt(std::min(offset, size)), static_cast<LONG>(DataBytesAt(offset, 8)), 8});
}

void UrbOutputer::InsertSetupPacket(int mode, FieldCursor cursor) {
    OpenBlock(mode, "SetupPacket", "Setup Packet", "");
    InsertSetupFields(mode, cursor);
    CloseBlock(mode);
}

void UrbOutputer::InsertSetupFields(int mode, FieldCursor& cursor) {
    const BYTE* typeByte = cursor.p;
    const bool haveType = cursor.dataLeft >= 1 && cursor.structureLeft >= 1;
    InsertByteField(mode, cursor, "RequestTypeReservedBits");
    // Only a standard request's number names a request of the standard's table; a class or vendor request
    // reuses the numbers for requests of its own, so it shows the number alone.
    const bool standard = haveType && ((typeByte[0] >> 5) & 3) == 0;
    const BYTE* p = cursor.p;
    if (!ConsumeBytes(cursor, 1)) {
        Field(mode, "Request", "Request", kUnknownText);
    } else if (!standard) {
        Field(mode, "Request", "Request", Hex(mode, 2, p[0]));
    } else {
        LPCSTR name = CStringContent::StandardRequestText(p[0]);
        if (mode == OUTPUT_MODE_XML) {
            m_pImp->WriteValue("Request", Hex(mode, 2, p[0]));
            m_pImp->AddAttribute("Name", name);
        } else {
            CString value;
            value.Format("%s (%d)", name, p[0]);
            m_pImp->AddItem("Request", value, nullptr);
        }
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
            Field(mode, "DescriptorType.wValueHi", "DescriptorType.wValueHi", kUnknownText);
            Field(mode, "DescriptorIndex.wValueLo", "DescriptorIndex.wValueLo", kUnknownText);
        }
    } else {
        InsertWordField(mode, cursor, "Value");
    }
    InsertWordField(mode, cursor, indexLabel);
    InsertWordField(mode, cursor, "Length");
}

void UrbOutputer::InsertDescriptorTypeIndex(int mode, USHORT wValue) {
    const auto type = static_cast<BYTE>(wValue >> 8);
    CString name;
    CStringContent().DescriptorTypeName(type, name);
    if (mode == OUTPUT_MODE_XML) {
        m_pImp->WriteValueWithAttribute("DescriptorType.wValueHi", Hex(mode, 2, type), "Name", name);
    } else {
        CString value;
        value.Format("%s (%s)", static_cast<LPCSTR>(Hex(mode, 2, type)), static_cast<LPCSTR>(name));
        m_pImp->AddItem("DescriptorType.wValueHi", value, nullptr);
    }
    Field(mode, "DescriptorIndex.wValueLo", "DescriptorIndex.wValueLo", Hex(mode, 2, wValue & 0xFF));
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
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    if (m_Decode.HasInputData()) {
        ULONG flags = 0;
        const bool have = Get(mode, offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, TransferFlags), flags);
        InsertTransferFlags(mode, flags, have);
    }
    BYTE bits = 0;
    const bool have = Get(mode, offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, RequestTypeReservedBits), bits);
    if (mode == OUTPUT_MODE_XML || !have) {
        Field(mode, "RequestTypeReservedBits", "RequestTypeReservedBits", Hex(mode, 2, bits, have));
        return;
    }
    CString value;
    value.Format(mode == OUTPUT_MODE_GRID ? "0x%02x (%s,%s,%s)" : "%02x (%s,%s,%s)", bits,
                 DirectionWord((bits & 0x80) != 0), TypeWord(static_cast<BYTE>((bits >> 5) & 3)),
                 RecipientWordUpper(bits & 0x1F));
    m_pImp->AddItem("RequestTypeReservedBits", value, nullptr);
}

bool UrbOutputer::InsertRecipient(int mode, LPCSTR typeWord, CString& hex, CString& triple, CString& description,
                                  BYTE& bmRequestType) {
    bmRequestType = 0;
    if (!m_Decode.ReadPayload(GetControlLayout().setup, bmRequestType))
        return false;
    const bool in = (bmRequestType & 0x80) != 0;
    const BYTE recipient = bmRequestType & 0x1F;
    hex = Hex(mode, 2, bmRequestType);
    triple.Format("(%s,%s,%s)", DirectionWord(in), TypeWord(static_cast<BYTE>((bmRequestType >> 5) & 3)),
                  RecipientWordUpper(recipient));
    description.Format("%s request %s %s", typeWord, in ? "from" : "to", RecipientWord(recipient));
    return true;
}

void UrbOutputer::InsertBmRequestType(int mode, BYTE bmRequestType) {
    const CString hex = Hex(mode, 2, bmRequestType);
    switch (m_nFunction) {
    case 26:
    case 27:
    case 28:
    case 31:
        if (mode == OUTPUT_MODE_XML) {
            m_pImp->WriteValue("bmRequestType", hex);
            m_pImp->AddAttribute("Note", "Calculated value");
        } else {
            CString value;
            value.Format("%s (calculated)", static_cast<LPCSTR>(hex));
            m_pImp->AddItem("bmRequestType", value, nullptr);
        }
        break;
    case 8:
    case 50:
        Field(mode, "bmRequestType", "bmRequestType", hex);
        break;
    default:
        break;
    }
}

void UrbOutputer::InsertCalculatedSetupPacket(int mode, BYTE bmRequestType, const CString& description) {
    if (mode == OUTPUT_MODE_XML) {
        m_pImp->BeginSection("SetupPacket", "Description", description);
        m_pImp->WriteValue("bmRequestType", Hex(mode, 2, bmRequestType));
        m_pImp->AddAttribute("Note", "Calculated value");
    } else {
        m_pImp->BeginValueGroup("Setup Packet", description);
        CString value;
        value.Format("%s (Calculated value)", static_cast<LPCSTR>(Hex(mode, 2, bmRequestType)));
        m_pImp->AddItem("bmRequestType", value, nullptr);
    }
    HexField(mode, "Request", "Request", 2, offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, Request));
    HexField(mode, "Value", "Value", 4, offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, Value));
    HexField(mode, "Index", "Index", 4, offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, Index));
    HexField(mode, "Length", "Length", 8, offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, TransferBufferLength));
    CloseBlock(mode);
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
    const ULONG count = kind == 2 ? ShownBytes(1, capturedLength)
                        : kind >= 1 && kind <= 4 ? ShownBytes(kind, capturedLength)
                                                 : std::min<ULONG>(capturedLength, 8);
    CString text;
    CStringContent().HexString(text, data, count);
    return text;
}

void UrbOutputer::InsertTransferBuffer(int kind, bool input, const BYTE* data, ULONG transferBufferLength,
                                       ULONG capturedLength, ULONG startingOffset) {
    LPCSTR title = BufferKindTitle(kind);
    if (!title)
        return;
    // An empty piece names its start as its end rather than wrapping below it.
    const ULONG last = capturedLength ? startingOffset + capturedLength - 1 : startingOffset;
    CString text;
    text.Format("  %s %s - record #%u            (0x%X - 0x%X / 0x%X)", title, input ? "(Input)" : "(Output)",
                m_Decode.GetSequenceNumber(), startingOffset, last, transferBufferLength);
    CPanePointers panes;
    panes.DataBarSetTitle(text);
    panes.DataBarSetDataBuffer(data, ShownBytes(kind, capturedLength));
}

void UrbOutputer::InsertTransferData(int mode, size_t dataOffset, ULONG transferBufferLength, ULONG capturedLength,
                                     ULONG startingOffset, bool directionIn, ULONG status, int kind) {
    if (mode == OUTPUT_MODE_HTML)
        return;
    const ULONG count = DataBytesAt(dataOffset, capturedLength);
    if (count < capturedLength)
        OutputTruncation(mode, dataOffset + capturedLength);
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
    if (mode == OUTPUT_MODE_XML) {
        m_pImp->WriteValue("TransferBuffer", count ? TransferBufferHex(data, count, kind) : CString());
        CString captured;
        captured.Format("%08x", count);
        m_pImp->AddAttribute("CaptureLength", captured);
        return;
    }
    m_pImp->AddDataBufferItem(input ? "TransferBuffer (In)" : "TransferBuffer (Out)");
    InsertTransferBuffer(kind, input, data, transferBufferLength, count, startingOffset);
}

void UrbOutputer::OutputLengthAndStatusBuffer(int mode, size_t lengthOffset, int digits, size_t dataOffset) {
    ULONG length = 0;
    const bool haveLength = Get(mode, lengthOffset, length);
    Field(mode, "TransferBufferLength", "TransferBufferLength", Hex(mode, digits, length, haveLength));
    if (haveLength)
        InsertStatusBuffer(mode, dataOffset, length);
}

void UrbOutputer::InsertStatusBuffer(int mode, size_t dataOffset, ULONG transferBufferLength) {
    ULONG status = 0;
    if (!m_Decode.HasOutputData() || !m_Decode.ReadPayload(offsetof(URB_RECORD_HEAD, UsbdStatus), status) ||
        static_cast<LONG>(status) < 0)
        return;
    const ULONG count = DataBytesAt(dataOffset, transferBufferLength);
    if (count < transferBufferLength)
        OutputTruncation(mode, dataOffset + transferBufferLength);
    CString text;
    if (count)
        CStringContent().HexDumpHtml(text, PayloadAt(dataOffset), count, 16);
    Field(mode, "TransferBuffer (In)", "TransferBuffer", text);
}

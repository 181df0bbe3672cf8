// The printer class requests as a table (name, fields, what the data stage holds), the slots that read them
// from either record layout, the port status bits and the IEEE 1284 device ID.
#include "app/decoders/urb/PrinterUrbOutputer.h"

#include <algorithm>

#include "app/core/records/LogRecordDecode.h"
#include "app/decoders/framework/OutputerImp.h"
#include "common/RecordPayloads.h"
#include "usb.h"

namespace {

using Request = UrbOutputer::ClassRequestEntry;

// What a request's data stage holds.
enum Data { None, DeviceId, PortStatus };

constexpr FieldDecl kDeviceId[] = {
    FieldBits("Config.wValue", 0, 16, FieldFormat::Hex4),
    FieldBits("Interface.wIndexHi", 24, 8, FieldFormat::Hex2),
    FieldBits("AlternateSetting.wIndexLo", 16, 8, FieldFormat::Hex2),
};
constexpr FieldDecl kInterface[] = {
    FieldBits("wValue", 0, 16, FieldFormat::Hex4),
    FieldBits("Interface.wIndex", 16, 16, FieldFormat::Hex4),
};
constexpr FieldDecl kUnknown[] = {
    FieldBits("wValue", 0, 16, FieldFormat::Hex4),
    FieldBits("wIndex", 16, 16, FieldFormat::Hex4),
};

constexpr Request kRequests[] = {
    {0, "PrinterGetDeviceId", "GET_DEVICE_ID", kDeviceId, DeviceId, 0, "Get_Device_ID"},
    {1, "PrinterGetPortStatus", "GET_PORT_STATUS", kInterface, PortStatus, 0, "Get_Port_Status"},
    {2, "PrinterSoftReset", "SOFT_RESET", kInterface, None, 0, "Soft_Reset"},
};
constexpr Request kUnknownRequest = {0, "PrinterUnknown", "Unknown", kUnknown, None};

// The printer class's port status: paper empty, select, not error; the other bits are reserved.
constexpr FieldDecl kPortStatusRows[] = {
    FieldBits("Reserved.PortStatus.7-6", 6, 2, FieldFormat::Hex2),
    FieldBits("PaperEmpty.PortStatus.5", 5, 1, FieldFormat::Digit),
    FieldBits("Select.PortStatus.4", 4, 1, FieldFormat::Digit),
    FieldBits("NotError.PortStatus.3", 3, 1, FieldFormat::Digit),
    FieldBits("Reserved.PortStatus.2-0", 0, 3, FieldFormat::Hex2),
};

constexpr BYTE kRecipientInterface = 1;
constexpr BYTE kRecipientOther = 3;

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

CString Text(std::string_view text) {
    return CString(text.data(), static_cast<int>(text.size()));
}

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNameCharacter(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// A device ID key as an XML element name: each character no name may hold becomes "_", and a name that would
// not begin with a letter or "_" gets one in front. True when the key had to change.
bool KeyElementName(std::string_view key, CString& name) {
    name = Text(key);
    bool changed = false;
    for (int i = 0; i < name.GetLength(); ++i) {
        if (!IsNameCharacter(name[i])) {
            name.SetAt(i, '_');
            changed = true;
        }
    }
    if (name.IsEmpty() || !IsNameStart(name[0])) {
        name.Insert(0, '_');
        changed = true;
    }
    return changed;
}

} // namespace

std::span<const UrbOutputer::ClassRequestEntry> PrinterUrbOutputer::Requests() {
    return kRequests;
}

PrinterUrbOutputer::PrinterUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : UrbOutputer(pImp, pDocument, pRecord) {}

PrinterUrbOutputer::~PrinterUrbOutputer() = default;

void PrinterUrbOutputer::OutputClassInterface(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputClassRequest(mode, "URB-PrinterClassInterface", kRecipientInterface, dataSize, pPart);
}

void PrinterUrbOutputer::OutputClassOther(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputClassRequest(mode, "URB-PrinterClassRequest", kRecipientOther, dataSize, pPart);
}

void PrinterUrbOutputer::OutputClassRequest(int mode, LPCSTR element, BYTE recipient, ULONG dataSize,
                                            const BYTE* pPart) {
    FieldWriter& fields = Fields(mode);
    ClassRequest request;
    if (!ReadClassRequest(request, "Printer Class", recipient)) {
        if (recipient == kRecipientInterface)
            UrbOutputer::OutputClassInterface(mode, dataSize, pPart);
        else
            UrbOutputer::OutputClassOther(mode, dataSize, pPart);
        return;
    }
    fields.Open(FieldSection::Element, element);
    InsertRequestType(mode);
    OutputPrinterRequest(mode, request);
    OutputDataStage(mode, request);
    // A device ID sent to "other" is not a printer's interface speaking: its bytes are not split into keys.
    if (recipient == kRecipientInterface && m_DataIsDeviceId && HasInData(request))
        OutputDeviceId(mode, request.dataCount, PayloadAt(request.dataOffset));
    fields.Close(FieldSection::Element);
}

void PrinterUrbOutputer::OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void PrinterUrbOutputer::OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void PrinterUrbOutputer::OutputControlRequest(int mode, ULONG dataSize, const BYTE* pPart) {
    FieldWriter& fields = Fields(mode);
    ClassRequest request;
    // The printer class has requests for its interface (and "other") only: a packet to the device or an
    // endpoint is shown whole as the plain decoder shows it.
    if ((!IsClassRequest() && !IsReservedRequestType()) || !ReadClassRequest(request, "Printer Class", 0) ||
        (request.recipient != kRecipientInterface && request.recipient != kRecipientOther)) {
        OutputPlainControlTransfer(mode, dataSize, pPart);
        return;
    }
    fields.Open(FieldSection::Element, "URB-PrinterClassInterface");
    InsertControlTransferHeader(mode);
    OutputPrinterRequest(mode, request);
    OutputDataStage(mode, request);
    if (m_DataIsDeviceId && HasInData(request)) {
        // The record's own count of the bytes it carries, never more than the payload holds.
        ULONG captured = 0;
        m_Decode.ReadPayload(GetControlLayout().captured, captured);
        OutputDeviceId(mode, std::min(captured, request.dataCount), PayloadAt(request.dataOffset));
    }
    fields.Close(FieldSection::Element);
}

void PrinterUrbOutputer::OutputPrinterRequest(int mode, const ClassRequest& request) {
    FieldWriter& fields = Fields(mode);
    const Request& entry = FindClassRequest(kRequests, request.bRequest, kUnknownRequest);
    OpenClassRequest(mode, entry.element, request, entry.name);
    fields.Fields(entry.rows, SetupWord(request.wValue, request.wIndex));
    InsertClassRequestLength(mode, request.length);
    if (entry.data == DeviceId)
        m_DataIsDeviceId = 1;
    else if (entry.data == PortStatus)
        m_DataIsPortStatus = 1;
}

bool PrinterUrbOutputer::HasInData(const ClassRequest& request) const {
    return request.HasData() && m_Decode.HasOutputData() && request.in && static_cast<LONG>(request.status) >= 0;
}

void PrinterUrbOutputer::OutputDataStage(int mode, const ClassRequest& request) {
    FieldWriter& fields = Fields(mode);
    if (request.HasData())
        OutputTransferBuffer(mode, request);
    fields.Close(FieldSection::Block);
}

void PrinterUrbOutputer::OutputTransferBuffer(int mode, const ClassRequest& request) {
    FieldWriter& fields = Fields(mode);
    // Only what the printer returned is shown; a request's own bytes never are.
    if (!HasInData(request))
        return;
    const BYTE* data = PayloadAt(request.dataOffset);
    const ULONG count = request.dataCount;
    if (m_DataIsDeviceId) {
        // The grid's buffer; the mark-up names the bytes as the ID they are.
        InsertTransferData(mode, request.dataOffset, count, count, 0, true, request.status, 9, kGrid);
        fields.Field("DeviceID", FieldHexText(data, count), nullptr, kXml);
    } else if (m_DataIsPortStatus && count == 1) {
        fields.Open(FieldSection::GridGroup, "Data");
        fields.Field({"PortStatus", "PortStatus"}, fields.Number(FieldFormat::Hex2, data[0]));
        OutputPortStatusBits(mode, data[0]);
        fields.Close(FieldSection::GridGroup);
    }
}

void PrinterUrbOutputer::OutputPortStatusBits(int mode, BYTE status) {
    OutputFieldSection(mode, "Port Status Bits", "PortStatusBits", kPortStatusRows, status);
}

void PrinterUrbOutputer::OutputDeviceId(int mode, ULONG length, const BYTE* data) {
    FieldWriter& fields = Fields(mode);
    if (length < 1 || !HasDataBytes(mode, length, kIdLengthSize))
        return;
    fields.Open(FieldSection::Block, {"DeviceId", "Device ID"}, "");
    fields.Field({"IdLength", "IdLength"}, fields.Number(FieldFormat::Hex4, (data[0] << 8) | data[1]));
    std::string_view text(reinterpret_cast<const char*>(data + kIdLengthSize), length - kIdLengthSize);
    fields.Open(FieldSection::Block, {"DeviceIdKeys", "1284 Device ID Keys"}, "");
    std::string_view key;
    std::string_view value;
    bool more = true;
    while (more) {
        more = ParseDeviceIdKey(text, key, value);
        if (key.empty())
            continue;
        // A key is the element's name in XML: one no name can be ("COMMAND SET") is written as a name and
        // keeps its own text in an attribute, so no key is lost.
        CString element;
        const bool renamed = KeyElementName(key, element);
        fields.Field({element, Text(key)}, Text(value));
        if (renamed)
            fields.Attribute("Key", Text(key));
    }
    fields.Close(FieldSection::Block);
    fields.Close(FieldSection::Block);
}

bool PrinterUrbOutputer::ParseDeviceIdKey(std::string_view& text, std::string_view& key, std::string_view& value) {
    value = {};
    const size_t colon = text.find(':');
    key = text.substr(0, colon);
    if (key.empty())
        return false;
    if (colon == std::string_view::npos) {
        // Trailing text without a colon is no pair.
        key = {};
        text = {};
        return false;
    }
    key = Trimmed(key);
    text.remove_prefix(colon + 1);
    if (text.empty())
        return false;
    const size_t semicolon = text.find(';');
    value = Trimmed(text.substr(0, semicolon));
    text = semicolon == std::string_view::npos ? std::string_view() : text.substr(semicolon + 1);
    return true;
}

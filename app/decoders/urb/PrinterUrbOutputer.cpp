// The printer class requests as a table (name, fields, what the data stage holds), the slots that read them
// from either record layout, the port status bits and the IEEE 1284 device ID.
#include "app/decoders/urb/PrinterUrbOutputer.h"

#include <algorithm>

#include "app/core/LogRecordDecode.h"
#include "app/decoders/framework/OutputerImp.h"
#include "common/RecordPayloads.h"
#include "usb.h"

namespace {

using Row = UrbOutputer::FieldRow;
using Format = UrbOutputer::FieldFormat;

using Request = UrbOutputer::ClassRequestEntry;

// What a request's data stage holds.
enum Data { None, DeviceId, PortStatus };

constexpr Row kDeviceId[] = {{"Config.wValue", 0, 0xFFFF, Format::Hex4},
                             {"Interface.wIndexHi", 24, 0xFF, Format::Hex2},
                             {"AlternateSetting.wIndexLo", 16, 0xFF, Format::Hex2}};
constexpr Row kInterface[] = {{"wValue", 0, 0xFFFF, Format::Hex4}, {"Interface.wIndex", 16, 0xFFFF, Format::Hex4}};
constexpr Row kUnknown[] = {{"wValue", 0, 0xFFFF, Format::Hex4}, {"wIndex", 16, 0xFFFF, Format::Hex4}};

constexpr Request kRequests[] = {
    {0, "PrinterGetDeviceId", "GET_DEVICE_ID", kDeviceId, DeviceId},
    {1, "PrinterGetPortStatus", "GET_PORT_STATUS", kInterface, PortStatus},
    {2, "PrinterSoftReset", "SOFT_RESET", kInterface, None},
};
constexpr Request kUnknownRequest = {0, "PrinterUnknown", "Unknown", kUnknown, None};

// The printer class's port status: paper empty, select, not error; the other bits are reserved.
constexpr Row kPortStatusRows[] = {
    {"Reserved.PortStatus.7-6", 6, 3, Format::Hex2}, {"PaperEmpty.PortStatus.5", 5, 1, Format::Bit},
    {"Select.PortStatus.4", 4, 1, Format::Bit},      {"NotError.PortStatus.3", 3, 1, Format::Bit},
    {"Reserved.PortStatus.2-0", 0, 7, Format::Hex2},
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

} // namespace

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
    ClassRequest request;
    if (!ReadClassRequest(request, "Printer Class", recipient)) {
        if (recipient == kRecipientInterface)
            UrbOutputer::OutputClassInterface(mode, dataSize, pPart);
        else
            UrbOutputer::OutputClassOther(mode, dataSize, pPart);
        return;
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement(element);
    InsertRequestType(mode);
    OutputPrinterRequest(mode, request);
    OutputDataStage(mode, request);
    // A device ID sent to "other" is not a printer's interface speaking: its bytes are not split into keys.
    if (recipient == kRecipientInterface && m_DataIsDeviceId && HasInData(request))
        OutputDeviceId(mode, request.dataCount, PayloadAt(request.dataOffset));
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void PrinterUrbOutputer::OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void PrinterUrbOutputer::OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputControlRequest(mode, dataSize, pPart);
}

void PrinterUrbOutputer::OutputControlRequest(int mode, ULONG dataSize, const BYTE* pPart) {
    ClassRequest request;
    if ((!IsClassRequest() && !IsReservedRequestType()) || !ReadClassRequest(request, "Printer Class", 0)) {
        OutputPlainControlTransfer(mode, dataSize, pPart);
        return;
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-PrinterClassInterface");
    InsertControlTransferHeader(mode);
    if (request.recipient == kRecipientInterface || request.recipient == kRecipientOther) {
        OutputPrinterRequest(mode, request);
        OutputDataStage(mode, request);
    }
    if (m_DataIsDeviceId && HasInData(request)) {
        // The record's own count of the bytes it carries, never more than the payload holds.
        ULONG captured = 0;
        m_Decode.ReadPayload(GetControlLayout().captured, captured);
        OutputDeviceId(mode, std::min(captured, request.dataCount), PayloadAt(request.dataOffset));
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void PrinterUrbOutputer::OutputPrinterRequest(int mode, const ClassRequest& request) {
    const Request& entry = FindClassRequest(kRequests, request.bRequest, kUnknownRequest);
    OpenClassRequest(mode, entry.element, request, entry.name);
    OutputFieldRows(mode, entry.rows, SetupWord(request.wValue, request.wIndex));
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
    if (request.HasData())
        OutputTransferBuffer(mode, request);
    CloseBlock(mode);
}

void PrinterUrbOutputer::OutputTransferBuffer(int mode, const ClassRequest& request) {
    // Only what the printer returned is shown; a request's own bytes never are.
    if (!HasInData(request))
        return;
    const BYTE* data = PayloadAt(request.dataOffset);
    const ULONG count = request.dataCount;
    if (m_DataIsDeviceId) {
        if (mode == OUTPUT_MODE_GRID) {
            InsertTransferData(mode, request.dataOffset, count, count, 0, true, request.status, 9);
        } else if (mode == OUTPUT_MODE_XML) {
            CString text;
            CStringContent().HexString(text, data, count);
            m_pImp->WriteValue("DeviceID", text);
        }
    } else if (m_DataIsPortStatus && count == 1) {
        OpenGridGroup(mode, "Data");
        Field(mode, "PortStatus", "PortStatus", Hex(mode, 2, data[0]));
        OutputPortStatusBits(mode, data[0]);
        CloseGridGroup(mode);
    }
}

void PrinterUrbOutputer::OutputPortStatusBits(int mode, BYTE status) {
    OutputFieldSection(mode, "Port Status Bits", "PortStatusBits", kPortStatusRows, status);
}

void PrinterUrbOutputer::OutputDeviceId(int mode, ULONG length, const BYTE* data) {
    if (length < 1 || !HasDataBytes(mode, length, kIdLengthSize))
        return;
    OpenBlock(mode, "DeviceId", "Device ID", "");
    Field(mode, "IdLength", "IdLength", Hex(mode, 4, (data[0] << 8) | data[1]));
    std::string_view text(reinterpret_cast<const char*>(data + kIdLengthSize), length - kIdLengthSize);
    OpenBlock(mode, "DeviceIdKeys", "1284 Device ID Keys", "");
    std::string_view key;
    std::string_view value;
    bool more = true;
    while (more) {
        more = ParseDeviceIdKey(text, key, value);
        if (!key.empty())
            Field(mode, Text(key), Text(key), Text(value));
    }
    CloseBlock(mode);
    CloseBlock(mode);
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

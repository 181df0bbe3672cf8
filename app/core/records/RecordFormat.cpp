#include "app/core/records/RecordFormat.h"

#include <cstddef>
#include <cstring>

#include "app/core/records/FormatInto.h"
#include "app/core/records/RecordNames.h"
#include "app/decoders/framework/StringContent.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "common/NodeEntries.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "windows.h"

namespace RecordFormat {

namespace {

constexpr LPCSTR kNone = "---";
constexpr LPCSTR kNoDirection = "--";

bool IsContinuation(ULONG tag) {
    return tag == LogTag::iCnt || tag == LogTag::cCnt;
}

// The transfer functions whose records carry the pipe block and a direction of their own.
bool IsTransferFunction(ULONG function) {
    return function == 8 || function == 9 || function == 10 || function == 50;
}

// A NUL-padded text field of a node in the payload, read within its width and the payload.
void AssignNodeString(const CLogRecordDecode& view, size_t offset, size_t width, CString& text) {
    const auto payload = view.GetPayload();
    if (offset >= payload.size()) {
        text.Empty();
        return;
    }
    const size_t room = payload.size() - offset < width ? payload.size() - offset : width;
    const char* field = reinterpret_cast<const char*>(payload.data() + offset);
    size_t length = 0;
    while (length < room && field[length] != '\0')
        ++length;
    text.SetString(field, static_cast<int>(length));
}

void AssignDirection(const CLogRecordDecode& view, CString& text) {
    bool in = false;
    text = view.TryGetDirectionIn(in) ? (in ? "IN" : "OUT") : kNoDirection;
}

} // namespace

void Category(const CLogRecordDecode& view, CString& type, CString& disposition) {
    LPCSTR typeText = nullptr;
    LPCSTR dispositionText = nullptr;
    view.GetTypeAndDisposition(typeText, dispositionText);
    type = typeText;
    disposition = dispositionText;
}

void Request(const CLogRecordDecode& view, CString& text) {
    if (!view.IsKnownLogType()) {
        text = "*Unknown*";
        return;
    }
    const ULONG tag = view.GetLogType();
    const ULONG word = view.GetFunctionWord();
    if (view.IsUrbRecord()) {
        UrbFunctionInfo info;
        view.GetFunctionInfo(info);
        if (info.detail && *info.detail)
            FormatInto(text, "%s - %s", info.name, info.detail);
        else
            text = info.name;
        return;
    }
    LPCSTR name = nullptr;
    switch (LogTag::KindOf(tag)) {
    case LogTag::KindUin:
        if (!(name = RecordNames::InternalIoctl(word)))
            return FormatInto(text, "INTERN_USB_%X", word);
        break;
    case LogTag::KindHub:
        if (!(name = RecordNames::HubIoctl(word)))
            return FormatInto(text, "HUB_IOCTL_%X", word);
        break;
    case LogTag::KindHcd:
        if (!(name = RecordNames::HcdIoctl(word)))
            return FormatInto(text, "HCD_IOCTL_%X", word);
        break;
    case LogTag::KindHid:
        if (!(name = RecordNames::HidIoctl(word)))
            return FormatInto(text, "HID_IOCTL_%X", word);
        break;
    case LogTag::KindCtl: return FormatInto(text, "IOCTL=0x%x", word);
    case LogTag::KindInt: return FormatInto(text, "INTERN=0x%x", word);
    case LogTag::KindPnp: return view.GetPnpMinorName(text);
    case LogTag::KindPow:
        if (!(name = RecordNames::PowerMinor(word)))
            return FormatInto(text, "POWER_FUNC=0x%x", word);
        break;
    case LogTag::KindBuh: name = RecordNames::HubInterfaceFunction(word); break;
    case LogTag::KindKhp: name = RecordNames::MiniportFunction(word); break;
    default:
        // clang-format off
        switch (tag) {
        case LogTag::vedA: name = "DeviceObject Arrival"; break;
        case LogTag::vrdA: name = "DriverObject Arrival"; break;
        case LogTag::ktsA: name = "Stack Arrival"; break;
        case LogTag::vedR: name = "DeviceObject Removal"; break;
        case LogTag::vrdR: name = "DriverObject Removal"; break;
        case LogTag::ktsR: name = "Stack Removal"; break;
        case LogTag::atsL: name = "Logging Starts"; break;
        case LogTag::dneL: name = "Logging Ends"; break;
        default: name = "*Unknown*"; break;
        }
        // clang-format on
    }
    // The hook tables have no fallback: an unlisted call shows an empty cell.
    if (name)
        text = name;
    else
        text.Empty();
}

void Direction(const CLogRecordDecode& view, CString& text) {
    const ULONG tag = view.GetLogType();
    if (!view.IsUrbRecord() || tag == LogTag::urbR) {
        text = kNoDirection;
        return;
    }
    const ULONG function = view.GetFunctionCode();
    if (IsContinuation(tag)) {
        if (IsTransferFunction(function))
            AssignDirection(view, text);
        else
            text = kNoDirection;
        return;
    }
    switch (function) {
    case 8:
    case 9:
    case 10:
    case 50: AssignDirection(view, text); return;
    case 11:
    case 19:
    case 20:
    case 21:
    case 33:
    case 36:
    case 38:
    case 39:
    case 40: text = "IN"; return;
    case 12:
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 34:
    case 35:
    case 37:
    case 41: text = "OUT"; return;
    case 23:
    case 24:
    case 25:
    case 26:
    case 27:
    case 28:
    case 31:
    case 32: {
        ULONG flags = 0;
        if (view.ReadPayload(offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, TransferFlags), flags))
            text = (flags & URB_RECORD_TRANSFER_DIRECTION_IN) ? "IN" : "OUT";
        else
            text = kNoDirection;
        return;
    }
    }
    text = kNoDirection;
}

void ElapsedTime(const CLogRecordDecode& view, LONGLONG reference, LONGLONG frequency, int unit, CString& text) {
    if (!view.HasRecord() || frequency <= 0) {
        text = "0.00";
        return;
    }
    // Double precision: a float's 24-bit mantissa already misplaces the eighth decimal of a one-second delta.
    const double delta = static_cast<double>(view.GetTimeStamp()) - static_cast<double>(reference);
    const double ticksPerSecond = static_cast<double>(frequency);
    switch (unit) {
    case UnitSeconds: return FormatInto(text, "%10.8f", delta / ticksPerSecond);
    case UnitMilliseconds: return FormatInto(text, "%10.4f", delta * 1000.0 / ticksPerSecond);
    case UnitMicroseconds: return FormatInto(text, "%14.1f", delta * 1000000.0 / ticksPerSecond);
    }
    text = "0.00";
}

void TargetDeviceObject(const CLogRecordDecode& view, CString& text) {
    if (!view.HasRecord()) {
        text = "'Unknown'";
        return;
    }
    const ULONG tag = view.GetLogType();
    switch (tag) {
    case LogTag::vrdA:
    case LogTag::vrdR:
        AssignNodeString(view, offsetof(DRIVER_NODE, DriverName), sizeof(DRIVER_NODE::DriverName), text);
        if (text.IsEmpty())
            text = "'Unknown'";
        return;
    case LogTag::ktsA:
    case LogTag::ktsR:
        AssignNodeString(view, offsetof(DEVSTK_NODE, DeviceID), sizeof(DEVSTK_NODE::DeviceID), text);
        if (text.IsEmpty()) {
            USHORT stackId = view.GetStackID();
            (void)view.ReadPayload(offsetof(DEVSTK_NODE, StackID), stackId);
            FormatInto(text, "ID:%04u", stackId);
        }
        return;
    case LogTag::atsL:
    case LogTag::dneL: text = "'Tindaloft'"; return;
    }
    const auto address = static_cast<unsigned long long>(view.GetDeviceObject());
    const CDeviceObject* pDevice = view.FindTargetDeviceObject();
    if (!pDevice)
        FormatInto(text, "0x%llx", address);
    else if (pDevice->_DeviceName.IsEmpty())
        FormatInto(text, "noname(0x%llx)", address);
    else
        FormatInto(text, "'%s'", pDevice->_DeviceName.GetString());
}

void TargetDevice(const CLogRecordDecode& view, CString& text) {
    const ULONG tag = view.GetLogType();
    const CDeviceObject* pDevice = tag == LogTag::atsL || tag == LogTag::dneL ? nullptr : view.FindTargetDeviceObject();
    if (pDevice && pDevice->_DevStack)
        text = pDevice->_DevStack->Description;
    else
        text = kNone;
}

void CfgIfcEp(const CLogRecordDecode& view, CString& text) {
    const ULONG tag = view.GetLogType();
    const ULONG function = view.GetFunctionCode();
    const bool pipeRequest = function == 2 || function == 30 || function == 48 || function == 49;
    const bool addressesPipe =
        ((tag == LogTag::urbI || tag == LogTag::urbC || IsContinuation(tag)) && IsTransferFunction(function)) ||
        (tag == LogTag::urbI && pipeRequest);
    // The continuation part keeps the pipe's three bytes at the pipe block's offsets.
    static_assert(offsetof(URB_RECORD_CONTINUATION, DeviceByte) == URB_RECORD_PIPE_OFFSET);
    UCHAR device = 0;
    UCHAR interfaceNumber = 0;
    UCHAR endpoint = 0;
    if (!view.HasRecord() || !addressesPipe || !view.ReadPayload(URB_RECORD_INTERFACE_OFFSET, interfaceNumber)) {
        text = kNone;
        return;
    }
    if (interfaceNumber == URB_RECORD_PIPE_UNKNOWN) {
        text = "?? : ?? : ??";
        return;
    }
    if (!view.ReadPayload(URB_RECORD_PIPE_OFFSET, device) || !view.ReadPayload(URB_RECORD_ENDPOINT_OFFSET, endpoint)) {
        text = kNone;
        return;
    }
    FormatInto(text, "%02x : %02x : %02x", device, interfaceNumber, endpoint);
}

void IsoErrors(const CLogRecordDecode& view, CString& text) {
    ULONG errors = 0;
    ULONG zeroLength = 0;
    if (view.GetLogType() != LogTag::urbC || view.GetFunctionCode() != 10 ||
        !view.ReadPayload(offsetof(URB_RECORD_ISOCH_TRANSFER, ErrorCount), errors) ||
        !view.ReadPayload(offsetof(URB_RECORD_ISOCH_TRANSFER, ZeroLengthPackets), zeroLength)) {
        text = kNone;
        return;
    }
    if (errors == 0 && zeroLength == 0)
        text = " 0/0 ";
    else
        FormatInto(text, "* %u/%u *", errors, zeroLength);
}

namespace {

// Tag (bytes 4-7) and one byte of a bulk-only wrapper found on a bulk-only stack.
void FormatWrapper(const CLogRecordDecode& view, const BYTE* wrapper, size_t byteOffset, CString& text) {
    if (!wrapper || !view.IsMassStorageBot()) {
        text = kNone;
        return;
    }
    ULONG tag = 0;
    std::memcpy(&tag, wrapper + 4, sizeof tag);
    FormatInto(text, "%08x(%02x)", tag, wrapper[byteOffset]);
}

// Records of no IRP: log start and end, the change log, the hook calls.
bool HasIrp(ULONG tag) {
    const ULONG kind = LogTag::KindOf(tag);
    return !LogTag::IsNonRequestTag(tag) && kind != LogTag::KindBuh && kind != LogTag::KindKhp;
}

} // namespace

void Cbw(const CLogRecordDecode& view, CString& text) {
    constexpr size_t kFirstCommandByte = 15;
    FormatWrapper(view, view.IsUrbRecord() ? view.FindCbw() : nullptr, kFirstCommandByte, text);
}

void Csw(const CLogRecordDecode& view, CString& text) {
    constexpr size_t kStatusByte = 12;
    FormatWrapper(view, view.IsUrbRecord() ? view.FindCsw() : nullptr, kStatusByte, text);
}

void IrpAddress(const CLogRecordDecode& view, CString& text) {
    if (!view.HasRecord() || !HasIrp(view.GetLogType())) {
        text = kNone;
        return;
    }
    FormatInto(text, "0x%llx", static_cast<unsigned long long>(view.GetIrp()));
}

void IrpStatus(const CLogRecordDecode& view, CString& text) {
    const ULONG tag = view.GetLogType();
    const char phase = LogTag::PhaseOf(tag);
    // Returned and completed requests carry a status; the port-driver hook's completions and the
    // continuation records do not.
    if (!view.IsKnownLogType() || LogTag::IsNonRequestTag(tag) || tag == LogTag::khpC || tag == LogTag::cCnt ||
        (phase != 'R' && phase != 'C')) {
        text = kNone;
        return;
    }
    CStringContent().NtStatusName(text, view.GetStatus());
}

CellColours KindColours(const CLogRecordDecode& view) {
    constexpr COLORREF kWhite = 0xFFFFFF;
    constexpr COLORREF kBlack = 0x000000;
    struct KindColour {
        ULONG tag;
        CellColours colours;
    };
    // clang-format off
    static constexpr KindColour kColours[] = {
        {LogTag::urbI, {kWhite, 0xCB441B}}, {LogTag::iCnt, {kWhite, 0xCB441B}},
        {LogTag::urbC, {kBlack, 0xF7CBBB}}, {LogTag::cCnt, {kBlack, 0xF7CBBB}}, {LogTag::urbR, {kBlack, 0xF7CBBB}},
        {LogTag::hubI, {kWhite, 0xF0BA14}}, {LogTag::hubC, {kBlack, 0xFBEBB1}}, {LogTag::hubR, {kBlack, 0xFBEBB1}},
        {LogTag::hcdI, {kWhite, 0xE3397D}}, {LogTag::hcdC, {kBlack, 0xF9CBDC}}, {LogTag::hcdR, {kBlack, 0xF9CBDC}},
        {LogTag::hidI, {kWhite, 0x000080}}, {LogTag::hidC, {kBlack, 0xB4B4FF}}, {LogTag::hidR, {kBlack, 0xB4B4FF}},
        {LogTag::uinI, {kWhite, 0xC000C0}}, {LogTag::uinC, {kBlack, 0xFAB8FA}}, {LogTag::uinR, {kBlack, 0xFAB8FA}},
        {LogTag::pnpI, {kWhite, 0x05B705}}, {LogTag::pnpC, {kBlack, 0xA5FDA7}}, {LogTag::pnpR, {kBlack, 0xA5FDA7}},
        {LogTag::powI, {kWhite, 0x0196FF}}, {LogTag::powC, {kBlack, 0x9BD3FF}}, {LogTag::powR, {kBlack, 0x9BD3FF}},
        {LogTag::buhI, {kWhite, 0xAA965A}}, {LogTag::buhC, {kBlack, 0xE4DFC8}},
        {LogTag::khpI, {kWhite, kBlack}},   {LogTag::khpC, {kBlack, 0xC0C0C0}},
        {LogTag::atsL, {kBlack, 0xC0C0F6}}, {LogTag::dneL, {kBlack, 0xC0C0F6}},
        {LogTag::vedA, {0x0000FF, 0x00FFFF}}, {LogTag::vrdA, {0x0000FF, 0x00FFFF}}, {LogTag::ktsA, {0x0000FF, 0x00FFFF}},
        {LogTag::vedR, {0xFF0000, 0xD1FFFF}}, {LogTag::vrdR, {0xFF0000, 0xD1FFFF}}, {LogTag::ktsR, {0xFF0000, 0xD1FFFF}},
    };
    // clang-format on
    if (view.HasRecord())
        for (const KindColour& entry : kColours)
            if (entry.tag == view.GetLogType())
                return entry.colours;
    return {GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW)};
}

CellColours Highlight(const CLogRecordDecode& view, ULONG triggerSequence) {
    if (view.HasRecord()) {
        if (view.GetSyncWord() == LogTag::GapSync)
            return {0x0000FF, 0xFFFFFF};
        if (triggerSequence != 0 && view.GetSequenceNumber() == triggerSequence)
            return {0x000000, 0xC0C0F6};
    }
    return {GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW)};
}

} // namespace RecordFormat

#include "app/decoders/urb/UrbOutputer.h"

#include <cstring>
#include <new>

#include "app/core/records/LogRecordDecode.h"
#include "app/decoders/framework/NumberText.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/urb/HidUrbOutputer.h"
#include "app/decoders/urb/HubUrbOutputer.h"
#include "app/decoders/urb/MscBOTUrbOutputer.h"
#include "app/decoders/urb/PrinterUrbOutputer.h"
#include "app/decoders/urb/UrbFunctions.h"
#include "common/LogHeader.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "usb.h"

namespace {

// The submit-URB internal IOCTL every URB record was sent with.
constexpr ULONG kSubmitUrbIoctl = 0x220003;

constexpr ULONG kContinuationPart1Size = sizeof(URB_RECORD_CONTINUATION);

bool IsContinuationTag(ULONG tag) {
    return tag == LogTag::iCnt || tag == LogTag::cCnt;
}

// Whether the title names the record's request as a class request: only on a device of a class with request
// tables, and for a control transfer only when its setup packet has the class type. The record list also
// names a control transfer's standard requests; the title does not pass them off as the class's.
bool TitlesClassRequest(const CLogRecordDecode& view, ULONG classKind) {
    if (classKind < URB_CLASS_HUB || classKind > URB_CLASS_PRINTER)
        return false;
    const ULONG function = view.GetFunctionCode();
    if (function != URB_FUNCTION_CONTROL_TRANSFER && function != URB_FUNCTION_CONTROL_TRANSFER_EX)
        return true;
    // A returned record is the header alone: its function word carries the setup packet's request type.
    BYTE requestType = 0;
    if (view.GetLogType() == LogTag::urbR)
        requestType = static_cast<BYTE>(view.GetFunctionRequestType());
    else if (!view.ReadPayload(function == URB_FUNCTION_CONTROL_TRANSFER ? URB_RECORD_SETUP_OFFSET
                                                                         : URB_RECORD_SETUP_EX_OFFSET,
                               requestType))
        return false;
    return ((requestType >> 5) & 3) == 1;
}

} // namespace

UrbOutputer::UrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : IrpOutputer(pImp, pDocument, pRecord) {}

UrbOutputer::~UrbOutputer() = default;

UrbOutputer* UrbOutputer::Create(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord) {
    // A plain decoder finds the record's device stack and tells its kind; the record is then decoded by the
    // decoder of that kind. Records of no stack or of any other class keep the plain decoder.
    const ULONG kind = UrbOutputer(pImp, pDocument, pRecord).GetClassKind();
    switch (kind) {
    case URB_CLASS_HUB: return new (std::nothrow) HubUrbOutputer(pImp, pDocument, pRecord);
    case URB_CLASS_HID: return new (std::nothrow) HidUrbOutputer(pImp, pDocument, pRecord);
    case URB_CLASS_MSC_BOT: return new (std::nothrow) MscBOTUrbOutputer(pImp, pDocument, pRecord);
    case URB_CLASS_PRINTER: return new (std::nothrow) PrinterUrbOutputer(pImp, pDocument, pRecord);
    default: return new (std::nothrow) UrbOutputer(pImp, pDocument, pRecord);
    }
}

CDeviceStack* UrbOutputer::FindDeviceStack() const {
    return m_Decode.FindDeviceStack();
}

ULONG UrbOutputer::GetClassKind() {
    return m_Decode.GetClassKind();
}

void UrbOutputer::FormatFunctionName(CString& text, bool titled, CString& classText, CString& classRequestText) {
    const auto code = static_cast<USHORT>(m_Decode.GetFunctionCode());
    // Kept from record to record: the texts need no allocation once they have grown to size.
    static thread_local CString nameText, plainName;
    UCHAR classRequestCode = 0;
    ULONG classKind = URB_CLASS_NONE;
    m_Decode.GetFunctionText(nameText, plainName, classRequestText, classRequestCode, classKind);
    // The record list may name a control transfer by its setup type; the title names the URB function.
    const LPCSTR name = UrbFunctionName(code);
    const int nameLength = name != nullptr ? static_cast<int>(std::strlen(name)) : 0;
    const bool synchronous = m_Decode.IsSynchronous();
    // A continuation's bytes where a setup packet would stand are data, never a request.
    if (IsContinuationTag(m_Decode.GetLogType()) || !TitlesClassRequest(m_Decode, classKind))
        classRequestText.SetString(nullptr, 0);

    if (nameLength == 0 && !synchronous) {
        SetHex(text, code, 4, "URB_FUNCTION_0x", true);
    } else {
        // Put together on the stack and set at once; the table's names are far shorter than the room.
        ShortText title;
        title.Add("URB_FUNCTION_").Add(name, nameLength);
        if (synchronous)
            title.Add("(sync)");
        if (titled)
            title.Add(" (0x").AddHex(code, 1, true).Add(')');
        text.SetString(title.Text(), title.Length());
    }

    classText.SetString(nullptr, 0);
    if (classRequestText.IsEmpty())
        return;
    switch (classKind) {
    case URB_CLASS_HUB: classText = "HUB"; break;
    case URB_CLASS_HID: classText = "HID"; break;
    case URB_CLASS_MSC_BOT: classText = "MSC-BOT"; break;
    case URB_CLASS_PRINTER: classText = "PRINTER"; break;
    default: break;
    }
    if (titled) {
        classRequestText += " (0x";
        AppendHex(classRequestText, classRequestCode, 2);
        classRequestText += ")";
    }
}

void UrbOutputer::OutputFunctionCode() {
    static const CString kFunction("Function"), kName("Name"), kClassRequest("ClassRequest");
    // Kept from record to record: the texts need no allocation once they have grown to size.
    static thread_local CString text, classText, classRequestText, code;
    FormatFunctionName(text, false, classText, classRequestText);
    SetHex(code, m_Decode.GetFunctionCode(), 4);
    m_pImp->WriteValue(kFunction, code);
    m_pImp->AddAttribute(kName, text);
    if (!classRequestText.IsEmpty())
        m_pImp->AddAttribute(kClassRequest, classRequestText);
}

void UrbOutputer::OutputKindTitle(int mode) {
    FieldWriter& fields = Fields(mode);
    // Kept from record to record: the texts need no allocation once they have grown to size.
    static thread_local CString text, classText, classRequestText;
    FormatFunctionName(text, true, classText, classRequestText);
    fields.RequestTitle("URB", "URB Function", text);
    // The wrappers' categories follow the URB's in the pane, where its look-ups try them next. The captions
    // are made once.
    static const CString kCbw("CBW"), kCsw("CSW");
    fields.HideCategories({&kCbw, &kCsw});
    if (!classRequestText.IsEmpty()) {
        fields.DescribedItem("Class", classText);
        fields.DescribedItem("Class Request", classRequestText);
    }
    // The returned state carries no URB fields of its own.
    if (m_Decode.HasTransferData())
        return;
    OutputUrbBody(mode);
}

void UrbOutputer::OutputIrpFunction() {
    OutputInternalControlFunction(kSubmitUrbIoctl);
}

void UrbOutputer::OutputUrbBody(int mode) {
    m_nFunction = static_cast<USHORT>(m_Decode.GetFunctionCode());
    m_bSynchronous = m_Decode.IsSynchronous() ? 1 : 0;
    const bool continuation = IsContinuationTag(m_Decode.GetLogType());
    const bool transfer = m_nFunction == URB_FUNCTION_CONTROL_TRANSFER ||
                          m_nFunction == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER ||
                          m_nFunction == URB_FUNCTION_ISOCH_TRANSFER || m_nFunction == URB_FUNCTION_CONTROL_TRANSFER_EX;
    if (continuation && transfer) {
        m_nNeeded = kContinuationPart1Size;
    } else {
        // The driver writes the header alone for the reserved codes (a whole record whose head rows are
        // "???"); a code it never writes is expected to carry the head.
        const int size = UrbRecordPart1Size(m_nFunction);
        m_nNeeded = size >= 0 ? static_cast<size_t>(size) : sizeof(URB_RECORD_HEAD);
    }
    const std::span<const uint8_t> payload = m_Decode.GetPayload();
    const auto size = static_cast<ULONG>(payload.size());
    const BYTE* part = payload.data();

    if (continuation && transfer) {
        OutputTransferContinuation(mode, size, part);
        return;
    }
    const UrbFunctionCode* code = FindUrbFunction(m_nFunction);
    const UrbOperation operation =
        code != nullptr && code->operation != nullptr ? code->operation : &UrbOutputer::OutputUnknownFunction;
    (this->*operation)(mode, size, part);
}

std::span<const UrbFunctionCode> UrbOutputer::FunctionCodes() {
    using enum CodeOffer;
    using U = UrbOutputer;
    // A reserved code: listed by the filter page, never offered; decoded as an unknown function.
#define TDL_URB_RESERVED(number)                                                                                       \
    UrbFunctionCode {                                                                                                  \
        CodeRow{URB_FUNCTION_RESERVE_##number, "RESERVED_" #number, nullptr, Never}, &U::OutputUnknownFunction         \
    }
    // clang-format off
    static constexpr UrbFunctionCode kCodes[] = {
        TDL_URB_FUNCTION(SELECT_CONFIGURATION, nullptr, Always, &U::OutputSelectConfiguration),
        TDL_URB_FUNCTION(SELECT_INTERFACE, nullptr, Always, &U::OutputSelectInterface),
        TDL_URB_FUNCTION(ABORT_PIPE, nullptr, Always, &U::OutputPipeRequest),
        TDL_URB_FUNCTION(TAKE_FRAME_LENGTH_CONTROL, nullptr, Always, &U::OutputFrameLengthControl),
        TDL_URB_FUNCTION(RELEASE_FRAME_LENGTH_CONTROL, nullptr, Always, &U::OutputFrameLengthControl),
        TDL_URB_FUNCTION(GET_FRAME_LENGTH, nullptr, Always, &U::OutputGetFrameLength),
        TDL_URB_FUNCTION(SET_FRAME_LENGTH, nullptr, Always, &U::OutputSetFrameLength),
        TDL_URB_FUNCTION(GET_CURRENT_FRAME_NUMBER, nullptr, Always, &U::OutputGetFrameNumber),
        TDL_URB_FUNCTION(CONTROL_TRANSFER, nullptr, Always, &U::OutputControlTransfer),
        TDL_URB_FUNCTION(BULK_OR_INTERRUPT_TRANSFER, nullptr, Always, &U::OutputBulkInterruptTransfer),
        TDL_URB_FUNCTION(ISOCH_TRANSFER, nullptr, Always, &U::OutputIsochronousTransfer),
        TDL_URB_FUNCTION(GET_DESCRIPTOR_FROM_DEVICE, nullptr, Always, &U::OutputDescriptorRequest),
        TDL_URB_FUNCTION(SET_DESCRIPTOR_TO_DEVICE, nullptr, Always, &U::OutputDescriptorRequest),
        TDL_URB_FUNCTION(SET_FEATURE_TO_DEVICE, nullptr, Always, &U::OutputControlFeature),
        TDL_URB_FUNCTION(SET_FEATURE_TO_INTERFACE, nullptr, Always, &U::OutputControlFeature),
        TDL_URB_FUNCTION(SET_FEATURE_TO_ENDPOINT, nullptr, Always, &U::OutputControlFeature),
        TDL_URB_FUNCTION(CLEAR_FEATURE_TO_DEVICE, nullptr, Always, &U::OutputControlFeature),
        TDL_URB_FUNCTION(CLEAR_FEATURE_TO_INTERFACE, nullptr, Always, &U::OutputControlFeature),
        TDL_URB_FUNCTION(CLEAR_FEATURE_TO_ENDPOINT, nullptr, Always, &U::OutputControlFeature),
        TDL_URB_FUNCTION(GET_STATUS_FROM_DEVICE, nullptr, Always, &U::OutputControlGetStatus),
        TDL_URB_FUNCTION(GET_STATUS_FROM_INTERFACE, nullptr, Always, &U::OutputControlGetStatus),
        TDL_URB_FUNCTION(GET_STATUS_FROM_ENDPOINT, nullptr, Always, &U::OutputControlGetStatus),
        TDL_URB_RESERVED(0X0016),
        TDL_URB_FUNCTION(VENDOR_DEVICE, nullptr, Always, &U::OutputVendorDevice),
        TDL_URB_FUNCTION(VENDOR_INTERFACE, nullptr, Always, &U::OutputVendorInterface),
        TDL_URB_FUNCTION(VENDOR_ENDPOINT, nullptr, Always, &U::OutputVendorEndpoint),
        TDL_URB_FUNCTION(CLASS_DEVICE, nullptr, Always, &U::OutputClassDevice),
        TDL_URB_FUNCTION(CLASS_INTERFACE, nullptr, Always, &U::OutputClassInterface),
        TDL_URB_FUNCTION(CLASS_ENDPOINT, nullptr, Always, &U::OutputClassEndpoint),
        TDL_URB_RESERVED(0X001D),
        TDL_URB_FUNCTION(RESET_PIPE, "SYNC_RESET_PIPE_AND_CLEAR_STALL", Always, &U::OutputPipeRequest),
        TDL_URB_FUNCTION(CLASS_OTHER, nullptr, Always, &U::OutputClassOther),
        TDL_URB_FUNCTION(VENDOR_OTHER, nullptr, Always, &U::OutputVendorOther),
        TDL_URB_FUNCTION(GET_STATUS_FROM_OTHER, nullptr, Always, &U::OutputControlGetStatus),
        TDL_URB_FUNCTION(CLEAR_FEATURE_TO_OTHER, nullptr, Always, &U::OutputControlFeature),
        TDL_URB_FUNCTION(SET_FEATURE_TO_OTHER, nullptr, Always, &U::OutputControlFeature),
        TDL_URB_FUNCTION(GET_DESCRIPTOR_FROM_ENDPOINT, nullptr, Always, &U::OutputDescriptorRequest),
        TDL_URB_FUNCTION(SET_DESCRIPTOR_TO_ENDPOINT, nullptr, Always, &U::OutputDescriptorRequest),
        TDL_URB_FUNCTION(GET_CONFIGURATION, nullptr, Always, &U::OutputGetConfiguration),
        TDL_URB_FUNCTION(GET_INTERFACE, nullptr, Always, &U::OutputGetInterface),
        TDL_URB_FUNCTION(GET_DESCRIPTOR_FROM_INTERFACE, nullptr, Always, &U::OutputDescriptorRequest),
        TDL_URB_FUNCTION(SET_DESCRIPTOR_TO_INTERFACE, nullptr, Always, &U::OutputDescriptorRequest),
        TDL_URB_FUNCTION(GET_MS_FEATURE_DESCRIPTOR, nullptr, Always, &U::OutputMsFeatureDescriptor),
        TDL_URB_RESERVED(0X002B),
        TDL_URB_RESERVED(0X002C),
        TDL_URB_RESERVED(0X002D),
        TDL_URB_RESERVED(0X002E),
        TDL_URB_RESERVED(0X002F),
        TDL_URB_FUNCTION(SYNC_RESET_PIPE, nullptr, Always, &U::OutputPipeRequest),
        TDL_URB_FUNCTION(SYNC_CLEAR_STALL, nullptr, Always, &U::OutputPipeRequest),
        TDL_URB_FUNCTION(CONTROL_TRANSFER_EX, nullptr, Windows7, &U::OutputControlTransferEx),
        TDL_URB_FUNCTION(SET_PIPE_IO_POLICY, nullptr, Windows7, &U::OutputSetPipeIoPolicy),
        TDL_URB_FUNCTION(GET_PIPE_IO_POLICY, nullptr, Windows7, &U::OutputGetPipeIoPolicy),
        // A flag of the function word, not a function: the filter page alone lists it.
        UrbFunctionCode{CodeRow{URB_FUNCTION_SUBMIT_SYNCHRONOUS, nullptr, "SUBMIT_SYNCHRONOUS", NewUsbStack}},
        TDL_URB_FUNCTION(OPEN_ENDPOINT, nullptr, NewUsbStack, &U::OutputOpenEndpoint),
        TDL_URB_FUNCTION(CLOSE_ENDPOINT, nullptr, NewUsbStack, &U::OutputCloseEndpoint),
        TDL_URB_FUNCTION(GET_ENDPOINT_STATE, nullptr, NewUsbStack, &U::OutputGetEndpointState),
    };
    // clang-format on
#undef TDL_URB_RESERVED
    // The functions up to GET_PIPE_IO_POLICY stand at their codes' indexes.
    static_assert([] {
        for (ULONG i = 0; i <= URB_FUNCTION_GET_PIPE_IO_POLICY; ++i)
            if (kCodes[i].row.code != i)
                return false;
        return true;
    }());
    return kCodes;
}

std::span<const UrbFunctionCode> UrbFunctionCodes() {
    return UrbOutputer::FunctionCodes();
}

const UrbFunctionCode* FindUrbFunction(ULONG code) {
    const std::span<const UrbFunctionCode> codes = UrbFunctionCodes();
    if (code <= URB_FUNCTION_GET_PIPE_IO_POLICY)
        return &codes[code];
    return FindCodeRow(codes, code);
}

LPCSTR UrbFunctionName(USHORT code) {
    const UrbFunctionCode* row = FindUrbFunction(code);
    return row != nullptr ? row->row.name : "UNKNOWN";
}

void UrbOutputer::OutputSetPipeIoPolicy(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputPipeIoPolicy(mode, dataSize, pPart, 1);
}

void UrbOutputer::OutputGetPipeIoPolicy(int mode, ULONG dataSize, const BYTE* pPart) {
    OutputPipeIoPolicy(mode, dataSize, pPart, 0);
}

void UrbOutputer::OutputUrbHeader(int mode) {
    FieldWriter& fields = Fields(mode);
    fields.Open(FieldSection::Element, "URB-Header");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputFrameLengthControl(int mode, ULONG, const BYTE*) {
    OutputUrbHeader(mode);
}

void UrbOutputer::OutputUnknownFunction(int mode, ULONG, const BYTE*) {
    OutputUrbHeader(mode);
}

void UrbOutputer::OutputBulkPayload(int, ULONG, const BYTE*) {}

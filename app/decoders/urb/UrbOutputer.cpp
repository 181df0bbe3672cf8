#include "app/decoders/urb/UrbOutputer.h"

#include <new>

#include "app/core/LogRecordDecode.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/urb/HidUrbOutputer.h"
#include "app/decoders/urb/HubUrbOutputer.h"
#include "app/decoders/urb/MscBOTUrbOutputer.h"
#include "app/decoders/urb/PrinterUrbOutputer.h"
#include "common/LogHeader.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"

namespace {

// The submit-URB internal IOCTL every URB record was sent with.
constexpr ULONG kSubmitUrbIoctl = 0x220003;

constexpr ULONG kContinuationPart1Size = sizeof(URB_RECORD_CONTINUATION);

bool IsContinuationTag(ULONG tag) {
    return tag == LogTag::iCnt || tag == LogTag::cCnt;
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
    case URB_CLASS_HUB:
        return new (std::nothrow) HubUrbOutputer(pImp, pDocument, pRecord);
    case URB_CLASS_HID:
        return new (std::nothrow) HidUrbOutputer(pImp, pDocument, pRecord);
    case URB_CLASS_MSC_BOT:
        return new (std::nothrow) MscBOTUrbOutputer(pImp, pDocument, pRecord);
    case URB_CLASS_PRINTER:
        return new (std::nothrow) PrinterUrbOutputer(pImp, pDocument, pRecord);
    default:
        return new (std::nothrow) UrbOutputer(pImp, pDocument, pRecord);
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
    CString nameText;
    CString plainName;
    UCHAR classRequestCode = 0;
    ULONG classKind = URB_CLASS_NONE;
    m_Decode.GetFunctionText(nameText, plainName, classRequestText, classRequestCode, classKind);
    // The record list may name a control transfer by its setup type; the title names the URB function.
    nameText = UrbFunctionName(code);
    if (m_Decode.IsSynchronous())
        nameText += "(sync)";
    // A continuation's bytes where a setup packet would stand are data, never a request.
    if (IsContinuationTag(m_Decode.GetLogType()))
        classRequestText.Empty();

    text.Empty();
    if (nameText.IsEmpty())
        text.Format("URB_FUNCTION_0x%04X", code);
    else if (titled)
        text.Format("URB_FUNCTION_%s (0x%X)", static_cast<LPCSTR>(nameText), code);
    else
        text.Format("URB_FUNCTION_%s", static_cast<LPCSTR>(nameText));

    classText.Empty();
    if (classRequestText.IsEmpty())
        return;
    switch (classKind) {
    case URB_CLASS_HUB:
        classText = "HUB";
        break;
    case URB_CLASS_HID:
        classText = "HID";
        break;
    case URB_CLASS_MSC_BOT:
        classText = "MSC-BOT";
        break;
    case URB_CLASS_PRINTER:
        classText = "PRINTER";
        break;
    default:
        break;
    }
    if (titled) {
        CString codeText;
        codeText.Format(" (0x%02x)", classRequestCode);
        classRequestText += codeText;
    }
}

void UrbOutputer::OutputFunctionCode() {
    CString text;
    CString classText;
    CString classRequestText;
    FormatFunctionName(text, false, classText, classRequestText);
    CString code;
    code.Format("%04x", m_Decode.GetFunctionCode());
    m_pImp->WriteValue("Function", code);
    m_pImp->AddAttribute("Name", text);
    if (!classRequestText.IsEmpty())
        m_pImp->AddAttribute("ClassRequest", classRequestText);
}

void UrbOutputer::OutputKindTitle(int mode) {
    FieldWriter& fields = Fields(mode);
    fields.HideCategories({"CBW", "CSW"});
    CString text;
    CString classText;
    CString classRequestText;
    FormatFunctionName(text, true, classText, classRequestText);
    fields.RequestTitle("URB", "URB Function", text);
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
    m_pImp->SetItemValue("Major Function", "IRP_MJ_INTERNAL_DEVICE_CONTROL (0x0f)");
    m_pImp->HideItem("Minor Function");
    CString code;
    code.Format("0x%X", kSubmitUrbIoctl);
    m_pImp->SetItemValue("IoControlCode", code);
}

void UrbOutputer::OutputUrbBody(int mode) {
    m_nFunction = static_cast<USHORT>(m_Decode.GetFunctionCode());
    m_bSynchronous = m_Decode.IsSynchronous() ? 1 : 0;
    const bool continuation = IsContinuationTag(m_Decode.GetLogType());
    const bool transfer = m_nFunction == 8 || m_nFunction == 9 || m_nFunction == 10 || m_nFunction == 50;
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
    switch (m_nFunction) {
    case 0:
        OutputSelectConfiguration(mode, size, part);
        break;
    case 1:
        OutputSelectInterface(mode, size, part);
        break;
    case 2:
    case 30:
    case 48:
    case 49:
        OutputPipeRequest(mode, size, part);
        break;
    case 3:
    case 4:
        OutputFrameLengthControl(mode, size, part);
        break;
    case 5:
        OutputGetFrameLength(mode, size, part);
        break;
    case 6:
        OutputSetFrameLength(mode, size, part);
        break;
    case 7:
        OutputGetFrameNumber(mode, size, part);
        break;
    case 8:
        OutputControlTransfer(mode, size, part);
        break;
    case 9:
        OutputBulkInterruptTransfer(mode, size, part);
        break;
    case 10:
        OutputIsochronousTransfer(mode, size, part);
        break;
    case 11:
    case 12:
    case 36:
    case 37:
    case 40:
    case 41:
        OutputDescriptorRequest(mode, size, part);
        break;
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 34:
    case 35:
        OutputControlFeature(mode, size, part);
        break;
    case 19:
    case 20:
    case 21:
    case 33:
        OutputControlGetStatus(mode, size, part);
        break;
    case 23:
        OutputVendorDevice(mode, size, part);
        break;
    case 24:
        OutputVendorInterface(mode, size, part);
        break;
    case 25:
        OutputVendorEndpoint(mode, size, part);
        break;
    case 32:
        OutputVendorOther(mode, size, part);
        break;
    case 26:
        OutputClassDevice(mode, size, part);
        break;
    case 27:
        OutputClassInterface(mode, size, part);
        break;
    case 28:
        OutputClassEndpoint(mode, size, part);
        break;
    case 31:
        OutputClassOther(mode, size, part);
        break;
    case 38:
        OutputGetConfiguration(mode, size, part);
        break;
    case 39:
        OutputGetInterface(mode, size, part);
        break;
    case 42:
        OutputMsFeatureDescriptor(mode, size, part);
        break;
    case 50:
        OutputControlTransferEx(mode, size, part);
        break;
    case 51:
        OutputPipeIoPolicy(mode, size, part, 1);
        break;
    case 52:
        OutputPipeIoPolicy(mode, size, part, 0);
        break;
    case 0x1000:
        OutputOpenEndpoint(mode, size, part);
        break;
    case 0x1001:
        OutputCloseEndpoint(mode, size, part);
        break;
    case 0x1002:
        OutputGetEndpointState(mode, size, part);
        break;
    default:
        OutputUnknownFunction(mode, size, part);
        break;
    }
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

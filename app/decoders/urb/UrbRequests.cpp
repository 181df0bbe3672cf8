// The decoders of the URB functions that stand for one control request on the default pipe: descriptor,
// feature, status, vendor and class requests, GET_CONFIGURATION, GET_INTERFACE and the MS feature descriptor.
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "common/RecordPayloads.h"

namespace {

constexpr BYTE kStringDescriptor = 3;

// The GET forms of the descriptor functions; the others are SET.
bool IsGetDescriptor(USHORT function) {
    return function == 11 || function == 36 || function == 40;
}

} // namespace

void UrbOutputer::OutputDescriptorRequest(int mode, ULONG dataSize, const BYTE*) {
    using Part = URB_RECORD_DESCRIPTOR_REQUEST;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-Descriptor");
    InsertUrbHeaderFields(mode);
    const bool get = IsGetDescriptor(m_nFunction);
    InsertUrbStatus(mode);
    ULONG length = 0;
    ULONG status = 0;
    const bool haveLength = Get(mode, offsetof(Part, TransferBufferLength), length);
    m_Decode.ReadPayload(offsetof(URB_RECORD_HEAD, UsbdStatus), status);
    if (mode == OUTPUT_MODE_GRID && dataSize > sizeof(Part))
        InsertTransferData(mode, sizeof(Part), length, length, 0, get, status, 13);
    Field(mode, "TransferBufferLength", "TransferBufferLength", Hex(mode, 8, length, haveLength));
    BYTE type = 0;
    const bool haveType = Get(mode, offsetof(Part, DescriptorType), type);
    CString typeName;
    if (haveType)
        CStringContent().DescriptorTypeName(type, typeName);
    if (mode == OUTPUT_MODE_XML) {
        m_pImp->WriteValue("DescriptorType", Hex(mode, 2, type, haveType));
        m_pImp->AddAttribute("Name", haveType ? typeName : CString(kUnknownText));
    }
    BYTE index = 0;
    const bool haveIndex = Get(mode, offsetof(Part, Index), index);
    Field(mode, "Index", "Index", Hex(mode, 2, index, haveIndex));
    // A string's language; index 0 is the list of languages itself.
    if (haveType && type == kStringDescriptor && haveIndex && index != 0)
        HexField(mode, "LanguageID", "LanguageID", 4, offsetof(Part, LanguageId));
    const bool captured = get ? m_Decode.HasOutputData() : m_Decode.HasInputData();
    if (dataSize > sizeof(Part) && captured && haveLength) {
        const ULONG count = DataBytesAt(sizeof(Part), length);
        OutputDescriptorData(mode, type, index, PayloadAt(sizeof(Part)), count);
    } else if (mode == OUTPUT_MODE_GRID) {
        m_pImp->AddItem("Descriptor Type", haveType ? typeName : CString(kUnknownText), nullptr);
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputControlFeature(int mode, ULONG, const BYTE*) {
    using Part = URB_RECORD_FEATURE_REQUEST;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-ControlFeature");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    HexField(mode, "Feature Selector", "FeatureSelector", 4, offsetof(Part, FeatureSelector));
    HexField(mode, "Index", "Index", 4, offsetof(Part, Index));
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputControlGetStatus(int mode, ULONG, const BYTE*) {
    using Part = URB_RECORD_GET_STATUS;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-ControlGetStatus");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    HexField(mode, "Index", "Index", 4, offsetof(Part, Index));
    OutputLengthAndStatusBuffer(mode, offsetof(Part, TransferBufferLength), 4, sizeof(Part));
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputGetConfiguration(int mode, ULONG, const BYTE*) {
    using Part = URB_RECORD_GET_CONFIGURATION;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-ControlGetConfigValue");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    OutputLengthAndStatusBuffer(mode, offsetof(Part, TransferBufferLength), 8, sizeof(Part));
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputGetInterface(int mode, ULONG, const BYTE*) {
    using Part = URB_RECORD_GET_INTERFACE;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-ControlGetAlternateSetting");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    HexField(mode, "Interface", "Interface", 4, offsetof(Part, Interface));
    OutputLengthAndStatusBuffer(mode, offsetof(Part, TransferBufferLength), 8, sizeof(Part));
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputMsFeatureDescriptor(int mode, ULONG dataSize, const BYTE*) {
    using Part = URB_RECORD_MS_FEATURE_DESCRIPTOR;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-MsFeatureDescriptor");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    OpenGridGroup(mode, "MS Get Feature Descriptor Request");
    HexField(mode, "Recipient", "Recipient", 2, offsetof(Part, Recipient));
    HexField(mode, "Reserved2", "Reserved2", 2, offsetof(Part, Reserved2));
    HexField(mode, "InterfaceNumber", "InterfaceNumber", 2, offsetof(Part, InterfaceNumber));
    HexField(mode, "MS_PageIndex", "MS_PageIndex", 2, offsetof(Part, MS_PageIndex));
    HexField(mode, "MS_FeatureDescriptorIndex", "MS_FeatureDescriptorIndex", 4,
             offsetof(Part, MS_FeatureDescriptorIndex));
    HexField(mode, "Reserved3", "Reserved3", 4, offsetof(Part, Reserved3));
    ULONG length = 0;
    const bool haveLength = Get(mode, offsetof(Part, TransferBufferLength), length);
    Field(mode, "TransferBufferLength", "TransferBufferLength", Hex(mode, 8, length, haveLength));
    if (m_Decode.HasOutputData() && dataSize > sizeof(Part) && haveLength && mode != OUTPUT_MODE_HTML) {
        const ULONG count = DataBytesAt(sizeof(Part), length);
        if (count < length)
            OutputTruncation(mode, sizeof(Part) + length);
        if (mode == OUTPUT_MODE_GRID) {
            m_pImp->AddDataBufferItem("TransferBuffer (In)");
            InsertTransferBuffer(15, true, PayloadAt(sizeof(Part)), length, count, 0);
        } else {
            m_pImp->WriteValue("TransferBuffer", TransferBufferHex(PayloadAt(sizeof(Part)), count, 15));
            CString captured;
            captured.Format("%08x", count);
            m_pImp->AddAttribute("CaptureLength", captured);
        }
    }
    CloseGridGroup(mode);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::BeginVendorClass(int mode, LPCSTR element, LPCSTR typeWord, BYTE type, BYTE recipient,
                                   BYTE& bmRequestType, CString& description) {
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement(element);
    InsertRequestType(mode);
    RequestTypeText(type, recipient, typeWord, bmRequestType, description);
}

void UrbOutputer::OutputVendorClass(int mode, LPCSTR element, LPCSTR typeWord, BYTE type, BYTE recipient, int kind) {
    using Part = URB_RECORD_VENDOR_CLASS_REQUEST;
    BYTE bmRequestType = 0;
    CString description;
    BeginVendorClass(mode, element, typeWord, type, recipient, bmRequestType, description);
    InsertCalculatedSetupPacket(mode, bmRequestType, description);
    ULONG length = 0;
    ULONG flags = 0;
    ULONG status = 0;
    m_Decode.ReadPayload(offsetof(Part, TransferBufferLength), length);
    m_Decode.ReadPayload(offsetof(Part, TransferFlags), flags);
    m_Decode.ReadPayload(offsetof(URB_RECORD_HEAD, UsbdStatus), status);
    if (m_Decode.GetPayload().size() > sizeof(Part))
        InsertTransferData(mode, sizeof(Part), length, length, 0, (flags & 1) != 0, status, kind);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputVendorDevice(int mode, ULONG, const BYTE*) {
    OutputVendorClass(mode, "URB-ControlVendorDevice", "Vendor", 2, 0, 5);
}

void UrbOutputer::OutputVendorInterface(int mode, ULONG, const BYTE*) {
    OutputVendorClass(mode, "URB-ControlVendorInterface", "Vendor", 2, 1, 6);
}

void UrbOutputer::OutputVendorEndpoint(int mode, ULONG, const BYTE*) {
    OutputVendorClass(mode, "URB-ControlVendorEndpoint", "Vendor", 2, 2, 7);
}

void UrbOutputer::OutputVendorOther(int mode, ULONG, const BYTE*) {
    OutputVendorClass(mode, "URB-ControlVendorOther", "Vendor", 2, 3, 8);
}

void UrbOutputer::OutputClassDevice(int mode, ULONG, const BYTE*) {
    OutputVendorClass(mode, "URB-ControlClassDevice", "Class", 1, 0, 9);
}

void UrbOutputer::OutputClassInterface(int mode, ULONG, const BYTE*) {
    OutputVendorClass(mode, "URB-ControlClassInterface", "Class", 1, 1, 10);
}

void UrbOutputer::OutputClassEndpoint(int mode, ULONG, const BYTE*) {
    OutputVendorClass(mode, "URB-ControlClassEndpoint", "Class", 1, 2, 11);
}

void UrbOutputer::OutputClassOther(int mode, ULONG, const BYTE*) {
    OutputVendorClass(mode, "URB-ControlClassOther", "Class", 1, 3, 12);
}

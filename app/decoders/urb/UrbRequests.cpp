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
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_DESCRIPTOR_REQUEST;
    fields.Open(FieldSection::Element, "URB-Descriptor");
    InsertUrbHeaderFields(mode);
    const bool get = IsGetDescriptor(m_nFunction);
    InsertUrbStatus(mode);
    ULONG length = 0;
    ULONG status = 0;
    const bool haveLength = fields.Read(offsetof(Part, TransferBufferLength), length);
    m_Decode.ReadPayload(offsetof(URB_RECORD_HEAD, UsbdStatus), status);
    if (dataSize > sizeof(Part))
        InsertTransferData(mode, sizeof(Part), length, length, 0, get, status, 13, kGrid);
    fields.Field({"TransferBufferLength", "TransferBufferLength"},
                 fields.Number(FieldFormat::Hex8, length, haveLength));
    BYTE type = 0;
    const bool haveType = fields.Read(offsetof(Part, DescriptorType), type);
    CString typeName;
    if (haveType)
        CStringContent().DescriptorTypeName(type, typeName);
    fields.Field("DescriptorType", fields.Number(FieldFormat::Hex2, type, haveType), nullptr, kXml);
    fields.Attribute("Name", haveType ? typeName : CString(kUnknownText));
    BYTE index = 0;
    const bool haveIndex = fields.Read(offsetof(Part, Index), index);
    fields.Field({"Index", "Index"}, fields.Number(FieldFormat::Hex2, index, haveIndex));
    // A string's language; index 0 is the list of languages itself.
    if (haveType && type == kStringDescriptor && haveIndex && index != 0)
        fields.ValueField({"LanguageID", "LanguageID"}, FieldFormat::Hex4, offsetof(Part, LanguageId));
    const bool captured = get ? m_Decode.HasOutputData() : m_Decode.HasInputData();
    if (dataSize > sizeof(Part) && captured && haveLength) {
        const ULONG count = DataBytesAt(sizeof(Part), length);
        OutputDescriptorData(mode, type, index, PayloadAt(sizeof(Part)), count);
    } else {
        fields.Field("Descriptor Type", haveType ? typeName : CString(kUnknownText), nullptr, kGrid);
    }
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputControlFeature(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_FEATURE_REQUEST;
    fields.Open(FieldSection::Element, "URB-ControlFeature");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    fields.ValueField({"FeatureSelector", "Feature Selector"}, FieldFormat::Hex4, offsetof(Part, FeatureSelector));
    fields.ValueField({"Index", "Index"}, FieldFormat::Hex4, offsetof(Part, Index));
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputControlGetStatus(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_GET_STATUS;
    fields.Open(FieldSection::Element, "URB-ControlGetStatus");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    fields.ValueField({"Index", "Index"}, FieldFormat::Hex4, offsetof(Part, Index));
    OutputLengthAndStatusBuffer(mode, offsetof(Part, TransferBufferLength), FieldFormat::Hex4, sizeof(Part));
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputGetConfiguration(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_GET_CONFIGURATION;
    fields.Open(FieldSection::Element, "URB-ControlGetConfigValue");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    OutputLengthAndStatusBuffer(mode, offsetof(Part, TransferBufferLength), FieldFormat::Hex8, sizeof(Part));
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputGetInterface(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_GET_INTERFACE;
    fields.Open(FieldSection::Element, "URB-ControlGetAlternateSetting");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    fields.ValueField({"Interface", "Interface"}, FieldFormat::Hex4, offsetof(Part, Interface));
    OutputLengthAndStatusBuffer(mode, offsetof(Part, TransferBufferLength), FieldFormat::Hex8, sizeof(Part));
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputMsFeatureDescriptor(int mode, ULONG dataSize, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_MS_FEATURE_DESCRIPTOR;
    fields.Open(FieldSection::Element, "URB-MsFeatureDescriptor");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    fields.Open(FieldSection::GridGroup, "MS Get Feature Descriptor Request");
    fields.ValueField({"Recipient", "Recipient"}, FieldFormat::Hex2, offsetof(Part, Recipient));
    fields.ValueField({"Reserved2", "Reserved2"}, FieldFormat::Hex2, offsetof(Part, Reserved2));
    fields.ValueField({"InterfaceNumber", "InterfaceNumber"}, FieldFormat::Hex2, offsetof(Part, InterfaceNumber));
    fields.ValueField({"MS_PageIndex", "MS_PageIndex"}, FieldFormat::Hex2, offsetof(Part, MS_PageIndex));
    fields.ValueField({"MS_FeatureDescriptorIndex", "MS_FeatureDescriptorIndex"}, FieldFormat::Hex4,
                      offsetof(Part, MS_FeatureDescriptorIndex));
    fields.ValueField({"Reserved3", "Reserved3"}, FieldFormat::Hex4, offsetof(Part, Reserved3));
    ULONG length = 0;
    const bool haveLength = fields.Read(offsetof(Part, TransferBufferLength), length);
    fields.Field({"TransferBufferLength", "TransferBufferLength"},
                 fields.Number(FieldFormat::Hex8, length, haveLength));
    // The descriptor the device answered, on the completion side.
    if (m_Decode.HasOutputData() && dataSize > sizeof(Part) && haveLength)
        InsertTransferData(mode, sizeof(Part), length, length, 0, true, 0, 15);
    fields.Close(FieldSection::GridGroup);
    fields.Close(FieldSection::Element);
}

void UrbOutputer::BeginVendorClass(int mode, LPCSTR element, LPCSTR typeWord, BYTE type, BYTE recipient,
                                   BYTE& bmRequestType, CString& description) {
    FieldWriter& fields = Fields(mode);
    fields.Open(FieldSection::Element, element);
    InsertRequestType(mode);
    RequestTypeText(type, recipient, typeWord, bmRequestType, description);
}

void UrbOutputer::OutputVendorClass(int mode, LPCSTR element, LPCSTR typeWord, BYTE type, BYTE recipient, int kind) {
    FieldWriter& fields = Fields(mode);
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
    fields.Close(FieldSection::Element);
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

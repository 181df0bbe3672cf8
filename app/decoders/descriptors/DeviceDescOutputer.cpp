#include "app/decoders/descriptors/DeviceDescOutputer.h"

#include <afxcoll.h>

#include "app/decoders/framework/OutputerImp.h"

namespace {

constexpr char kDevice[] = "DEVICE";

const FieldLabels kLengthLabel("bLength", nullptr, "Descriptor&nbsp;Length");
const FieldLabels kTypeLabel("bDescriptorType", nullptr, "Descriptor&nbsp;Type");

// The text of a string index: the device's string, none for index 0 or a string it does not have.
CString StringIndexText(const FieldEnv& env, ULONG64 index) {
    const auto* strings = static_cast<const CStringArray*>(env.extra);
    if (strings == nullptr || index == 0 || static_cast<INT_PTR>(index) >= strings->GetSize())
        return CString();
    return strings->GetAt(static_cast<INT_PTR>(index));
}

CString Entry(const CStringArray& list, INT_PTR index) {
    return index < list.GetSize() ? list.GetAt(index) : CString();
}

const FieldDecl kDeviceHead[] = {
    FieldU8(kLengthLabel),
    FieldU8(kTypeLabel).Named("Name", TypeNameOrInvalid<1, kDevice>),
    FieldU16("bcdUSB").Named("Version", DescOutputer::VersionFieldText),
};

const FieldDecl kDeviceTail[] = {
    FieldU8("bDeviceSubClass"),
    FieldU8("bDeviceProtocol"),
    FieldU8("bMaxPacketSize0"),
    FieldU16("idVendor"),
    FieldU16("idProduct"),
    FieldU16("bcdDevice").Named("Version", DescOutputer::VersionFieldText),
    FieldU8("iManufacturer").Named("Value", StringIndexText, FieldDecl::kPlainWithoutName),
    FieldU8("iProduct").Named("Value", StringIndexText, FieldDecl::kPlainWithoutName),
    FieldU8("iSerialNumber").Named("Value", StringIndexText, FieldDecl::kPlainWithoutName),
    FieldU8("bNumConfigurations"),
};

const FieldDecl kQualifierFields[] = {
    FieldU8(kLengthLabel),
    FieldU8(kTypeLabel).Named("Name", "DEVICE QUALIFIER"),
    FieldU16("bcdUSB").Named("Version", DescOutputer::VersionFieldText),
    FieldU8("bDeviceClass"),
    FieldU8("bDeviceSubClass"),
    FieldU8("bDeviceProtocol"),
    FieldU8("bMaxPacketSize0"),
    FieldU8("bNumConfigurations"),
    FieldU8("bReserved"),
};

} // namespace

DeviceDescOutputer::DeviceDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void DeviceDescOutputer::Output(int mode, const CString& title, const CString& value, const CStringArray& classTexts,
                                const CStringArray& strings, bool nested) {
    const DescLayout layout = LayoutOf(false, nested);
    FieldWriter fields(*this, mode);
    OpenSection(fields, title, value, layout);
    tdl::ByteReader reader = Reader();
    BYTE deviceClass = 0;
    if (fields.Fields(kDeviceHead, reader, FieldWalk::Stop) && reader.Read(deviceClass)) {
        OutputDeviceClass(fields, deviceClass, classTexts);
        fields.Fields(kDeviceTail, reader, FieldWalk::Stop, &strings);
    }
    CloseSection(fields, layout);
}

void DeviceDescOutputer::OutputDeviceClass(FieldWriter& fields, BYTE deviceClass, const CStringArray& classTexts) {
    const CString value = fields.Text(FieldFormat::Hex2, deviceClass);
    const CString classText = Entry(classTexts, 1);
    const CString interfaceClass = Entry(classTexts, 2);
    if (!classText.IsEmpty()) {
        fields.NamedField("bDeviceClass", value, "DeviceClass", classText);
        if (!interfaceClass.IsEmpty())
            fields.Field("", "Interface Class: " + interfaceClass, nullptr, kGrid);
    } else if (!interfaceClass.IsEmpty()) {
        fields.NamedField("bDeviceClass", value, "InterfaceClass", interfaceClass);
    } else {
        fields.Field("bDeviceClass", value);
    }
}

DevQualifierDescOutputer::DevQualifierDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes,
                                                   ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void DevQualifierDescOutputer::Output(int mode, const CString& title, const CString& value) {
    OutputLayout(mode, title, value, DescLayout::Section, kQualifierFields);
}

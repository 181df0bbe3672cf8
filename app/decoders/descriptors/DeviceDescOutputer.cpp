#include "app/decoders/descriptors/DeviceDescOutputer.h"

#include <afxcoll.h>

#include "app/decoders/framework/OutputerImp.h"

namespace {

constexpr char kDevice[] = "DEVICE";

const DescLabel kLengthLabel("bLength", nullptr, "Descriptor&nbsp;Length");
const DescLabel kTypeLabel("bDescriptorType", nullptr, "Descriptor&nbsp;Type");

// The text of a string index: the device's string, none for index 0 or a string it does not have.
CString StringIndexText(const DescFieldEnv& env, ULONG index) {
    const auto* strings = static_cast<const CStringArray*>(env.extra);
    if (strings == nullptr || index == 0 || static_cast<INT_PTR>(index) >= strings->GetSize())
        return CString();
    return strings->GetAt(static_cast<INT_PTR>(index));
}

CString Entry(const CStringArray& list, INT_PTR index) {
    return index < list.GetSize() ? list.GetAt(index) : CString();
}

const DescField kDeviceHead[] = {
    DescByte(kLengthLabel),
    DescByte(kTypeLabel).Named("Name", TypeNameOrInvalid<1, kDevice>),
    DescWord("bcdUSB").Named("Version", DescOutputer::VersionFieldText),
};

const DescField kDeviceTail[] = {
    DescByte("bDeviceSubClass"),
    DescByte("bDeviceProtocol"),
    DescByte("bMaxPacketSize0"),
    DescWord("idVendor"),
    DescWord("idProduct"),
    DescWord("bcdDevice").Named("Version", DescOutputer::VersionFieldText),
    DescByte("iManufacturer").Named("Value", StringIndexText, DescField::kPlainWithoutText),
    DescByte("iProduct").Named("Value", StringIndexText, DescField::kPlainWithoutText),
    DescByte("iSerialNumber").Named("Value", StringIndexText, DescField::kPlainWithoutText),
    DescByte("bNumConfigurations"),
};

const DescField kQualifierFields[] = {
    DescByte(kLengthLabel),
    DescByte(kTypeLabel).Named("Name", "DEVICE QUALIFIER"),
    DescWord("bcdUSB").Named("Version", DescOutputer::VersionFieldText),
    DescByte("bDeviceClass"),
    DescByte("bDeviceSubClass"),
    DescByte("bDeviceProtocol"),
    DescByte("bMaxPacketSize0"),
    DescByte("bNumConfigurations"),
    DescByte("bReserved"),
};

} // namespace

DeviceDescOutputer::DeviceDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void DeviceDescOutputer::Output(int mode, const CString& title, const CString& value, const CStringArray& classTexts,
                                const CStringArray& strings, bool nested) {
    const DescLayout layout = LayoutOf(false, nested);
    OpenSection(mode, title, value, layout);
    tdl::ByteReader reader = Reader();
    BYTE deviceClass = 0;
    if (OutputFields(mode, kDeviceHead, reader, DescStyle::Stop) && reader.Read(deviceClass)) {
        OutputDeviceClass(mode, deviceClass, classTexts);
        OutputFields(mode, kDeviceTail, reader, DescStyle::Stop, &strings);
    }
    CloseSection(mode, layout);
}

void DeviceDescOutputer::OutputDeviceClass(int mode, BYTE deviceClass, const CStringArray& classTexts) {
    CString value;
    value.Format(ByteFormat(mode), deviceClass);
    const CString classText = Entry(classTexts, 1);
    const CString interfaceClass = Entry(classTexts, 2);
    if (!classText.IsEmpty()) {
        OutputFieldWithText(mode, "bDeviceClass", value, "DeviceClass", classText);
        if (mode == OUTPUT_MODE_GRID && !interfaceClass.IsEmpty()) {
            CString row;
            row.Format("Interface Class: %s", interfaceClass.GetString());
            m_pImp->AddItem("", row, nullptr);
        }
    } else if (!interfaceClass.IsEmpty()) {
        OutputFieldWithText(mode, "bDeviceClass", value, "InterfaceClass", interfaceClass);
    } else {
        OutputField(mode, "bDeviceClass", value);
    }
}

DevQualifierDescOutputer::DevQualifierDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes,
                                                   ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void DevQualifierDescOutputer::Output(int mode, const CString& title, const CString& value) {
    OutputLayout(mode, title, value, DescLayout::Section, kQualifierFields);
}

#include "app/decoders/descriptors/FullConfigDescOutputer.h"

#include "app/decoders/descriptors/ConfigDescOutputer.h"
#include "app/decoders/descriptors/DescWalk.h"
#include "app/decoders/descriptors/EndpointDescOutputer.h"
#include "app/decoders/descriptors/GenericDescOutputer.h"
#include "app/decoders/descriptors/HidClassDescOutputer.h"
#include "app/decoders/descriptors/InterfaceDescOutputer.h"
#include "app/decoders/framework/GridOutputImp.h"
#include "app/decoders/framework/StringContent.h"

namespace {

enum class Decoder { Interface, Endpoint, Association, Companion, Hid, Generic };

struct Kind {
    Decoder decoder;
    const char* element;               // the section's element name in XML
    const char* value;                 // the section's value, and its caption in the grouped layout
    const char* markupValue = nullptr; // the value in XML where it differs
};

// The configuration descriptor's standard size, and the bytes a descriptor after it starts with.
constexpr ULONG kConfigurationSize = 9;
constexpr ULONG kDescriptorLeast = 2;

constexpr BYTE kInterfaceType = 4;
constexpr BYTE kEndpointType = 5;
constexpr BYTE kAssociationType = 11;
constexpr BYTE kCompanionType = 48;
constexpr BYTE kHidType = 0x21;
constexpr BYTE kHidClass = 3;
constexpr BYTE kSmartCardClass = 11;

Kind KindOf(BYTE type, UCHAR interfaceClass) {
    // The companion's type code has the class bit set, yet it is a standard descriptor of USB 3.
    if (type == kCompanionType)
        return {Decoder::Companion, "EndpointCompanionDescriptor", "SS ENDPOINT COMPANION"};
    switch ((type >> 5) & 3) {
    case 0:
        switch (type) {
        case kInterfaceType: return {Decoder::Interface, "InterfaceDescriptor", "INTERFACE"};
        case kEndpointType: return {Decoder::Endpoint, "EndpointDescriptor", "ENDPOINT"};
        case kAssociationType:
            return {Decoder::Association, "InterfaceAssocDescriptor", "INTERFACE ASSOCIATION", "INTERFACE_ASSOCIATION"};
        default: return {Decoder::Generic, "OtherStandardDescriptor", "STANDARD"};
        }
    case 1:
        if (interfaceClass == kHidClass)
            return type == kHidType ? Kind{Decoder::Hid, "HidClassDescriptor", "HID DESCRIPTOR"}
                                    : Kind{Decoder::Generic, "OtherHidClassDescriptor", "OTHER CLASS HID"};
        if (interfaceClass == kSmartCardClass)
            return type == kHidType ? Kind{Decoder::Generic, "CcidClassDescriptor", "CLASS CCID"}
                                    : Kind{Decoder::Generic, "OtherCcidClassDescriptor", "OTHER CLASS CCID"};
        return {Decoder::Generic, "OtherClassDescriptor", "CLASS"};
    case 2: return {Decoder::Generic, "VendorDescriptor", "VENDOR"};
    default: return {Decoder::Generic, "OtherDescriptor", "OTHER"};
    }
}

CString ByteOrMissing(const BYTE* pBytes, ULONG size, size_t offset) {
    BYTE value = 0;
    if (!tdl::LoadAt(pBytes, size, offset, value))
        return DescOutputer::kMissing;
    CString text;
    text.Format("%d", value);
    return text;
}

} // namespace

FullConfigDescOutputer::FullConfigDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count,
                                               int configurationIndex)
    : DescOutputer(pImp, pContext, pBytes, count), m_ConfigurationIndex(configurationIndex) {}

void FullConfigDescOutputer::Output(int mode, const CString& title, const CString& value, bool nested, bool grouped) {
    FieldWriter fields(*this, mode);
    // The grouped layout is the grid's; the mark-up media show the ordinary one.
    grouped = grouped && fields.In(kGrid);
    m_InterfaceClass = 0;
    m_InterfaceGroupOpen = false;
    if (!nested)
        OpenSection(fields, title, value, DescLayout::Section);

    CString headerTitle = WalkTitle("ConfigurationDescriptor").For(mode);
    CString headerValue = "CONFIGURATION";
    if (grouped) {
        headerTitle.Format("CONFIGURATION (%d)", m_ConfigurationIndex);
        headerValue.Empty();
    }
    ULONG consumed = 0;
    ConfigDescOutputer(m_pImp, m_pContext, m_pBytes, SetHeaderSize(m_Count, kConfigurationSize))
        .Output(mode, headerTitle, headerValue, consumed, grouped);
    WalkDescriptors(fields, m_pBytes, m_Count, kConfigurationSize, kDescriptorLeast, m_CutBefore,
                    [&](const BYTE* pDescriptor, ULONG size) { OutputDescriptor(mode, pDescriptor, size, grouped); });

    if (grouped)
        CloseInterfaceGroup();
    if (!nested)
        CloseSection(fields, DescLayout::Section);
}

void FullConfigDescOutputer::OutputDescriptor(int mode, const BYTE* pBytes, ULONG size, bool grouped) {
    const Kind kind = KindOf(pBytes[1], m_InterfaceClass);
    CString title = WalkTitle(kind.element).For(mode);
    CString value = FieldLabels(kind.markupValue != nullptr ? kind.markupValue : kind.value, kind.value).For(mode);
    if (grouped) {
        title =
            kind.decoder == Decoder::Endpoint ? EndpointDescOutputer::GroupedTitle(pBytes, size) : CString(kind.value);
        value.Empty();
    }
    ULONG consumed = 0;
    switch (kind.decoder) {
    case Decoder::Interface:
        if (grouped)
            OpenInterfaceGroup(pBytes, size);
        InterfaceDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, title, value, consumed, m_InterfaceClass, grouped);
        break;
    case Decoder::Endpoint:
        EndpointDescOutputer(m_pImp, m_pContext, pBytes, size).Output(mode, title, value, consumed, grouped);
        break;
    case Decoder::Association: {
        UCHAR functionClass = 0;
        InterfaceAssocDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, title, value, consumed, functionClass, grouped);
        break;
    }
    case Decoder::Companion:
        CompanionEndpointDescOutputer(m_pImp, m_pContext, pBytes, size).Output(mode, title, value, consumed, grouped);
        break;
    case Decoder::Hid:
        HidClassDescOutputer(m_pImp, m_pContext, pBytes, size).Output(mode, title, value, consumed, grouped);
        break;
    case Decoder::Generic:
        GenericDescOutputer(m_pImp, m_pContext, pBytes, size).Output(mode, title, value, consumed, grouped);
        break;
    }
}

void FullConfigDescOutputer::OpenInterfaceGroup(const BYTE* pBytes, ULONG size) {
    CloseInterfaceGroup();
    BYTE interfaceClass = 0;
    CString classHex(kMissing);
    CString className(kMissing);
    if (tdl::LoadAt(pBytes, size, 5, interfaceClass))
        CStringContent().ClassName(interfaceClass, classHex, className);
    CString caption;
    caption.Format("INTERFACE %s/ALT %s, %s(%s)", ByteOrMissing(pBytes, size, 2).GetString(),
                   ByteOrMissing(pBytes, size, 3).GetString(), classHex.GetString(), className.GetString());
    m_pImp->BeginCategory(caption);
    m_InterfaceGroupOpen = true;
}

void FullConfigDescOutputer::CloseInterfaceGroup() {
    if (!m_InterfaceGroupOpen)
        return;
    m_InterfaceGroupOpen = false;
    // The group is opened once, whatever the pane's own wish for long trees, which stays off afterwards.
    // The one place a decoder asks for its back-end: the expand flag belongs to the grid's, which no call sets.
    auto* grid = dynamic_cast<GridOutputImp*>(m_pImp);
    if (grid != nullptr)
        grid->autoExpand = true;
    m_pImp->ExpandCurrent();
    if (grid != nullptr)
        grid->autoExpand = false;
    m_pImp->EndGroup();
}

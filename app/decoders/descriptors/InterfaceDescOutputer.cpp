#include "app/decoders/descriptors/InterfaceDescOutputer.h"

#include "app/decoders/framework/StringContent.h"

namespace {

// Where the class code stands: the subclass and protocol names depend on it, and on the subclass after it.
constexpr size_t kInterfaceClassAt = 5;
constexpr size_t kFunctionClassAt = 4;

CString ClassText(const DescFieldEnv&, ULONG classCode) {
    CString hex, name;
    CStringContent().ClassName(static_cast<UCHAR>(classCode), hex, name);
    return name;
}

template <size_t ClassAt> CString SubClassText(const DescFieldEnv& env, ULONG subClass) {
    CString hex, name;
    CStringContent().SubClassName(env.bytes[ClassAt], static_cast<UCHAR>(subClass), hex, name);
    return name;
}

template <size_t ClassAt> CString ProtocolText(const DescFieldEnv& env, ULONG protocol) {
    CString hex, name;
    CStringContent().ProtocolName(env.bytes[ClassAt], env.bytes[ClassAt + 1], static_cast<UCHAR>(protocol), 0, hex,
                                  name);
    return name;
}

const DescField kInterfaceFields[] = {
    DescByte("bLength"),
    DescByte("bDescriptorType").Named("Name", "INTERFACE"),
    DescByte("bInterfaceNumber"),
    DescByte("bAlternateSetting"),
    DescByte("bNumEndpoints"),
    DescByte("bInterfaceClass").Named("Name", ClassText),
    DescByte("bInterfaceSubClass").Named("Name", SubClassText<kInterfaceClassAt>),
    DescByte("bInterfaceProtocol").Named("Name", ProtocolText<kInterfaceClassAt>),
    DescByte("iInterface"),
};

const DescField kAssociationFields[] = {
    DescByte("bLength"),
    DescByte("bDescriptorType").Named("Name", "INTERFACE_ASSOCIATION"),
    DescByte("bFirstInterface"),
    DescByte("bInterfaceCount"),
    DescByte("bFunctionClass").Named("Name", ClassText),
    DescByte("bFunctionSubClass").Named("Name", SubClassText<kFunctionClassAt>),
    DescByte("bFunctionProtocol").Named("Name", ProtocolText<kFunctionClassAt>),
    DescByte("iFunction"),
};

} // namespace

InterfaceDescOutputer::InterfaceDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void InterfaceDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed,
                                   UCHAR& interfaceClass, bool grouped) {
    consumed = OutputLayout(mode, title, value, LayoutOf(grouped), kInterfaceFields);
    tdl::LoadAt(m_pBytes, m_Count, kInterfaceClassAt, interfaceClass);
}

InterfaceAssocDescOutputer::InterfaceAssocDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes,
                                                       ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void InterfaceAssocDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed,
                                        UCHAR& functionClass, bool grouped) {
    consumed = OutputLayout(mode, title, value, LayoutOf(grouped), kAssociationFields);
    tdl::LoadAt(m_pBytes, m_Count, kFunctionClassAt, functionClass);
}

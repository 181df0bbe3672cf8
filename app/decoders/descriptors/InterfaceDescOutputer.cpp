#include "app/decoders/descriptors/InterfaceDescOutputer.h"

#include "app/decoders/framework/StringContent.h"

namespace {

// Where the class code stands: the subclass and protocol names depend on it, and on the subclass after it.
constexpr size_t kInterfaceClassAt = 5;
constexpr size_t kFunctionClassAt = 4;

CString ClassText(const FieldEnv&, ULONG64 classCode) {
    CString hex, name;
    CStringContent().ClassName(static_cast<UCHAR>(classCode), hex, name);
    return name;
}

template <size_t ClassAt> CString SubClassText(const FieldEnv& env, ULONG64 subClass) {
    CString hex, name;
    CStringContent().SubClassName(env.bytes[ClassAt], static_cast<UCHAR>(subClass), hex, name);
    return name;
}

template <size_t ClassAt> CString ProtocolText(const FieldEnv& env, ULONG64 protocol) {
    CString hex, name;
    CStringContent().ProtocolName(env.bytes[ClassAt], env.bytes[ClassAt + 1], static_cast<UCHAR>(protocol), 0, hex,
                                  name);
    return name;
}

const FieldDecl kInterfaceFields[] = {
    FieldU8("bLength"),
    FieldU8("bDescriptorType").Named("Name", "INTERFACE"),
    FieldU8("bInterfaceNumber"),
    FieldU8("bAlternateSetting"),
    FieldU8("bNumEndpoints"),
    FieldU8("bInterfaceClass").Named("Name", ClassText),
    FieldU8("bInterfaceSubClass").Named("Name", SubClassText<kInterfaceClassAt>),
    FieldU8("bInterfaceProtocol").Named("Name", ProtocolText<kInterfaceClassAt>),
    FieldU8("iInterface"),
};

const FieldDecl kAssociationFields[] = {
    FieldU8("bLength"),
    FieldU8("bDescriptorType").Named("Name", "INTERFACE_ASSOCIATION"),
    FieldU8("bFirstInterface"),
    FieldU8("bInterfaceCount"),
    FieldU8("bFunctionClass").Named("Name", ClassText),
    FieldU8("bFunctionSubClass").Named("Name", SubClassText<kFunctionClassAt>),
    FieldU8("bFunctionProtocol").Named("Name", ProtocolText<kFunctionClassAt>),
    FieldU8("iFunction"),
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

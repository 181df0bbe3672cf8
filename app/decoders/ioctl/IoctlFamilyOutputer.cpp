#include "app/decoders/ioctl/IoctlFamilyOutputer.h"

#include "app/decoders/framework/OutputerImp.h"

LPCSTR IoctlListName(const IoctlFamily& family, const IoctlCode& code) {
    return CodeListName(CodeListName(code.row.name, "IOCTL_"), family.word);
}

LPCSTR IoctlListName(const IoctlFamily& family, ULONG code) {
    const IoctlCode* row = FindCodeRow(family.codes, code);
    return row != nullptr ? IoctlListName(family, *row) : nullptr;
}

IoctlFamilyOutputer::IoctlFamilyOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord,
                                         const IoctlFamily& family)
    : IrpOutputer(pImp, pDocument, pRecord), m_family(family) {}

IoctlFamilyOutputer::~IoctlFamilyOutputer() = default;

CString IoctlFamilyOutputer::GetIoctlName() const {
    const ULONG code = m_Decode.GetFunctionWord();
    if (const IoctlCode* row = FindCodeRow(m_family.codes, code))
        return row->row.name;
    CString text;
    text.Format(m_family.unnamed, code);
    return text;
}

void IoctlFamilyOutputer::OutputIrpFunction() {
    if (m_family.internal)
        OutputInternalControlFunction();
    else
        OutputDeviceControlFunction();
}

void IoctlFamilyOutputer::OutputFunctionCode() {
    CString text;
    text.Format("%08x", m_Decode.GetFunctionWord());
    m_pImp->WriteValue("Function", text);
    m_pImp->AddAttribute("Name", GetIoctlName());
}

void IoctlFamilyOutputer::OutputKindTitle(int mode) {
    OutputRequestTitle(mode, m_family.category, m_family.caption, GetIoctlName());
    // A returned record only tells that the dispatch routine returned.
    if (m_Decode.HasTransferData())
        return;
    OutputIoctlBody(mode);
}

void IoctlFamilyOutputer::OutputIoctlBody(int mode) {
    const IoctlCode* row = FindCodeRow(m_family.codes, m_Decode.GetFunctionWord());
    if (row == nullptr || row->operation == nullptr)
        return;
    const std::span<const uint8_t> payload = m_Decode.GetPayload();
    (this->*row->operation)(mode, static_cast<ULONG>(payload.size()), payload.data());
}

bool IoctlFamilyOutputer::IsDecodedSide() const {
    return m_Decode.HasInputData() || m_Decode.HasOutputData();
}

#include "app/decoders/framework/FunctionOutputer.h"

#include "app/decoders/framework/OutputerImp.h"
#include "common/RecordTags.h"

FunctionOutputer::~FunctionOutputer() = default;

void FunctionOutputer::OutputStatus() {
    // Port-driver hook records never carry a status the call returned, and an initiated call has none yet.
    const ULONG tag = m_Decode.GetLogType();
    const bool hubInterface = tag == LogTag::buhI || tag == LogTag::buhC;
    if (!hubInterface || !m_Decode.HasOutputData()) {
        m_pImp->HideItem("Status");
        return;
    }
    const ULONG status = m_Decode.GetStatus();
    CString text;
    switch (GetReturnType()) {
    case ReturnType::Boolean:
        m_pImp->SetItemValueColour("Status", status ? "TRUE" : "FALSE", m_pImp->GetValueColour());
        break;
    case ReturnType::Ulong:
        text.Format("0x%08x", status);
        m_pImp->SetItemValueColour("Status", text, m_pImp->GetValueColour());
        break;
    case ReturnType::NtStatus: m_pImp->SetItemValueColour("Status", StatusText(status), StatusColour(status)); break;
    }
    m_pImp->SetItemDescription("Status", "Function call return status");
}

FunctionOutputer::ReturnType FunctionOutputer::GetReturnType() const {
    return ReturnType::NtStatus;
}

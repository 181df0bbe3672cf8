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
    m_pImp->SetItemValueColour("Status", StatusText(status), StatusColour(status));
    m_pImp->SetItemDescription("Status", "Function call return status");
}

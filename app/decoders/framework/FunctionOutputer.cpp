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

void FunctionOutputer::BeginArgumentGroup(int mode, LPCSTR caption) {
    if (mode != OUTPUT_MODE_XML)
        m_pImp->BeginValueGroup(caption, "");
}

void FunctionOutputer::EndArgumentGroup(int mode) {
    if (mode == OUTPUT_MODE_XML)
        return;
    m_pImp->ExpandCurrent();
    m_pImp->EndGroup();
}

void FunctionOutputer::OutputArgument(int mode, LPCSTR label, LPCSTR element, const CString& value,
                                      LPCSTR direction) {
    if (mode != OUTPUT_MODE_XML) {
        m_pImp->AddItem(label, value, nullptr);
        return;
    }
    m_pImp->WriteValue(element, value);
    if (direction)
        m_pImp->AddAttribute("ArgDirection", direction);
}

CString FunctionOutputer::HexValue(int mode, size_t bytes, ULONG64 value) {
    const bool grid = mode == OUTPUT_MODE_GRID;
    CString text;
    switch (bytes) {
    case 1:
        text.Format(grid ? "0x%02x" : "%02x", static_cast<unsigned>(value & 0xFF));
        break;
    case 2:
        text.Format(grid ? "0x%04x" : "%04x", static_cast<unsigned>(value & 0xFFFF));
        break;
    case 8:
        text.Format(grid ? "0x%I64x" : "%I64x", value);
        break;
    default:
        text.Format(grid ? "0x%08x" : "%08x", static_cast<unsigned>(value));
        break;
    }
    return text;
}

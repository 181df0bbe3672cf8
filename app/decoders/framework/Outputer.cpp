#include "app/decoders/framework/Outputer.h"

#include "app/decoders/framework/OutputerImp.h"

Outputer::~Outputer() = default;

void Outputer::OutputDefect(int mode, const CString& caption, const CString& text) {
    if (mode == OUTPUT_MODE_GRID)
        m_pImp->AddReadOnlyItem(caption, text);
    else
        m_pImp->WriteValue(caption, text);
}

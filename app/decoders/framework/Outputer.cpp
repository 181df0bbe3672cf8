#include "app/decoders/framework/Outputer.h"

#include "app/decoders/framework/FieldWriter.h"

Outputer::~Outputer() = default;

void Outputer::OutputDefect(int mode, const CString& caption, const CString& text) {
    FieldWriter(*this, mode).Defect(caption, text);
}

// StringDescOutputer: a string descriptor. What it holds depends on the index it was requested with: index 0
// is the list of language identifiers, index 0xEE may be the operating-system string descriptor, and any
// other index is text.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class StringDescOutputer : public DescOutputer {
public:
    StringDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, UCHAR stringIndex, ULONG count);

    void Output(int mode, const CString& title, const CString& value);

private:
    void OutputLanguages(FieldWriter& fields, ULONG length);
    void OutputOsString(FieldWriter& fields);

    const UCHAR m_StringIndex;
};

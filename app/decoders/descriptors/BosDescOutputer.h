// BosDescOutputer: the header of a Binary Object Store set.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class BosDescOutputer : public DescOutputer {
public:
    BosDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    // consumed: the header bytes that were there, at most 5.
    void Output(int mode, const CString& title, const CString& value, ULONG& consumed);
};

// FullBosDescOutputer: a whole Binary Object Store set, the BOS header and the device capabilities after it.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class FullBosDescOutputer : public DescOutputer {
public:
    FullBosDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    void Output(int mode, const CString& title, const CString& value);
    // The bytes end where the record that carries them was cut, which the record says: the walk does not
    // mark that end again.
    void EndsAtRecordCut() { m_CutBefore = true; }

private:
    void OutputCapability(int mode, const BYTE* pBytes, ULONG size);

    bool m_CutBefore = false;
};

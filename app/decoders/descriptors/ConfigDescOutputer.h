// ConfigDescOutputer: the configuration descriptor at the head of a configuration set. wTotalLength is
// shown, never used: the set's length is what the caller holds.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class ConfigDescOutputer : public DescOutputer {
public:
    ConfigDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    // consumed: the bytes of the standard fields that were there (at most 9, whatever bLength says).
    void Output(int mode, const CString& title, const CString& value, ULONG& consumed, bool grouped);
};

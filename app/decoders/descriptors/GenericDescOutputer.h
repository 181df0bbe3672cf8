// GenericDescOutputer: any descriptor whose layout the program does not decode: its two header bytes and
// the rest as rows of hexadecimal bytes.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class GenericDescOutputer : public DescOutputer {
public:
    GenericDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    // value: the section's value and the text of the type row ("VENDOR", "OTHER BOS", ...). consumed:
    // bLength when its bytes are all there, everything when bLength is below 2.
    void Output(int mode, const CString& title, const CString& value, ULONG& consumed, bool grouped);
};

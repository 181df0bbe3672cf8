// HidClassDescOutputer: the HID descriptor of an interface of the HID class, with the class descriptors
// (report, physical) it lists.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class HidClassDescOutputer : public DescOutputer {
public:
    HidClassDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    // consumed: the header and the entries that were there, not bLength.
    void Output(int mode, const CString& title, const CString& value, ULONG& consumed, bool grouped);
};

// The hub descriptors: USB 2.0 (type 0x29) and SuperSpeed (type 0x2A). Their callers choose one by the type
// byte. Both end with bitmaps of the ports, one row per port.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class HubClassDescUsb2Outputer : public DescOutputer {
public:
    HubClassDescUsb2Outputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    // Fields beyond the count show "???"; the bitmaps stop at the count as well as at bLength.
    void Output(int mode, const CString& title, const CString& value, bool nested);
};

class HubClassDescUsb3Outputer : public DescOutputer {
public:
    HubClassDescUsb3Outputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    void Output(int mode, const CString& title, const CString& value, bool nested);
};

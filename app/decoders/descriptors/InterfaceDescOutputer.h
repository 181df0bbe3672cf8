// The interface descriptor and the interface association descriptor: both name a class, subclass and
// protocol, and hand the class they name back to their caller.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class InterfaceDescOutputer : public DescOutputer {
public:
    InterfaceDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    // interfaceClass is written only when bInterfaceClass is within the count.
    void Output(int mode, const CString& title, const CString& value, ULONG& consumed, UCHAR& interfaceClass,
                bool grouped);
};

class InterfaceAssocDescOutputer : public DescOutputer {
public:
    InterfaceAssocDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    // functionClass is written only when bFunctionClass is within the count.
    void Output(int mode, const CString& title, const CString& value, ULONG& consumed, UCHAR& functionClass,
                bool grouped);
};

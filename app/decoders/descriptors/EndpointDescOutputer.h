// The endpoint descriptor and the SuperSpeed endpoint companion descriptor that may follow it.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class EndpointDescOutputer : public DescOutputer {
public:
    EndpointDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    // consumed: the bytes of the standard fields that were there (at most 7; an audio endpoint's two more
    // are not read).
    void Output(int mode, const CString& title, const CString& value, ULONG& consumed, bool grouped);

    // The caption of an endpoint's grid category: "ENDPOINT 81, IN(1) Interrupt".
    static CString GroupedTitle(const BYTE* pBytes, ULONG count);

private:
    void OutputAttributes(FieldWriter& fields, BYTE attributes);
    void OutputMaxPacketSize(FieldWriter& fields, BYTE attributes, USHORT maxPacketSize);
    void OutputInterval(FieldWriter& fields, BYTE address, BYTE attributes, BYTE interval);
};

class CompanionEndpointDescOutputer : public DescOutputer {
public:
    CompanionEndpointDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    void Output(int mode, const CString& title, const CString& value, ULONG& consumed, bool grouped);
};

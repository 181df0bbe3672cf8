// HubifOutputer: the decoder of calls a hub driver makes through the port driver's bus interface ("buh"
// records). The record's header carries the call's bus context and second argument where an IRP record
// carries the device object and the IRP; the decoder keeps both.
// Until the calls are decoded it shows what its base shows.
#pragma once

#include "app/decoders/framework/FunctionOutputer.h"

class HubifOutputer : public FunctionOutputer {
public:
    HubifOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~HubifOutputer() override;

    ULONG64 GetBusContext() const { return m_BusContext; }
    ULONG64 GetArgument2() const { return m_Argument2; }

protected:
    ULONG64 m_BusContext; // header offset 32
    ULONG64 m_Argument2;  // header offset 40
};

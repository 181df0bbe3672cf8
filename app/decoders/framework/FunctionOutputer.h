// FunctionOutputer: the base of the decoders of function-call records (hub-interface calls and the calls
// between the host-controller port driver and its miniport). These calls have no IRP; only a completed
// hub-interface call carries a status worth showing.
#pragma once

#include "app/decoders/framework/LogOutputer.h"

class FunctionOutputer : public LogOutputer {
public:
    using LogOutputer::LogOutputer;
    ~FunctionOutputer() override;

    void OutputStatus() override;

protected:
    // What a call returns: an NTSTATUS for most, but a few calls return a BOOLEAN or a ULONG, which the
    // status row shows as the type it is.
    enum class ReturnType { NtStatus, Boolean, Ulong };
    virtual ReturnType GetReturnType() const;
};

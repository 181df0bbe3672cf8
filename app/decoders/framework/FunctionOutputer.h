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
};

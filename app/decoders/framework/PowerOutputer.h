// PowerOutputer: the decoder of power requests ("pow" records). It shows the minor function by number and by
// name, names the request in the "PWR" category, and shows the request's parameters from the payload: the
// wake state of an initiated wait-wake, the three sequence counts of a completed power-sequence request, and
// the power type, state and action of an initiated set-power or query-power request.
#pragma once

#include <span>

#include "app/decoders/framework/CodeTable.h"
#include "app/decoders/framework/IrpOutputer.h"

class PowerOutputer;

// The decoder of a minor function's parameters.
using PowerOperation = void (PowerOutputer::*)(int mode);

// A minor function of the power requests: its name, and what decodes its parameters.
struct PowerMinorCode {
    CodeRow row;
    PowerOperation operation;
};

class PowerOutputer : public IrpOutputer {
public:
    // The minor functions the record list names and the filter page offers.
    static std::span<const PowerMinorCode> MinorCodes();

    using IrpOutputer::IrpOutputer;
    ~PowerOutputer() override;

    void OutputFunctionCode() override;
    void OutputKindTitle(int mode) override;
    void OutputIrpFunction() override;
    // The request's parameters: fixed layouts of the payload's words, each with its meaning.
    virtual void OutputPowerParameters(int mode);

    // The parameters of each minor function.
    void OutputWaitWake(int mode);
    void OutputPowerSequence(int mode);
    void OutputPowerState(int mode);

    // Names of the payload's values.
    static CString SystemPowerStateName(ULONG state);
    static CString DevicePowerStateName(ULONG state);
    static CString PowerActionName(ULONG action);
};

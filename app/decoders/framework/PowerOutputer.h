// PowerOutputer: the decoder of power requests ("pow" records). It shows the minor function by number and by
// name, names the request in the "PWR" category, and shows the request's parameters from the payload: the
// wake state of an initiated wait-wake, the three sequence counts of a completed power-sequence request, and
// the power type, state and action of an initiated set-power or query-power request.
#pragma once

#include "app/decoders/framework/IrpOutputer.h"

class PowerOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~PowerOutputer() override;

    void OutputFunctionCode() override;
    void OutputKindTitle(int mode) override;
    void OutputIrpFunction() override;
    // The request's parameters: grid operations in modes 1 and 2, mark-up operations in mode 0.
    virtual void OutputPowerParameters(int mode);

    // Names of the payload's values.
    static CString SystemPowerStateName(ULONG state);
    static CString DevicePowerStateName(ULONG state);
    static CString PowerActionName(ULONG action);

private:
    using ValueName = CString (*)(ULONG);

    void BeginParameters(int mode, LPCSTR title, LPCSTR element);
    void EndParameters(int mode);
    // One payload word with its meaning: "value (meaning)" in the grid, the value with a "Description"
    // attribute in mark-up.
    void OutputMeaningField(int mode, LPCSTR caption, LPCSTR element, size_t offset, size_t needed, ValueName name);
    // One payload word shown as a count.
    void OutputCountField(int mode, LPCSTR caption, size_t offset, size_t needed);
    // A field the payload does not cover.
    void OutputMissingField(int mode, LPCSTR caption, LPCSTR element);
};

// FunctionOutputer: the base of the decoders of function-call records (hub-interface calls and the calls
// between the host-controller port driver and its miniport). These calls have no IRP; only a completed
// hub-interface call carries a status worth showing.
//
// A call shows its arguments in an "Inputs" group and its results in an "Outputs" group of the grid; the
// mark-up media have no groups, each argument element says instead which way it went ("ArgDirection").
#pragma once

#include "app/decoders/framework/LogOutputer.h"

class FunctionOutputer : public LogOutputer {
public:
    using LogOutputer::LogOutputer;
    ~FunctionOutputer() override;

    void OutputStatus() override;

protected:
    // A value of `bytes` bytes (1, 2, 4 or 8) in hexadecimal: with "0x" in the grid, bare in the other media;
    // 64-bit values without leading zeros.
    static CString HexValue(int mode, size_t bytes, ULONG64 value);
    // The grid's "Inputs" or "Outputs" group around the rows that follow; nothing in mark-up.
    void BeginArgumentGroup(int mode, LPCSTR caption);
    void EndArgumentGroup(int mode);
    // One argument or result: a grid row, or in mark-up an element and its direction (none when null).
    void OutputArgument(int mode, LPCSTR label, LPCSTR element, const CString& value, LPCSTR direction);
};

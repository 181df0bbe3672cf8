// IoctlDispatch: what the decoders of one IOCTL kind share around their per-code operations: the record's
// function code in the mark-up, and the call of the operation its code has in the decoder's table.
#pragma once

#include <afx.h>

#include <cstddef>
#include <span>

#include "app/core/LogRecordDecode.h"

class OutputerImp;

// One code and the decoder's operation for it: (mode, payload length, payload).
template <class Decoder> struct IoctlOperation {
    ULONG code;
    int (Decoder::*operation)(int, ULONG, const BYTE*);
};

// Calls the operation of the record's code (the whole word compared) with the record's payload; 0 for a
// code the table does not list.
template <class Decoder, size_t N>
int IoctlDispatch(Decoder& decoder, const IoctlOperation<Decoder> (&table)[N], const CLogRecordDecode& decode,
                  int mode) {
    const ULONG code = decode.GetFunctionWord();
    const std::span<const uint8_t> payload = decode.GetPayload();
    for (const IoctlOperation<Decoder>& entry : table)
        if (entry.code == code)
            return (decoder.*entry.operation)(mode, static_cast<ULONG>(payload.size()), payload.data());
    return 0;
}

// The mark-up's "Function" value: the code as "%08x" with the attribute "Name".
void IoctlOutputFunctionCode(OutputerImp* imp, ULONG code, const CString& name);

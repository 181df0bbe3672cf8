// The URB functions as one code table: each function by its published name (URB_FUNCTION_ and the name the
// record list shows), the filter page's text where it differs, when the filter page offers it, and the URB
// decoder's slot for it. The table is in the order of the filter page, which is the order of the codes.
#pragma once

#include <span>

#include "app/decoders/framework/CodeTable.h"

class UrbOutputer;

// A decoding slot of the URB decoder: (mode, payload length, payload).
using UrbOperation = void (UrbOutputer::*)(int mode, ULONG dataSize, const BYTE* pPart);

struct UrbFunctionCode {
    CodeRow row; // the name is the function's after URB_FUNCTION_
    UrbOperation operation = nullptr;
};

// A function by its published macro's name after URB_FUNCTION_.
#define TDL_URB_FUNCTION(function, filterText, offer, operation)                                                       \
    UrbFunctionCode {                                                                                                  \
        CodeRow{URB_FUNCTION_##function, #function, filterText, offer}, static_cast<UrbOperation>(operation)           \
    }

// The URB functions.
std::span<const UrbFunctionCode> UrbFunctionCodes();

// The row of a function code, or null.
const UrbFunctionCode* FindUrbFunction(ULONG code);

// The name of a URB function code ("SELECT_CONFIGURATION"); "UNKNOWN" for a code the table does not name.
LPCSTR UrbFunctionName(USHORT code);

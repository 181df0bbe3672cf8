// One argument or result of a function call (hub-interface calls, port-driver hooks): the IOCTL kit's field,
// and in mark-up, where no "Inputs" or "Outputs" group holds it, the way it went ("ArgDirection").
#pragma once

#include "app/decoders/ioctl/IoctlFields.h"

// `direction` is "in", "out", "in_out", or null for a field that carries none.
void CallArgument(IoctlFields& fields, LPCSTR label, LPCSTR element, const CString& value, LPCSTR direction);

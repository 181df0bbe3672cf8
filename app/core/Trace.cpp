// Placeholder until the trace provider exists: traces go nowhere.
#include "app/core/Trace.h"

BOOL TracePrintf(UCHAR, ULONG, const char*, int, const char*, ...) { return FALSE; }
void DebugPrintf(const char*, ...) {}

#include "app/core/StopMessage.h"

#include "app/core/Trace.h"

void ShowStopMessage(LPCSTR lpszText) {
    TDL_TRACE(TRACE_ERROR, TRACE_AREA_APP, "%s", lpszText);
}

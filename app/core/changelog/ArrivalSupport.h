// What the change-log handlers of the capture document share: their trace area for device stacks, the names
// of the stack types in their traces, and the model object of a stack taken as the class it must be.
#pragma once

#include "afx.h"
#include "app/core/diagnostics/Trace.h"
#include "app/devices/DeviceStack.h"

namespace arrival {

constexpr ULONG kDevstkArea = TRACE_AREA_ARRIVAL;

inline LPCSTR DeviceTypeName(int type) {
    switch (type) {
    case DT_HOST_CONTROLLER: return "DT_HOST_CONTROLLER";
    case DT_ROOT_HUB: return "DT_ROOT_HUB";
    case DT_HUB_PORT: return "DT_HUB_PORT";
    case DT_EXTERN_HUB: return "DT_EXTERN_HUB";
    case DT_GENERIC_USB: return "DT_GENERIC_USB";
    case DT_SS_ROOT_HUB: return "DT_SS_ROOT_HUB";
    case DT_SS_EXTERN_HUB: return "DT_SS_EXTERN_HUB";
    case DT_SS_GENERIC_USB: return "DT_SS_GENERIC_USB";
    case DT_NONE: return "DT_NONE";
    default: return "Other";
    }
}

// The stack's model object when it is of that class: a stack's type and its object may disagree.
template <class T> T* ModelAs(CObject* pObject) {
    return dynamic_cast<T*>(pObject);
}

} // namespace arrival

#include "app/devices/TempObject.h"

IMPLEMENT_SERIAL(CTempObject, CObject, 1)

LPCSTR CheckStateName(int nState) {
    static constexpr LPCSTR kNames[] = {"NOSTATE", "UNCHECKED", "CHECKED", "UNCHECKABLE"};
    return nState >= 0 && nState < 4 ? kNames[nState] : nullptr;
}

// The head of a stack-information request to the capture driver, written into the request's own buffer.
#pragma once

#include "common/ByteReader.h"
#include "common/DevstkInfo.h"

inline void WriteDevstkHead(BYTE* pBuffer, USHORT stackId, USHORT selector, ULONG dataLength) {
    tdl::StoreLe<USHORT>(pBuffer + offsetof(DEVSTK_INFO_REQUEST, StackID), stackId);
    tdl::StoreLe<USHORT>(pBuffer + offsetof(DEVSTK_INFO_REQUEST, Selector), selector);
    tdl::StoreLe<ULONG>(pBuffer + offsetof(DEVSTK_INFO_REQUEST, DataLength), dataLength);
}

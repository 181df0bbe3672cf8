// The device capability descriptors of a BOS set: USB 2.0 extension, SuperSpeed USB, container ID, and
// DevCapDescOutputer for any other capability, which shows only how many bytes of data it holds.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class DevCapDescOutputer : public DescOutputer {
public:
    DevCapDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    // consumed: the header bytes read plus the data bLength gives, or everything left when bLength claims
    // more than is there or less than the header.
    void Output(int mode, const CString& title, const CString& value, ULONG& consumed);
};

class Usb2DevCapDescOutputer : public DescOutputer {
public:
    Usb2DevCapDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    void Output(int mode, const CString& title, const CString& value, ULONG& consumed);
};

class SuperSpeedDevCapDescOutputer : public DescOutputer {
public:
    SuperSpeedDevCapDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    void Output(int mode, const CString& title, const CString& value, ULONG& consumed);
};

class ContainerDevCapDescOutputer : public DescOutputer {
public:
    ContainerDevCapDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    void Output(int mode, const CString& title, const CString& value, ULONG& consumed);
};

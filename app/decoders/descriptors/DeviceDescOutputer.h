// The device descriptor and the device qualifier descriptor, the two that describe a device as a whole.
#pragma once

#include "app/decoders/descriptors/DescOutputer.h"

class CStringArray;

class DeviceDescOutputer : public DescOutputer {
public:
    DeviceDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    // classTexts: empty, or the device's class code, its class text and its one interface's class name;
    // strings: the device's strings by index (may be empty). A device descriptor is often fetched in part
    // (the first 8 bytes): the rows stop at the first field that is not there.
    void Output(int mode, const CString& title, const CString& value, const CStringArray& classTexts,
                const CStringArray& strings, bool nested);

private:
    void OutputDeviceClass(FieldWriter& fields, BYTE deviceClass, const CStringArray& classTexts);
};

class DevQualifierDescOutputer : public DescOutputer {
public:
    DevQualifierDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count);

    // Fields beyond the count show "???".
    void Output(int mode, const CString& title, const CString& value);
};

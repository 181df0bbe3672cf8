// HcdIoctlOutputer: the decoder of device-control requests sent to host controllers ("hcd" records). It names
// the request in the "HCD" category and decodes the payload per IOCTL code: the buffer size or port number a
// request carries, the statistics and names a controller returns, and the user-request interface with its
// request header and controller information.
//
// The request side is an "hcdI" record, the completion side an "hcdC" record; a returned record has no body.
#pragma once

#include "app/decoders/ioctl/IoctlFamilyOutputer.h"

class FieldWriter;

class HcdIoctlOutputer : public IoctlFamilyOutputer {
public:
    HcdIoctlOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~HcdIoctlOutputer() override;

    // Names of a user request's code ("USBUSER_%X" when unnamed) and of a controller flavor
    // ("HCFlavor_%u" when unnamed).
    static CString UserRequestName(ULONG request);
    static CString ControllerFlavorName(ULONG flavor);

    // The operations per code: (mode, payload length, payload).
    void OutputGetStats1(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetStats2(int mode, ULONG dataSize, const BYTE* pData);
    void OutputDiagnosticMode(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetRootHubName(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetDriverKeyName(int mode, ULONG dataSize, const BYTE* pData);
    void OutputDisablePort(int mode, ULONG dataSize, const BYTE* pData);
    void OutputEnablePort(int mode, ULONG dataSize, const BYTE* pData);
    void OutputUserRequest(int mode, ULONG dataSize, const BYTE* pData);

private:
    // The request side of the statistics and name codes: the size of the buffer asked for.
    void OutputBufferSize(int mode, LPCSTR title);
    // The completion side of the name codes.
    void OutputName(int mode, LPCSTR title, LPCSTR element, LPCSTR label);
    // The request side of the port codes (their completion carries nothing).
    void OutputPort(int mode, LPCSTR title);
    // The user request's groups.
    void OutputDeviceControlParameters(FieldWriter& fields);
    void OutputRequestHeader(FieldWriter& fields, bool completion);
    void OutputControllerInfo(FieldWriter& fields);
};

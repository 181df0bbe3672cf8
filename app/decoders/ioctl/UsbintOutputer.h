// UsbintOutputer: the decoder of the internal USB requests other than URBs ("uin" records), by which class
// and hub drivers talk to the bus: port control and status, the names of hubs and controllers, idle
// notification, failure records, device handles, the topology address and the hub's configuration of a
// device. It names the request in the "USBINT" category and decodes the payload per IOCTL code.
//
// Conventions of every writer: a request that failed, or a record that carries nothing, still shows the
// writer's rows in the pane, each "---"; the reports leave them out. A record cut short shows what it holds.
//
// The request side is a "uinI" record, the completion side a "uinC" record; a returned record has no body.
#pragma once

#include "app/decoders/framework/IrpOutputer.h"

class IoctlFields;

class UsbintOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~UsbintOutputer() override;

    void OutputFunctionCode() override;
    void OutputKindTitle(int mode) override;
    void OutputIrpFunction() override;
    virtual int OutputIoctlBody(int mode);

    // "IOCTL_INTERNAL_USB_" and the code's name, or "IOCTL_INTERNAL_USB_%X" for a code without a name.
    CString GetIoctlName() const;

    // The operations per code: (mode, payload length, payload); 0 when the record is of neither side.
    int OutputResetPort(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetRootHubPdo(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetPortStatus(int mode, ULONG dataSize, const BYTE* pData);
    int OutputEnablePort(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetHubCount(int mode, ULONG dataSize, const BYTE* pData);
    int OutputCyclePort(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetHubName(int mode, ULONG dataSize, const BYTE* pData);
    int OutputSubmitIdleNotification(int mode, ULONG dataSize, const BYTE* pData);
    int OutputRecordFailure(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetBusInfo(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetControllerName(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetBusGuidInfo(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetParentHubInfo(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetDeviceHandle(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetDeviceHandleEx(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetTtDeviceHandle(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetTopologyAddress(int mode, ULONG dataSize, const BYTE* pData);
    int OutputNotifyIdleReady(int mode, ULONG dataSize, const BYTE* pData);
    int OutputReqGlobalSuspend(int mode, ULONG dataSize, const BYTE* pData);
    int OutputReqGlobalResume(int mode, ULONG dataSize, const BYTE* pData);
    int OutputGetDeviceConfigInfo(int mode, ULONG dataSize, const BYTE* pData);

private:
    bool IsDecodedSide() const;
    bool Succeeded() const;
    // A code whose section holds one grid item and nothing else ("No arguments", "Not supported").
    int OutputLoneItem(int mode, LPCSTR title, LPCSTR element, LPCSTR item);
    // A code whose request carries nothing and whose completion is one writer's.
    int OutputCompletionWriter(int mode, LPCSTR title, LPCSTR element, ULONG needed, bool requestNoArguments,
                               void (UsbintOutputer::*writer)(IoctlFields&));
    // A code whose both sides are one writer's.
    int OutputWriter(int mode, LPCSTR title, LPCSTR element, ULONG needed,
                     void (UsbintOutputer::*writer)(IoctlFields&));
    // The codes that start with the size of the caller's buffer: the size at the kind's level, then the
    // section of the answer.
    int OutputBufferSizeCode(int mode, LPCSTR title, LPCSTR element, ULONG needed,
                             void (UsbintOutputer::*writer)(IoctlFields&));

    // Field writers.
    void OutputRootHubPdoFields(IoctlFields& fields);
    void OutputPortStatusFields(IoctlFields& fields);
    void OutputHubCountField(IoctlFields& fields);
    void OutputBufferSize(IoctlFields& fields);
    void OutputHubNameFields(IoctlFields& fields);
    void OutputNameFields(IoctlFields& fields, size_t base, LPCSTR label);
    void OutputControllerNameFields(IoctlFields& fields);
    void OutputIdleCallbackFields(IoctlFields& fields);
    void OutputParentHubInfoFields(IoctlFields& fields);
    void OutputDeviceHandleField(IoctlFields& fields);

    // The structures (UsbintStructures.cpp).
    void OutputDeviceHandleExParameters(IoctlFields& fields);
    void OutputTtDeviceHandleParameters(IoctlFields& fields);
    void OutputArgumentRows(IoctlFields& fields, int arguments);
    void OutputTopologyAddress(IoctlFields& fields);
    void OutputStartFailData(IoctlFields& fields);
    void OutputStatusNameField(IoctlFields& fields, LPCSTR name, size_t offset, const CString& statusName);
    void InsertUsbIntHubDeviceConfigInfo(IoctlFields& fields);
    void InsertUsbIdString(IoctlFields& fields, size_t offset, LPCSTR name, const CString& text);
    void OutputHubFlags(IoctlFields& fields, size_t offset, LPCSTR caption);
};

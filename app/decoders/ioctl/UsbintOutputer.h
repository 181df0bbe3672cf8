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

#include "app/decoders/ioctl/IoctlFamilyOutputer.h"

class FieldWriter;

class UsbintOutputer : public IoctlFamilyOutputer {
public:
    UsbintOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~UsbintOutputer() override;

    // The operations per code: (mode, payload length, payload).
    void OutputResetPort(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetRootHubPdo(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetPortStatus(int mode, ULONG dataSize, const BYTE* pData);
    void OutputEnablePort(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetHubCount(int mode, ULONG dataSize, const BYTE* pData);
    void OutputCyclePort(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetHubName(int mode, ULONG dataSize, const BYTE* pData);
    void OutputSubmitIdleNotification(int mode, ULONG dataSize, const BYTE* pData);
    void OutputRecordFailure(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetBusInfo(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetControllerName(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetBusGuidInfo(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetParentHubInfo(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetDeviceHandle(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetDeviceHandleEx(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetTtDeviceHandle(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetTopologyAddress(int mode, ULONG dataSize, const BYTE* pData);
    void OutputNotifyIdleReady(int mode, ULONG dataSize, const BYTE* pData);
    void OutputReqGlobalSuspend(int mode, ULONG dataSize, const BYTE* pData);
    void OutputReqGlobalResume(int mode, ULONG dataSize, const BYTE* pData);
    void OutputGetDeviceConfigInfo(int mode, ULONG dataSize, const BYTE* pData);

private:
    bool Succeeded() const;
    // A code whose section holds one grid item and nothing else ("No arguments", "Not supported").
    void OutputLoneItem(int mode, LPCSTR title, LPCSTR element, LPCSTR item);
    // A code whose request carries nothing and whose completion is one writer's.
    void OutputCompletionWriter(int mode, LPCSTR title, LPCSTR element, ULONG needed, bool requestNoArguments,
                                void (UsbintOutputer::*writer)(FieldWriter&));
    // A code whose both sides are one writer's.
    void OutputWriter(int mode, LPCSTR title, LPCSTR element, ULONG needed,
                      void (UsbintOutputer::*writer)(FieldWriter&));
    // The codes that start with the size of the caller's buffer: the size at the kind's level, then the
    // section of the answer.
    void OutputBufferSizeCode(int mode, LPCSTR title, LPCSTR element, ULONG needed,
                              void (UsbintOutputer::*writer)(FieldWriter&));

    // Field writers.
    void OutputRootHubPdoFields(FieldWriter& fields);
    void OutputPortStatusFields(FieldWriter& fields);
    void OutputHubCountField(FieldWriter& fields);
    void OutputBufferSize(FieldWriter& fields);
    void OutputHubNameFields(FieldWriter& fields);
    void OutputNameFields(FieldWriter& fields, size_t base, LPCSTR label);
    void OutputControllerNameFields(FieldWriter& fields);
    void OutputIdleCallbackFields(FieldWriter& fields);
    void OutputParentHubInfoFields(FieldWriter& fields);
    void OutputDeviceHandleField(FieldWriter& fields);

    // The structures (UsbintStructures.cpp).
    void OutputDeviceHandleExParameters(FieldWriter& fields);
    void OutputTtDeviceHandleParameters(FieldWriter& fields);
    void OutputArgumentRows(FieldWriter& fields, int arguments);
    void OutputTopologyAddress(FieldWriter& fields);
    void OutputStartFailData(FieldWriter& fields);
    void OutputStatusNameField(FieldWriter& fields, LPCSTR name, size_t offset, const CString& statusName);
    void InsertUsbIntHubDeviceConfigInfo(FieldWriter& fields);
    void InsertUsbIdString(FieldWriter& fields, size_t offset, LPCSTR name, const CString& text);
    void OutputHubFlags(FieldWriter& fields, size_t offset, LPCSTR caption);
};

// HubIoctlOutputer: the decoder of device-control requests sent to hubs ("hub" records). It names the request
// in the "HUB" category and decodes the payload per IOCTL code: the node information with the hub descriptor,
// a port's connection information with its device descriptor and open pipes, the port's attributes, the
// descriptors fetched from a port, the names behind a port and the hub's capabilities. Descriptors go to the
// descriptor decoders.
//
// The request side is a "hubI" record, the completion side a "hubC" record; a returned record has no body.
#pragma once

#include <afxcoll.h>

#include "app/decoders/ioctl/IoctlFamilyOutputer.h"

class FieldWriter;

class HubIoctlOutputer : public IoctlFamilyOutputer {
public:
    HubIoctlOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~HubIoctlOutputer() override;

    // The operations per code: (mode, payload length, payload).
    virtual void OutputNodeInfo(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputNodeConnInfo(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputNodeConnAttr(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputNodeDescReq(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputNodeConnName(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputDiagOn(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputDiagOff(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputNodeConnDriverKeyName(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputHubCaps(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputCyclePort(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputNodeConnInfoEx(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputResetHub(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputHubCapsEx(int mode, ULONG dataSize, const BYTE* pData);

    // The class texts of the record's device: the document's summary of it, else what the device descriptor
    // (`count` bytes, maybe fewer than a whole one) tells. Works without a document.
    void GetDeviceClassStrings(const BYTE* pDescriptor, ULONG count, CStringArray& strings) const;

private:
    using Writer = void (HubIoctlOutputer::*)(FieldWriter&);

    // The section of a code: `bothSides` on both sides, then `completion` on the completion side (either may
    // be null), nothing of either for a record without payload.
    void OutputSection(int mode, LPCSTR title, LPCSTR element, ULONG needed, Writer bothSides, Writer completion);
    // The section of a code that carries no arguments ("No arguments" in the grid).
    void OutputNoArguments(int mode, LPCSTR title, LPCSTR element);

    // Field writers.
    void OutputNodeType(FieldWriter& fields);
    // A hub's or a composite parent's information, by the node type.
    void OutputNodeDetails(FieldWriter& fields);
    void OutputHubInformation(FieldWriter& fields);
    void OutputMiParentInformation(FieldWriter& fields);
    void OutputConnectionIndex(FieldWriter& fields);
    bool IsDeviceConnected(FieldWriter& fields) const;
    void OutputConnectionStatus(FieldWriter& fields, ULONG status);
    void OutputConnectionStatusOnly(FieldWriter& fields);
    // A port's connection: its information when a device is connected, else its status alone.
    void OutputPlainConnection(FieldWriter& fields);
    void OutputExtendedConnection(FieldWriter& fields);
    void OutputConnectionInformation(FieldWriter& fields, bool extended);
    void OutputPipes(FieldWriter& fields, ULONG count);
    void OutputConnectionAttributes(FieldWriter& fields);
    void OutputDescriptorRequest(FieldWriter& fields);
    void OutputSetupPacket(FieldWriter& fields);
    void OutputReturnedDescriptor(FieldWriter& fields);
    // The descriptor a port returned: its rows, and a descriptor of a type without a decoder of its own in the
    // data bar as well.
    void OutputDescriptorData(FieldWriter& fields);
    // The returned descriptor's rows, by its type (`count` bytes from `bytes`, at least its first two).
    void OutputDescriptorRows(FieldWriter& fields, const BYTE* bytes, ULONG count);
    void OutputNodeName(FieldWriter& fields);
    void OutputConnectionDriverKeyName(FieldWriter& fields);
    void OutputName(FieldWriter& fields, LPCSTR label);
    void OutputHubCapabilities(FieldWriter& fields);
    void OutputHubCapFlags(FieldWriter& fields);
    void OutputPortNumber(FieldWriter& fields);
};

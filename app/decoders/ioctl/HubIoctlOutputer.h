// HubIoctlOutputer: the decoder of device-control requests sent to hubs ("hub" records). It names the request
// in the "HUB" category and decodes the payload per IOCTL code: the node information with the hub descriptor,
// a port's connection information with its device descriptor and open pipes, the port's attributes, the
// descriptors fetched from a port, the names behind a port and the hub's capabilities. Descriptors go to the
// descriptor decoders.
//
// The request side is a "hubI" record, the completion side a "hubC" record; a returned record has no body.
#pragma once

#include <afxcoll.h>

#include "app/decoders/framework/IrpOutputer.h"

class IoctlFields;

class HubIoctlOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~HubIoctlOutputer() override;

    void OutputFunctionCode() override;
    void OutputKindTitle(int mode) override;
    void OutputIrpFunction() override;
    virtual int OutputIoctlBody(int mode);

    // The operations per code: (mode, payload length, payload); 0 when the record is of neither side.
    virtual int OutputNodeInfo(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputNodeConnInfo(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputNodeConnAttr(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputNodeDescReq(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputNodeConnName(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputDiagOn(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputDiagOff(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputNodeConnDriverKeyName(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputHubCaps(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputCyclePort(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputNodeConnInfoEx(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputResetHub(int mode, ULONG dataSize, const BYTE* pData);
    virtual int OutputHubCapsEx(int mode, ULONG dataSize, const BYTE* pData);

    // "IOCTL_USB_" and the code's name, or "HUB_IOCTL_%X" for a code without a name.
    CString GetIoctlName() const;

    // The class texts of the record's device: the document's summary of it, else what the device descriptor
    // (`count` bytes, maybe fewer than a whole one) tells. Works without a document.
    void GetDeviceClassStrings(const BYTE* pDescriptor, ULONG count, CStringArray& strings) const;

private:
    using Writer = void (HubIoctlOutputer::*)(IoctlFields&);

    bool IsDecodedSide() const;
    // The section of a code: `bothSides` on both sides, then `completion` on the completion side (either may
    // be null), nothing of either for a record without payload.
    int OutputSection(int mode, LPCSTR title, LPCSTR element, ULONG needed, Writer bothSides, Writer completion);
    // The section of a code that carries no arguments ("No arguments" in the grid).
    int OutputNoArguments(int mode, LPCSTR title, LPCSTR element);

    // Field writers.
    void OutputNodeType(IoctlFields& fields);
    // A hub's or a composite parent's information, by the node type.
    void OutputNodeDetails(IoctlFields& fields);
    void OutputHubInformation(IoctlFields& fields);
    void OutputMiParentInformation(IoctlFields& fields);
    void OutputConnectionIndex(IoctlFields& fields);
    bool IsDeviceConnected(IoctlFields& fields) const;
    void OutputConnectionStatus(IoctlFields& fields, ULONG status);
    void OutputConnectionStatusOnly(IoctlFields& fields);
    // A port's connection: its information when a device is connected, else its status alone.
    void OutputPlainConnection(IoctlFields& fields);
    void OutputExtendedConnection(IoctlFields& fields);
    void OutputConnectionInformation(IoctlFields& fields, bool extended);
    void OutputPipes(IoctlFields& fields, ULONG count);
    void OutputConnectionAttributes(IoctlFields& fields);
    void OutputDescriptorRequest(IoctlFields& fields);
    void OutputSetupPacket(IoctlFields& fields);
    void OutputReturnedDescriptor(IoctlFields& fields);
    // The descriptor a port returned: its rows, and a descriptor of a type without a decoder of its own in the
    // data bar as well.
    void OutputDescriptorData(IoctlFields& fields);
    // The returned descriptor's rows, by its type (`count` bytes from `bytes`, at least its first two).
    void OutputDescriptorRows(IoctlFields& fields, const BYTE* bytes, ULONG count);
    void OutputNodeName(IoctlFields& fields);
    void OutputConnectionDriverKeyName(IoctlFields& fields);
    void OutputName(IoctlFields& fields, LPCSTR label);
    void OutputHubCapabilities(IoctlFields& fields);
    void OutputHubCapFlags(IoctlFields& fields);
    void OutputPortNumber(IoctlFields& fields);
};

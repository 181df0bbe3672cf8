// CUsbHub: a USB hub of the topology, root (made by its host controller) or external (made by the port it
// hangs on): the hub descriptor as the capture driver caches it, the hub's stack and setup record, and one
// CHubPort per downstream port. It enumerates its ports and builds its part of the connection tree.
#pragma once

#include <memory>

#include "afx.h"
#include "afxtempl.h"
#include "app/core/capture/Device.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/OwnedArray.h"
#include "common/DevstkInfo.h"

class CDeviceStack;
class CGkPropertyGridItem;
class CHostController;
class CHubPort;
class CUSBLog;
struct ConnectionElement;
namespace core {
template <class T> class tree;
}

enum UsbHubKind : ULONG {
    HubKindRoot = 0,
    HubKindExternal = 1,
};

class CUsbHub : public CDevice {
    DECLARE_SERIAL(CUsbHub)
public:
    static constexpr UINT CurrentSchema = 12;
    // The hub-descriptor request as the driver answered it: head and the 71-byte USB_HUB_DESCRIPTOR.
    static constexpr UINT HubDescriptorBlockSize = DEVSTK_HUB_DESCRIPTOR_MIN;

    CUsbHub();
    // Root hub of a host controller.
    CUsbHub(CHostController* pHostController, CDeviceStack* pStack, CDeviceClass* pDeviceClass);
    // External hub; it owns pDeviceClass from here on, as the root hub does.
    CUsbHub(CDeviceStack* pStack, CDeviceClass* pDeviceClass);
    // A hub about to be loaded from a file of that schema.
    static std::unique_ptr<CUsbHub> ForLoading(UINT nSchema);
    ~CUsbHub() override;
    CUsbHub(const CUsbHub&) = delete;
    CUsbHub& operator=(const CUsbHub&) = delete;

    // Asks the driver for the hub descriptor it cached for the hub's stack into the block; a failure leaves
    // the block zero (no ports).
    BOOL FetchHubDescriptor();
    BYTE GetNumberOfPorts() const;
    // Null for a number outside 1..count: a loaded hub may hold fewer ports than its descriptor names.
    CHubPort* GetPort(UINT nPort) const;
    INT_PTR GetPortCount() const { return m_Ports.GetSize(); }
    int GetCheckState() const;
    CHostController* GetHostController() const { return m_pHostController; }
    void SetHostController(CHostController* pHostController) { m_pHostController = pHostController; }
    // The hub's stack's SuperSpeed flag, or a SuperSpeed hub descriptor.
    bool IsSuperSpeed() const;

    BOOL EnumerateHubPorts(CUSBLog* pDocument);
    BOOL BuildConnectionTree(CUSBLog* pDocument);
    // Deletes every port and, through the document, their nodes and the stacks' links to them.
    void DeletePorts(CUSBLog* pDocument);
    // The root hub's stack went: everything below its node and every stack's link to that goes; then, when its
    // controller owns it and the node hangs below the controller's, the node goes and the controller deletes
    // the hub (this object is gone when the call returns). Each inconsistency on the way stops it with an
    // "ERROR:" trace.
    void RemoveRootHub(CDeviceStack* pStack, CUSBLog* pDocument);
    // The node whose element holds this hub; null when none below the root does.
    core::tree<ConnectionElement>* FindNode(CUSBLog* pDocument) const;

    void GeneratePropertiesPage(CGkPropertyGridItem* pCategory);
    // A "Device Interface : <name>" sub-category for interface entry i of the hub's device class.
    void AddDeviceInterfaceItems(INT_PTR i, LPCSTR lpszName, LPCSTR lpszGuidText, CGkPropertyGridItem* pCategory);

    void Serialize(CArchive& ar) override;

    BYTE m_HubDescriptorBlock[HubDescriptorBlockSize] = {};
    ULONG m_HubKind = HubKindRoot;
    CHostController* m_pHostController = nullptr;
    COwnedArray<CHubPort> m_Ports;
    CDeviceStack* m_devstk = nullptr;
    std::unique_ptr<CDeviceClass> m_pDeviceClass;
    UINT m_nSchema = CurrentSchema;

private:
    // A new port numbered nPort, its node as the hub node's last child and its place in m_Ports; null, with
    // neither left behind, when memory is short.
    core::tree<ConnectionElement>* AddPort(core::tree<ConnectionElement>* pHubNode, UINT portType, UINT nPort);
};

// CHubPort: one downstream port of a USB hub (root or external) and what the hub reports for it: the
// connection block (status and the attached device's device descriptor), the device's setup record and
// current configuration, the hub model when the device is a hub, and the link to the device's kernel stack.
// Everything comes from the capture driver's stack-information requests; each request opens the control
// device for itself. The port is the object of one node of the document's connection tree.
#pragma once

#include <memory>

#include "afx.h"
#include "afxtempl.h"
#include "app/core/capture/Device.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/OwnedArray.h"
#include "app/devices/UsbConfiguration.h"

class CDeviceStack;
class CGkPropertyGridItem;
class CStackTree;
class CUSBLog;
class CUsbHub;

// What the device-class texts and reports need to know of a port's device: the device descriptor's triple
// and configuration count, and the interface count and class triple of the last interface of a configuration.
struct DeviceSummary {
    BYTE NumConfigurations;
    BYTE DeviceClass;
    BYTE DeviceSubClass;
    BYTE DeviceProtocol;
    BYTE NumInterfaces;
    BYTE InterfaceClass;
    BYTE InterfaceSubClass;
    BYTE InterfaceProtocol;
};
static_assert(sizeof(DeviceSummary) == 8);

class CHubPort : public CDevice {
    DECLARE_SERIAL(CHubPort)
public:
    static constexpr UINT CurrentSchema = 12;
    // The connection block: the request head and USB_NODE_CONNECTION_INFORMATION without pipes.
    static constexpr UINT ConnectionBlockSize = 43;

    CHubPort();
    explicit CHubPort(ULONG nPortNumber);
    // A port about to be loaded from a file of that schema.
    static std::unique_ptr<CHubPort> ForLoading(UINT nSchema);
    ~CHubPort() override;
    CHubPort(const CHubPort&) = delete;
    CHubPort& operator=(const CHubPort&) = delete;

    // (Re)reads the port from the driver and, for an attached hub, builds its model, its node and its ports.
    bool InitHubPortInstance(CDeviceStack* pHubStack, CUSBLog* pDocument);
    bool QueryConnectionInformation(CDeviceStack* pHubStack);
    bool QueryDriverKeyName(CDeviceStack* pHubStack);
    bool MapHubPortToDeviceStack(CStackTree* pStackTree);
    void RequestCurrentPortConfigDescriptor();
    void LinkPortToDeviceStack();
    CUsbHub* CreateExternalHub(CDeviceStack* pDeviceStack);
    // Re-asks the hub; when it reports the port empty the device's objects and their nodes go.
    bool ClearHubPortInstance(CUSBLog* pDocument);
    void ClearConfigurations();
    void RemoveGenericUsb(CDeviceStack* pStack, CUSBLog* pDocument);
    void RemoveExternalHub(CDeviceStack* pStack, CUSBLog* pDocument);
    // Rebuilds the port's part of the tree from the model (after loading); always true.
    bool BuildConnectionTree(CDeviceStack* pHubStack, CUSBLog* pDocument);

    CString& GetLabelText(CString& text) const;
    int GetImageIndex() const;
    int GetIconForDevice() const;
    // Zeroes the record and fills what the port knows: the device part from the connection block, the
    // interface part from configuration iConfig.
    void GetDeviceTypeSummary(BYTE iConfig, DeviceSummary& summary) const;
    int GetCheckState() const;
    CDeviceClass* GetDeviceClass() const { return m_pDeviceClass.get(); }
    CDeviceStack* GetDeviceStack() const { return m_devstk; }
    CUsbHub* GetExternalHub() const { return m_pExternalHub.get(); }
    // The live document re-runs an external hub's interface lookup; a loaded one shows what was saved.
    void CreateHubPortPropsPage(int nDeviceType, CGkPropertyGridItem* pCategory, bool bLiveDocument = true);

    void Serialize(CArchive& ar) override;

    ULONG m_PortNumber = 0;
    ULONG m_ConnectionStatus = 0;
    BYTE m_PortDeviceIsHub = 0;
    BYTE m_CurrentConfig = 0;
    BYTE* m_pConnectionInfo = nullptr;
    std::unique_ptr<CUsbHub> m_pExternalHub;
    std::unique_ptr<CDeviceClass> m_pDeviceClass;
    COwnedArray<CUsbConfiguration> m_Configurations;
    CDeviceStack* m_devstk = nullptr;
    CArray<WORD, WORD> m_Words;
    CStringArray m_Strings;
    UINT m_nSchema = CurrentSchema;

private:
    // The port record: the class, the connection block, the configurations, the external hub, the words and
    // strings; loading replaces what the port had.
    void StoreRecord(CArchive& ar) const;
    void LoadRecord(CArchive& ar);
    void FreeConnectionInfo();
    void TraceConfigurationMemory() const;
    // The external hub, with its node and every stack it or its ports stood for, goes.
    void DeleteExternalHub(CUSBLog* pDocument);
};

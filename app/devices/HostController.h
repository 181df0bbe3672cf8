// CHostController: one USB host controller of the machine: its stack as the capture driver reports it,
// Windows' record of it (SetupAPI), its legacy name (HCDn) with the kernel device that name leads to, its
// type, and the root hub below it, which it owns with the record.
#pragma once

#include <memory>

#include "afx.h"
#include "app/core/capture/Device.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/UsbHub.h"

class CDeviceStack;
class CGkPropertyGridItem;
class CUSBLog;

class CHostController : public CDevice {
    DECLARE_SERIAL(CHostController)
public:
    static constexpr UINT CurrentSchema = 12;
    // The first schema whose records carry the link target, and the first with the type flags.
    static constexpr UINT TargetDeviceSchema = 4;
    static constexpr UINT TypeFlagsSchema = 11;
    // A driver key reply longer than this is refused: no key comes near it.
    static constexpr ULONG MaxDriverKeyReply = 4096;

    CHostController();
    explicit CHostController(UINT nSchema);
    // A probe of the legacy name pass.
    explicit CHostController(LPCSTR lpszDeviceName);
    // Takes ownership of pDeviceClass.
    CHostController(CDeviceStack* pStack, CDeviceClass* pDeviceClass);
    ~CHostController() override;
    CHostController(const CHostController&) = delete;
    CHostController& operator=(const CHostController&) = delete;

    // A new controller over the stack, or null when memory is short (the class then stays the caller's).
    static CHostController* NewHostController(CDeviceStack* pStack, CDeviceClass* pDeviceClass);

    // The type from the class record's compatible ids; the last id that names one wins.
    void GetControllerType();
    // The driver key the device of m_strDeviceName reports, in the ANSI code page.
    BOOL GetHcdDriverKeyName(CString& strKey);
    BOOL IoctlGetHcdDriverKeyName(LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned);
    // The first child stack whose hub answers its hub descriptor becomes m_pRootHub; null when none does.
    CUsbHub* CreateRootUsbHub(CUSBLog* pDocument);
    // Deletes the root hub (its node and every stack's link to it first).
    void DeleteRootHub(CUSBLog* pDocument);
    // The legacy name as a quoted device path: "\\.\HCDn" in double quotes ("\\.\" put in front unless
    // the name has it).
    CString GetQuotedHcdLink() const;
    // "<description>(HCDn)".
    void GetLabelText(CString& strLabel) const;
    int GetCheckState() const;
    // The controller's stack went: its node goes (with the root hub below it); the object stays listed.
    void RemoveHostController(CDeviceStack* pStack, CUSBLog* pDocument);
    void CreateHostControllerPropsPage(CGkPropertyGridItem* pCategory);

    CDeviceStack* GetDeviceStack() const { return m_devstk; }
    CUsbHub* GetRootHub() const { return m_pRootHub.get(); }
    CDeviceClass* GetDeviceClass() const { return m_pDeviceClass.get(); }

    void Serialize(CArchive& ar) override;

    CString m_TargetDevice;
    std::unique_ptr<CUsbHub> m_pRootHub;
    std::unique_ptr<CDeviceClass> m_pDeviceClass;
    CDeviceStack* m_devstk = nullptr;
    CString m_strControllerType;
    BYTE m_bIsEhci = 0;
    BYTE m_bIsXhci = 0;
    UINT m_nSchema = CurrentSchema;

private:
    // A root hub over the child stack with its descriptor; null (and nothing left over) when it cannot be had.
    CUsbHub* TryRootHub(CDeviceStack* pChild, CUSBLog* pDocument);
    // The record's fields as its traces name them, storing and loading alike.
    void TraceDeviceName() const;
    void TraceControllerType(WORD stackId) const;
    static void TraceRecordFlag(LPCSTR lpszName, DWORD dwFlag);
};

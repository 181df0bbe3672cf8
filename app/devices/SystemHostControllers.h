// CSystemHostControllers: the machine's USB host controllers (owned), read live from the capture driver's
// stacks, SetupAPI and the legacy HCDn names, or loaded from a capture file; it places them with their root
// hubs in the capture document's connection tree.
#pragma once

#include "afx.h"
#include "afxtempl.h"
#include "app/devices/HostController.h"
#include "app/devices/OwnedArray.h"

class CDeviceStack;
class CUSBLog;

class CSystemHostControllers : public CObject {
    DECLARE_SERIAL(CSystemHostControllers)
public:
    static constexpr UINT CurrentSchema = 12;

    CSystemHostControllers() = default;
    explicit CSystemHostControllers(UINT nSchema) : m_nSchema(nSchema) {}
    ~CSystemHostControllers() override;
    CSystemHostControllers(const CSystemHostControllers&) = delete;
    CSystemHostControllers& operator=(const CSystemHostControllers&) = delete;

    // The live topology below the document's root: controllers, their root hubs, ports and what hangs there.
    BOOL EnumerateUsbTree(CUSBLog* pDocument);
    // The stacks that are host controllers, each with its SetupAPI record and type.
    void EnumerateHostControllers(CUSBLog* pDocument);
    // A controller that arrived while the document is live: made over the stack as enumeration makes one,
    // linked to it and appended. Null (nothing changed) when SetupAPI cannot locate the stack's device or
    // memory is short.
    CHostController* AddHostController(CDeviceStack* pStack);
    // Ascending StackID; equal ids keep their order.
    void SortByStackID();
    // Names each controller after the HCDn link whose device reports its driver key.
    void GetHCDSymbolicLinks(CUSBLog* pDocument);
    // The loaded controllers placed below the document's root.
    BOOL BuildConnectionTree(CUSBLog* pDocument);
    // Destroys the controller's node (if any) and the controller; FALSE when it is not one of these.
    BOOL DeleteHostController(CHostController* pController, CUSBLog* pDocument);

    INT_PTR GetCount() const { return m_Controllers.GetSize(); }
    CHostController* GetAt(INT_PTR i) const { return m_Controllers[i]; }

    void Serialize(CArchive& ar) override;

    COwnedArray<CHostController> m_Controllers;
    UINT m_nSchema = CurrentSchema;

private:
    // Why NewLocatedController made no controller.
    enum class LocateFailure { None, NotLocated, NoRecordMemory, NoControllerMemory };
    // A controller over the stack with its SetupAPI record (both host-controller interface classes asked
    // for) and its type; null, with the reason, when the record cannot be made or located or memory is short.
    static std::unique_ptr<CHostController> NewLocatedController(CDeviceStack* pStack, LocateFailure& failure);
    // Appends the controller; false when memory is short (the controller is then deleted).
    bool AppendController(std::unique_ptr<CHostController> pController);
    // The controller's element below the root and its root hub's below that; FALSE when the tree refuses one.
    BOOL PlaceController(CHostController* pController, CUSBLog* pDocument, bool bLive);
};

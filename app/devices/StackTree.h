// CStackTree: the kernel device stacks the capture driver reports, one CDeviceStack each (owned), by StackID
// and by driver key. It is filled from the driver's stack list (ParseDevstkNodes) when a capture document
// is made or its devices refreshed, kept current by arrivals and removals, and saved in capture files.
//
// Threads: m_Lock guards both maps for parsing, lookups, the maximum-id scan, storing and destruction;
// loading runs before the tree has other users and takes no lock.
#pragma once

#include <memory>

#include "afx.h"
#include "afxmt.h"
#include "afxtempl.h"
#include "app/core/capture/Device.h"
#include "app/devices/DeviceViews.h"
#include "common/NodeEntries.h"

class CAttachedDevices;
class CDeviceStack;
class CUSBLog;
struct ConnectionElement;
namespace core {
template <class T> class tree;
}

class CStackTree : public CDevice {
    DECLARE_SERIAL(CStackTree)
public:
    // Each throws the framework's memory exception when its critical section cannot be made.
    CStackTree();
    explicit CStackTree(UINT nSchema);
    explicit CStackTree(LPCSTR lpszDeviceName);
    ~CStackTree() override;

    // The device stacks the driver knows, read from its control device (opened and closed here) and parsed
    // into the tree and pDevices. FALSE, with nothing shown, when the device cannot be opened, the driver has
    // no list, a request fails or memory is short; else the parse's result.
    BOOL QueryDriverStacks(CAttachedDevices* pDevices);
    // One DEVSTK_NODES request with the buffer as input and output; a failure keeps its Win32 error and
    // leaves *lpBytesReturned 0.
    BOOL IoctlTindaloftDevstkNodes(LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned);

    // Reads a stack list of nLength bytes: stacks into the maps, device objects into pDevices and their
    // stacks. A stack or device entry of the wrong length throws CNotSupportedException*; an entry that
    // would pass the list's end ends the walk. The result is that of the last device entry (TRUE without
    // one); FALSE as well when a stack cannot be made.
    BOOL ParseDevstkNodes(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices);

    CDeviceStack* FindStackById(USHORT stackId);
    CDeviceStack* FindStackByName(LPCSTR lpszDriverKey);
    USHORT GetMaxStackID();
    // TRUE when the stack's parent is missing or removed; FALSE for a stack without a parent.
    BOOL IsParentRemoved(const CDeviceStack* pStack);
    // Marks every descendant removed at the time, deepest first; each stack is visited once.
    void UpdateStacksFromList(CDeviceStack* pStack, ULONG64 removalTime);
    INT_PTR GetCount() const { return m_StackMap.GetCount(); }
    // A connection-tree node is being destroyed: no stack may keep naming it.
    void ForgetSubtree(const core::tree<ConnectionElement>* pNode);

    void FillStacksTab(IStacksTab& tab, HTREEITEM hRoot);

    void Serialize(CArchive& ar) override;
    void PostLoading(CUSBLog* pDocument);

    UINT m_nSchema = 12;
    CCriticalSection m_Lock;
    CMap<USHORT, USHORT, CDeviceStack*, CDeviceStack*> m_StackMap;
    CMap<CString, LPCSTR, CDeviceStack*, CDeviceStack*> m_DriverKeyToDevstk;

    // Into the id map and, with bDriverKey, the driver-key map, under the lock: the stack entered, owned by the
    // id map from here. Null for no stack, or one that cannot be entered (it is then deleted).
    CDeviceStack* EnterStack(std::unique_ptr<CDeviceStack> pStack, bool bDriverKey = true);

private:
    void DeleteAll();
};

// CAttachedDrivers: the capture document's driver objects, indexed by kernel address. Each array entry holds
// one reference; a driver object deletes itself with its last reference. Its control device (the CDevice
// base) serves the node-list query.
//
// Threads: every change of the array, the hash and the reference counts, and the referenced lookup, happen
// under m_Lock.
#pragma once

#include "afx.h"
#include "afxmt.h"
#include "afxtempl.h"
#include "app/core/capture/Device.h"
#include "app/devices/DeviceViews.h"
#include "app/devices/ObjectHash.h"
#include "common/NodeEntries.h"

class CAttachedDevices;
class CDriverObject;

class CAttachedDrivers : public CDevice {
    DECLARE_SERIAL(CAttachedDrivers)
public:
    // Each throws the framework's memory exception when its critical section cannot be made.
    CAttachedDrivers();
    explicit CAttachedDrivers(UINT nSchema);
    explicit CAttachedDrivers(LPCSTR lpszDeviceName);
    ~CAttachedDrivers() override;

    // Codes of the failures a node-list query raises and shows (RaiseException, non-continuable).
    static constexpr DWORD RequestFailureCode = 0xA000000A;
    static constexpr DWORD DriverNodeTruncatedCode = 0xA000000B;
    static constexpr DWORD DeviceNodeTruncatedCode = 0xA000000C;
    static constexpr DWORD SkipNodeTruncatedCode = 0xA000000D;
    static constexpr DWORD InvalidNodeKindCode = 0xA000000E;
    // Kept in the table of texts; nothing here raises them, every object has its virtual table.
    static constexpr DWORD DriverWithoutVtableCode = 0xA000000F;
    static constexpr DWORD DeviceWithoutVtableCode = 0xA0000010;
    // The kind of entry DRVOBJ_NODES skips by its fixed size without reading it.
    static constexpr USHORT NODE_KIND_SKIP = 3;

    // The hooked drivers and their device objects from the driver's list: with bFirst into an empty model,
    // else merged into the present one, which then loses what the driver no longer reports (only when the
    // whole list, up to its end entry, was read). The control device is opened and closed here. A failure
    // with one of the codes above, or of the open (CDevice::OpenFailureCode), is shown in a message box and
    // gives FALSE; what was merged before it stays. FALSE without a message when the driver has no list or
    // memory is short.
    BOOL QueryDriversAndDevices(CAttachedDevices* pDevices, bool bFirst = true);
    // The same query merged into the present model without the sweep: flags, drivers and new objects are
    // taken, nothing is removed, since captured records may still name what the driver no longer lists.
    // What the driver hooked since it reported an object (a device plugged in during a capture) becomes
    // selectable here.
    BOOL RereadDriversAndDevices(CAttachedDevices* pDevices);
    // One DRVOBJ_NODES request with the buffer as input and output; a failure keeps its Win32 error and
    // leaves *lpBytesReturned 0.
    BOOL IoctlTindaloftDrvobjNodes(LPVOID lpBuffer, DWORD dwLength, LPDWORD lpBytesReturned);
    // The two parsers of a list of nLength bytes: the first fill, and the merge with its sweep. A truncated
    // entry or one of an unknown kind raises its code; entries before it are merged. Each returns TRUE when
    // the walk reached the end entry.
    BOOL GetDriversAndDevices(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices);
    BOOL UpdateDriversAndDevices(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices);
    // The merge's walk with no sweep after it, for RereadDriversAndDevices; no mark is left.
    BOOL MergeDriversAndDevices(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices);
    // One DEVICE_NODE: a new or updated device object, put into pDriver's list (out of any other driver's)
    // when a driver is given, marked seen with bMark, its state image taken from its flags with
    // bRecordLogEnable.
    void ProcessDevNode(const DEVICE_NODE& node, CAttachedDevices* pDevices, BOOL bMark, BOOL bRecordLogEnable,
                        CDriverObject* pDriver);
    // Removes every driver not seen by the merge, and from every driver its device objects not seen; then no
    // mark is left.
    void RemoveUnmarkedDrivers(CAttachedDevices* pDevices);
    // Clears the seen and swept marks of every driver.
    void ClearDriverMarks();
    // TRUE for the codes the query handles; the code is kept for the message.
    BOOL IsAppExceptionCode(DWORD dwCode);
    // The message the query shows for the code it handled last.
    CString GetAppExceptionMessage() const;

    BOOL GetPresentClassDriverObject(ULONG64 ntDriverObject, CDriverObject*& rpDriver);
    // The present driver's name; rText stays as it was when there is none.
    void GetDriverName(ULONG64 ntDriverObject, CString& rText);
    // The present driver with one more reference, or null; each needs its ReleaseDriverObject.
    CDriverObject* GetReferencedDriverObject(ULONG64 ntDriverObject);
    // One reference less; the last one deletes the object.
    void ReleaseDriverObject(CDriverObject* pDriver);
    // Into the array and the hash with the array's reference; FALSE (nothing counted) when memory is short.
    BOOL AddDriverObject(CDriverObject* pDriver);
    // With a node: a new driver object from it; without: pExisting. Then AddDriverObject. rpDriver is null
    // when nothing was added.
    BOOL AddNewDriver(const DRIVER_NODE* pNode, CDriverObject* pExisting, BOOL bListed, CDriverObject*& rpDriver);
    // Takes the node's address, flags and times and marks the object listed; keeps a name it already has.
    void UpdateDriver(const DRIVER_NODE& node, CDriverObject* pDriver);
    BOOL AddOrUpdateDriver(const DRIVER_NODE& node, CDriverObject*& rpDriver);
    // Change-log records of a hooked driver: an arrival adds or updates (a placeholder becomes listed and
    // named); a removal changes nothing, since a driver that is gone leaves at the next node-list merge.
    void ProcessDrvobjArrival(const DRIVER_NODE& node);
    void ProcessDrvobjRemoval(const DRIVER_NODE& node);
    // Out of the array and the hash, with the array's reference released. An index outside the array throws
    // CInvalidArgException*.
    void RemoveDriver(INT_PTR nIndex);

    INT_PTR GetCount() const { return m_DriverObjects.GetSize(); }
    CDriverObject* GetAt(INT_PTR nIndex) const { return m_DriverObjects.GetAt(nIndex); }

    // The listed drivers under the root, each with its device objects.
    void FillDriversTab(IDriversTab& tab, HTREEITEM hRoot);

    void Serialize(CArchive& ar) override;

private:
    enum class NodeListMerge { Fill, Update, KeepMissing };
    // The query behind both public ones; the merge chooses the parse.
    BOOL QueryNodeList(CAttachedDevices* pDevices, NodeListMerge merge);
    // Both parsers' walk; bUpdate merges (marking what it sees), else fills.
    BOOL WalkDrvobjNodes(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices, bool bUpdate);
    // The merge's walk from unmarked drivers, marking what it sees; a walk that raises leaves no mark.
    BOOL WalkMarking(const BYTE* pList, size_t nLength, CAttachedDevices* pDevices);
    // Marks of drivers and of their device objects, after a merge that runs no sweep.
    void ClearAllMarks();

    DWORD m_dwExceptionCode = 0;
    USHORT m_nInvalidNodeKind = 0;
    CTypedPtrArray<CPtrArray, CDriverObject*> m_DriverObjects;
    DrvobjHash m_Hash;
    CCriticalSection m_Lock;
    UINT m_nSchema = 12;
};

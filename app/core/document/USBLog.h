// CUSBLog: the capture document, made by both document templates (saved logs and the live capture). It owns
// the record store, the buffer filter and the trigger, numbers the captured records as they arrive (marking
// and counting gaps in the driver's sequence) and indexes them.
//
// Threads: in background logging ProcessCaptureFragment runs on the capture thread while the session runs;
// otherwise on the user-interface thread. The flags the capture thread reads are atomics.
#pragma once

#include <atomic>
#include <memory>

#include "afxcoll.h"
#include "afxwin.h"
#include "app/devices/ConnectionTree.h"
#include "common/FilterBlock.h"
#include "common/NodeEntries.h"

class CAppSettings;
class CAttachedDevices;
class CAttachedDrivers;
class CDeviceObject;
class CDeviceStack;
class CDriverThread;
class CFilterDefinition;
class CFindDialog;
class CKxTdloft;
class CLogProgress;
class CStackTree;
class CSystem;
class CSystemHostControllers;
struct DeviceSummary;

namespace LogRecords {
class CLogRecords;
}

class CUSBLog : public CDocument {
    DECLARE_SERIAL(CUSBLog)
public:
    // The schema of records this program captures.
    static constexpr UINT CurrentRecordSchema = 12;

    // Entries of the per-device display flags.
    static constexpr INT_PTR DeviceFlagCount = 256;

    CUSBLog();
    ~CUSBLog() override;
    CUSBLog(const CUSBLog&) = delete;
    CUSBLog& operator=(const CUSBLog&) = delete;

    // A new live capture document: the device model read from the driver and an empty capture buffer.
    BOOL OnNewDocument() override;
    // Creates the device model and the record store; for a live document also reads the machine's state,
    // asks the driver for its device stacks and creates the capture buffer. FALSE when any of it fails, and
    // always for a saved log, which its file fills instead.
    BOOL InitCaptureDocument();
    // The device model of a live document built again from the driver.
    void RefreshDevices();
    // The version of the program that makes the capture, once (while the major number is still 0).
    void InitVersionInfo();

    // The record list view, the first view of every capture document; nullptr before it is attached.
    CView* GetFirstView() const;

    LogRecords::CLogRecords* GetLogRecords() const { return m_pLogRecords.get(); }

    BOOL IsBufferFilterOn() const { return m_bBufferFilterOn != 0; }
    void SetBufferFilterOn(BOOL bOn) { m_bBufferFilterOn = bOn ? 1 : 0; }
    CFilterDefinition* GetBufferFilter() const { return m_pBufferFilter.get(); }
    // The document owns the filter from here on; the one it had is deleted.
    void SetBufferFilter(CFilterDefinition* pFilter);

    UINT GetRecordSchema() const { return m_nRecordSchema; }
    void SetRecordSchema(UINT nSchema) { m_nRecordSchema = nSchema; }

    CAppSettings* GetSettings() const { return m_pSettings; }
    void SetSettings(CAppSettings* pSettings) { m_pSettings = pSettings; }

    // Indexes every whole record of a block read from the capture log, which lies in a capture bank: checks
    // the sequence (the first record after a gap gets "****" over its sync word, in the bank itself, and the
    // gap is counted), tests the trigger and offers the record to the buffer filter. A record cut by the
    // block's end is not indexed. Returns the number of rows of the active view; `bTriggered` says whether
    // the trigger matched, and a match posts the stop command to the main window.
    INT_PTR ProcessCaptureFragment(BYTE* pBuffer, DWORD dwLength, BOOL& bTriggered);

    BOOL IsLogging() const { return m_bLogging.load(); }
    void SetLogging(BOOL bLogging) { m_bLogging.store(bLogging != 0); }

    BOOL IsTriggerOn() const { return m_bTriggerOn.load() != 0; }
    void SetTriggerOn(BOOL bOn) { m_bTriggerOn.store(bOn ? 1 : 0); }
    CFilterDefinition* GetTrigger() const { return m_pTrigger.get(); }
    // The document owns the trigger from here on; the one it had is deleted.
    void SetTrigger(CFilterDefinition* pTrigger);
    // The number of the record that last fired the trigger; 0 when none did.
    UINT GetTriggerSequenceNumber() const { return m_nTriggerSeqNum; }

    // The number the next captured record should carry; 0 when not yet known (at every start).
    UINT GetExpectedSequenceNumber() const { return m_nExpectedSeqNum; }
    void SetExpectedSequenceNumber(UINT nNumber) { m_nExpectedSeqNum = nNumber; }
    UINT GetSequenceGapCount() const { return m_nSeqGapCount; }
    void SetSequenceGapCount(UINT nCount) { m_nSeqGapCount = nCount; }

    // The application's main window, where the capture road posts its commands.
    CWnd* GetMainWindow() const;

    // Starts a capture thread and waits for its start; a start that fails shows its message and leaves the
    // document not logging, with no thread.
    void EnableLogging();
    // Stops the capture thread: every block it read is indexed before this returns, none after.
    void DisableLogging();
    CDriverThread* GetDriverThread() const { return m_pDriverThread.get(); }

    CAttachedDevices* GetAttachedDevices() const { return m_pAttachedDevices.get(); }
    CAttachedDrivers* GetAttachedDrivers() const { return m_pAttachedDrivers.get(); }
    CStackTree* GetStackTree() const { return m_pStackTree.get(); }
    // The device object that had this address at this time (its lifetime covering the time); null when none
    // did or the document has no attached devices.
    CDeviceObject* FindAttachedObject(ULONG64 ntDeviceObject, LONGLONG timeStamp) const;
    // The device object present now at this address (the oldest one not removed); null when none is or the
    // document has no attached devices.
    CDeviceObject* FindDeviceObject(ULONG64 ntDeviceObject) const;
    // The device-type summary of the USB device whose stack holds the device object present at that
    // address, from the device's hub port; FALSE (traced, the summary untouched) for anything but a plain
    // USB device's stack.
    BOOL LookupDeviceTypeInfo(ULONG64 ntDeviceObject, DeviceSummary& summary) const;

    // The USB topology's tree. Every node reports its destruction to the document, which clears the device
    // stacks' pointers to it: the one way a stack stops naming a node.
    core::tree<::ConnectionElement>& GetConnectionTree() { return m_ConnectionTree; }
    // Destroys the children of the node that stands for the object (the node stays); FALSE when no node
    // below the root does.
    BOOL RemoveSubtree(CObject* pObject);

    CSystemHostControllers* GetHostControllers() const { return m_pHostControllers.get(); }
    CSystem* GetHostSystem() const { return m_HostSystem.get(); }

    // The device reports of the devices checked in the device tree: the save dialog, then the report; the
    // user is told that it was written, or that writing failed.
    void ExportHtmlReport();
    void ExportXmlReport();
    BOOL IsDeviceModelLoaded() const { return m_bDeviceModelLoaded != 0; }

    // The session's header values, which a saved log keeps.
    const CString& GetOSDescription() const { return m_strOSDescription; }
    DWORD GetOSValue() const { return m_dwOSValue; }
    WORD GetProcessorArchitecture() const { return m_procArchitecture; }
    LONGLONG GetStartTime() const { return m_llStartTime; }
    void SetStartTime(LONGLONG llSeconds) { m_llStartTime = llSeconds; }
    BYTE GetVersionMajor() const { return m_nVersionMajor; }
    BYTE GetVersionMinor() const { return m_nVersionMinor; }
    WORD GetVersionThird() const { return m_nVersionThird; }
    WORD GetVersionFourth() const { return m_nVersionFourth; }
    LONGLONG GetPerformanceFrequency() const { return m_llFrequency; }

    BOOL IsCaptureFilterOn() const { return m_bCaptureFilterOn != 0; }
    void SetCaptureFilterOn(BOOL bOn) { m_bCaptureFilterOn = bOn ? 1 : 0; }
    CFilterDefinition* GetCaptureFilter() const { return m_pCaptureFilter.get(); }
    // The document owns the filter from here on; the one it had is deleted.
    void SetCaptureFilter(CFilterDefinition* pFilter);

    // Display states of the device tree, one byte per device index.
    void SetAllDeviceFlags();
    // Grows the array when the index lies beyond it.
    void SetDeviceFlag(INT_PTR nIndex, BYTE nValue);
    // A negative index throws CInvalidArgException*; one at or beyond the array's end reads 1, as every entry
    // starts out (stack ids are never reused, so a long-lived machine passes the end).
    BYTE GetDeviceFlag(INT_PTR nIndex) const;

    // The progress window of a save in progress; null outside a save.
    CLogProgress* GetSaveProgress() const { return m_pSaveProgress; }
    void SetSaveProgress(CLogProgress* pProgress) { m_pSaveProgress = pProgress; }

    // The document's kind, by the template that made it: the live capture (133) or a saved log (131).
    bool IsRealtimeDocument() const;
    bool IsLogFileDocument() const;

    // A block read from the driver's change log: each arrival and removal goes to its handler.
    void DissectChangeLogFragment(const BYTE* pBuffer, DWORD dwLength);
    // The change-log handlers; each gets the record's node (DEVICE_NODE, DRIVER_NODE or DEVSTK_NODE bytes, at
    // least the node's size) and keeps the device model and the connection tree current, whatever order the
    // records come in. Device objects, drivers and stacks are never deleted here: removals mark them.
    void ProcessDevobjArrival(const BYTE* pNode);
    void ProcessDevobjRemoval(const BYTE* pNode);
    void ProcessDrvobjArrival(const BYTE* pNode);
    void ProcessDrvobjRemoval(const BYTE* pNode);
    void ProcessDevstkArrival(const BYTE* pNode);
    void ProcessDevstkRemoval(const BYTE* pNode);
    // Gives a stack without a model object its place: a host controller under the root, a root hub under its
    // controller, a device below a hub through its hub's ports; any other stack only enters its parent's
    // child ids. Inconsistencies end it with a level-2 trace.
    void AddDevstk(CDeviceStack* pStack);

    // The driver's change log on, off and emptied; nothing when the control device does not open.
    void EnableChangeLogging();
    void DisableChangeLogging();
    void ClearChangeLog();

    // Set when arrivals or removals changed the device model since the device tree last showed it.
    BOOL IsDeviceTreeModified() const { return m_bDeviceTreeModified; }
    void SetDeviceTreeModified(BOOL bModified) { m_bDeviceTreeModified = bModified ? TRUE : FALSE; }

    void DeleteContents() override;

    // The capture log file: this document stored, or a saved log's document loaded (its records mapped).
    void Serialize(CArchive& ar) override;
    // Saves with the progress window, which shows the target path and can cancel the save; a cancelled save
    // leaves the earlier file as it was.
    BOOL OnSaveDocument(LPCTSTR lpszPathName) override;
    // The connection tree of a loaded log: the system at its root.
    void BuildConnectionTree();
    // The connection tree emptied down to its root, which stands for the system object.
    void SetConnectionRoot();
    // The oldest capture log layout this program reads.
    static constexpr UINT OldestRecordSchema = 9;

    // The control device's name (string 129), as the capture thread and the device model open it.
    static CString ControlDeviceName();

    // The message a start failure shows, or null for codes that show none.
    static LPCSTR StartFailureMessage(DWORD dwCode);

private:
    // The settings the document captures with: its own for a saved log, else the application's; null when
    // there are none.
    const CAppSettings* EffectiveSettings() const;
    // The stop's steps after the thread has gone, also run after a start that failed: panes writeable and
    // shown again, the background-logging window finished, the device tree refreshed.
    void EndCaptureSteps(const CAppSettings* pSettings);
    // After a stop: the device objects' flags, and the drivers that hooked them, read again from the driver's
    // node list, nothing removed.
    void RereadDeviceFlags();
    // Runs the messages other threads sent this one.
    static void ServeSentMessages();
    // The device model is there (made, loaded, rebuilt or merged again): the device tree shows it anew at
    // its next refresh.
    void MarkDeviceModelLoaded();
    // The device model's objects, created (step by step, all or none) and deleted; the system object once.
    BOOL CreateContents();
    void DeleteDeviceModel();
    void DeleteContentsObjects();
    // A saved log's own settings go; the application's are never the document's to delete.
    void DeleteOwnedSettings();
    void StoreLog(CArchive& ar);
    void LoadLog(CArchive& ar);
    // Posts the stop command to the main window; safe from any thread.
    void PostStopCommand() const;
    // AddDevstk's cases: a controller, a root hub below one, a device on a root hub's or an external hub's port.
    void AddHostControllerStack(CDeviceStack* pStack);
    void AddRootHubStack(CDeviceStack* pStack, CDeviceStack* pParent);
    void AddRootHubPortDevice(CDeviceStack* pStack, CDeviceStack* pParent);
    void AddExternalHubPortDevice(CDeviceStack* pStack, CDeviceStack* pParent);
    // The stack's topology object goes, by the stack's type.
    void RemoveStackObject(CDeviceStack* pStack, const DEVSTK_NODE& node);
    // The ports of the hub whose stack is the stack's parent, read again and relabelled.
    void RefreshPortsAbove(CDeviceStack* pStack);

    std::unique_ptr<LogRecords::CLogRecords> m_pLogRecords;
    UINT m_bBufferFilterOn;
    std::unique_ptr<CFilterDefinition> m_pBufferFilter;
    UINT m_nRecordSchema;
    // The settings in force: the application's, or m_pOwnedSettings; never deleted through this pointer.
    CAppSettings* m_pSettings;
    std::atomic<bool> m_bLogging;
    std::atomic<UINT> m_bTriggerOn;
    UINT m_nTriggerSeqNum;
    std::unique_ptr<CFilterDefinition> m_pTrigger;
    UINT m_nExpectedSeqNum;
    UINT m_nSeqGapCount;
    std::unique_ptr<CDriverThread> m_pDriverThread;
    // The capture thread's thread object, kept after its thread ends (no auto-delete) until it is joined.
    std::unique_ptr<CWinThread> m_pWorker;
    HANDLE m_hStartEvent;
    std::unique_ptr<CAttachedDevices> m_pAttachedDevices;
    std::unique_ptr<CAttachedDrivers> m_pAttachedDrivers;
    std::unique_ptr<CStackTree> m_pStackTree;

    class SubtreeObserver : public core::tree_observer<::ConnectionElement> {
    public:
        explicit SubtreeObserver(CUSBLog* pDocument) : m_pDocument(pDocument) {}
        void node_destroyed(core::tree<::ConnectionElement>* pNode) override;

    private:
        CUSBLog* m_pDocument;
    };
    SubtreeObserver m_SubtreeObserver{this};
    core::tree<::ConnectionElement> m_ConnectionTree;
    std::unique_ptr<CSystemHostControllers> m_pHostControllers;
    BYTE m_bDeviceModelLoaded;
    std::unique_ptr<CSystem> m_HostSystem;
    BOOL m_bDeviceTreeModified;
    CString m_strOSDescription;
    DWORD m_dwOSValue;
    WORD m_procArchitecture;
    // A saved log's own settings; a live document uses the application's.
    std::unique_ptr<CAppSettings> m_pOwnedSettings;
    LONGLONG m_llStartTime;
    BYTE m_nVersionMajor;
    BYTE m_nVersionMinor;
    WORD m_nVersionThird;
    WORD m_nVersionFourth;
    UINT m_bCaptureFilterOn;
    std::unique_ptr<CFilterDefinition> m_pCaptureFilter;
    CByteArray m_DeviceFlags;
    // The progress window of a save; OnSaveDocument owns it.
    CLogProgress* m_pSaveProgress;
    // What the save under way tells when its file is in place: StoreLog knows how many records the file holds.
    CString m_strSavedText;
    LONGLONG m_llFrequency;

public:
    // Sends the boot-time switches through the driver's boot-flag request: capture once on the next boot, the
    // miniport hook and the driver's event-log switches, from the document's settings (the application's when
    // it has none). Nothing is sent when the control device does not open.
    void ApplyLoggingOptions();
    // Stops the capture as DisableLogging does, but waits at most dwMilliseconds for the capture thread. FALSE
    // when the thread has not ended by then: it is told to stop and left running.
    BOOL DisableLoggingWithin(DWORD dwMilliseconds);

    // Start: panes locked, the start time set when the store is empty, the sequence and trigger mark reset,
    // the capture thread started. A start that leaves the document not logging unlocks the panes again.
    void OnUsbStarteventcapture();
    // Stop (the command, a trigger's or the capture thread's): nothing when not logging, since stops come
    // from several places; otherwise the thread stopped, the panes unlocked and any sequence gaps reported.
    void OnUsbStopeventcapture();
    // The trigger's last match forgotten (its row loses its trigger colour).
    void ClearTriggerMark();
    // Seconds since 1970 of a UTC date and time; 0 for a year before 1900.
    static LONGLONG UtcSeconds(const SYSTEMTIME& st);

    // Help topics 214, 215 and 217: the main window opens help contexts 51, 53 and 52.
    void OnHelpTopic(UINT nID);

    // The enable and check rules of the document's commands in menus and bars.
    void OnUpdateUsbStarteventcapture(CCmdUI* pCmdUI);
    void OnUpdateUsbStopeventcapture(CCmdUI* pCmdUI);
    void OnUpdateUsbClearCapture(CCmdUI* pCmdUI);
    void OnUpdateUsbClearDevices(CCmdUI* pCmdUI);
    void OnUpdateFileSave(CCmdUI* pCmdUI);
    void OnUpdateEditFilter(CCmdUI* pCmdUI);
    void OnUpdateEditTrigger(CCmdUI* pCmdUI);
    void OnUpdateOptionsConfiguration(CCmdUI* pCmdUI);
    // Both device reports: a live document not logging, the device tree pane open on its report page and at
    // least one device checked there.
    void OnUpdateExportDeviceReport(CCmdUI* pCmdUI);
    // The device report commands run their export sequences.
    void OnExportDeviceReportXml() { ExportXmlReport(); }
    void OnExportDeviceReportHtml() { ExportHtmlReport(); }

    // Clear buffer: a running capture stopped, the list and the store emptied, the driver's capture sequence
    // restarted and the devices queried again; a capture that was running starts a new session.
    void OnUsbClearCapture();
    // Clear monitored devices: the devices queried again and every device's capture selection cleared in the
    // driver and in the panes.
    void OnUsbClearDevices();

    // The capture filter's block sent to the driver with the capture options, and the filter on; cleared:
    // the default block sent, and the filter off.
    void SetCaptureFilter(const FILTER_BLOCK& block);
    void ClearCaptureFilter();
    // The filtered view built again from every record, in list order, and the buffer filter on; cleared:
    // off, and both filtered indexes emptied.
    void ApplyBufferFilter();
    void ClearBufferFilter();
    void TriggerOn();
    void TriggerOff();
    // Every view updated (the modified mark set around it and cleared again).
    void UpdateViews();
    // The filter dialog on the buffer filter when it is on, else on a live capture's capture filter when
    // that is on, else on a new definition; nothing while logging, since the capture thread reads them.
    void OnEditFilter();
    // The filter dialog on the trigger in force of a live capture, else on a new one.
    void OnEditTrigger();
    // The options dialog on the application's settings (a saved log's own ones for a saved log). OK in a live
    // capture that is not logging saves them and sends the driver the capture options with the filter in
    // force and the boot switches; a changed Continuous Logging clears the buffer, then switches the banks.
    void OnOptionsConfiguration();
    // Find: the document's one modeless Find dialog, made, or brought forward when it is open.
    void OnEditFindRequest();
    // Told by the Find dialog as its window goes (it then deletes itself).
    void FindDialogDestroyed(CFindDialog* pDialog);
    CFindDialog* GetFindDialog() const { return m_pFindDialog; }
    // The panes go to the document that stays (the live capture, writeable when it is not logging, else a
    // saved log, else none) and the stack lists are emptied before the contents go; the Find dialog closes.
    void OnCloseDocument() override;
    // The background-logging window's text: the capture's end and the bank size.
    static CString BackgroundLoggingText(const CAppSettings& settings);
    // The background-logging window of a running capture; null when none is open.
    CLogProgress* GetBackgroundProgress() const { return m_pBackgroundProgress; }
    // Told by the background-logging window as its window goes (it then deletes itself).
    void BackgroundProgressDestroyed(CLogProgress* pDialog);

private:
    // Background logging's start: data bar and device properties cleared, the list emptied (the capture
    // thread alone reads the store until the stop) and the progress window opened.
    void OpenBackgroundProgress(const CAppSettings& settings);
    // Background logging's stop: "Logging Stopped", the list reloaded, the window closed unless its Cancel
    // is the stop, and the list scrolled to the trigger's record.
    void FinishBackgroundLogging();
    void CloseBackgroundProgress();
    // Modeless windows: each object goes with its window, telling the document as it goes.
    CLogProgress* m_pBackgroundProgress = nullptr;
    void CloseFindDialog();
    CFindDialog* m_pFindDialog = nullptr;
    // The start's session steps: a new start time when the store is empty, the trigger mark, sequence and
    // gap count reset, the background-logging window (when asked and set), then the capture thread. A start
    // that leaves the document not logging undoes what the start locked and opened, since no stop follows.
    void BeginCaptureSession(const CAppSettings* pSettings, BOOL bOpenBackground);
    // On an open control device: the driver's stacks refreshed, then the attached drivers and devices merged
    // again (the panes first drop their pointers into the objects that may go) and the drivers tab refilled.
    void RequeryDevices(CKxTdloft& device);

public:
    DECLARE_MESSAGE_MAP()
};

// HubifOutputer: the decoder of calls a hub driver makes through the port driver's bus interface ("buh"
// records). The record's header carries the call's bus context and second argument where an IRP record
// carries the device object and the IRP; the decoder reads both from there. The function index (the whole function
// word) picks one of 35 function decoders; a request record ("buhI") shows the call's arguments, a
// completion record ("buhC") its arguments and its results.
//
// The function decoders are rows of one table, walked by OutputFunctionRows; each keeps its own member so
// that the dispatch reads as the interface's list of functions. The structures some calls pass or return
// have decoders of their own, which the rows place.
//
// Short records: an argument-block field past DataSize shows "???"; the first such field is preceded by one
// "Truncated" defect counting the bytes the call's phase reads. A count or length read from the record that
// asks for more than the record holds is cut to what it holds, and counts as truncated too.
#pragma once

#include <span>

#include "app/decoders/framework/FunctionOutputer.h"

#include "app/decoders/framework/CodeTable.h"

class FieldWriter;
class HubifOutputer;
struct HubifErrorBlock;
struct HubifFunction;
struct HubifRow;

// A function's decoder: (mode, DataSize, argument block).
using HubifOperation = void (HubifOutputer::*)(int mode, ULONG dataSize, const BYTE* args);

// A function of the interface: its index and the record list's name (the interface's routine name, some
// shortened), the filter page's text and offer, the mark-up section its decoder opens ("HUBIF-" and the
// routine's name) and the decoder.
struct HubifCode {
    CodeRow row;
    const char* section;
    HubifOperation operation;
};

class HubifOutputer : public FunctionOutputer {
public:
    // The interface's functions by index, in the order of the filter page.
    static std::span<const HubifCode> FunctionCodes();
    // The function of an index, or null past the last one.
    static const HubifCode* FindFunction(ULONG index);

    HubifOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~HubifOutputer() override;

    // Header offsets 32 and 40.
    ULONG64 GetBusContext() const;
    ULONG64 GetArgument2() const;

    void OutputFunctionCode() override;
    void OutputRequestObjects() override;
    void OutputTarget() override;
    void OutputKindTitle(int mode) override;
    // HubIsRoot returns a BOOLEAN, SetDeviceHandleIdleReadyState a ULONG; every other call an NTSTATUS.
    ReturnType GetReturnType() const override;

    // The name of the record's function; empty past the last one.
    CString GetFunctionName() const;
    void OutputFunctionBody(int mode, ULONG dataSize, const BYTE* args);

    // Shared rows: an NTSTATUS (red when it is an error), and a USBD status with its hexadecimal form.
    void OutputReturnStatus(int mode, ULONG status, LPCSTR label);
    void OutputUsbdStatus(int mode, LONG status, LPCSTR nameLabel, LPCSTR hexLabel);
    // The port status word of the device-creation calls (at argument +2, and at +10 for the V7 form), left
    // out when the argument block does not hold it.
    void OutputCreateDevicePortStatus(int mode, ULONG dataSize, const BYTE* args);
    void OutputCreateDeviceV7PortStatus(int mode, ULONG dataSize, const BYTE* args);

    // Structures of the argument block. The returned ones show only on a completion record of a call that
    // succeeded, and each only when the block holds it as its sizes say.
    void OutputDeviceInformation(int mode, ULONG dataSize, const BYTE* args);
    void OutputControllerInformation(int mode, ULONG dataSize, const BYTE* args);
    void OutputExtHubInformation(int mode, ULONG dataSize, const BYTE* args);
    void OutputDevicePerformanceInfo(int mode, ULONG dataSize, const BYTE* args);
    void OutputPipeInformation(int mode, ULONG dataSize, const BYTE* args);
    void OutputUsbDescriptors(int mode, ULONG dataSize, const BYTE* args);
    // The error blocks of a failed device creation and initialisation (88 and 84 bytes, whole).
    void OutputCreateDeviceErrorInfo(int mode, const BYTE* block);
    void OutputInitDeviceErrorInfo(int mode, const BYTE* block);
    // The guards: a completion record long enough for the block where the call's layout puts it.
    void OutputCreateDeviceErrorInfoIfPresent(int mode, ULONG dataSize, const BYTE* args);
    void OutputCreateDeviceV7ErrorInfoIfPresent(int mode, ULONG dataSize, const BYTE* args);
    void OutputInitDeviceErrorInfoIfPresent(int mode, ULONG dataSize, const BYTE* args);

    // Function decoders, by index.
    void OutputCreateUsbDevice(int mode, ULONG dataSize, const BYTE* args);               // 0
    void OutputInitializeUsbDevice(int mode, ULONG dataSize, const BYTE* args);           // 1
    void OutputGetUsbDescriptors(int mode, ULONG dataSize, const BYTE* args);             // 2
    void OutputRemoveUsbDevice(int mode, ULONG dataSize, const BYTE* args);               // 3
    void OutputRestoreUsbDevice(int mode, ULONG dataSize, const BYTE* args);              // 4
    void OutputGetPortHackFlags(int mode, ULONG dataSize, const BYTE* args);              // 5
    void OutputQueryDeviceInformation(int mode, ULONG dataSize, const BYTE* args);        // 6
    void OutputGetControllerInformation(int mode, ULONG dataSize, const BYTE* args);      // 7
    void OutputControllerSelectiveSuspend(int mode, ULONG dataSize, const BYTE* args);    // 8
    void OutputGetExtendedHubInformation(int mode, ULONG dataSize, const BYTE* args);     // 9
    void OutputGetRootHubSymbolicName(int mode, ULONG dataSize, const BYTE* args);        // 10
    void OutputGetDeviceBusContext(int mode, ULONG dataSize, const BYTE* args);           // 11
    void OutputInitialize20Hub(int mode, ULONG dataSize, const BYTE* args);               // 12
    void OutputRootHubInitNotification(int mode, ULONG dataSize, const BYTE* args);       // 13
    void OutputFlushTransfers(int mode, ULONG dataSize, const BYTE* args);                // 14
    void OutputSetDeviceHandleData(int mode, ULONG dataSize, const BYTE* args);           // 15
    void OutputCreateUsbDeviceEx(int mode, ULONG dataSize, const BYTE* args);             // 16
    void OutputInitializeUsbDeviceEx(int mode, ULONG dataSize, const BYTE* args);         // 17
    void OutputHubIsRoot(int mode, ULONG dataSize, const BYTE* args);                     // 18
    void OutputBusSemaphore(int mode, ULONG dataSize, const BYTE* args);                  // 19, 20
    void OutputCalculatePipeBandwidth(int mode, ULONG dataSize, const BYTE* args);        // 21
    void OutputSetBusSystemWakeMode(int mode, ULONG dataSize, const BYTE* args);          // 22
    void OutputSetDeviceFlag(int mode, ULONG dataSize, const BYTE* args);                 // 23
    void OutputHubTestPoint(int mode, ULONG dataSize, const BYTE* args);                  // 24
    void OutputGetDevicePerformanceInfo(int mode, ULONG dataSize, const BYTE* args);      // 25
    void OutputWaitAsyncPowerUp(int mode, ULONG dataSize, const BYTE* args);              // 26
    void OutputGetDeviceAddress(int mode, ULONG dataSize, const BYTE* args);              // 27
    void OutputRefDeviceHandle(int mode, ULONG dataSize, const BYTE* args);               // 28
    void OutputDerefDeviceHandle(int mode, ULONG dataSize, const BYTE* args);             // 29
    void OutputSetDeviceHandleIdleReadyState(int mode, ULONG dataSize, const BYTE* args); // 30
    void OutputCreateUsbDeviceV7(int mode, ULONG dataSize, const BYTE* args);             // 31
    void OutputGetContainerIdForPort(int mode, ULONG dataSize, const BYTE* args);         // 32
    void OutputSetContainerIdForPort(int mode, ULONG dataSize, const BYTE* args);         // 33
    void OutputAbortAllDevicePipes(int mode, ULONG dataSize, const BYTE* args);           // 34
    void OutputSetDeviceErrataFlag(int mode, ULONG dataSize, const BYTE* args);           // 35

protected:
    // One function by its table: the section, the "Inputs" rows, and on a completion record the "Outputs".
    // The rows read the record's payload (the block the function decoders are given) through the IOCTL kit.
    void OutputFunctionRows(int mode, const HubifFunction& function);

private:
    void OutputFunctionRow(FieldWriter& fields, const HubifRow& row);
    // The 32-bit word a row reads; false, the row shown unknown, when the record does not hold it.
    bool ReadRowWord(FieldWriter& fields, const HubifRow& row, ULONG& value);
    // The rows whose value is more than a number.
    void OutputFlags(FieldWriter& fields, const HubifRow& row);
    void OutputTag(FieldWriter& fields, const HubifRow& row);
    void OutputPortPath(FieldWriter& fields, const HubifRow& row);
    void OutputDeviceSpeed(FieldWriter& fields, const HubifRow& row);
    void OutputGuid(FieldWriter& fields, const HubifRow& row);
    void OutputSymbolicName(FieldWriter& fields, const HubifRow& row);
    // A plain row's value; a number stays valid until the writer's next number.
    LPCSTR RowValue(FieldWriter& fields, const HubifRow& row);
    void OutputPortStatusAt(int mode, ULONG dataSize, const BYTE* args, size_t offset);
    // A structure's fixed fields, as rows at `base` plus each row's offset.
    void OutputStructureRows(FieldWriter& fields, std::span<const HubifRow> rows, size_t base);
    // A device information word with its name.
    void OutputNamedWord(FieldWriter& fields, LPCSTR label, size_t offset, LPCSTR (*name)(ULONG));
    // An error block's 64 bytes of extra information: the data bar (grid), or hexadecimal text (mark-up).
    void OutputXtraInfo(FieldWriter& fields, const BYTE* bytes);
    // One whole error block of the layout.
    void OutputErrorBlock(int mode, const BYTE* block, const HubifErrorBlock& layout);
    // Whether the record is a completion of a call that succeeded: the returned structures mean nothing else.
    bool HasReturnedData() const;
};

// HubifOutputer: the decoder of calls a hub driver makes through the port driver's bus interface ("buh"
// records). The record's header carries the call's bus context and second argument where an IRP record
// carries the device object and the IRP; the decoder keeps both. The function index (the whole function
// word) picks one of 35 function decoders; a request record ("buhI") shows the call's arguments, a
// completion record ("buhC") its arguments and its results.
//
// Most function decoders are rows of one table, walked by OutputFunctionRows; each keeps its own member so
// that the dispatch reads as the interface's list of functions.
//
// Short records: an argument-block field past DataSize shows "???"; the first such field is preceded by one
// "Truncated" defect counting the bytes the call's phase reads.
#pragma once

#include "app/decoders/framework/FunctionOutputer.h"

class IoctlFields;
struct HubifFunction;
struct HubifRow;

class HubifOutputer : public FunctionOutputer {
public:
    // The last function index of the interface.
    static constexpr ULONG kLastFunction = 35;

    HubifOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~HubifOutputer() override;

    ULONG64 GetBusContext() const { return m_BusContext; }
    ULONG64 GetArgument2() const { return m_Argument2; }

    void OutputFunctionCode() override;
    void OutputRequestObjects() override;
    void OutputTarget() override;
    void OutputKindTitle(int mode) override;

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

    // Function decoders, by index.
    void OutputGetDeviceBusContext(int mode, ULONG dataSize, const BYTE* args);           // 11
    void OutputFlushTransfers(int mode, ULONG dataSize, const BYTE* args);                // 14
    void OutputSetDeviceHandleData(int mode, ULONG dataSize, const BYTE* args);           // 15
    void OutputHubIsRoot(int mode, ULONG dataSize, const BYTE* args);                     // 18
    void OutputBusSemaphore(int mode, ULONG dataSize, const BYTE* args);                  // 19, 20
    void OutputSetBusSystemWakeMode(int mode, ULONG dataSize, const BYTE* args);          // 22
    void OutputSetDeviceFlag(int mode, ULONG dataSize, const BYTE* args);                 // 23
    void OutputSetDeviceHandleIdleReadyState(int mode, ULONG dataSize, const BYTE* args); // 30
    void OutputAbortAllDevicePipes(int mode, ULONG dataSize, const BYTE* args);           // 34
    void OutputSetDeviceErrataFlag(int mode, ULONG dataSize, const BYTE* args);           // 35

protected:
    // One function by its table: the section, the "Inputs" rows, and on a completion record the "Outputs".
    // The rows read the record's payload (the block the function decoders are given) through the IOCTL kit.
    void OutputFunctionRows(int mode, const HubifFunction& function);

    ULONG64 m_BusContext; // header offset 32
    ULONG64 m_Argument2;  // header offset 40

private:
    void OutputFunctionRow(IoctlFields& fields, const HubifRow& row);
    CString RowValue(IoctlFields& fields, const HubifRow& row);
    void OutputPortStatusAt(int mode, ULONG dataSize, const BYTE* args, size_t offset);
};

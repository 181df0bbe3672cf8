// UsbportHkOutputer: the decoder of calls between the host-controller port driver and its miniport ("khp"
// records): the port driver calling a miniport entry point ("Miniport Function") or the miniport calling a
// service of the port driver ("Usbport Function"). The argument block holds the call's 32-bit arguments in
// call order, the miniport's device context first, and for some calls copies of what an argument points to.
//
// Each call's decoder is a row of one table (expected size, argument rows, result rows, when the results are
// shown) walked by OutputCallRows; a block of an unexpected size shows the title row alone. No value of a hook
// record is coloured: the port driver judges none of them.
#pragma once

#include <span>

#include "app/decoders/framework/FunctionOutputer.h"

#include "app/decoders/framework/CodeTable.h"

class FieldWriter;
class UsbportHkOutputer;
struct HookCall;
struct HookField;

// A call's decoder: (mode, DataSize, argument block).
using HookOperation = void (UsbportHkOutputer::*)(int mode, ULONG dataSize, const BYTE* args);

// A call across the interface: its code and name, whether it is a service of the port driver the miniport
// calls (else an entry of the miniport the port driver calls), and its decoder (none: the title alone).
struct HookCode {
    CodeRow row;
    bool service;
    HookOperation operation;
};

class UsbportHkOutputer : public FunctionOutputer {
public:
    // The calls by code.
    static std::span<const HookCode> FunctionCodes();
    // The call of a code, or null past the last one.
    static const HookCode* FindFunction(ULONG code);

    using FunctionOutputer::FunctionOutputer;
    ~UsbportHkOutputer() override;

    void OutputFunctionCode() override;
    void OutputRequestObjects() override;
    void OutputTarget() override;
    void OutputKindTitle(int mode) override;

    // The name of the record's function code; empty past the last one.
    CString GetFunctionName() const;
    void OutputFunctionBody(int mode);

    // The inputs of a call whose only argument is the device context; with the close flag, the call ends
    // there.
    void OutputDeviceContextInputs(int mode, ULONG dataSize, const BYTE* args, bool close);
    // The "Return Value" row: what the call returned (header offset 56).
    void OutputReturnValue(int mode);
    // The copy of a transfer's parameters at `offset` of the argument block, and the event descriptor at 20.
    void OutputTransferParameters(int mode, const BYTE* args, size_t offset);
    void OutputEventDescriptor(int mode, const BYTE* args);

    // Call decoders.
    void OutputOpenEndpoint(int mode, ULONG dataSize, const BYTE* args);
    void OutputQueryEndpointRequirements(int mode, ULONG dataSize, const BYTE* args);
    void OutputDeviceContextAndUnknown(int mode, ULONG dataSize, const BYTE* args);
    void OutputStopController(int mode, ULONG dataSize, const BYTE* args);
    void OutputDeviceContextAndReturn(int mode, ULONG dataSize, const BYTE* args);
    void OutputSubmitTransfer(int mode, ULONG dataSize, const BYTE* args);
    void OutputAbortTransfer(int mode, ULONG dataSize, const BYTE* args);
    void OutputSetEndpointValue(int mode, ULONG dataSize, const BYTE* args);
    void OutputGet32BitFrameNumber(int mode, ULONG dataSize, const BYTE* args);
    void OutputGetEndpointStatus(int mode, ULONG dataSize, const BYTE* args);
    void OutputRHGetStatus(int mode, ULONG dataSize, const BYTE* args);
    void OutputRHGetPortStatus(int mode, ULONG dataSize, const BYTE* args);
    void OutputRHPortFeature(int mode, ULONG dataSize, const BYTE* args);
    void OutputSendOnePacket(int mode, ULONG dataSize, const BYTE* args);
    void OutputDbgPrint(int mode, ULONG dataSize, const BYTE* args);
    void OutputGetMiniportRegistryKeyValue(int mode, ULONG dataSize, const BYTE* args);
    void OutputCompleteTransfer(int mode, ULONG dataSize, const BYTE* args);
    void OutputCompleteIsoTransfer(int mode, ULONG dataSize, const BYTE* args);
    void OutputMapHwPhysicalToVirtual(int mode, ULONG dataSize, const BYTE* args);
    void OutputRequestAsyncCallback(int mode, ULONG dataSize, const BYTE* args);
    void OutputReadWriteConfigSpace(int mode, ULONG dataSize, const BYTE* args);
    void OutputWait(int mode, ULONG dataSize, const BYTE* args);
    void OutputInvalidateController(int mode, ULONG dataSize, const BYTE* args);
    void OutputNotifyTransferQueueState(int mode, ULONG dataSize, const BYTE* args);
    void OutputEndpointContextCall(int mode, ULONG dataSize, const BYTE* args);
    void OutputRequestAsyncCallbackEx(int mode, ULONG dataSize, const BYTE* args);
    void OutputCancelAsyncCallback(int mode, ULONG dataSize, const BYTE* args);
    void OutputEtwWrite(int mode, ULONG dataSize, const BYTE* args);
    void OutputGetHcCapabilities(int mode, ULONG dataSize, const BYTE* args);

private:
    // One call by its table row: nothing unless the block has the call's size.
    void OutputCallRows(int mode, ULONG dataSize, const BYTE* args, const HookCall& call);
    // The call's element (mark-up) and its "Inputs"; false, writing nothing, for a block of another size.
    bool OutputCallInputs(int mode, ULONG dataSize, const BYTE* args, const HookCall& call);
    void OutputCallOutputs(int mode, ULONG dataSize, const BYTE* args, std::span<const HookField> outputs);
    void OutputHookField(FieldWriter& fields, ULONG dataSize, const BYTE* args, const HookField& field);
    // A call with no argument but the device context and nothing to show of its result.
    void OutputDeviceContextCall(int mode, ULONG dataSize, const BYTE* args);
    // The device context's inputs, then results read from the header alone, so shown at any block size.
    void OutputResultAfterContext(int mode, ULONG dataSize, const BYTE* args, std::span<const HookField> outputs);
    // The driver object's name at header offset 40: the document's present driver of that address, "???"
    // when it knows none.
    const CString& FindDriverName() const;
};

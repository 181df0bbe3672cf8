// IrpOutputer: the base of every decoder of a record taken from an I/O request packet. It shows, for all of
// them alike, the target device object and its driver (found by address at the record's time), the IRP's
// address, its IoStatus.Status and stack position, and the record's status; the request kinds add the
// major and minor function (OutputIrpFunction) and their own fields.
#pragma once

#include "app/decoders/framework/LogOutputer.h"

class IrpOutputer : public LogOutputer {
public:
    using LogOutputer::LogOutputer;
    ~IrpOutputer() override;

    void OutputRequestObjects() override;
    void OutputIrpFields() override;
    void OutputTarget() override;
    void OutputStatus() override;
    // "Major Function", "Minor Function" and "IoControlCode" of the "IRP" category; nothing here.
    virtual void OutputIrpFunction();

protected:
    // The function items of device-control and internal device-control requests: the major function, no
    // minor function, the IOCTL code whole (no bit masked).
    void OutputDeviceControlFunction();
    void OutputInternalControlFunction();
    // The same with a code of the caller's rather than the record's.
    void OutputInternalControlFunction(ULONG ioControlCode);
    // The function items of requests with a minor function (PnP, power).
    void OutputMinorFunction(LPCSTR majorText);
    // "IRP_MN_" and the minor function's name by the record view's table of the kind.
    CString MinorFunctionName(void (CLogRecordDecode::*tableName)(CString&) const) const;
    // Mark-up form of a minor function: its number and its name.
    void OutputMinorFunctionCode(const CString& name);
    // Shows the kind's category and, in place of what it held, one item naming the request.
    void OutputRequestName(LPCSTR category, LPCSTR caption, const CString& name);
    // The same in the grid medium, where the pane has the category; nothing elsewhere.
    void OutputRequestTitle(int mode, LPCSTR category, LPCSTR caption, const CString& name);

private:
    void OutputIoControlCode(LPCSTR majorText, ULONG ioControlCode);
};

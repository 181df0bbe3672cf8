// HidUrbOutputer: the URB decoder of a HID device. It is the decoder the selection builds for records of a
// HID stack. HID class requests (class-interface URBs, and control transfers whose setup packet has the class
// type) are shown under their own names: report type and ID, idle rate and its duration, boot or report
// protocol; the data stage shows the report read or written (in the data bar), or the idle rate or protocol
// the device returned. Every other URB is shown as UrbOutputer shows it.
#pragma once

#include "app/decoders/urb/UrbOutputer.h"

class HidUrbOutputer : public UrbOutputer {
public:
    // The class's requests.
    static std::span<const ClassRequestEntry> Requests();

    HidUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~HidUrbOutputer() override;

protected:
    // The port driver completes class requests as CONTROL_TRANSFER too: those are this class's as well.
    void OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) override;
    void OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart) override;
    void OutputClassInterface(int mode, ULONG dataSize, const BYTE* pPart) override;

private:
    // A control transfer of either function: a HID class request, or the plain decoder's rows.
    void OutputControlRequest(int mode, ULONG dataSize, const BYTE* pPart);
    // The setup-stage section; it stays open for the data stage.
    void OutputHidRequest(int mode, const ClassRequest& request);
    // The data stage, then the sections closed: a "Data" group, the request's section, the URB element.
    void OutputDataStageAndClose(int mode, const ClassRequest& request);
    void OutputTransferBuffer(int mode, const BYTE* data, ULONG count, bool in, ULONG status);
    // The report bytes: the "Data" group with the data bar in the grid, the bytes as hex in mark-up.
    void OutputReport(int mode, bool get, const BYTE* data, ULONG count);
    void OpenDataGroup(int mode);

    // What the setup stage found the data stage to hold.
    BYTE m_bGetReportSeen = 0;
    BYTE m_bSetReportSeen = 0;
    BYTE m_bGetIdleSeen = 0;
    BYTE m_bGetProtocolSeen = 0;
    // Whether the grid's "Data" group is open, so that the close ends at the level where the decode began.
    bool m_bDataGroupOpen = false;
};

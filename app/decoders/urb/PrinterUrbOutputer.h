// PrinterUrbOutputer: the URB decoder of a printer. It is the decoder the selection builds for records of a
// printer stack. The printer class requests (class-interface and class-other URBs, and control transfers
// whose setup packet has the class or reserved type) are shown under their own names: GET_DEVICE_ID with the
// IEEE 1284 device ID split into one row per key, GET_PORT_STATUS with the status byte bit by bit, and
// SOFT_RESET. Every other URB is shown as UrbOutputer shows it.
#pragma once

#include <string_view>

#include "app/decoders/urb/UrbOutputer.h"

class PrinterUrbOutputer : public UrbOutputer {
public:
    // Bytes of the device ID's length field (most significant byte first), before its text.
    static constexpr ULONG kIdLengthSize = 2;

    // The class's requests.
    static std::span<const ClassRequestEntry> Requests();

    PrinterUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~PrinterUrbOutputer() override;

    // The port status byte as its bits.
    void OutputPortStatusBits(int mode, BYTE status);
    // The device ID: its length field and its text, one row per key. Fewer bytes than the length field
    // show one "Truncated" defect; the text ends at the data, whatever the length field says.
    void OutputDeviceId(int mode, ULONG length, const BYTE* data);
    // Takes the next "key:value;" pair off the front of `text`. False when no pair follows it: the key (if
    // any) is then still shown, with an empty value, when it had its colon. A text without a colon yields no
    // key; a ":" inside a value is part of it, a ";" before the first ":" part of the key.
    static bool ParseDeviceIdKey(std::string_view& text, std::string_view& key, std::string_view& value);

protected:
    // The port driver completes class requests as CONTROL_TRANSFER too: those are this class's as well.
    void OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) override;
    void OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart) override;
    void OutputClassInterface(int mode, ULONG dataSize, const BYTE* pPart) override;
    void OutputClassOther(int mode, ULONG dataSize, const BYTE* pPart) override;

private:
    // A control transfer of either function: a printer class request, or the plain decoder's rows.
    void OutputControlRequest(int mode, ULONG dataSize, const BYTE* pPart);
    void OutputClassRequest(int mode, LPCSTR element, BYTE recipient, ULONG dataSize, const BYTE* pPart);
    // The setup-stage section; the data stage closes it.
    void OutputPrinterRequest(int mode, const ClassRequest& request);
    void OutputDataStage(int mode, const ClassRequest& request);
    void OutputTransferBuffer(int mode, const ClassRequest& request);
    // Whether the record's completion holds IN data that the device returned without error.
    bool HasInData(const ClassRequest& request) const;

    // What the setup stage found the data stage to hold.
    BYTE m_DataIsDeviceId = 0;
    BYTE m_DataIsPortStatus = 0;
};

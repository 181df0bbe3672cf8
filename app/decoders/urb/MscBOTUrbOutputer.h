// MscBOTUrbOutputer: the URB decoder of a mass-storage device with the bulk-only transport. Besides what
// UrbOutputer shows, a bulk transfer that carries a command block wrapper shows the wrapper's fields and the
// SCSI command block inside it (through CdbOutputer, under the device's command set), and one that carries a
// command status wrapper shows the status. In the grid the wrappers fill the pane's "CBW" and "CSW"
// categories; the HTML report shows neither. Class requests, as class-interface URBs or control transfers, are the
// transport's reset and Get Max LUN, with the LUN count a Get Max LUN brings back.
//
// A wrapper is decoded only when the record holds it whole (the record view's FindCbw and FindCsw): a small
// capture size can leave a wrapper cut, and such a transfer is shown as plain bulk data.
#pragma once

#include "app/decoders/urb/UrbOutputer.h"

class MscBOTUrbOutputer : public UrbOutputer {
public:
    // The wrappers' sizes and the CBWCB field's, as the bulk-only transport lays them out.
    static constexpr ULONG kCbwSize = 31;
    static constexpr ULONG kCswSize = 13;
    static constexpr ULONG kCbwcbOffset = 15;
    static constexpr ULONG kCbwcbSize = 16;

    // The class's requests.
    static std::span<const ClassRequestEntry> Requests();

    MscBOTUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~MscBOTUrbOutputer() override;

    // The wrapper a bulk transfer carries, if any; called between the transfer's data rows and its pipe
    // information. The payload is the record's, and the wrapper is found through the record itself.
    void OutputBulkPayload(int mode, ULONG payloadLength, const BYTE* pPayload) override;

    // Whether the record carries a whole command block (status) wrapper; when it does, it becomes the one
    // the output operations show.
    bool IsCommandBlockWrapper(const BYTE* pPayload);
    bool IsCommandStatusWrapper(const BYTE* pPayload);
    void OutputCommandBlockWrapper(int mode);
    void OutputCommandStatusWrapper(int mode);

protected:
    // The port driver completes class requests as CONTROL_TRANSFER too: those are this class's as well.
    void OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) override;
    void OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart) override;
    void OutputClassInterface(int mode, ULONG dataSize, const BYTE* pPart) override;

private:
    // A control transfer of either function: a transport class request, or the plain decoder's rows.
    void OutputControlRequest(int mode, ULONG dataSize, const BYTE* pPart);
    // Where a class request's setup fields lie in the record's payload.
    struct SetupOffsets {
        size_t request;
        size_t value;
        size_t index;
        size_t length; // the URB's TransferBufferLength
    };
    // Opens the setup-packet group (the caller closes it after the data) and shows the request's fields.
    void OutputClassRequest(int mode, const CString& description, BYTE bmRequestType, const SetupOffsets& at);
    // The bytes a class request brought back: the Max LUN of a Get Max LUN.
    void OutputClassRequestData(int mode, ULONG dataLength, const BYTE* pData, bool directionIn, ULONG status);
    // The data behind a class request's fixed part, when the URB has a buffer and the record holds any.
    void OutputClassRequestDataAt(int mode, size_t dataOffset, size_t lengthOffset, bool directionIn);

    // Opens the wrapper's part: the grid's prepared category, or an element.
    void BeginWrapper(int mode, const char* category, const char* title);
    void EndWrapper(int mode);
    void OutputDword(int mode, const char* label, const BYTE* p);
    void OutputByte(int mode, const char* label, BYTE value);

    bool m_bGetMaxLUN = false;
    const BYTE* m_pCurrentCbw = nullptr;
    const BYTE* m_pCurrentCsw = nullptr;
};

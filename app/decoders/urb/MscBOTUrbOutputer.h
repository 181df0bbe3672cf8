// MscBOTUrbOutputer: the URB decoder of a mass-storage device with the bulk-only transport. Besides what
// UrbOutputer shows, a bulk transfer that carries a command block wrapper shows the wrapper's fields and the
// SCSI command block inside it (through CdbOutputer, under the device's command set), and one that carries a
// command status wrapper shows the status. In the grid the wrappers fill the pane's "CBW" and "CSW"
// categories; the HTML report shows neither.
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

private:
    // Opens the wrapper's part: the grid's prepared category, or an element.
    void BeginWrapper(int mode, const char* category, const char* title);
    void EndWrapper(int mode);
    void OutputRow(int mode, const char* label, const CString& value);
    void OutputDword(int mode, const char* label, const BYTE* p);
    void OutputByte(int mode, const char* label, BYTE value);

    const BYTE* m_pCurrentCbw = nullptr;
    const BYTE* m_pCurrentCsw = nullptr;
};

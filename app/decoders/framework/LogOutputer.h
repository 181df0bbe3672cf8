// LogOutputer: the base of every decoder of one captured record, and the decoder of records no other class
// knows. It holds the record (the 64-byte header and DataSize payload bytes; the record store hands out only
// framed records) and a view on it through which every test of kind and state goes.
//
// The Log Details pane runs a decoder so: OutputLogEntry, OutputTarget, OutputIrpFields, OutputKindTitle(1).
// The mark-up form (OutputMarkupRecord) is OutputRecordHeader first, then OutputPerfCounter,
// OutputFunctionCode, OutputRequestObjects, the body (OutputKindTitle with its mode), and EndRecord last.
//
// Short records: no payload byte past DataSize is read. A field the payload does not cover shows "???", and
// the first such field of a record is preceded by one "Truncated" defect saying how many bytes there were
// and how many the decoder needed.
#pragma once

#include "app/core/records/LogRecordDecode.h"
#include "app/decoders/framework/Outputer.h"

class CUSBLog;
class OutputerImp;
struct _LOGHDR;

class LogOutputer : public Outputer {
public:
    LogOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~LogOutputer() override;

    // The decoder that knows the record's kind, on the heap and owned by the caller; null only when the
    // allocation fails. Chosen by the record's tag alone (URB records by the URB decoder selection).
    static LogOutputer* Create(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);

    // Mark-up form of the record.
    virtual void OutputRecordHeader();
    virtual void OutputPerfCounter();
    virtual void OutputFunctionCode();
    virtual void OutputRequestObjects();
    virtual void EndRecord();
    // Grid form: the pane's prepared categories.
    virtual void OutputLogEntry();
    virtual void OutputIrpFields();
    virtual void OutputTarget();
    // The kind's own part, in the given output mode.
    virtual void OutputKindTitle(int mode);
    // The "Status" item of "Log Entry"; called from OutputLogEntry. Hidden here: a record of no request
    // (a log mark, a change) has none.
    virtual void OutputStatus();

    // The whole record in a mark-up mode: the record element with the header's fields, the kind's body,
    // the element closed.
    void OutputMarkupRecord(int mode);

    const CLogRecordDecode& GetDecode() const { return m_Decode; }
    CUSBLog* GetDocument() const { return m_pContext; }

    // The text a field shows when the record does not tell it.
    static constexpr const char* kUnknownText = "???";
    // The red colour of a failing status.
    static constexpr COLORREF kFailureColour = 255;

protected:
    // The record's bytes; without a record, a header of zeros, so that no decoder reads through null.
    const BYTE* RecordBytes() const;
    // The sequence number as every medium shows it.
    CString SequenceText() const;

    // Reads a payload field of a decoder that needs `needed` payload bytes. When the payload does not cover
    // the field: false, after the record's first such field has shown the truncation.
    template <class T> bool ReadPayloadField(int mode, size_t offset, T& out, size_t needed) {
        if (m_Decode.ReadPayload(offset, out))
            return true;
        OutputTruncation(mode, needed);
        return false;
    }
    // The "Truncated" defect, once per record.
    void OutputTruncation(int mode, size_t needed);

    // "STATUS_" and the status's name.
    static CString StatusText(ULONG status);
    // The same into `text`, whose buffer a caller may keep from record to record.
    static void SetStatusText(CString& text, ULONG status);
    // Red for a status of error severity (both top bits set), else the medium's ordinary value colour.
    COLORREF StatusColour(ULONG status) const;

    // Texts of the record's target (the device object at header offset 32, found at the record's time) as a
    // user knows them: "???" for whatever the document cannot tell.
    struct TargetTexts {
        CString deviceName;
        CString driverName;
        CString driverAddress; // hexadecimal after "0x" in the grid, bare in mark-up
        bool found = false;    // the document knew the device object
        bool hasDriver = false;
    };
    // The driver's address in hexadecimal after `addressPrefix`.
    TargetTexts FindTargetTexts(LPCSTR addressPrefix) const;
    // The same into `texts`, whose strings a caller may keep from record to record.
    void FindTargetTexts(LPCSTR addressPrefix, TargetTexts& texts) const;
    // The pane's four "Target" items: each object's address before its name.
    void ShowTargetItems(const CString& deviceAddress, const TargetTexts& texts);

    CLogRecordDecode m_Decode;

private:
    // The field writer reports a decoder's cuts through the record's one truncation defect.
    friend class FieldWriter;

    bool m_bTruncationShown = false;
};

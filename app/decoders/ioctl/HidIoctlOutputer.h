// HidIoctlOutputer: the decoder of HID class device-control requests ("hid" records). It names the request in
// the "HID" category and decodes the payload one operation per IOCTL code: the 16-byte buffer block (or the
// indexed string's 28-byte block) and the data behind it (report, preparsed data, physical descriptor,
// strings, collection information), or the plain value a configuration code carries.
//
// The request side is an "hidI" record, the completion side an "hidC" record; a returned record has no body.
// On the completion side the data behind the block is shown only when the request did not fail.
#pragma once

#include "app/decoders/ioctl/IoctlFamilyOutputer.h"

class FieldWriter;

class HidIoctlOutputer : public IoctlFamilyOutputer {
public:
    HidIoctlOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~HidIoctlOutputer() override;

    // One operation per code: (mode, payload length, payload).
    virtual void OutputGetDriverConfig(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputSetDriverConfig(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetPollFrequency(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputSetPollFrequency(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetNumInputBuffers(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputSetNumInputBuffers(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetCollectionInformation(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetCollectionDescriptor(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputFlushQueue(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetFeature(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputSetFeature(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetInputReport(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputSetOutputReport(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetPhysicalDescriptor(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetHardwareId(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetManufacturerString(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetProductString(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetSerialNumberString(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetIndexedString(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputGetMsGenreDescriptor(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputEnableSecureRead(int mode, ULONG dataSize, const BYTE* pData);
    virtual void OutputDisableSecureRead(int mode, ULONG dataSize, const BYTE* pData);

    // Puts bytes in the data bar under a caption naming the record; the hub decoder shows its buffers so too.
    static void ShowInDataBar(const CString& caption, const BYTE* pData, ULONG total, ULONG shown, ULONG record);

private:
    // What a report's data section is: its title, its mark-up type and the data bar's caption.
    struct ReportForm {
        LPCSTR title;
        LPCSTR type;
        LPCSTR caption;
    };
    // A code with the plain parameter block: on the completion side the data section `data` behind it (given
    // `name`, the string's name for the string codes).
    void OutputPlainBlockCode(int mode, LPCSTR title, LPCSTR address,
                              void (HidIoctlOutputer::*data)(FieldWriter&, LPCSTR), LPCSTR name = nullptr);
    // A code that gets a report: the block with the report ID, and the report behind it on the completion side
    // (and on the request side when `request` is given).
    void OutputGetReportCode(int mode, LPCSTR title, const ReportForm* request, const ReportForm& completion);
    // A code that sends a report: the block with the report ID and the report on the request side, the empty
    // category on the completion side.
    void OutputSetReportCode(int mode, LPCSTR title, const ReportForm& form);
    // A code with one plain value (or two): the value section on its side, the empty category on the other.
    void OutputValueCode(int mode, bool carriedOnRequest, LPCSTR title, LPCSTR element, ULONG size,
                         void (HidIoctlOutputer::*values)(FieldWriter&));
    void OutputDriverConfigValues(FieldWriter& fields);
    void OutputPollFrequencyValue(FieldWriter& fields);
    void OutputNumBuffersValue(FieldWriter& fields);
    // A code that carries nothing: the empty category on both sides.
    void OutputEmptyCode(int mode, LPCSTR title);

    // Opens the outer section of a code with a parameter block, named by the side; false on a record of
    // neither side (nothing opened).
    bool OpenBlockSection(FieldWriter& fields, LPCSTR title);
    // On the completion side the data follows only a request that did not fail, and only behind a whole
    // block.
    bool HasCompletionData(const FieldWriter& fields) const;

    // The parameter blocks (in mode 1 a group "Input Parameters" or "Output Parameters").
    void OutputInputParameters(FieldWriter& fields, LPCSTR first, LPCSTR second);
    void OutputInputParametersWithReportId(FieldWriter& fields, LPCSTR first, LPCSTR second);
    void OutputOutputParameters(FieldWriter& fields, LPCSTR second, LPCSTR third);
    void OutputOutputParametersWithReportId(FieldWriter& fields, LPCSTR second);
    void OutputIndexedStringParameters(FieldWriter& fields);
    void OutputReportIdField(FieldWriter& fields);

    // The data sections behind a 16-byte block (the 28-byte one for the indexed string).
    // (Each takes the string's name the string data needs, so that all fit one operation type.)
    void OutputCollectionInformation(FieldWriter& fields, LPCSTR name);
    void OutputPreparsedData(FieldWriter& fields, LPCSTR name);
    void OutputReportData(FieldWriter& fields, const ReportForm& form, bool setForm);
    void OutputPhysicalDescriptor(FieldWriter& fields, LPCSTR name);
    void OutputStringData(FieldWriter& fields, LPCSTR name);
    void OutputIndexedStringData(FieldWriter& fields);
    // "BufferLength" of a data section: the bytes behind the block.
    void OutputBufferLength(FieldWriter& fields, ULONG count);
};

// HidIoctlOutputer: the decoder of HID class device-control requests ("hid" records). It names the request in
// the "HID" category and decodes the payload one operation per IOCTL code: the 16-byte buffer block (or the
// indexed string's 28-byte block) and the data behind it (report, preparsed data, physical descriptor,
// strings, collection information), or the plain value a configuration code carries.
//
// The request side is an "hidI" record, the completion side an "hidC" record; a returned record has no body.
// On the completion side the data behind the block is shown only when the request did not fail.
#pragma once

#include "app/decoders/framework/IrpOutputer.h"

class IoctlFields;

class HidIoctlOutputer : public IrpOutputer {
public:
    using IrpOutputer::IrpOutputer;
    ~HidIoctlOutputer() override;

    void OutputFunctionCode() override;
    void OutputKindTitle(int mode) override;
    void OutputIrpFunction() override;
    virtual void OutputIoctlBody(int mode);

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

    // "IOCTL_HID_" and the code's name ("IOCTL_" for the three codes named without "HID_"), or
    // "HID_IOCTL_%X" for a code without a name.
    CString GetIoctlName() const;

    // Puts bytes in the data bar under a caption naming the record; the hub decoder shows its buffers so too.
    static void ShowInDataBar(const CString& caption, const BYTE* pData, ULONG total, ULONG shown, ULONG record);

private:
    // What a report's data section is: its title, its mark-up type and the data bar's caption.
    struct ReportForm {
        LPCSTR title;
        LPCSTR type;
        LPCSTR caption;
    };
    // The data a string code returns, by the string's name.
    void OutputStringCode(int mode, LPCSTR title, LPCSTR name);
    // A code with one plain value (or two): the value section on its side, the empty category on the other.
    void OutputValueCode(int mode, bool carriedOnRequest, LPCSTR title, LPCSTR element, ULONG size,
                         void (HidIoctlOutputer::*values)(IoctlFields&));
    void OutputDriverConfigValues(IoctlFields& fields);
    void OutputPollFrequencyValue(IoctlFields& fields);
    void OutputNumBuffersValue(IoctlFields& fields);
    // A code that carries nothing: the empty category on both sides.
    void OutputEmptyCode(int mode, LPCSTR title);

    // Opens the outer section of a code with a parameter block, named by the side; false on a record of
    // neither side (nothing opened).
    bool OpenBlockSection(IoctlFields& fields, LPCSTR title);
    // On the completion side the data follows only a request that did not fail, and only behind a whole
    // block.
    bool HasCompletionData(const IoctlFields& fields) const;

    // The parameter blocks (in mode 1 a group "Input Parameters" or "Output Parameters").
    void OutputInputParameters(IoctlFields& fields, LPCSTR first, LPCSTR second);
    void OutputInputParametersWithReportId(IoctlFields& fields, LPCSTR first, LPCSTR second);
    void OutputOutputParameters(IoctlFields& fields, LPCSTR second, LPCSTR third);
    void OutputOutputParametersWithReportId(IoctlFields& fields, LPCSTR second);
    void OutputIndexedStringParameters(IoctlFields& fields);
    void OutputReportIdField(IoctlFields& fields);

    // The data sections behind a 16-byte block (the 28-byte one for the indexed string).
    void OutputCollectionInformation(IoctlFields& fields);
    void OutputPreparsedData(IoctlFields& fields);
    void OutputReportData(IoctlFields& fields, const ReportForm& form, bool setForm);
    void OutputPhysicalDescriptor(IoctlFields& fields);
    void OutputStringData(IoctlFields& fields, LPCSTR name);
    void OutputIndexedStringData(IoctlFields& fields);
    // "BufferLength" of a data section: the bytes behind the block.
    void OutputBufferLength(IoctlFields& fields, ULONG count);
};

// IoctlFamilyOutputer: what the decoders of the four IOCTL families (HID, host controller, hub, internal USB)
// share: each is a family table of its codes and one operation per code. The skeleton names the request by
// its published macro (in the family's category of the pane and as the mark-up function word), shows the
// IRP's major function, and hands the record's payload to the code's operation; a returned record only
// tells that the dispatch routine returned, and a code the table does not know shows no body.
#pragma once

#include <span>

#include "app/decoders/framework/CodeTable.h"
#include "app/decoders/framework/IrpOutputer.h"

class IoctlFamilyOutputer;

// One code's operation: (mode, payload length, payload). A family's decoder keeps its operations as member
// functions of its own class; the table holds them as the skeleton's.
using IoctlOperation = void (IoctlFamilyOutputer::*)(int mode, ULONG dataSize, const BYTE* pData);

struct IoctlCode {
    CodeRow row; // the name is the IOCTL's macro name
    IoctlOperation operation = nullptr;
};

// A row of a family's table: the code by its macro, the filter page's text where it differs, the offer, and
// the operation (a member function of the family's decoder).
#define TDL_IOCTL_CODE(macro, filterText, offer, operation)                                                            \
    IoctlCode {                                                                                                        \
        CodeRow{macro, #macro, filterText, offer}, static_cast<IoctlOperation>(operation)                              \
    }

struct IoctlFamily {
    const char* category; // the pane's category ("HID")
    const char* caption;  // the item naming the request in it ("HID Ioctl")
    // The family's word in its macro names after "IOCTL_" ("HID_"): the record list's name leaves it out.
    const char* word;
    const char* unnamed;      // the title of a code the table has no name for ("HID_IOCTL_%X")
    bool internal;            // sent as internal device-control requests
    const char* filterPrefix; // what the filter page puts before each text
    std::span<const IoctlCode> codes;
};

// The families' tables.
const IoctlFamily& HidIoctlFamily();
const IoctlFamily& HcdIoctlFamily();
const IoctlFamily& HubIoctlFamily();
const IoctlFamily& InternalIoctlFamily();

// The record list's name of a code of the family ("GET_DRIVER_CONFIG"), or null when the table has none.
LPCSTR IoctlListName(const IoctlFamily& family, ULONG code);
// The record list's name of a row.
LPCSTR IoctlListName(const IoctlFamily& family, const IoctlCode& code);

class IoctlFamilyOutputer : public IrpOutputer {
public:
    IoctlFamilyOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord, const IoctlFamily& family);
    ~IoctlFamilyOutputer() override;

    void OutputFunctionCode() override;
    void OutputKindTitle(int mode) override;
    void OutputIrpFunction() override;
    // The code's operation over the record's payload.
    virtual void OutputIoctlBody(int mode);

    // The code's macro name, or the family's title of an unnamed code.
    CString GetIoctlName() const;

protected:
    // Whether the record is of the request or the completion side.
    bool IsDecodedSide() const;

private:
    const IoctlFamily& m_family;
};

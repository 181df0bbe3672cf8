// CStringContent: the names the analyzer shows for USB and Windows constants (status codes, request codes and
// the like). It holds no state: callers build one on the stack for a lookup and let it go. An operation
// either assigns its text to the caller's string or appends it (so the caller may put a prefix first); every
// table has a fallback, so no lookup fails. The *Text forms give the table's constant text itself, for the
// record list, which names a request in every visible row on each paint and must not copy it.
#pragma once

#include <afx.h>

// The name of a URB function code (0 to 52, 0x1000 to 0x1002); "UNKNOWN" for any other code.
LPCSTR UrbFunctionName(USHORT code);

class CStringContent {
public:
    CStringContent() = default;
    ~CStringContent() = default;

    // Short NTSTATUS name without its "STATUS_" prefix ("SUCCESS", "PENDING", ...), assigned; an unlisted
    // code as "0x%08lx".
    void NtStatusName(CString& text, ULONG status) const;
    // The listed NTSTATUS name, or null.
    static LPCSTR NtStatusText(ULONG status);

    // Standard request names, assigned ("Unknown" when unlisted).
    void StandardRequestName(UCHAR bRequest, CString& text) const;
    // Class request names (hub, hub port, HID, printer, mass-storage bulk-only), appended ("Unknown" when
    // unlisted).
    void HubRequestName(UCHAR bRequest, CString& text) const;
    void PortRequestName(UCHAR bRequest, CString& text) const;
    void HidRequestName(UCHAR bRequest, CString& text) const;
    void PrinterRequestName(UCHAR bRequest, CString& text) const;
    void MscBotRequestName(UCHAR bRequest, CString& text) const;
    // The same names as constant texts, "Unknown" when unlisted.
    static LPCSTR StandardRequestText(UCHAR bRequest);
    static LPCSTR HubRequestText(UCHAR bRequest);
    static LPCSTR PortRequestText(UCHAR bRequest);
    static LPCSTR HidRequestText(UCHAR bRequest);
    static LPCSTR PrinterRequestText(UCHAR bRequest);
    static LPCSTR MscBotRequestText(UCHAR bRequest);
};

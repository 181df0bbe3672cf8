// CStringContent: the names the analyzer shows for USB and Windows constants (status codes, request codes and
// the like). It holds no state: callers build one on the stack for a lookup and let it go. An operation
// either assigns its text to the caller's string or appends it (so the caller may put a prefix first); every
// table has a fallback, so no lookup fails. The *Text forms give the table's constant text itself, for the
// record list, which names a request in every visible row on each paint and must not copy it.
#pragma once

#include <afx.h>

class CStringArray;

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

    // USBD status name ("USBD_STATUS_..."), the string emptied first; an unlisted code as "0x%08x".
    void UsbdStatusName(CString& text, ULONG status) const;

    // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in lower case, assigned.
    void GuidToString(const GUID& guid, CString& text) const;
    // Class, subclass and protocol codes: hex := "%02x" of the code, name := its name (both assigned). The
    // context byte of ProtocolName is not looked at.
    void ClassName(UCHAR classCode, CString& hex, CString& name) const;
    void SubClassName(UCHAR classCode, UCHAR subClass, CString& hex, CString& name) const;
    void ProtocolName(UCHAR classCode, UCHAR subClass, UCHAR protocol, UCHAR context, CString& hex,
                      CString& name) const;
    // Endpoint attributes, assigned; a transfer type above 3 leaves the string as it was.
    void TransferTypeName(UCHAR type, CString& text) const;
    void UsageTypeName(UCHAR attributes, CString& text) const;
    void SyncTypeName(UCHAR attributes, CString& text) const;
    // A high-bandwidth endpoint's additional transactions per microframe (1 or 2, also the result) and its
    // bytes per microframe; 0, and the outputs untouched, for any other endpoint.
    int DecodeMaxPacketSize(USHORT wMaxPacketSize, UCHAR& count, ULONG& total) const;
    // A hub port's connection status, assigned: plain, or for the HTML report with every state but a
    // working connection in red mark-up.
    void ConnectionStatusText(ULONG status, CString& text) const;
    void ConnectionStatusHtml(ULONG status, CString& text) const;
    // A descriptor type, assigned; class and vendor types by their kind, a reserved kind leaves the string.
    void DescriptorTypeName(UCHAR type, CString& text) const;
    // Appends the device class as "%02x", its name, and the interface's class name where the device defers
    // to its one interface (else empty), from an 8-byte device summary; nothing, with a warning traced,
    // for a device without configurations.
    void DeviceClassStrings(const BYTE* summary, CStringArray& strings) const;
    // Up to 16 bytes as "%02x", separated by blanks or not; the string is replaced (left alone for no
    // bytes). Result: the bytes used.
    ULONG HexBytesSpaced(CString& text, const BYTE* bytes, ULONG count) const;
    ULONG HexBytesPacked(CString& text, const BYTE* bytes, ULONG count) const;
    // Lines of 16 spaced bytes joined by "<br>", at most `maximum` bytes, a bold ellipsis when cut.
    void HexDumpHtml(CString& text, const BYTE* bytes, ULONG length, ULONG maximum) const;
    // All bytes as one run of hexadecimal digits.
    void HexString(CString& text, const BYTE* bytes, ULONG length) const;
};

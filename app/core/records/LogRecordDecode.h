// CLogRecordDecode: a view over one captured record (its _LOGHDR header and payload) with the accessors
// that the record store, the list view, the filters and the decoders share. The view owns nothing and
// never reads past the record's DataSize, nor past the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "afx.h"
#include "common/ByteReader.h"
#include "common/LogHeader.h"

class CDeviceObject;
class CDeviceStack;
class CUSBLog;

// What a URB record's device stack is, for naming class requests.
enum UrbClassKind : ULONG {
    URB_CLASS_NONE = 0, // no stack
    URB_CLASS_HUB = 512,
    URB_CLASS_HID = 513,
    URB_CLASS_MSC_BOT = 514, // mass storage, bulk-only transport
    URB_CLASS_PRINTER = 515,
    URB_CLASS_GENERIC = 516,
};

// A URB record's function as the list and the decoders name it; the texts are constant tables' own.
struct UrbFunctionInfo {
    LPCSTR name;     // the URB function's name, or a control transfer's setup type ("STD_DEVICE(32)")
    LPCSTR detail;   // the class or standard request's name; null when there is none
    UCHAR request;   // the request byte; 255 without a stack or when the record does not hold it
    ULONG classKind; // UrbClassKind
};

class CLogRecordDecode {
public:
    CLogRecordDecode() = default;
    // A record known to be whole (its frame checked): the view spans its header and DataSize bytes.
    CLogRecordDecode(const _LOGHDR* pRecord, CUSBLog* pDocument);
    // A record and the bytes that are there at it: reads stop at DataSize or at `available`, whichever
    // comes first. Fewer than 64 bytes give a view without a record.
    CLogRecordDecode(const void* pRecord, size_t available, CUSBLog* pDocument = nullptr);
    virtual ~CLogRecordDecode();

    CLogRecordDecode(const CLogRecordDecode&) = default;
    CLogRecordDecode& operator=(const CLogRecordDecode&) = default;

    bool HasRecord() const { return m_pRecord != nullptr; }
    const BYTE* GetRecord() const { return m_pRecord; }
    CUSBLog* GetDocument() const { return m_pDocument; }

    // Header fields (0 without a record).
    ULONG GetLogType() const;
    ULONG GetFunctionWord() const;
    ULONG GetStatus() const;
    ULONG GetDataSize() const;
    ULONG GetSequenceNumber() const;
    USHORT GetStackID() const;
    // "####", or "****" where the document marked a gap in the sequence before the record.
    ULONG GetSyncWord() const;
    LONGLONG GetTimeStamp() const;
    UCHAR GetStackCount() const;
    signed char GetCurrentLocation() const;
    ULONG64 GetDeviceObject() const;
    ULONG64 GetIrp() const;
    ULONG64 GetStackLocation() const;

    // The payload bytes the view may read: DataSize bytes, or fewer when fewer were given.
    std::span<const uint8_t> GetPayload() const { return m_payload; }
    // Reads a value at a payload offset; false when the payload does not hold it.
    template <class T> bool ReadPayload(size_t offset, T& out) const {
        return tdl::LoadAt(m_payload.data(), m_payload.size(), offset, out);
    }

    // URB function code (the function word's low 13 bits) and the synchronous flag (bit 13).
    ULONG GetFunctionCode() const;
    BOOL IsSynchronous() const;
    // The function word's third and fourth bytes: on "urbR" records of control-type requests the setup
    // packet's request type and request.
    signed char GetFunctionRequestType() const;
    signed char GetFunctionRequest() const;

    // "urbI", "urbR", "urbC", "iCnt" or "cCnt".
    BOOL IsUrbRecord() const;

    // Phase predicates; each is true for its own tags, for the records that describe no request, for a
    // tag this view does not know, and when there is no record. "iCnt" satisfies none of them.
    BOOL HasInputData() const;    // initiated tags
    BOOL HasOutputData() const;   // completed tags and "cCnt"
    BOOL HasTransferData() const; // returned tags

    // A tag of the table above (false without a record).
    bool IsKnownLogType() const;

    // Kind and state texts of the list and the decoders: " URB" and "init", " PNP*" and " ret", ...
    void GetTypeAndDisposition(LPCSTR& type, LPCSTR& disposition) const;
    void GetTypeAndDisposition(CString& type, CString& disposition) const;

    // Transfer direction of a URB record: when the pipe's interface byte is 0xFF (unknown pipe), bit 0 of
    // the transfer flags; otherwise bit 7 of the endpoint address. Continuation records carry the same
    // bytes in their own part 1. False when the record does not carry a direction.
    BOOL IsDirectionIn() const;
    BOOL IsDirectionInForSchema(UINT schema) const;
    // The same, telling apart "OUT" from "not carried by this record".
    bool TryGetDirectionIn(bool& directionIn) const;

    // Names of the function word. PnP and power minor functions fall back to "PNP_%02X" and "POWER_%02X";
    // the IOCTL and hook tables leave the text empty for a value they do not list.
    void GetPnpMinorName(CString& text) const;
    void GetPowerMinorName(CString& text) const;
    void InternalIoctlName(CString& text) const;
    void HcdIoctlName(CString& text) const;
    void HubIoctlName(CString& text) const;
    void HidIoctlName(CString& text) const;
    void HubInterfaceFunctionName(CString& text) const;
    void MiniportFunctionName(CString& text) const;

    // The device stack of the record's StackID in the document's stack tree; null without one.
    CDeviceStack* FindDeviceStack() const;
    // The document's device object at the record's DeviceObject address at the record's time; null when
    // the document knows none.
    CDeviceObject* FindTargetDeviceObject() const;
    // The stack's kind (URB_CLASS_NONE without a stack).
    ULONG GetClassKind() const;
    // The stack's interface subclass (for a mass-storage stack its command set); 0xFF without a stack.
    BYTE GetStackSubClass() const;
    // The stack is a mass-storage device with the bulk-only transport.
    BOOL IsMassStorageBot() const;

    // The function's name and, for class requests (functions 26, 27, 31) and control transfers with a
    // setup packet (50) on a stack that names them, the request's name. Continuation records hold no
    // request, so they get the plain name.
    void GetFunctionInfo(UrbFunctionInfo& info) const;
    // The same as texts: the name with "(sync)" for a synchronous request, the plain name, the request's
    // name (empty when none), the request byte and the class kind.
    void GetFunctionText(CString& nameText, CString& plainName, CString& classRequestText, UCHAR& classRequestCode,
                         ULONG& classKind) const;

    // A bulk-only transport's command wrapper sent in a "urbI" bulk transfer (31 bytes, "USBC") or status
    // wrapper received in a "urbC" one (13 bytes, "USBS"): the wrapper's bytes within the record, or null
    // when the record's part 1 and captured data do not hold one whole.
    const BYTE* FindCbw() const;
    const BYTE* FindCsw() const;

private:
    const BYTE* m_pRecord = nullptr;
    CUSBLog* m_pDocument = nullptr;
    std::span<const uint8_t> m_payload;
};

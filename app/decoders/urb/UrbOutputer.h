// UrbOutputer: the decoder of URB records ("urbI", "urbR", "urbC") and of the continuation records of large
// transfers ("iCnt", "cCnt"). The function code picks a decoding slot; each slot is a sequence of the field
// operations below. Class-specific decoders derive from it and replace a few slots.
//
// Every slot takes (mode, bytes of payload there, payload). Fixed-part fields the record does not hold show
// "???", after one "Truncated" defect; counts read from a record never reach past its bytes.
#pragma once

#include <optional>
#include <span>

#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/IrpOutputer.h"
#include "app/decoders/framework/StringContent.h"

class CDeviceStack;
struct UrbFunctionCode;

class UrbOutputer : public IrpOutputer {
public:
    UrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~UrbOutputer() override;

    // The URB decoder for the record's target device, on the heap and owned by the caller; null only when
    // the allocation fails.
    static UrbOutputer* Create(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);

    // The URB functions' code table, whose rows name this class's slots (UrbFunctions.h).
    static std::span<const UrbFunctionCode> FunctionCodes();

    // A reading position over a structure inside the payload, for structures that may be cut short.
    struct FieldCursor {
        const BYTE* p = nullptr;
        LONG dataLeft = 0;      // bytes left in the data
        LONG structureLeft = 0; // bytes left in the current structure
    };
    // Consumes `width` bytes when both counts allow it; otherwise what is left of the shorter, and false.
    static bool ConsumeBytes(FieldCursor& cursor, LONG width);

    // The value of a setup packet's fields for a walk: wValue in bits 15-0, wIndex in bits 31-16: a class
    // request's table names its fields as bits of it (FieldBits), with the name a field's value may carry
    // given as the mark-up element's attribute after it (FieldDecl::kAttributeAfter).
    static ULONG SetupWord(USHORT wValue, USHORT wIndex) { return wValue | (static_cast<ULONG>(wIndex) << 16); }

    // One request of a class decoder's table: its code, the mark-up section's name, the request's name, the
    // rows of its wValue and wIndex (over SetupWord), and what the class makes of it (what the data stage
    // holds; fields the rows cannot express), in the class's own numbers.
    struct ClassRequestEntry {
        BYTE code;
        LPCSTR element;
        LPCSTR name;
        std::span<const FieldDecl> rows;
        int data = 0;
        int special = 0;
        // The record list's name of the request; null: the section's.
        LPCSTR listed = nullptr;
    };
    // The record list's name of a request of a class's table; "Unknown" for a code the table does not list.
    static LPCSTR ListedClassRequest(std::span<const ClassRequestEntry> table, BYTE code);
    // The table's entry of the code, or `unknown`.
    static const ClassRequestEntry& FindClassRequest(std::span<const ClassRequestEntry> table, BYTE code,
                                                     const ClassRequestEntry& unknown);

    // A class request as a class decoder reads it from a class-request URB (bmRequestType calculated) or a
    // control-ex (bmRequestType from its setup packet), with the data bytes the record holds behind it.
    struct ClassRequest {
        BYTE bmRequestType = 0;
        BYTE bRequest = 0;
        USHORT wValue = 0;
        USHORT wIndex = 0;
        ULONG length = 0; // TransferBufferLength, which "Length" shows (never wLength)
        ULONG status = 0;
        bool in = false; // TransferFlags bit 0, or bmRequestType bit 7 of a control-ex
        BYTE recipient = 0;
        CString description;
        size_t dataOffset = 0;
        ULONG dataCount = 0; // bytes behind the fixed part
        // Whether a data stage is there to show: bytes behind the fixed part and a buffer length.
        bool HasData() const { return dataCount > 0 && length > 0; }
    };

    // The function text of the grid's title (with the code, `titled`) or of the mark-up function word; the
    // class and class-request texts stay empty for a record whose device is of no known class, and for a
    // control transfer whose setup packet is not of the class type.
    void FormatFunctionName(CString& text, bool titled, CString& classText, CString& classRequestText);
    CDeviceStack* FindDeviceStack() const;
    virtual ULONG GetClassKind();

    void OutputFunctionCode() override;
    void OutputKindTitle(int mode) override;
    void OutputIrpFunction() override;
    virtual void OutputUrbBody(int mode);

    // Field operations that decoders outside this family (hub interface, port-driver hooks) borrow.
    void InsertEndpointAddress(int mode, FieldCursor& cursor, BYTE address);
    void InsertSetupPacket(int mode, const BYTE* setup);

protected:
    // Decoding slots.
    virtual void OutputSelectConfiguration(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputSelectInterface(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputPipeRequest(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputFrameLengthControl(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputGetFrameLength(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputSetFrameLength(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputGetFrameNumber(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputBulkInterruptTransfer(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputBulkPayload(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputIsochronousTransfer(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputTransferContinuation(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputDescriptorRequest(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputControlFeature(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputControlGetStatus(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputVendorDevice(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputVendorInterface(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputVendorEndpoint(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputVendorOther(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputClassDevice(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputClassInterface(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputClassEndpoint(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputClassOther(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputGetConfiguration(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputGetInterface(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputMsFeatureDescriptor(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputPipeIoPolicy(int mode, ULONG dataSize, const BYTE* pPart, int setPolicy);
    virtual void OutputOpenEndpoint(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputCloseEndpoint(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputGetEndpointState(int mode, ULONG dataSize, const BYTE* pPart);
    virtual void OutputUnknownFunction(int mode, ULONG dataSize, const BYTE* pPart);
    void OutputSetPipeIoPolicy(int mode, ULONG dataSize, const BYTE* pPart);
    void OutputGetPipeIoPolicy(int mode, ULONG dataSize, const BYTE* pPart);

    // The head alone (frame-length control and unknown functions).
    void OutputUrbHeader(int mode);

    // --- reading the fixed part ---
    // The writer of a decoding pass in the mode: it reads the payload under the record's short-record rule (a
    // field past the part the driver writes for the function is not a cut: it shows "???" alone).
    FieldWriter& Fields(int mode);
    // Data bytes from an offset: the count asked for, bounded by the bytes the record holds.
    ULONG DataBytesAt(size_t offset, ULONG wanted) const;
    const BYTE* PayloadAt(size_t offset) const;

    // --- field operations ---
    void InsertUrbHeaderFields(int mode);
    void InsertUrbStatus(int mode);
    void InsertTransferFlags(int mode, ULONG flags, bool have = true);
    void InsertTimeout(int mode, ULONG timeout, bool have = true);
    void InsertTransferBufferLength(int mode, ULONG length, bool have = true);
    void InsertByteField(int mode, FieldCursor& cursor, LPCSTR label);
    void InsertWordField(int mode, FieldCursor& cursor, LPCSTR label);
    void InsertDwordField(int mode, FieldCursor& cursor, LPCSTR label);
    void InsertHandle(int mode, FieldCursor& cursor, LPCSTR label, bool wide);
    void InsertPipeType(int mode, FieldCursor& cursor, LONG width);
    void InsertClassCodes(int mode, FieldCursor& cursor);
    // Direction of a transfer by its pipe block and flags (see the record view's rule).
    bool IsDirectionIn(size_t pipeOffset, ULONG transferFlags) const;
    void InsertPipeInformation(int mode, size_t pipeOffset);
    void InsertSetupPacketAt(int mode, size_t offset);
    void InsertSetupPacket(int mode, FieldCursor cursor);
    void InsertSetupFields(int mode, FieldCursor& cursor);
    // "TransferBufferLength" in the format given; on a completion without error the data behind it as one
    // hex line of at most 16 bytes.
    void OutputLengthAndStatusBuffer(int mode, size_t lengthOffset, FieldFormat format, size_t dataOffset);
    // A transfer's TransferBufferLength, its starting offset when more records follow, the buffer's
    // address (when its offset is given) and its data behind the fixed part.
    void OutputTransferData(int mode, size_t lengthOffset, size_t capturedOffset, size_t fixedSize, bool in, int kind,
                            ULONG& length, ULONG& captured, size_t addressOffset = 0);
    void InsertDescriptorTypeIndex(int mode, USHORT wValue);
    void InsertCalculatedSetupPacket(int mode, BYTE bmRequestType, const CString& description);
    void InsertRequestType(int mode);
    static BYTE ComposeRequestType(BYTE direction, BYTE type, BYTE recipient);
    void RequestTypeText(BYTE type, BYTE recipient, LPCSTR typeWord, BYTE& bmRequestType, CString& description);
    void InsertBmRequestType(int mode, BYTE bmRequestType);
    // A control-ex URB's bmRequestType (false when the record does not hold it) in the mode's hexadecimal
    // form, its "(direction,type,recipient)" words and the "<typeWord> request to/from <recipient>" text.
    bool InsertRecipient(int mode, LPCSTR typeWord, CString& hex, CString& triple, CString& description,
                         BYTE& bmRequestType);
    // The same without the number's text.
    bool ReadRecipient(LPCSTR typeWord, CString& triple, CString& description, BYTE& bmRequestType) const;
    static int VendorClassBufferKind(ULONG function);
    static int RequestTypeBufferKind(BYTE bmRequestType);

    // The data bytes of a record, once, on the side where they were captured, in the media given (the grid's
    // buffer item and data bar, the mark-up's hexadecimal text).
    void InsertTransferData(int mode, size_t dataOffset, ULONG transferBufferLength, ULONG capturedLength,
                            ULONG startingOffset, bool directionIn, ULONG status, int kind,
                            uint8_t media = kGrid | kXml);
    // The grid's buffer item with its caption, and the bytes in the data bar under the title of their kind.
    void InsertTransferBuffer(FieldWriter& fields, LPCSTR caption, int kind, bool input, const BYTE* data,
                              ULONG transferBufferLength, ULONG capturedLength, ULONG startingOffset);
    CString TransferBufferHex(const BYTE* data, ULONG capturedLength, int kind) const;
    // Bytes a buffer of the kind shows, by the capture size code of its transfer type.
    ULONG ShownBytes(int kind, ULONG capturedLength) const;
    // A descriptor the record carries, by its type; `cut`: its bytes end where the record was cut.
    void OutputDescriptorData(int mode, BYTE type, BYTE index, const BYTE* data, ULONG length, bool cut = false);
    // The descriptor a completed GET_DESCRIPTOR setup packet fetched.
    void OutputSetupDescriptor(int mode, size_t setupOffset, size_t dataOffset, ULONG length, ULONG captured);
    // "Starting Offset" 0 on a record whose buffer continues in further records.
    void OutputStartingOffset(int mode);
    // A completion-side hex line of at most 16 bytes (GET_STATUS and its kin).
    void InsertStatusBuffer(int mode, size_t dataOffset, ULONG transferBufferLength);

    // The interface entries from an offset, in the layout the record's head names.
    void InsertInterfaceAndPipeInfo(int mode, size_t offset);
    void OutputVendorClass(int mode, LPCSTR element, LPCSTR typeWord, BYTE type, BYTE recipient, int kind);
    // A vendor or class request's element (mark-up), its head, flags and reserved bits, and the setup packet's
    // calculated bmRequestType with its description.
    void BeginVendorClass(int mode, LPCSTR element, LPCSTR typeWord, BYTE type, BYTE recipient, BYTE& bmRequestType,
                          CString& description);
    // Head, status and flags of a transfer; answers its direction.
    bool OutputTransferHead(int mode);

    // --- class requests: the setup stage as the class decoders show it ---
    // A section of rows over one value, opened and closed by the walk.
    void OutputFieldSection(int mode, LPCSTR caption, LPCSTR element, std::span<const FieldDecl> rows, ULONG value);

    // Where a control transfer's fields stand in its record: CONTROL_TRANSFER, or CONTROL_TRANSFER_EX (which
    // adds a timeout before the length). The port driver completes every standard, class and vendor request
    // as a CONTROL_TRANSFER, so both carry class requests in their setup packets.
    struct ControlLayout {
        size_t length;   // TransferBufferLength
        size_t captured; // bytes this record carries
        size_t setup;    // the 8-byte setup packet
        size_t fixed;    // where the carried bytes begin
        bool timeout;    // a Timeout field at offset 34
    };
    // The layout of the record's control function (the control-ex one for any other function).
    ControlLayout GetControlLayout() const;
    // A control transfer of either function as the plain decoder shows it: a class decoder's fallback for
    // setup packets that are not its class's.
    void OutputPlainControlTransfer(int mode, ULONG dataSize, const BYTE* pPart);

    // Reads the record's class request with the type word of the description ("Hub Class"); a class-request
    // URB takes the recipient given, a control transfer its setup packet's. False when the payload does not
    // cover the fixed part: the inherited slot then shows the record under the short-record rule.
    bool ReadClassRequest(ClassRequest& request, LPCSTR typeWord, BYTE recipient);
    // The type of a control transfer's setup packet: class, reserved (false when the record does not hold
    // it).
    bool IsClassRequest() const;
    bool IsReservedRequestType() const;
    // The header rows of a control transfer that a class decoder shows in place of the transfer's, with
    // "Starting Offset" on a record whose buffer continues in further records.
    void InsertControlTransferHeader(int mode);
    // Opens a class request's section ("Setup Packet" in the grid, the request's element in mark-up) with
    // bmRequestType and the named request; the class's fields follow, then CloseBlock.
    void OpenClassRequest(int mode, LPCSTR element, const ClassRequest& request, LPCSTR name);
    // The section's last field: "Length", the TransferBufferLength.
    void InsertClassRequestLength(int mode, ULONG length);
    // A decode that needs `needed` bytes of data: false, after a "Truncated" defect, when fewer are there.
    bool HasDataBytes(int mode, ULONG count, ULONG needed);

    USHORT m_nFunction = 0;
    BYTE m_bSynchronous = 0;
    size_t m_nNeeded = 16;

private:
    // The writers of this record's passes, one per mode (and one for a mode of none).
    std::optional<FieldWriter> m_fields[4];
};

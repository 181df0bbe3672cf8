// CdbOutputer: the decoder of one SCSI command block, the CBWCB field of a mass-storage bulk-only command
// wrapper. The URB decoder that shows the wrapper builds one, runs Output once and drops it. Output opens one
// section titled with the block's length and the device's command set, writes one row per field of the
// command the operation code names (or raw bytes for an unnamed code of groups 0, 1, 2, 4 and 5, nothing
// for groups 3, 6 and 7), and closes it.
//
// The block is the 16-byte CBWCB field whatever the wrapper's length says; no decoder reads past it.
// Command decoders are tables of CdbField rows, walked by one routine.
#pragma once

#include <span>

#include "app/decoders/framework/LogOutputer.h"
#include "app/decoders/scsi/CdbField.h"

class FieldWriter;

class CdbOutputer : public LogOutputer {
public:
    // The size of the CBWCB field: every decoder reads within it.
    static constexpr size_t kCdbSize = 16;

    CdbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord, const BYTE* pCdb, ULONG cdbLength);
    ~CdbOutputer() override;

    // The section and its rows; `subclass` is the bInterfaceSubClass of the device's mass-storage interface.
    void Output(int mode, BYTE subclass);

    // The command's name, or empty when the operation code has none.
    static void GetCommandName(const BYTE* pCdb, CString& name);
    // The command set's name as the title shows it; "???" for a code without one.
    static const char* SubclassName(BYTE subclass);

    static USHORT GetBigEndian16(const BYTE* p);
    static ULONG GetBigEndian24(const BYTE* p);
    static ULONG GetBigEndian32(const BYTE* p);
    static ULONGLONG GetBigEndian64(const BYTE* p);

    // The generic decoders of the groups, for operation codes without a decoder of their own.
    void OutputGeneric6(int mode, const BYTE* pCdb);
    void OutputGeneric10(int mode, const BYTE* pCdb);
    void OutputGeneric16(int mode, const BYTE* pCdb);
    void OutputGeneric12(int mode, const BYTE* pCdb);

    // The decoder of operation code 0xAB, SERVICE ACTION IN(12): READ MEDIA SERIAL NUMBER for
    // service action 1, raw bytes for any other.
    void OutputServiceActionIn12(int mode, const BYTE* pCdb);

    // The size of the command block of an operation code's group, and so the position of its control byte
    // (the last). Groups 3, 6 and 7 have none: 0.
    static size_t GroupSize(BYTE opcode);

private:
    // The rows of a command: its name and code, its fields, its control byte.
    void OutputCommand(FieldWriter& fields, const BYTE* pCdb, BYTE subclass, std::span<const CdbField> rows);
    // Rows whose conditions hold, in order.
    void OutputFields(FieldWriter& fields, const BYTE* pCdb, BYTE subclass, std::span<const CdbField> rows);
    // The decoder of an operation code, or null for a code decoded by its group's generic rows.
    static const CdbCommand* FindCommand(BYTE opcode);

    const BYTE* const m_pCdb;
    const ULONG m_CdbLength;
};

#include "app/decoders/scsi/CdbOutputer.h"

#include <array>

#include "app/decoders/framework/FieldWriter.h"

namespace {

// Names of operation codes 0x00-0x5F; an unassigned code has the empty name.
constexpr const char* kNamesLow[0x60] = {
    // 0x00
    "TEST UNIT READY",
    "REWIND/REZERO UNIT",
    "",
    "REQUEST SENSE",
    "FORMAT UNIT",
    "READ BLOCK LIMITS",
    "",
    "REASSIGN BLOCKS",
    "READ(06)",
    "",
    "WRITE(06)",
    "SEEK(06)",
    "",
    "",
    "",
    "",
    // 0x10
    "WRITE FILEMARKS",
    "SPACE(06)",
    "INQUIRY",
    "VERIFY(06)",
    "RECOVER BUFFERED DATA",
    "MODE SELECT(06)",
    "RESERVE(6)",
    "RELEASE(6)",
    "",
    "ERASE(06)",
    "MODE SENSE(06)",
    "START STOP UNIT",
    "RECEIVE DIAGNOSTIC RESULTS",
    "SEND DIAGNOSTIC",
    "PREVENT ALLOW MEDIUM REMOVAL",
    "",
    // 0x20
    "",
    "",
    "",
    "READ FORMAT CAPACITIES",
    "",
    "READ CAPACITY",
    "",
    "",
    "READ(10)",
    "READ GENERATION",
    "WRITE(10)",
    "SEEK(10)",
    "ERASE(10)",
    "READ UPDATED BLOCK",
    "WRITE AND VERIFY(10)",
    "VERIFY(10)",
    // 0x30
    "",
    "",
    "",
    "SET LIMITS(10)",
    "PRE-FETCH(10)",
    "SYNCHRONIZE CACHE(10)",
    "LOCK/UNLOCK CACHE(10)",
    "READ DEFECT DATA(10)",
    "MEDIUM SCAN",
    "",
    "",
    "WRITE BUFFER",
    "READ BUFFER",
    "UPDATE BLOCK",
    "READ LONG",
    "WRITE LONG",
    // 0x40
    "",
    "WRITE SAME(10)",
    "READ SUB CHANNEL",
    "READ TOC/PMA/ATIP",
    "READ HEADER",
    "PLAY AUDIO(10)",
    "GET CONFIGURATION",
    "PLAY AUDIO MSF",
    "",
    "",
    "GET EVENT STATUS NOTIFICATION",
    "PAUSE/RESUME",
    "LOG SELECT",
    "LOG SENSE",
    "STOP PLAY/SCAN",
    "",
    // 0x50
    "XDWRITE(10)",
    "READ DISC INFORMATION",
    "READ TRACK INFORMATION",
    "RESERVE TRACK",
    "SEND OPC INFORMATION",
    "MODE SELECT(10)",
    "RESERVE UNIT(10)",
    "RELEASE UNIT(10)",
    "REPAIR TRACK",
    "READ MASTER CUE",
    "MODE SENSE(10)",
    "CLOSE TRACK SESSION",
    "READ BUFFER CAPACITY",
    "SEND CUE SHEET",
    "PERSISTENT RESERVE IN",
    "PERSISTENT RESERVE OUT",
};

// Names of operation codes 0x80-0xBF.
constexpr const char* kNamesHigh[0x40] = {
    // 0x80
    "XDWRITE EXTENDED(16)",
    "REBUILD(16)",
    "REGENERATE(16)",
    "EXTENDED COPY",
    "RECEIVE COPY RESULTS",
    "",
    "",
    "",
    "READ(16)",
    "",
    "WRITE(16)",
    "",
    "",
    "",
    "WRITE AND VERIFY(16)",
    "VERIFY(16)",
    // 0x90
    "PRE-FETCH(16)",
    "SYNCHRONIZE CACHE(16)",
    "LOCK/UNLOCK CACHE(16)",
    "WRITE SAME(16)",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    // 0xA0
    "REPORT LUNS",
    "BLANK",
    "SEND EVENT",
    "SEND KEY",
    "REPORT KEY",
    "PLAY AUDIO(12)",
    "LOAD/UNLOAD MEDIUM",
    "SET READ AHEAD",
    "READ(12)",
    "",
    "WRITE(12)",
    "",
    "GET PERFORMANCE",
    "READ DISC STRUCTURE",
    "WRITE AND VERIFY(12)",
    "VERIFY(12)",
    // 0xB0
    "",
    "",
    "",
    "SET LIMITS(12)",
    "",
    "",
    "SET STREAMING",
    "READ DEFECT DATA(12)",
    "",
    "READ CD MSF",
    "SCAN",
    "SET CD SPEED",
    "PLAY CD",
    "MECHANISM STATUS",
    "READ CD",
    "SEND DISC STRUCTURE",
};

constexpr const char* kSubclassNames[] = {"???", "RBC", "MMC-5", "???", "???", "???", "SPC-2"};

constexpr BYTE kServiceActionIn12 = 0xAB;
constexpr BYTE kReadMediaSerialNumber = 1;

BYTE ServiceAction(const BYTE* pCdb) {
    return pCdb[1] & 0x1F;
}

// The subclass as the rows' conditions name it.
uint8_t SubclassBit(BYTE subclass) {
    switch (subclass) {
    case 1: return cdb_when::kRbc;
    case 2: return cdb_when::kMmc;
    case 6: return cdb_when::kSpc;
    default: return cdb_when::kOther;
    }
}

// The generic rows of each group: the bytes as they stand, without a name.
constexpr CdbField kGeneric6[] = {Byte("OperationCode", 0), Byte("Byte1", 1), Byte("Byte2", 2),
                                  Byte("Byte3", 3),         Byte("Byte4", 4), Byte("Control", 5)};
constexpr CdbField kGeneric10[] = {Byte("OperationCode", 0), Group("Bytes 1-4", "Bytes.1-4", 1, 4),
                                   Group("Bytes 5-8", "Bytes.5-8", 5, 4), Byte("Control", 9)};
constexpr CdbField kGeneric16[] = {Byte("OperationCode", 0),
                                   Group("Bytes 1-4", "Bytes.1-4", 1, 4),
                                   Group("Bytes 5-8", "Bytes.5-8", 5, 4),
                                   Group("Bytes 9-12", "Bytes.9-12", 9, 4),
                                   Group("Bytes 13-14", "Bytes.13-14", 13, 2),
                                   Byte("Control", 15)};
constexpr CdbField kGeneric12[] = {Byte("OperationCode", 0), Group("Bytes 1-4", "Bytes.1-4", 1, 4),
                                   Group("Bytes 5-8", "Bytes.5-8", 5, 4), Group("Bytes 9-10", "Bytes.9-10", 9, 2),
                                   Byte("Control", 11)};

constexpr CdbField kReadMediaSerialNumberFields[] = {BitRange("ServiceAction", 1, 4, 0), U32("DataLength", 6)};

} // namespace

CdbOutputer::CdbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord, const BYTE* pCdb,
                         ULONG cdbLength)
    : LogOutputer(pImp, pDocument, pRecord), m_pCdb(pCdb), m_CdbLength(cdbLength) {}

CdbOutputer::~CdbOutputer() = default;

USHORT CdbOutputer::GetBigEndian16(const BYTE* p) {
    return static_cast<USHORT>((p[0] << 8) | p[1]);
}

ULONG CdbOutputer::GetBigEndian24(const BYTE* p) {
    return (static_cast<ULONG>(p[0]) << 16) | (static_cast<ULONG>(p[1]) << 8) | p[2];
}

ULONG CdbOutputer::GetBigEndian32(const BYTE* p) {
    return (static_cast<ULONG>(p[0]) << 24) | GetBigEndian24(p + 1);
}

ULONGLONG CdbOutputer::GetBigEndian64(const BYTE* p) {
    return (static_cast<ULONGLONG>(GetBigEndian32(p)) << 32) | GetBigEndian32(p + 4);
}

void CdbOutputer::GetCommandName(const BYTE* pCdb, CString& name) {
    name.Empty();
    const BYTE opcode = pCdb[0];
    if (opcode < 0x60)
        name = kNamesLow[opcode];
    else if (opcode == kServiceActionIn12 && ServiceAction(pCdb) == kReadMediaSerialNumber)
        name = "READ MEDIA SERIAL NUMBER";
    else if (opcode >= 0x80 && opcode < 0xC0)
        name = kNamesHigh[opcode - 0x80];
}

const char* CdbOutputer::SubclassName(BYTE subclass) {
    return subclass < std::size(kSubclassNames) ? kSubclassNames[subclass] : "???";
}

size_t CdbOutputer::GroupSize(BYTE opcode) {
    switch (opcode >> 5) {
    case 0: return 6;
    case 1:
    case 2: return 10;
    case 4: return 16;
    case 5: return 12;
    default: return 0;
    }
}

const CdbCommand* CdbOutputer::FindCommand(BYTE opcode) {
    // One slot per operation code below 0xC0, filled once from the group tables.
    static const std::array<const CdbCommand*, 0xC0> byOpcode = [] {
        std::array<const CdbCommand*, 0xC0> table{};
        for (auto group : {CdbCommands6(), CdbCommands10(), CdbCommands12(), CdbCommands16()}) {
            for (const CdbCommand& command : group)
                table[command.opcode] = &command;
        }
        return table;
    }();
    return opcode < byOpcode.size() ? byOpcode[opcode] : nullptr;
}

void CdbOutputer::Output(int mode, BYTE subclass) {
    FieldWriter fields(*this, mode);
    // The HTML report has no place for a command block: its back-end would drop every call.
    if (fields.In(kHtml))
        return;
    CString title;
    title.Format("CDB%d.%s", static_cast<int>(m_CdbLength), SubclassName(subclass));
    // "???" names no command set, and no element either: XML calls the set "Unknown".
    CString element = title;
    element.Replace("???", "Unknown");
    fields.Open(FieldSection::Category, {element, title});

    const BYTE opcode = m_pCdb[0];
    if (opcode == kServiceActionIn12) {
        OutputServiceActionIn12(mode, m_pCdb);
    } else if (const CdbCommand* command = FindCommand(opcode)) {
        OutputCommand(fields, m_pCdb, subclass, command->fields);
    } else {
        switch (GroupSize(opcode)) {
        case 6: OutputGeneric6(mode, m_pCdb); break;
        case 10: OutputGeneric10(mode, m_pCdb); break;
        case 16: OutputGeneric16(mode, m_pCdb); break;
        case 12: OutputGeneric12(mode, m_pCdb); break;
        default: break; // groups 3, 6 and 7: the section stays empty
        }
    }

    fields.Close(FieldSection::Category);
}

void CdbOutputer::OutputGeneric6(int mode, const BYTE* pCdb) {
    FieldWriter fields(*this, mode);
    OutputFields(fields, pCdb, 0, kGeneric6);
}

void CdbOutputer::OutputGeneric10(int mode, const BYTE* pCdb) {
    FieldWriter fields(*this, mode);
    OutputFields(fields, pCdb, 0, kGeneric10);
}

void CdbOutputer::OutputGeneric16(int mode, const BYTE* pCdb) {
    FieldWriter fields(*this, mode);
    OutputFields(fields, pCdb, 0, kGeneric16);
}

void CdbOutputer::OutputGeneric12(int mode, const BYTE* pCdb) {
    FieldWriter fields(*this, mode);
    OutputFields(fields, pCdb, 0, kGeneric12);
}

void CdbOutputer::OutputServiceActionIn12(int mode, const BYTE* pCdb) {
    if (ServiceAction(pCdb) == kReadMediaSerialNumber) {
        FieldWriter fields(*this, mode);
        OutputCommand(fields, pCdb, 0, kReadMediaSerialNumberFields);
    } else {
        OutputGeneric12(mode, pCdb);
    }
}

void CdbOutputer::OutputCommand(FieldWriter& fields, const BYTE* pCdb, BYTE subclass, std::span<const CdbField> rows) {
    CString name;
    GetCommandName(pCdb, name);
    CString text;
    text.Format("%s [%02x]", name.GetString(), pCdb[0]);
    fields.Field("OperationCode", text, nullptr, kNotMarkup);
    text.Format("%s.[%02x]", name.GetString(), pCdb[0]);
    fields.Field("OperationCode", text, nullptr, kXml);
    OutputFields(fields, pCdb, subclass, rows);
    fields.FieldAt(Byte("Control", static_cast<uint8_t>(GroupSize(pCdb[0]) - 1)).field, pCdb);
}

void CdbOutputer::OutputFields(FieldWriter& fields, const BYTE* pCdb, BYTE subclass, std::span<const CdbField> rows) {
    const uint8_t subclassBit = SubclassBit(subclass);
    for (const CdbField& row : rows) {
        if ((row.subclasses & subclassBit) == 0)
            continue;
        if (row.testMask != 0 && (pCdb[row.testByte] & row.testMask) != row.testValue)
            continue;
        fields.FieldAt(row.field, pCdb);
    }
}

// The six-byte command decoders (group 0, operation codes 0x00-0x1F).
#include "app/decoders/scsi/CdbField.h"

namespace {

using namespace cdb_when;

constexpr CdbField kRewindRezeroUnit[] = {Flag("Immed", 1, 0)};
constexpr CdbField kRequestSense[] = {Byte("AllocationLength", 4)};
// Only multimedia and primary-command devices have a defect list; only the latter the long-list bits.
constexpr CdbField kFormatUnit[] = {
    BitRange("DefectListFormat", 1, 2, 0).Only(kMmcSpc),
    Flag("CmpList", 1, 3).Only(kMmcSpc),
    Flag("FmtData", 1, 4).Only(kMmcSpc),
    Flag("LongList", 1, 5).Only(kSpc),
    Flag("RTOReq", 1, 6).Only(kSpc),
    Flag("FmtPInfo", 1, 7).Only(kSpc),
    Byte("VendorSpecific", 2).Only(kSpc),
};
constexpr CdbField kReassignBlocks[] = {Flag("LongList", 1, 0), Flag("LongLBA", 1, 1)};
constexpr CdbField kAddress21 = Address21("LogicalBlockAddress", 1);
constexpr CdbField kReadWrite6[] = {kAddress21, Byte("TransferLength", 4)};
constexpr CdbField kSeek6[] = {kAddress21};
constexpr CdbField kWriteFilemarks[] = {Flag("Immed", 1, 0), Flag("Wsmk", 1, 1), U24("TransferLength", 2)};
constexpr CdbField kSpace6[] = {BitRange("Code", 1, 2, 0), U24("Count", 2)};
constexpr CdbField kInquiry[] = {Flag("EVPD", 1, 0), Flag("CmdDt", 1, 1), Byte("PageOrOpCode", 2),
                                 Byte("AllocationLength", 4)};
constexpr CdbField kVerify6[] = {Flag("Fixed", 1, 0), Flag("BytCmp", 1, 1), Flag("Immed", 1, 2),
                                 U24("VerificationLength", 2)};
constexpr CdbField kRecoverBufferedData[] = {Flag("Fixed", 1, 0), Flag("Sili", 1, 1), U24("VerificationLength", 2)};
constexpr CdbField kModeSelect6[] = {Flag("SP", 1, 0), Flag("PF", 1, 4), Byte("ParameterListLength", 4)};
constexpr CdbField kModeSense6[] = {Flag("DBD", 1, 3), BitRange("PageCode", 2, 5, 0), BitRange("PC", 2, 7, 6),
                                    Byte("AllocationLength", 4)};
constexpr CdbField kStartStopUnit[] = {
    Flag("Immed", 1, 0),         BitRange("FormatLayer", 3, 1, 0).Only(kMmc), Flag("Start", 4, 0), Flag("LoEj", 4, 1),
    Flag("Fl", 4, 2).Only(kMmc), BitRange("PowerConditions", 4, 7, 4),
};
constexpr CdbField kReceiveDiagnosticResults[] = {Flag("PCV", 1, 0), Byte("PageCode", 2), U16("AllocationLength", 3)};
constexpr CdbField kSendDiagnostic[] = {Flag("UnitOffL", 1, 0),
                                        Flag("DevOffL", 1, 1),
                                        Flag("SelfTest", 1, 2),
                                        Flag("PF", 1, 4),
                                        BitRange("SelfTestCode", 1, 7, 5),
                                        U16("ParameterListLength", 3)};
// "Persistant" is spelled as saved reports have always spelled it.
constexpr CdbField kPreventAllowMediumRemoval[] = {Flag("Prevent", 4, 0), Flag("Persistant", 4, 1)};

constexpr CdbCommand kCommands[] = {
    {0x00, {}},
    {0x01, kRewindRezeroUnit},
    {0x03, kRequestSense},
    {0x04, kFormatUnit},
    {0x05, {}},
    {0x07, kReassignBlocks},
    {0x08, kReadWrite6},
    {0x0A, kReadWrite6},
    {0x0B, kSeek6},
    {0x10, kWriteFilemarks},
    {0x11, kSpace6},
    {0x12, kInquiry},
    {0x13, kVerify6},
    {0x14, kRecoverBufferedData},
    {0x15, kModeSelect6},
    {0x16, {}},
    {0x17, {}},
    {0x19, kReassignBlocks},
    {0x1A, kModeSense6},
    {0x1B, kStartStopUnit},
    {0x1C, kReceiveDiagnosticResults},
    {0x1D, kSendDiagnostic},
    {0x1E, kPreventAllowMediumRemoval},
};

} // namespace

std::span<const CdbCommand> CdbCommands6() {
    return kCommands;
}

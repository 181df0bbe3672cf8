// The twelve-byte command decoders (group 5, operation codes 0xA0-0xBF). SERVICE ACTION IN(12), 0xAB, is
// decoded by CdbOutputer itself, since its name and rows depend on the service action.
#include "app/decoders/scsi/CdbField.h"

namespace {

using namespace cdb_when;

constexpr CdbField kLba = U32("LogicalBlockAddress", 2);
constexpr CdbField kKeyClass = Byte("KeyClass", 7);
constexpr CdbField kKeyFormat = BitRange("KeyFormat", 10, 5, 0);
constexpr CdbField kAgid = BitRange("AGID", 10, 7, 6);
// Byte 6 means what the key class makes it.
constexpr CdbField kVcpsFunction = Byte("VCPSFunction", 6).When(7, 0xFF, 0x20);
constexpr CdbField kExpectedSectorType = BitRange("ExpectedSectorType", 1, 4, 2);

constexpr CdbField kReportLuns[] = {U16("TransferLength", 6)};
constexpr CdbField kBlank[] = {BitRange("BlankType", 1, 2, 0), Flag("Immediate", 1, 4), U32("AddressOrTrack", 2)};
constexpr CdbField kSendEvent[] = {Group("Bytes 1-4", "Bytes.1-4", 1, 4), Group("Bytes 5-8", "Bytes.5-8", 5, 4),
                                   Group("Bytes 9-10", "Bytes.9-10", 9, 2)};
constexpr CdbField kSendKey[] = {kKeyClass, kVcpsFunction, U16("ParameterListLength", 8), kKeyFormat, kAgid};
constexpr CdbField kReportKey[] = {
    kKeyClass,
    kVcpsFunction,
    Byte("BlockCount", 6).When(7, 0xFF, 0x02),
    U32("BlockAddress/StartingOffset", 2).Xml("BlockAddress_StartingOffset"),
    U16("AllocationLength", 8),
    kKeyFormat,
    kAgid,
};
constexpr CdbField kPlayAudio12[] = {Flag("RelAdr", 1, 0), kLba, U32("PlayLength", 6)};
constexpr CdbField kLoadUnloadMedium[] = {Flag("Immed", 1, 0), Flag("Start", 4, 0), Flag("LoUnlo", 4, 1),
                                          Byte("Slot", 8)};
constexpr CdbField kSetReadAhead[] = {U32("TriggerLBA", 2), U32("ReadAheadLBA", 6)};
constexpr CdbField kRead12[] = {
    Flag("FUA_NV", 1, 1).Only(kSpc),
    Flag("FUA", 1, 3).Only(kMmcSpc),
    Flag("DPO", 1, 4).Only(kMmcSpc),
    BitRange("RdProtect", 1, 7, 5).Only(kSpc),
    kLba,
    U32("TransferLength", 6),
    BitRange("GroupNumber", 10, 4, 0).Only(kSpc),
    Flag("Streaming", 11, 0).Only(kMmc),
};
constexpr CdbField kWrite12[] = {
    Flag("FUA_NV", 1, 1).Only(kSpc),
    Flag("TSR", 1, 2).Only(kMmc),
    Flag("FUA", 1, 3),
    Flag("DPO", 1, 4),
    BitRange("WrProtect", 1, 7, 5).Only(kSpc),
    kLba,
    U32("TransferLength", 6),
    BitRange("GroupNumber", 10, 4, 0).Only(kSpc),
    Flag("VNR", 10, 7).Only(kMmc),
    Flag("Streaming", 11, 0).Only(kMmc),
};
constexpr CdbField kGetPerformance[] = {BitRange("DataType", 1, 4, 0), U32("StartingLBA", 2),
                                        U16("MaxNumDescriptors", 8), Byte("Type", 10)};
constexpr CdbField kReadDiscStructure[] = {BitRange("MediaType", 1, 3, 0), U32("Address", 2),
                                           Byte("LayerNumber", 6),         Byte("Format", 7),
                                           U16("AllocationLength", 8),     kAgid};
constexpr CdbField kWriteAndVerify12[] = {
    Flag("RelAdr", 1, 0), Flag("BytChk", 1, 1), Flag("EBP", 1, 2), Flag("DPO", 1, 4), kLba, U32("TransferLength", 6)};
constexpr CdbField kVerify12[] = {
    Flag("RelAdr", 1, 0),        Flag("BytChk", 1, 1), Flag("BlkVfy", 1, 2), Flag("DPO", 1, 4), kLba,
    U32("VerificationLength", 6)};
constexpr CdbField kSetLimits12[] = {Flag("WrInh", 1, 0), Flag("RdInh", 1, 1), kLba, U32("BlockCount", 6)};
constexpr CdbField kSetStreaming[] = {Byte("Type", 8), U16("ParameterListLength", 9)};
constexpr CdbField kReadDefectData12[] = {BitRange("DefectListFormat", 1, 2, 0), Flag("Req_GList", 1, 3),
                                          Flag("Req_PList", 1, 4), U32("AllocationLength", 6)};
// Byte 9 of the two CD reads says which parts of each sector are returned.
constexpr CdbField kSectorParts[] = {
    BitRange("ErrorFlags", 9, 2, 1), Flag("IncludeEDC", 9, 3),      Flag("IncludeUserData", 9, 4),
    BitRange("HeaderCode", 9, 6, 5), Flag("IncludeSyncData", 9, 7), BitRange("SubChannelSelection", 10, 2, 0),
};
constexpr CdbField kReadCdMsf[] = {
    Flag("DAP", 1, 1),  kExpectedSectorType, Byte("StartingM", 3), Byte("StartingS", 4), Byte("StartingF", 5),
    Byte("EndingM", 6), Byte("EndingS", 7),  Byte("EndingF", 8),   kSectorParts[0],      kSectorParts[1],
    kSectorParts[2],    kSectorParts[3],     kSectorParts[4],      kSectorParts[5],
};
constexpr CdbField kScan[] = {Flag("RelAdr", 1, 0), Flag("Direct", 1, 4), U32("ScanStartingAddress", 2),
                              BitRange("Type", 9, 7, 6)};
constexpr CdbField kSetCdSpeed[] = {BitRange("RotationalControl", 1, 1, 0), U16("DriveReadSpeed", 2),
                                    U16("DriveWriteSpeed", 4)};
constexpr CdbField kPlayCd[] = {
    Flag("CMSF", 1, 1),           kExpectedSectorType,  U32("StartingLogicalBlockAddress", 2),
    U32("PlayLengthInBlocks", 6), Flag("Audio", 10, 0), Flag("Composite", 10, 1),
    Flag("Port1", 10, 2),         Flag("Port2", 10, 3), Flag("Speed", 10, 7),
};
constexpr CdbField kMechanismStatus[] = {U16("AllocationLength", 8)};
constexpr CdbField kReadCd[] = {
    Flag("DAP", 1, 1), kExpectedSectorType, U32("StartingLBA", 2), U24("TransferLength", 6), kSectorParts[0],
    kSectorParts[1],   kSectorParts[2],     kSectorParts[3],       kSectorParts[4],          kSectorParts[5],
};
constexpr CdbField kSendDiscStructure[] = {BitRange("MediaType", 1, 3, 0), Byte("Format", 7),
                                           U16("AllocationLength", 8)};

constexpr CdbCommand kCommands[] = {
    {0xA0, kReportLuns},
    {0xA1, kBlank},
    {0xA2, kSendEvent},
    {0xA3, kSendKey},
    {0xA4, kReportKey},
    {0xA5, kPlayAudio12},
    {0xA6, kLoadUnloadMedium},
    {0xA7, kSetReadAhead},
    {0xA8, kRead12},
    {0xAA, kWrite12},
    {0xAC, kGetPerformance},
    {0xAD, kReadDiscStructure},
    {0xAE, kWriteAndVerify12},
    {0xAF, kVerify12},
    {0xB3, kSetLimits12},
    {0xB6, kSetStreaming},
    {0xB7, kReadDefectData12},
    {0xB9, kReadCdMsf},
    {0xBA, kScan},
    {0xBB, kSetCdSpeed},
    {0xBC, kPlayCd},
    {0xBD, kMechanismStatus},
    {0xBE, kReadCd},
    {0xBF, kSendDiscStructure},
};

} // namespace

std::span<const CdbCommand> CdbCommands12() {
    return kCommands;
}

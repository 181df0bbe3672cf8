// The ten-byte command decoders (groups 1 and 2, operation codes 0x20-0x5F). One operation code is one
// command whatever the device: where the block, primary and multimedia standards give a code different
// meanings, the command named in the name table is the one decoded.
#include "app/decoders/scsi/CdbField.h"

namespace {

using namespace cdb_when;

constexpr CdbField kLba = U32("LogicalBlockAddress", 2);
constexpr CdbField kGroupNumber = BitRange("GroupNumber", 6, 4, 0);
constexpr CdbField kAllocationLength = U16("AllocationLength", 7);
constexpr CdbField kParameterListLength = U16("ParameterListLength", 7);

// Block commands.
constexpr CdbField kReadCapacity[] = {kLba.Only(kMmcSpc), Flag("PMI", 8, 0).Only(kMmcSpc)};
constexpr CdbField kRead10[] = {
    Flag("FUA_NV", 1, 1).Only(kSpc),
    Flag("FUA", 1, 3).Only(kMmcSpc),
    Flag("DPO", 1, 4).Only(kMmcSpc),
    BitRange("RdProtect", 1, 7, 5).Only(kSpc),
    kLba,
    kGroupNumber.Only(kSpc),
    U16("TransferBlocks", 7),
};
constexpr CdbField kReadGeneration[] = {Flag("RelAdr", 1, 0), kLba, Byte("AllocationLength", 8)};
constexpr CdbField kWrite10[] = {
    Flag("FUA_NV", 1, 1).Only(kSpc),
    Flag("TSR", 1, 2).Only(kMmc),
    Flag("FUA", 1, 3),
    Flag("DPO", 1, 4).Only(kMmcSpc),
    BitRange("WrProtect", 1, 7, 5).Only(kSpc),
    kLba,
    kGroupNumber.Only(kSpc),
    U16("TransferBlocks", 7),
};
constexpr CdbField kSeek10[] = {kLba};
constexpr CdbField kErase10[] = {Flag("Immed", 1, 1), Flag("ERA", 1, 2), kLba, U16("BlockCount", 7)};
constexpr CdbField kReadUpdatedBlock[] = {
    Flag("RelAdr", 1, 0), Flag("FUA", 1, 3),
    Flag("DPO", 1, 4),    kLba,
    Flag("Latest", 6, 7), Address15("GenerationAddress", 6),
};
constexpr CdbField kWriteAndVerify10[] = {
    Flag("BytChk", 1, 1).Only(kSpc), Flag("DPO", 1, 4),        BitRange("WrProtect", 1, 7, 5).Only(kSpc), kLba,
    kGroupNumber.Only(kSpc),         U16("TransferBlocks", 7),
};
constexpr CdbField kVerify10[] = {
    Flag("BytChk", 1, 1).Only(kMmcSpc),
    Flag("DPO", 1, 4).Only(kMmcSpc),
    BitRange("VRProtect", 1, 7, 5).Only(kSpc),
    kLba,
    kGroupNumber.Only(kSpc),
    Flag("G3tout", 6, 7).Only(kMmc),
    U16("VerifyBlocks", 7),
};
constexpr CdbField kSetLimits10[] = {Flag("WrInh", 1, 0), Flag("RdInh", 1, 1), kLba, U16("BlockCount", 7)};
constexpr CdbField kPreFetch10[] = {Flag("RelAdr", 1, 0), Flag("Immed", 1, 1), kLba, U16("TransferLength", 7)};
constexpr CdbField kSynchronizeCache10[] = {Flag("Immed", 1, 1).Only(kNotRbc), Flag("Sync_NV", 1, 2).Only(kSpc), kLba,
                                            kGroupNumber.Only(kSpc), U16("BlockCount", 7)};
constexpr CdbField kLockUnlockCache10[] = {Flag("RelAdr", 1, 0), Flag("Lock", 1, 1), kLba, U16("BlockCount", 7)};
constexpr CdbField kReadDefectData10[] = {BitRange("DefectListFormat", 2, 2, 0), Flag("Req_GList", 2, 3),
                                          Flag("Req_PList", 2, 4), kAllocationLength};
constexpr CdbField kMediumScan[] = {
    Flag("RelAdr", 1, 0),          Flag("PRA", 1, 1), Flag("RSD", 1, 2), Flag("ASA", 1, 3), Flag("WBS", 1, 4), kLba,
    Byte("ParameterListLength", 8)};
constexpr CdbField kUpdateBlock[] = {Flag("RelAdr", 1, 0), kLba};
constexpr CdbField kReadLong10[] = {Flag("Correct", 1, 1), kLba, U16("ByteTransferLength", 7)};
constexpr CdbField kWriteLong10[] = {kLba, U16("ByteTransferLength", 7)};
constexpr CdbField kWriteSame10[] = {Flag("LBData", 1, 1), Flag("PBData", 1, 2), BitRange("WrProtect", 1, 7, 5), kLba,
                                     kGroupNumber,         U16("BlockCount", 7)};
constexpr CdbField kXdWrite10[] = {Flag("DisableWrite", 1, 2), Flag("FUA", 1, 3), Flag("DPO", 1, 4), kLba,
                                   kAllocationLength};

// Primary commands.
constexpr CdbField kWriteBuffer[] = {
    BitRange("Mode", 1, 3, 0).Only(kNotRbc), BitRange("Mode", 1, 2, 0).Only(kRbc),
    Byte("BufferId", 2).Only(kNotRbc),       U24("BufferOffset", 3),
    U24("ParameterListLength", 6),
};
constexpr CdbField kReadBuffer[] = {BitRange("Mode", 1, 3, 0), Byte("BufferId", 2), U24("BufferOffset", 3),
                                    U24("ParameterListLength", 6)};
constexpr CdbField kLogSelect[] = {Flag("SP", 1, 0), Flag("PCR", 1, 1), BitRange("PC", 2, 7, 6), kAllocationLength};
constexpr CdbField kLogSense[] = {Flag("SP", 1, 0), Flag("PPC", 1, 1), BitRange("PC", 2, 7, 6),
                                  U16("ParameterPointer", 5), kAllocationLength};
constexpr CdbField kModeSelect10[] = {Flag("SP", 1, 0), Flag("PF", 1, 4), kParameterListLength};
constexpr CdbField kReserveRelease10[] = {Flag("LongID", 1, 1), Flag("ThirdParty", 1, 4), Byte("ThirdPartyDeviceID", 3),
                                          kParameterListLength};
constexpr CdbField kModeSense10[] = {Flag("DBD", 1, 3), Flag("LLBAA", 1, 4), BitRange("PageCode", 2, 5, 0),
                                     BitRange("PC", 2, 7, 6), kAllocationLength};
constexpr CdbField kPersistentReserveIn[] = {BitRange("ServiceAction", 1, 4, 0), kParameterListLength};
constexpr CdbField kPersistentReserveOut[] = {BitRange("ServiceAction", 1, 4, 0), BitRange("Type", 2, 3, 0),
                                              BitRange("Scope", 2, 7, 4), kParameterListLength};

// Multimedia commands.
constexpr CdbField kReadFormatCapacities[] = {kAllocationLength};
constexpr CdbField kReadSubChannel[] = {Flag("Time", 1, 1), Flag("SUBQ", 2, 6), Byte("ParameterListCode", 3),
                                        Byte("TrackNumber", 6), kAllocationLength};
constexpr CdbField kReadTocPmaAtip[] = {Flag("Msf", 1, 1), BitRange("Format", 2, 3, 0), Byte("StartingTrack", 6),
                                        kAllocationLength};
constexpr CdbField kReadHeader[] = {Flag("MSF", 1, 1), kLba, kAllocationLength};
constexpr CdbField kPlayAudio10[] = {Flag("RelAdr", 1, 0), kLba, U16("PlayLength", 7)};
constexpr CdbField kGetConfiguration[] = {BitRange("RequestType", 1, 1, 0), U16("StartingFeature", 2),
                                          kAllocationLength};
constexpr CdbField kPlayAudioMsf[] = {Byte("Starting_M_Field", 3), Byte("Starting_S_Field", 4),
                                      Byte("Starting_F_Field", 5), Byte("Ending_M_Field", 6),
                                      Byte("Ending_S_Field", 7),   Byte("Ending_F_Field", 8)};
constexpr CdbField kGetEventStatusNotification[] = {Flag("Polled", 1, 0), Byte("NotificationClassRequest", 4),
                                                    kAllocationLength};
constexpr CdbField kPauseResume[] = {Flag("Resume", 8, 0)};
constexpr CdbField kReadDiscInformation[] = {BitRange("DataType", 1, 2, 0), kAllocationLength};
constexpr CdbField kReadTrackInformation[] = {BitRange("AddressNumberType", 1, 1, 0), Flag("Open", 1, 2),
                                              U32("BlockAddressTrackNumber", 2), kAllocationLength};
// The reservation is an address when ARSV is set and a size otherwise; byte 5 belongs to either.
constexpr CdbField kReserveTrack[] = {Flag("ARSV", 1, 0), Flag("RMZ", 1, 1),
                                      U32("ReservationLBA", 2).When(1, 0x01, 0x01),
                                      U32("ReservationSize", 5).When(1, 0x01, 0x00)};
constexpr CdbField kSendOpcInformation[] = {Flag("DoOpc", 1, 0), Flag("Exclude0", 2, 0), Flag("Exclude1", 2, 1),
                                            kParameterListLength};
constexpr CdbField kRepairTrack[] = {Flag("Immediate", 1, 0), U16("TrackNumber", 4)};
constexpr CdbField kReadMasterCue[] = {Byte("SheetNumber", 4), U24("AllocationLength", 6)};
constexpr CdbField kCloseTrackSession[] = {Flag("Immed", 1, 0), BitRange("CloseFunction", 2, 2, 0),
                                           U16("LogicalTrackNumber", 4)};
constexpr CdbField kReadBufferCapacity[] = {Flag("BlockInfo", 1, 0), kAllocationLength};
constexpr CdbField kSendCueSheet[] = {U24("CueSheetSize", 6)};

constexpr CdbCommand kCommands[] = {
    {0x23, kReadFormatCapacities},
    {0x25, kReadCapacity},
    {0x28, kRead10},
    {0x29, kReadGeneration},
    {0x2A, kWrite10},
    {0x2B, kSeek10},
    {0x2C, kErase10},
    {0x2D, kReadUpdatedBlock},
    {0x2E, kWriteAndVerify10},
    {0x2F, kVerify10},
    {0x33, kSetLimits10},
    {0x34, kPreFetch10},
    {0x35, kSynchronizeCache10},
    {0x36, kLockUnlockCache10},
    {0x37, kReadDefectData10},
    {0x38, kMediumScan},
    {0x3B, kWriteBuffer},
    {0x3C, kReadBuffer},
    {0x3D, kUpdateBlock},
    {0x3E, kReadLong10},
    {0x3F, kWriteLong10},
    {0x41, kWriteSame10},
    {0x42, kReadSubChannel},
    {0x43, kReadTocPmaAtip},
    {0x44, kReadHeader},
    {0x45, kPlayAudio10},
    {0x46, kGetConfiguration},
    {0x47, kPlayAudioMsf},
    {0x4A, kGetEventStatusNotification},
    {0x4B, kPauseResume},
    {0x4C, kLogSelect},
    {0x4D, kLogSense},
    {0x4E, {}},
    {0x50, kXdWrite10},
    {0x51, kReadDiscInformation},
    {0x52, kReadTrackInformation},
    {0x53, kReserveTrack},
    {0x54, kSendOpcInformation},
    {0x55, kModeSelect10},
    {0x56, kReserveRelease10},
    {0x57, kReserveRelease10},
    {0x58, kRepairTrack},
    {0x59, kReadMasterCue},
    {0x5A, kModeSense10},
    {0x5B, kCloseTrackSession},
    {0x5C, kReadBufferCapacity},
    {0x5D, kSendCueSheet},
    {0x5E, kPersistentReserveIn},
    {0x5F, kPersistentReserveOut},
};

} // namespace

std::span<const CdbCommand> CdbCommands10() {
    return kCommands;
}

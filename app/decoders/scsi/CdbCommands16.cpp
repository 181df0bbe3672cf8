// The sixteen-byte command decoders (group 4, operation codes 0x80-0x9F). The service actions of 0x9E and
// 0x9F have no name and are shown as raw bytes.
#include "app/decoders/scsi/CdbField.h"

namespace {

constexpr CdbField kPortControl = BitRange("PortControl", 1, 1, 0);
constexpr CdbField kFua = Flag("FUA", 1, 3);
constexpr CdbField kDpo = Flag("DPO", 1, 4);
constexpr CdbField kLba32 = U32("LogicalBlockAddress", 2);
constexpr CdbField kLba64 = U64("LogicalBlockAddress", 2);
constexpr CdbField kTransferLength = U32("TransferLength", 10);
constexpr CdbField kGroupNumber = BitRange("GroupNumber", 14, 4, 0);

constexpr CdbField kXdWriteExtended16[] = {kPortControl,
                                           Flag("DisableWrite", 1, 2),
                                           kFua,
                                           kDpo,
                                           Flag("TableAddr", 1, 7),
                                           kLba32,
                                           U32("SecondaryLogicalBlockAddress", 6),
                                           kTransferLength,
                                           Byte("SecondaryAddress", 14)};
constexpr CdbField kRebuild16[] = {
    kPortControl, Flag("IntData", 1, 2), kFua, kDpo, kLba32, U32("RebuildLength", 6), U32("ParameterListLength", 10)};
constexpr CdbField kRegenerate16[] = {kPortControl,
                                      Flag("IntData", 1, 2),
                                      kFua,
                                      kDpo,
                                      kLba32,
                                      U32("RegenerationLength", 6),
                                      U32("ParameterListLength", 10)};
constexpr CdbField kExtendedCopy[] = {U32("ParameterListLength", 10)};
constexpr CdbField kReceiveCopyResults[] = {BitRange("ServiceAction", 1, 4, 0), Byte("ListIdentifier", 2),
                                            U32("AllocationLength", 10)};
constexpr CdbField kRead16[] = {Flag("FUA_NV", 1, 1), kFua,        kDpo, BitRange("RdProtect", 1, 7, 5), kLba64,
                                kTransferLength,      kGroupNumber};
constexpr CdbField kWrite16[] = {Flag("FUA_NV", 1, 1), kFua,        kDpo, BitRange("WrProtect", 1, 7, 5), kLba64,
                                 kTransferLength,      kGroupNumber};
constexpr CdbField kWriteAndVerify16[] = {Flag("BytChk", 1, 1), kDpo,        BitRange("WrProtect", 1, 7, 5), kLba64,
                                          kTransferLength,      kGroupNumber};
constexpr CdbField kVerify16[] = {Flag("BytChk", 1, 1), kDpo,        BitRange("VRProtect", 1, 7, 5), kLba64,
                                  kTransferLength,      kGroupNumber};
constexpr CdbField kPreFetch16[] = {Flag("Immed", 1, 1), kLba64, kTransferLength, kGroupNumber};
constexpr CdbField kSynchronizeCache16[] = {Flag("Immed", 1, 1), Flag("Sync_NV", 1, 2), kLba64, U32("BlockCount", 10),
                                            kGroupNumber};
constexpr CdbField kWriteSame16[] = {Flag("LBData", 1, 1),           Flag("PBData", 1, 2),
                                     BitRange("WrProtect", 1, 7, 5), kLba64,
                                     U32("BlockCount", 10),          kGroupNumber};

constexpr CdbCommand kCommands[] = {
    {0x80, kXdWriteExtended16}, {0x81, kRebuild16},          {0x82, kRegenerate16},
    {0x83, kExtendedCopy},      {0x84, kReceiveCopyResults}, {0x88, kRead16},
    {0x8A, kWrite16},           {0x8E, kWriteAndVerify16},   {0x8F, kVerify16},
    {0x90, kPreFetch16},        {0x91, kSynchronizeCache16}, {0x92, {}},
    {0x93, kWriteSame16},
};

} // namespace

std::span<const CdbCommand> CdbCommands16() {
    return kCommands;
}

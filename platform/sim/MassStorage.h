// A bulk-only mass-storage interface (command block wrapper, data, command status wrapper) over a SCSI disk
// held in memory. The disk keeps only the blocks that were written; the others read as zeros.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/sim/UsbDevice.h"

namespace sim {

struct ScsiResult {
    UCHAR status = 0; // 0 GOOD, 2 CHECK CONDITION
    Bytes dataIn;
};

class ScsiDisk {
public:
    ScsiDisk(ULONG blockCount, ULONG blockSize, std::string vendor, std::string product, std::string revision);

    ULONG BlockCount() const { return m_blockCount; }
    ULONG BlockSize() const { return m_blockSize; }
    const std::string& Vendor() const { return m_vendor; }
    const std::string& Product() const { return m_product; }
    const std::string& Revision() const { return m_revision; }

    // The bytes a command wants from the host (0 when it sends none); nothing when the command moves data in.
    ULONG DataOutLength(std::span<const UCHAR> cdb) const;
    // Runs a command. dataOut: what the host sent for it.
    ScsiResult Execute(std::span<const UCHAR> cdb, std::span<const UCHAR> dataOut);

    Bytes ReadBlocks(ULONG lba, ULONG count) const;
    void WriteBlocks(ULONG lba, std::span<const UCHAR> data);

private:
    ScsiResult CheckCondition(UCHAR senseKey, UCHAR asc, UCHAR ascq = 0);

    const ULONG m_blockCount;
    const ULONG m_blockSize;
    const std::string m_vendor;
    const std::string m_product;
    const std::string m_revision;
    std::map<ULONG, Bytes> m_blocks; // written blocks only
    UCHAR m_senseKey = 0;
    UCHAR m_asc = 0;
    UCHAR m_ascq = 0;
};

class BulkOnlyFunction : public UsbFunction {
public:
    BulkOnlyFunction(UCHAR inEndpoint, UCHAR outEndpoint, std::shared_ptr<ScsiDisk> disk);

    ScsiDisk& Disk() const { return *m_disk; }
    UCHAR InEndpoint() const { return m_in; }
    UCHAR OutEndpoint() const { return m_out; }
    size_t CommandsExecuted() const;

    TransferResult ClassRequest(const SetupPacket& setup, std::span<UCHAR> data) override;
    TransferResult Transfer(UCHAR endpointAddress, std::span<UCHAR> data) override;
    void Reset(UCHAR alternateSetting) override;

    static constexpr ULONG kCbwSignature = 0x43425355; // "USBC"
    static constexpr ULONG kCswSignature = 0x53425355; // "USBS"

private:
    enum class Phase { Command, DataIn, DataOut, Status };
    TransferResult TakeCommand(std::span<UCHAR> data);
    TransferResult TakeData(std::span<UCHAR> data);
    TransferResult GiveData(std::span<UCHAR> data);
    TransferResult GiveStatus(std::span<UCHAR> data);
    void Finish(UCHAR status, ULONG residue);

    const UCHAR m_in;
    const UCHAR m_out;
    const std::shared_ptr<ScsiDisk> m_disk;
    mutable std::mutex m_lock;
    Phase m_phase = Phase::Command;
    ULONG m_tag = 0;
    ULONG m_expected = 0;   // dCBWDataTransferLength
    Bytes m_cdb;
    Bytes m_buffer;         // data in to give, or data out taken so far
    size_t m_offset = 0;
    ULONG m_residue = 0;
    UCHAR m_status = 0;
    size_t m_commands = 0;
};

} // namespace sim

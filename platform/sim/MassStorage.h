// A bulk-only mass-storage interface (command block wrapper, data, command status wrapper) over a SCSI disk
// held in memory. The disk keeps only the parts that were written; the others read as zeros.
//
// The disk answers TEST UNIT READY, REQUEST SENSE, INQUIRY, READ CAPACITY(10) and (16), READ(10), WRITE(10),
// VERIFY(10), MODE SENSE(6) and (10), READ FORMAT CAPACITIES, START STOP UNIT, PREVENT ALLOW MEDIUM REMOVAL and
// SYNCHRONIZE CACHE(10), and reports CHECK CONDITION where a real disk does, with the sense data for the next
// REQUEST SENSE: UNIT ATTENTION (power on) for the first command after power-on other than INQUIRY and REQUEST
// SENSE, and (medium changed) after a medium came back; NOT READY (medium not present) without a medium; DATA
// PROTECT for a write to a write-protected medium; ILLEGAL REQUEST for an unknown operation code, a bad field
// or a block address past the end.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/UsbDevice.h"

namespace sim {

struct ScsiResult {
    UCHAR status = 0; // 0 GOOD, 2 CHECK CONDITION
    Bytes dataIn;
};

// The sense data of the last CHECK CONDITION.
struct ScsiSense {
    UCHAR key = 0;
    UCHAR asc = 0;
    UCHAR ascq = 0;
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

    // The medium: taken out (NOT READY until it is back, then UNIT ATTENTION), write protection.
    void SetMediumPresent(bool present);
    void SetWriteProtected(bool writeProtected);
    // The sense data the next REQUEST SENSE gives.
    ScsiSense PendingSense() const;

private:
    ScsiResult CheckCondition(UCHAR senseKey, UCHAR asc, UCHAR ascq = 0);
    ScsiResult Run(std::span<const UCHAR> cdb, std::span<const UCHAR> dataOut);
    UCHAR* Chunk(ULONG index, bool create);
    const UCHAR* Chunk(ULONG index) const;

    const ULONG m_blockCount;
    const ULONG m_blockSize;
    const std::string m_vendor;
    const std::string m_product;
    const std::string m_revision;
    mutable std::mutex m_lock;
    std::map<ULONG, std::unique_ptr<UCHAR[]>> m_chunks; // written 64 KiB chunks only
    ScsiSense m_sense;
    std::optional<ScsiSense> m_unitAttention;
    bool m_mediumPresent = true;
    bool m_writeProtected = false;
};

// One command the bulk-only function ran, as the device saw it.
struct BulkOnlyCommand {
    ULONG tag = 0; // dCBWTag, which the CSW gave back
    UCHAR opcode = 0;
    ULONG dataLength = 0; // dCBWDataTransferLength
    bool in = false;
    UCHAR cswStatus = 0; // 0 passed, 1 failed, 2 phase error
    ULONG residue = 0;
};

class BulkOnlyFunction : public UsbFunction {
public:
    BulkOnlyFunction(UCHAR inEndpoint, UCHAR outEndpoint, std::shared_ptr<ScsiDisk> disk);

    ScsiDisk& Disk() const { return *m_disk; }
    UCHAR InEndpoint() const { return m_in; }
    UCHAR OutEndpoint() const { return m_out; }
    size_t CommandsExecuted() const;
    // The last commands (at most kHistory), oldest first, each once its status went to the host.
    std::vector<BulkOnlyCommand> History() const;
    static constexpr size_t kHistory = 4096;

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
    ULONG m_expected = 0; // dCBWDataTransferLength
    Bytes m_cdb;
    Bytes m_buffer; // data in to give, or data out taken so far
    size_t m_offset = 0;
    ULONG m_residue = 0;
    UCHAR m_status = 0;
    size_t m_commands = 0;
    BulkOnlyCommand m_current;
    std::deque<BulkOnlyCommand> m_history;
};

} // namespace sim

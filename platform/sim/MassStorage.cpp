#include "platform/sim/MassStorage.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

constexpr UCHAR kGood = 0x00;
constexpr UCHAR kCheckCondition = 0x02;
constexpr UCHAR kIllegalRequest = 0x05;
constexpr UCHAR kCswPassed = 0;
constexpr UCHAR kCswFailed = 1;
constexpr UCHAR kCswPhaseError = 2;

// bRequest of the bulk-only class requests.
constexpr UCHAR kGetMaxLun = 0xFE;
constexpr UCHAR kBulkOnlyReset = 0xFF;

void CopyPadded(UCHAR* to, size_t width, const std::string& text) {
    std::memset(to, ' ', width);
    std::memcpy(to, text.data(), std::min(width, text.size()));
}

ULONG Lba10(std::span<const UCHAR> cdb) { return ReadU32BigEndian(&cdb[2]); }
ULONG Count10(std::span<const UCHAR> cdb) { return static_cast<ULONG>(cdb[7] << 8 | cdb[8]); }

} // namespace

ScsiDisk::ScsiDisk(ULONG blockCount, ULONG blockSize, std::string vendor, std::string product, std::string revision)
    : m_blockCount(blockCount), m_blockSize(blockSize), m_vendor(std::move(vendor)), m_product(std::move(product)),
      m_revision(std::move(revision)) {}

ULONG ScsiDisk::DataOutLength(std::span<const UCHAR> cdb) const {
    if (cdb.size() >= 10 && cdb[0] == 0x2A) { // WRITE(10)
        return Count10(cdb) * m_blockSize;
    }
    return 0;
}

ScsiResult ScsiDisk::CheckCondition(UCHAR senseKey, UCHAR asc, UCHAR ascq) {
    m_senseKey = senseKey;
    m_asc = asc;
    m_ascq = ascq;
    return {kCheckCondition, {}};
}

Bytes ScsiDisk::ReadBlocks(ULONG lba, ULONG count) const {
    Bytes data(static_cast<size_t>(count) * m_blockSize);
    for (ULONG i = 0; i < count; ++i) {
        auto it = m_blocks.find(lba + i);
        if (it != m_blocks.end()) {
            std::memcpy(&data[static_cast<size_t>(i) * m_blockSize], it->second.data(), m_blockSize);
        }
    }
    return data;
}

void ScsiDisk::WriteBlocks(ULONG lba, std::span<const UCHAR> data) {
    for (size_t offset = 0; offset + m_blockSize <= data.size(); offset += m_blockSize) {
        m_blocks[lba++].assign(data.begin() + offset, data.begin() + offset + m_blockSize);
    }
}

ScsiResult ScsiDisk::Execute(std::span<const UCHAR> cdb, std::span<const UCHAR> dataOut) {
    if (cdb.empty()) {
        return CheckCondition(kIllegalRequest, 0x20);
    }
    const UCHAR opcode = cdb[0];
    const bool tenByte = cdb.size() >= 10;
    switch (opcode) {
    case 0x00: // TEST UNIT READY
    case 0x1B: // START STOP UNIT
    case 0x1E: // PREVENT ALLOW MEDIUM REMOVAL
    case 0x35: // SYNCHRONIZE CACHE(10)
        return {kGood, {}};
    case 0x03: { // REQUEST SENSE
        Bytes sense(18);
        sense[0] = 0x70;
        sense[2] = m_senseKey;
        sense[7] = 10;
        sense[12] = m_asc;
        sense[13] = m_ascq;
        m_senseKey = m_asc = m_ascq = 0;
        sense.resize(std::min<size_t>(sense.size(), cdb.size() > 4 ? cdb[4] : 18));
        return {kGood, sense};
    }
    case 0x12: { // INQUIRY
        Bytes inquiry(36);
        inquiry[0] = 0x00; // direct-access block device
        inquiry[1] = 0x80; // removable
        inquiry[2] = 0x04; // SPC-2
        inquiry[3] = 0x02;
        inquiry[4] = 31;
        CopyPadded(&inquiry[8], 8, m_vendor);
        CopyPadded(&inquiry[16], 16, m_product);
        CopyPadded(&inquiry[32], 4, m_revision);
        size_t allocation = cdb.size() > 4 ? static_cast<size_t>(cdb[3] << 8 | cdb[4]) : 36;
        inquiry.resize(std::min(inquiry.size(), allocation));
        return {kGood, inquiry};
    }
    case 0x1A: { // MODE SENSE(6): header only, not write-protected
        Bytes header{3, 0, 0, 0};
        header.resize(std::min<size_t>(header.size(), cdb.size() > 4 ? cdb[4] : 4));
        return {kGood, header};
    }
    case 0x5A: { // MODE SENSE(10)
        Bytes header{0, 6, 0, 0, 0, 0, 0, 0};
        size_t allocation = tenByte ? static_cast<size_t>(cdb[7] << 8 | cdb[8]) : 8;
        header.resize(std::min(header.size(), allocation));
        return {kGood, header};
    }
    case 0x23: { // READ FORMAT CAPACITIES
        Bytes list(12);
        list[3] = 8;
        WriteU32BigEndian(&list[4], m_blockCount);
        list[8] = 0x02; // formatted media
        list[9] = static_cast<UCHAR>(m_blockSize >> 16);
        list[10] = static_cast<UCHAR>(m_blockSize >> 8);
        list[11] = static_cast<UCHAR>(m_blockSize);
        return {kGood, list};
    }
    case 0x25: { // READ CAPACITY(10)
        Bytes capacity(8);
        WriteU32BigEndian(&capacity[0], m_blockCount - 1);
        WriteU32BigEndian(&capacity[4], m_blockSize);
        return {kGood, capacity};
    }
    case 0x28:   // READ(10)
    case 0x2F: { // VERIFY(10)
        if (!tenByte) {
            return CheckCondition(kIllegalRequest, 0x24);
        }
        ULONG lba = Lba10(cdb);
        ULONG count = Count10(cdb);
        if (static_cast<uint64_t>(lba) + count > m_blockCount) {
            return CheckCondition(kIllegalRequest, 0x21); // logical block address out of range
        }
        return {kGood, opcode == 0x28 ? ReadBlocks(lba, count) : Bytes{}};
    }
    case 0x2A: { // WRITE(10)
        if (!tenByte) {
            return CheckCondition(kIllegalRequest, 0x24);
        }
        ULONG lba = Lba10(cdb);
        ULONG count = Count10(cdb);
        if (static_cast<uint64_t>(lba) + count > m_blockCount) {
            return CheckCondition(kIllegalRequest, 0x21);
        }
        WriteBlocks(lba, dataOut.first(std::min<size_t>(dataOut.size(), static_cast<size_t>(count) * m_blockSize)));
        return {kGood, {}};
    }
    default:
        return CheckCondition(kIllegalRequest, 0x20); // invalid command operation code
    }
}

BulkOnlyFunction::BulkOnlyFunction(UCHAR inEndpoint, UCHAR outEndpoint, std::shared_ptr<ScsiDisk> disk)
    : m_in(inEndpoint), m_out(outEndpoint), m_disk(std::move(disk)) {}

size_t BulkOnlyFunction::CommandsExecuted() const {
    std::lock_guard guard(m_lock);
    return m_commands;
}

TransferResult BulkOnlyFunction::ClassRequest(const SetupPacket& setup, std::span<UCHAR> data) {
    switch (setup.bRequest) {
    case kGetMaxLun:
        if (data.empty()) {
            return TransferResult::Stall();
        }
        data[0] = 0;
        return TransferResult::Ok(1);
    case kBulkOnlyReset:
        Reset(0);
        return TransferResult::Ok();
    default:
        return TransferResult::Stall();
    }
}

void BulkOnlyFunction::Reset(UCHAR) {
    std::lock_guard guard(m_lock);
    m_phase = Phase::Command;
    m_buffer.clear();
    m_offset = 0;
}

TransferResult BulkOnlyFunction::Transfer(UCHAR endpointAddress, std::span<UCHAR> data) {
    std::lock_guard guard(m_lock);
    if (endpointAddress == m_out) {
        switch (m_phase) {
        case Phase::Command:
            return TakeCommand(data);
        case Phase::DataOut:
            return TakeData(data);
        default:
            return TransferResult::Stall(); // out of phase
        }
    }
    if (endpointAddress == m_in) {
        switch (m_phase) {
        case Phase::DataIn:
            return GiveData(data);
        case Phase::Status:
            return GiveStatus(data);
        default:
            return TransferResult::Nak(); // nothing to give before a command
        }
    }
    return TransferResult::Stall();
}

TransferResult BulkOnlyFunction::TakeCommand(std::span<UCHAR> data) {
    if (data.size() != 31 || ReadU32(data.data()) != kCbwSignature || data[14] == 0 || data[14] > 16) {
        return TransferResult::Stall(); // not a valid command block wrapper
    }
    m_tag = ReadU32(data.data() + 4);
    m_expected = ReadU32(data.data() + 8);
    const bool in = (data[12] & 0x80) != 0;
    m_cdb.assign(data.begin() + 15, data.begin() + 15 + data[14]);
    ++m_commands;
    ULONG wanted = m_disk->DataOutLength(m_cdb);
    if (!in && m_expected > 0) {
        if (wanted == 0) {
            Finish(kCswPhaseError, m_expected);
            return TransferResult::Ok(31);
        }
        m_buffer.clear();
        m_phase = Phase::DataOut;
        return TransferResult::Ok(31);
    }
    ScsiResult result = m_disk->Execute(m_cdb, {});
    if (in && m_expected > 0) {
        m_buffer = std::move(result.dataIn);
        if (m_buffer.size() > m_expected) {
            m_buffer.resize(m_expected);
        }
        m_offset = 0;
        m_residue = m_expected - static_cast<ULONG>(m_buffer.size());
        m_status = result.status == kGood ? kCswPassed : kCswFailed;
        m_phase = Phase::DataIn;
    } else {
        Finish(result.status == kGood ? kCswPassed : kCswFailed, m_expected);
    }
    EndpointReady(m_in);
    return TransferResult::Ok(31);
}

TransferResult BulkOnlyFunction::TakeData(std::span<UCHAR> data) {
    size_t room = m_expected - m_buffer.size();
    size_t n = std::min(room, data.size());
    m_buffer.insert(m_buffer.end(), data.begin(), data.begin() + n);
    if (m_buffer.size() >= m_expected) {
        ScsiResult result = m_disk->Execute(m_cdb, m_buffer);
        m_buffer.clear();
        Finish(result.status == kGood ? kCswPassed : kCswFailed, 0);
        EndpointReady(m_in);
    }
    return TransferResult::Ok(static_cast<ULONG>(n));
}

TransferResult BulkOnlyFunction::GiveData(std::span<UCHAR> data) {
    size_t n = std::min(data.size(), m_buffer.size() - m_offset);
    if (n) {
        std::memcpy(data.data(), m_buffer.data() + m_offset, n);
    }
    m_offset += n;
    // A short packet (or the last byte) ends the data stage.
    if (m_offset >= m_buffer.size() || n < data.size()) {
        Finish(m_status, m_residue + static_cast<ULONG>(m_buffer.size() - m_offset));
        m_buffer.clear();
    }
    return TransferResult::Ok(static_cast<ULONG>(n));
}

TransferResult BulkOnlyFunction::GiveStatus(std::span<UCHAR> data) {
    if (data.size() < 13) {
        return TransferResult::Error(USBD_STATUS_BUFFER_OVERRUN);
    }
    WriteU32(data.data(), kCswSignature);
    WriteU32(data.data() + 4, m_tag);
    WriteU32(data.data() + 8, m_residue);
    data[12] = m_status;
    m_phase = Phase::Command;
    return TransferResult::Ok(13);
}

void BulkOnlyFunction::Finish(UCHAR status, ULONG residue) {
    m_status = status;
    m_residue = residue;
    m_phase = Phase::Status;
}

} // namespace sim

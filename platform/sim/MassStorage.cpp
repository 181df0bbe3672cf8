#include "platform/sim/MassStorage.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

constexpr UCHAR kGood = 0x00;
constexpr UCHAR kCheckCondition = 0x02;
constexpr UCHAR kNotReady = 0x02;
constexpr UCHAR kIllegalRequest = 0x05;
constexpr UCHAR kUnitAttention = 0x06;
constexpr UCHAR kDataProtect = 0x07;
constexpr UCHAR kCswPassed = 0;
constexpr UCHAR kCswFailed = 1;
constexpr UCHAR kCswPhaseError = 2;

// bRequest of the bulk-only class requests.
constexpr UCHAR kGetMaxLun = 0xFE;
constexpr UCHAR kBulkOnlyReset = 0xFF;

constexpr ULONG kChunkBytes = 64 * 1024;

void CopyPadded(UCHAR* to, size_t width, const std::string& text) {
    std::memset(to, ' ', width);
    std::memcpy(to, text.data(), std::min(width, text.size()));
}

ULONG Lba10(std::span<const UCHAR> cdb) {
    return ReadU32BigEndian(&cdb[2]);
}
ULONG Count10(std::span<const UCHAR> cdb) {
    return static_cast<ULONG>(cdb[7] << 8 | cdb[8]);
}

Bytes Limited(Bytes bytes, size_t allocation) {
    bytes.resize(std::min(bytes.size(), allocation));
    return bytes;
}

// The caching mode page (0x08): write cache enabled.
Bytes CachingPage() {
    Bytes page(20);
    page[0] = 0x08;
    page[1] = 18;
    page[2] = 0x04; // WCE
    return page;
}

} // namespace

ScsiDisk::ScsiDisk(ULONG blockCount, ULONG blockSize, std::string vendor, std::string product, std::string revision)
    : m_blockCount(blockCount), m_blockSize(blockSize), m_vendor(std::move(vendor)), m_product(std::move(product)),
      m_revision(std::move(revision)), m_unitAttention(ScsiSense{kUnitAttention, 0x29, 0x00}) {}

ULONG ScsiDisk::DataOutLength(std::span<const UCHAR> cdb) const {
    if (cdb.size() >= 10 && cdb[0] == 0x2A) { // WRITE(10)
        return Count10(cdb) * m_blockSize;
    }
    return 0;
}

void ScsiDisk::SetMediumPresent(bool present) {
    std::lock_guard guard(m_lock);
    if (present && !m_mediumPresent) {
        m_unitAttention = ScsiSense{kUnitAttention, 0x28, 0x00}; // not ready to ready: the medium may have changed
    }
    m_mediumPresent = present;
}

void ScsiDisk::SetWriteProtected(bool writeProtected) {
    std::lock_guard guard(m_lock);
    m_writeProtected = writeProtected;
}

ScsiSense ScsiDisk::PendingSense() const {
    std::lock_guard guard(m_lock);
    return m_sense;
}

ScsiResult ScsiDisk::CheckCondition(UCHAR senseKey, UCHAR asc, UCHAR ascq) {
    m_sense = {senseKey, asc, ascq};
    return {kCheckCondition, {}};
}

const UCHAR* ScsiDisk::Chunk(ULONG index) const {
    auto it = m_chunks.find(index);
    return it == m_chunks.end() ? nullptr : it->second.get();
}

UCHAR* ScsiDisk::Chunk(ULONG index, bool create) {
    auto it = m_chunks.find(index);
    if (it != m_chunks.end()) {
        return it->second.get();
    }
    if (!create) {
        return nullptr;
    }
    auto chunk = std::make_unique<UCHAR[]>(kChunkBytes); // zeroed
    UCHAR* bytes = chunk.get();
    m_chunks.emplace(index, std::move(chunk));
    return bytes;
}

Bytes ScsiDisk::ReadBlocks(ULONG lba, ULONG count) const {
    std::lock_guard guard(m_lock);
    Bytes data(static_cast<size_t>(count) * m_blockSize);
    uint64_t at = static_cast<uint64_t>(lba) * m_blockSize;
    for (size_t done = 0; done < data.size();) {
        const size_t offset = static_cast<size_t>(at % kChunkBytes);
        const size_t n = std::min(data.size() - done, kChunkBytes - offset);
        if (const UCHAR* chunk = Chunk(static_cast<ULONG>(at / kChunkBytes))) {
            std::memcpy(&data[done], chunk + offset, n);
        }
        done += n;
        at += n;
    }
    return data;
}

void ScsiDisk::WriteBlocks(ULONG lba, std::span<const UCHAR> data) {
    std::lock_guard guard(m_lock);
    const size_t whole = data.size() - data.size() % m_blockSize;
    uint64_t at = static_cast<uint64_t>(lba) * m_blockSize;
    for (size_t done = 0; done < whole;) {
        const size_t offset = static_cast<size_t>(at % kChunkBytes);
        const size_t n = std::min(whole - done, kChunkBytes - offset);
        std::memcpy(Chunk(static_cast<ULONG>(at / kChunkBytes), true) + offset, &data[done], n);
        done += n;
        at += n;
    }
}

ScsiResult ScsiDisk::Execute(std::span<const UCHAR> cdb, std::span<const UCHAR> dataOut) {
    if (cdb.empty()) {
        std::lock_guard guard(m_lock);
        return CheckCondition(kIllegalRequest, 0x20);
    }
    const UCHAR opcode = cdb[0];
    {
        std::lock_guard guard(m_lock);
        // INQUIRY and REQUEST SENSE are answered whatever the unit's state; the first other command reports a
        // pending unit attention and clears it.
        if (opcode != 0x12 && opcode != 0x03) {
            if (m_unitAttention) {
                ScsiSense attention = *m_unitAttention;
                m_unitAttention.reset();
                return CheckCondition(attention.key, attention.asc, attention.ascq);
            }
            const bool needsMedium = opcode == 0x00 || opcode == 0x25 || opcode == 0x28 || opcode == 0x2A ||
                                     opcode == 0x2F || opcode == 0x35 || opcode == 0x9E;
            if (needsMedium && !m_mediumPresent) {
                return CheckCondition(kNotReady, 0x3A); // medium not present
            }
        }
    }
    ScsiResult result = Run(cdb, dataOut);
    if (result.status == kGood && opcode != 0x03) {
        std::lock_guard guard(m_lock);
        m_sense = {};
    }
    return result;
}

ScsiResult ScsiDisk::Run(std::span<const UCHAR> cdb, std::span<const UCHAR> dataOut) {
    const UCHAR opcode = cdb[0];
    const bool tenByte = cdb.size() >= 10;
    auto checkCondition = [&](UCHAR key, UCHAR asc) {
        std::lock_guard guard(m_lock);
        return CheckCondition(key, asc);
    };
    switch (opcode) {
    case 0x00: // TEST UNIT READY
    case 0x1B: // START STOP UNIT
    case 0x1E: // PREVENT ALLOW MEDIUM REMOVAL
    case 0x35: // SYNCHRONIZE CACHE(10)
        return {kGood, {}};
    case 0x03: { // REQUEST SENSE: fixed format, then the sense is gone
        std::lock_guard guard(m_lock);
        Bytes sense(18);
        sense[0] = 0x70;
        sense[2] = m_sense.key;
        sense[7] = 10;
        sense[12] = m_sense.asc;
        sense[13] = m_sense.ascq;
        m_sense = {};
        return {kGood, Limited(std::move(sense), cdb.size() > 4 ? cdb[4] : 18)};
    }
    case 0x12: { // INQUIRY
        if (cdb.size() > 1 && (cdb[1] & 0x01)) {
            return checkCondition(kIllegalRequest, 0x24); // no vital product data pages
        }
        Bytes inquiry(36);
        inquiry[0] = 0x00; // direct-access block device
        inquiry[1] = 0x80; // removable
        inquiry[2] = 0x04; // SPC-2
        inquiry[3] = 0x02;
        inquiry[4] = 31;
        CopyPadded(&inquiry[8], 8, m_vendor);
        CopyPadded(&inquiry[16], 16, m_product);
        CopyPadded(&inquiry[32], 4, m_revision);
        return {kGood, Limited(std::move(inquiry), cdb.size() > 4 ? static_cast<size_t>(cdb[3] << 8 | cdb[4]) : 36)};
    }
    case 0x1A:   // MODE SENSE(6)
    case 0x5A: { // MODE SENSE(10)
        const UCHAR page = cdb.size() > 2 ? cdb[2] & 0x3F : 0x3F;
        if (page != 0x3F && page != 0x08 && page != 0x00) {
            return checkCondition(kIllegalRequest, 0x24); // invalid field in CDB: a page the disk lacks
        }
        Bytes pages = page == 0x00 ? Bytes{} : CachingPage();
        bool writeProtected;
        {
            std::lock_guard guard(m_lock);
            writeProtected = m_writeProtected;
        }
        Bytes answer;
        if (opcode == 0x1A) {
            answer = {static_cast<UCHAR>(3 + pages.size()), 0, static_cast<UCHAR>(writeProtected ? 0x80 : 0), 0};
        } else {
            const size_t length = 6 + pages.size();
            answer = {static_cast<UCHAR>(length >> 8),
                      static_cast<UCHAR>(length),
                      0,
                      static_cast<UCHAR>(writeProtected ? 0x80 : 0),
                      0,
                      0,
                      0,
                      0};
        }
        answer.insert(answer.end(), pages.begin(), pages.end());
        const size_t allocation =
            opcode == 0x1A ? (cdb.size() > 4 ? cdb[4] : 4) : (tenByte ? static_cast<size_t>(cdb[7] << 8 | cdb[8]) : 8);
        return {kGood, Limited(std::move(answer), allocation)};
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
    case 0x9E: { // SERVICE ACTION IN(16): READ CAPACITY(16)
        if (cdb.size() < 16 || (cdb[1] & 0x1F) != 0x10) {
            return checkCondition(kIllegalRequest, 0x24);
        }
        Bytes capacity(32);
        WriteU32BigEndian(&capacity[4], m_blockCount - 1); // the last LBA, 64 bits big-endian
        WriteU32BigEndian(&capacity[8], m_blockSize);
        return {kGood, Limited(std::move(capacity), ReadU32BigEndian(&cdb[10]))};
    }
    case 0x28:   // READ(10)
    case 0x2F: { // VERIFY(10)
        if (!tenByte) {
            return checkCondition(kIllegalRequest, 0x24);
        }
        ULONG lba = Lba10(cdb);
        ULONG count = Count10(cdb);
        if (static_cast<uint64_t>(lba) + count > m_blockCount) {
            return checkCondition(kIllegalRequest, 0x21); // logical block address out of range
        }
        return {kGood, opcode == 0x28 ? ReadBlocks(lba, count) : Bytes{}};
    }
    case 0x2A: { // WRITE(10)
        if (!tenByte) {
            return checkCondition(kIllegalRequest, 0x24);
        }
        ULONG lba = Lba10(cdb);
        ULONG count = Count10(cdb);
        if (static_cast<uint64_t>(lba) + count > m_blockCount) {
            return checkCondition(kIllegalRequest, 0x21);
        }
        {
            std::lock_guard guard(m_lock);
            if (m_writeProtected) {
                return CheckCondition(kDataProtect, 0x27); // write protected
            }
        }
        WriteBlocks(lba, dataOut.first(std::min<size_t>(dataOut.size(), static_cast<size_t>(count) * m_blockSize)));
        return {kGood, {}};
    }
    default: return checkCondition(kIllegalRequest, 0x20); // invalid command operation code
    }
}

BulkOnlyFunction::BulkOnlyFunction(UCHAR inEndpoint, UCHAR outEndpoint, std::shared_ptr<ScsiDisk> disk)
    : m_in(inEndpoint), m_out(outEndpoint), m_disk(std::move(disk)) {}

size_t BulkOnlyFunction::CommandsExecuted() const {
    std::lock_guard guard(m_lock);
    return m_commands;
}

std::vector<BulkOnlyCommand> BulkOnlyFunction::History() const {
    std::lock_guard guard(m_lock);
    return {m_history.begin(), m_history.end()};
}

TransferResult BulkOnlyFunction::ClassRequest(const SetupPacket& setup, std::span<UCHAR> data) {
    switch (setup.bRequest) {
    case kGetMaxLun:
        if (data.empty()) {
            return TransferResult::Stall();
        }
        data[0] = 0;
        return TransferResult::Ok(1);
    case kBulkOnlyReset: Reset(0); return TransferResult::Ok();
    default: return TransferResult::Stall();
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
        case Phase::Command: return TakeCommand(data);
        case Phase::DataOut: return TakeData(data);
        default: return TransferResult::Stall(); // out of phase
        }
    }
    if (endpointAddress == m_in) {
        switch (m_phase) {
        case Phase::DataIn: return GiveData(data);
        case Phase::Status: return GiveStatus(data);
        default: return TransferResult::Nak(); // nothing to give before a command
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
    m_current = {m_tag, m_cdb[0], m_expected, in, 0, 0};
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
    if (m_buffer.empty()) {
        // A command that failed has no data to give: the device stalls its data stage, and the host, once it
        // has cleared the stall, reads the status.
        Finish(m_status, m_residue);
        return TransferResult::Stall();
    }
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
    m_current.cswStatus = m_status;
    m_current.residue = m_residue;
    m_history.push_back(m_current);
    if (m_history.size() > kHistory) {
        m_history.pop_front();
    }
    return TransferResult::Ok(13);
}

void BulkOnlyFunction::Finish(UCHAR status, ULONG residue) {
    m_status = status;
    m_residue = residue;
    m_phase = Phase::Status;
}

} // namespace sim

#include "common/RecordFrame.h"

const char* RecordFrameErrorName(RecordFrameError error) {
    switch (error) {
    case RecordFrameError::None: return "record frame intact";
    case RecordFrameError::ShortHeader: return "record header incomplete";
    case RecordFrameError::BadSync: return "record sync word missing";
    case RecordFrameError::BadContinuation: return "record continuation word invalid";
    case RecordFrameError::PastEnd: return "record runs past the end of the data";
    case RecordFrameError::BadTrailer: return "record trailer missing";
    }
    return "record frame error";
}

RecordFrameError CheckRecordFrame(std::span<const uint8_t> bytes, size_t* recordSize, unsigned flags) {
    if (bytes.size() < LOGHDR_SIZE)
        return RecordFrameError::ShortHeader;
    const uint8_t* r = bytes.data();
    const ULONG sync = LogHdr::Sync(r);
    if (sync != LogTag::Sync && !((flags & RECORD_FRAME_ACCEPT_GAP_SYNC) && sync == LogTag::GapSync))
        return RecordFrameError::BadSync;
    const ULONG continuation = LogHdr::Continuation(r);
    if (continuation != LogTag::Data && continuation != LogTag::More)
        return RecordFrameError::BadContinuation;
    const uint64_t size = RecordSizeFor(LogHdr::DataSize(r));
    if (size > bytes.size())
        return RecordFrameError::PastEnd;
    if (tdl::LoadLe<ULONG>(r + size - RECORD_TRAILER_SIZE) != LogTag::Fini)
        return RecordFrameError::BadTrailer;
    if (recordSize)
        *recordSize = static_cast<size_t>(size);
    return RecordFrameError::None;
}

bool RecordWalker::Next(std::span<const uint8_t>& record) {
    if (m_error != RecordFrameError::None || m_offset >= m_block.size())
        return false;
    size_t size = 0;
    m_error = CheckRecordFrame(m_block.subspan(m_offset), &size, m_flags);
    if (m_error != RecordFrameError::None)
        return false;
    record = m_block.subspan(m_offset, size);
    m_offset += size;
    return true;
}

#include "app/core/changelog/ChangeLogDissector.h"

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "common/NodeEntries.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"

namespace ChangeLog {

namespace {

const ChangeKind kKinds[] = {
    {LogTag::vedA, "--- LOG_DEVOBJ_ARRIVAL ---", DEVICE_NODE_SIZE, &CUSBLog::ProcessDevobjArrival},
    {LogTag::vedR, "--- LOG_DEVOBJ_REMOVAL ---", DEVICE_NODE_SIZE, &CUSBLog::ProcessDevobjRemoval},
    {LogTag::vrdA, "--- LOG_DRVOBJ_ARRIVAL ---", DRIVER_NODE_SIZE, &CUSBLog::ProcessDrvobjArrival},
    {LogTag::vrdR, "--- LOG_DRVOBJ_REMOVAL ---", DRIVER_NODE_SIZE, &CUSBLog::ProcessDrvobjRemoval},
    {LogTag::ktsA, "--- LOG_DEVSTK_ARRIVAL ---", DEVSTK_NODE_SIZE, &CUSBLog::ProcessDevstkArrival},
    {LogTag::ktsR, "--- LOG_DEVSTK_REMOVAL ---", DEVSTK_NODE_SIZE, &CUSBLog::ProcessDevstkRemoval},
};

constexpr ULONG kArea = TRACE_AREA_CHANGE_LOG;

} // namespace

const ChangeKind* FindChangeKind(ULONG tag) {
    for (const ChangeKind& kind : kKinds)
        if (kind.tag == tag)
            return &kind;
    return nullptr;
}

void Dissect(CUSBLog& doc, const uint8_t* pBuffer, size_t length) {
    TDL_TRACE(TRACE_INFORMATION, kArea, "--CUSBLog::DissectChangeLogFragment");
    TDL_TRACE(TRACE_INFORMATION, kArea, "--------------------------------------");
    size_t offset = 0;
    while (offset < length) {
        const uint8_t* record = pBuffer + offset;
        const size_t left = length - offset;
        if (left < RECORD_FRAME_SIZE || RecordSizeFor(LogHdr::DataSize(record)) > left) {
            TDL_TRACE(TRACE_WARNING, kArea, "Record cut at offset %u of a %u-byte fragment",
                      static_cast<unsigned>(offset), static_cast<unsigned>(length));
            break;
        }
        const ULONG dataSize = LogHdr::DataSize(record);
        if (LogHdr::Sync(record) != LogTag::Sync)
            TDL_TRACE(TRACE_INFORMATION, kArea, "Missing ####");
        const ULONG continuation = LogHdr::Continuation(record);
        if (continuation != LogTag::Data && continuation != LogTag::More)
            TDL_TRACE(TRACE_INFORMATION, kArea, "Missing DATA");
        if (tdl::LoadLe<ULONG>(record + LOGHDR_SIZE + dataSize) != LogTag::Fini)
            TDL_TRACE(TRACE_INFORMATION, kArea, "Missing FINI");

        const ULONG tag = LogHdr::LogType(record);
        if (const ChangeKind* kind = FindChangeKind(tag)) {
            if (dataSize < kind->nodeSize) {
                TDL_TRACE(TRACE_WARNING, kArea, "%s payload of %u bytes is short; skipped", kind->trace,
                          static_cast<unsigned>(dataSize));
            } else {
                TDL_TRACE(TRACE_INFORMATION, kArea, "%s", kind->trace);
                (doc.*kind->handler)(record + LOGHDR_SIZE);
            }
        } else if (tag != LogTag::atsL && tag != LogTag::dneL) {
            TDL_TRACE(TRACE_INFORMATION, kArea, "--- UNKNOWN LogType ---");
        }
        offset += static_cast<size_t>(RecordSizeFor(dataSize));
    }
    TDL_TRACE(TRACE_INFORMATION, kArea, "--------------------------------------");
}

} // namespace ChangeLog

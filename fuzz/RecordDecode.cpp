// Feeds random bytes to the record readers: the frame checker and block walker, the record view's
// predicates and direction reader, the filter match with a filter block taken from the input, and every
// cell text and colour of the record list, against a device model with a stack of each kind (StackIDs 1 to
// 6). Each iteration works on an exact-size heap copy, so AddressSanitizer reports any read past the bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterMatch.h"
#include "app/core/records/LogRecordDecode.h"
#include "app/core/records/RecordFormat.h"
#include "common/RecordFrame.h"
#include "tests/support/StackKinds.h"

// Keeps the results alive so the calls are not optimised away.
volatile int g_recordDecodeSink = 0;

namespace {

// Made once and kept for the process: the model's lookups are what the records reach.
CUSBLog* ModelDocument() {
    static CUSBLog* pDocument = [] {
        auto* pNew = new CUSBLog;
        tdl::test::AddStacksOfEveryKind(*pNew);
        return pNew;
    }();
    return pDocument;
}

// Every column's text and both colour pairs of the record; the lengths and colours go to the sink.
int FormatEveryColumn(const CLogRecordDecode& view) {
    using Formatter = void (*)(const CLogRecordDecode&, CString&);
    static constexpr Formatter kColumns[] = {
        RecordFormat::Request,      RecordFormat::Direction, RecordFormat::TargetDeviceObject,
        RecordFormat::TargetDevice, RecordFormat::CfgIfcEp,  RecordFormat::IsoErrors,
        RecordFormat::Cbw,          RecordFormat::Csw,       RecordFormat::IrpAddress,
        RecordFormat::IrpStatus,
    };
    CString text;
    CString shortText;
    RecordFormat::Category(view, text, shortText);
    int sink = text.GetLength() + shortText.GetLength();
    for (Formatter format : kColumns) {
        format(view, text);
        sink += text.GetLength();
    }
    for (int unit : {RecordFormat::UnitSeconds, RecordFormat::UnitMilliseconds, RecordFormat::UnitMicroseconds}) {
        RecordFormat::ElapsedTime(view, 0, 1, unit, text);
        sink += text.GetLength();
    }
    sink += int(RecordFormat::KindColours(view).background);
    sink += int(RecordFormat::Highlight(view, view.GetSequenceNumber()).text);
    return sink;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks a filter block from the input's tail, when the input is long enough.
    FILTER_BLOCK block;
    InitLoggingOptions(block);
    if (size > FILTER_BLOCK_SIZE && (data[0] & 1)) {
        std::memcpy(block.Bytes, data + size - FILTER_BLOCK_SIZE, FILTER_BLOCK_SIZE);
        size -= FILTER_BLOCK_SIZE;
    }

    std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size)
        std::memcpy(copy.get(), data, size);
    const std::span<const uint8_t> bytes(copy.get(), size);

    size_t recordSize = 0;
    (void)CheckRecordFrame(bytes, &recordSize, RECORD_FRAME_ACCEPT_GAP_SYNC);

    CUSBLog* pDocument = ModelDocument();
    const CLogRecordDecode view(copy.get(), size, pDocument);
    LPCSTR type = nullptr;
    LPCSTR disposition = nullptr;
    view.GetTypeAndDisposition(type, disposition);
    bool in = false;
    int sink = view.HasInputData() + view.HasOutputData() + view.HasTransferData() + view.IsUrbRecord() +
               view.IsDirectionIn() + view.TryGetDirectionIn(in) + int(view.GetFunctionCode());
    sink += FilterMatchRecord(block, view, 12);
    sink += FormatEveryColumn(view);

    // Every record of the input taken as a block, each through its own bounded view.
    RecordWalker walker(bytes);
    std::span<const uint8_t> record;
    while (walker.Next(record)) {
        const CLogRecordDecode inner(reinterpret_cast<const _LOGHDR*>(record.data()), pDocument);
        sink += FilterMatchRecord(block, inner, 9) + inner.IsDirectionIn() + FormatEveryColumn(inner);
    }
    g_recordDecodeSink = sink;
    return 0;
}

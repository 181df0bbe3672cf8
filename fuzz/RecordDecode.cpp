// Feeds random bytes to the record readers: the frame checker and block walker, the record view's
// predicates and direction reader, and the filter match with a filter block taken from the input. Each
// iteration works on an exact-size heap copy, so AddressSanitizer reports any read past the bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "app/core/FilterMatch.h"
#include "app/core/LogRecordDecode.h"
#include "common/RecordFrame.h"

// Keeps the results alive so the calls are not optimised away.
volatile int g_recordDecodeSink = 0;

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

    const CLogRecordDecode view(copy.get(), size);
    LPCSTR type = nullptr;
    LPCSTR disposition = nullptr;
    view.GetTypeAndDisposition(type, disposition);
    bool in = false;
    int sink = view.HasInputData() + view.HasOutputData() + view.HasTransferData() + view.IsUrbRecord() +
               view.IsDirectionIn() + view.TryGetDirectionIn(in) + int(view.GetFunctionCode());
    sink += FilterMatchRecord(block, view, 12);

    // Every record of the input taken as a block, each through its own bounded view.
    RecordWalker walker(bytes);
    std::span<const uint8_t> record;
    while (walker.Next(record)) {
        const CLogRecordDecode inner(reinterpret_cast<const _LOGHDR*>(record.data()), nullptr);
        sink += FilterMatchRecord(block, inner, 9) + inner.IsDirectionIn();
    }
    g_recordDecodeSink = sink;
    return 0;
}

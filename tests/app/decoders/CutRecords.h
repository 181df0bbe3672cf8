// Records cut short, as a capture size, a damaged file or a fuzzer may leave them: each cut is an exact-size
// heap copy, so AddressSanitizer catches any read past it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "app/decoders/framework/LogOutputer.h"
#include "common/ByteReader.h"
#include "common/LogHeader.h"
#include "common/RecordFrame.h"
#include "tests/app/decoders/UrbMarkup.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingOutputImp.h"

namespace cut_test {

// Calls f(header, payloadSize) for the record cut to every payload size up to `dense`, then to its last two.
template <class F> void ForEachCut(const _LOGHDR* record, ULONG dense, F&& f) {
    const ULONG full = LogHdr::DataSize(reinterpret_cast<const uint8_t*>(record));
    for (ULONG size = 0; size <= full; size = size < dense || size + 1 >= full ? size + 1 : full - 1) {
        std::unique_ptr<uint8_t[]> cut(new uint8_t[LOGHDR_SIZE + size]);
        std::memcpy(cut.get(), record, LOGHDR_SIZE + size);
        tdl::StoreLe<ULONG>(cut.get() + offsetof(_LOGHDR, DataSize), size);
        f(reinterpret_cast<const _LOGHDR*>(cut.get()), size);
    }
}

inline size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The record at every cut through the decoder the factory picks, in the pane and in both mark-up forms: at
// most one truncation row for the record (a descriptor inside it may say on its own that it is short), and
// every element opened is closed.
inline void ExpectCutsStayWithinTheirBytes(const _LOGHDR* record, CUSBLog* document, ULONG dense) {
    const ULONG sequence = LogHdr::SequenceNumber(reinterpret_cast<const uint8_t*>(record));
    ForEachCut(record, dense, [&](const _LOGHDR* header, ULONG size) {
        for (int mode : {OUTPUT_MODE_XML, OUTPUT_MODE_HTML}) {
            tdl::test::RecordingOutputImp out;
            std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&out, document, header));
            ASSERT_NE(decoder, nullptr);
            decoder->OutputMarkupRecord(mode);
            const std::string text = out.Text();
            EXPECT_LE(Count(text, "payload bytes"), 1u) << "#" << sequence << " cut to " << size << "\n" << text;
            if (mode == OUTPUT_MODE_XML)
                EXPECT_TRUE(MarkupBalanced(text)) << "#" << sequence << " cut to " << size << "\n" << text;
        }
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(document, header));
        const std::string shown = pane.Shown();
        EXPECT_LE(Count(shown, "payload bytes"), 1u) << "#" << sequence << " cut to " << size << "\n" << shown;
    });
}

} // namespace cut_test

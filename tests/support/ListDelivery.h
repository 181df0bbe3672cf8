// Records handed to a capture's record list as the capture thread hands a block it read: appended to the
// document's current bank and the list told of them. Header only: it names the program's own classes, which
// only the suites that link the application have.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/core/records/LogRecords.h"
#include "app/ui/loglist/LogListView.h"
#include "tests/support/RecordBuilder.h"

namespace tdl::test {

inline void DeliverToList(LogRecords::CLogRecords& records, CLogListView& view,
                          const std::vector<std::vector<uint8_t>>& block) {
    std::vector<uint8_t> bytes;
    for (const std::vector<uint8_t>& record : block)
        AppendRecord(bytes, record);
    BYTE* pointer = nullptr;
    DWORD left = 0;
    ASSERT_TRUE(records.GetWriteSpace(pointer, left));
    ASSERT_GE(left, bytes.size());
    std::memcpy(pointer, bytes.data(), bytes.size());
    records.AdvanceWrite(static_cast<DWORD>(bytes.size()));
    ::SendMessageA(view.GetSafeHwnd(), g_nLogListViewMessage, reinterpret_cast<WPARAM>(pointer),
                   static_cast<LPARAM>(bytes.size()));
}

} // namespace tdl::test

// Records what decoders put in the data bar (its title and bytes, emptied by a clear) and gives those bytes back
// while it lives; the pane pointers send nowhere again once it is gone.
#pragma once

#include <string>
#include <vector>

#include "app/ui/PanePointers.h"

namespace tdl::test {

class RecordingDataBar : public CDataBarSink {
public:
    RecordingDataBar() { CPanePointers::SetDataBarSink(this); }
    ~RecordingDataBar() override { CPanePointers::SetDataBarSink(nullptr); }
    RecordingDataBar(const RecordingDataBar&) = delete;
    RecordingDataBar& operator=(const RecordingDataBar&) = delete;

    void SetTitle(const CString& title) override { m_title = title.GetString(); }
    void SetDataBuffer(const BYTE* pData, ULONG count) override {
        m_bytes.assign(pData, pData + count);
        ++m_buffers;
    }
    void Clear() override {
        m_title.clear();
        m_bytes.clear();
    }
    BOOL GetDataBuffer(const BYTE*& rpData, ULONG& rnLength) override {
        rpData = m_bytes.empty() ? nullptr : m_bytes.data();
        rnLength = static_cast<ULONG>(m_bytes.size());
        return TRUE;
    }

    const std::string& Title() const { return m_title; }
    const std::vector<BYTE>& Bytes() const { return m_bytes; }
    // How many buffers were set.
    int Buffers() const { return m_buffers; }

private:
    std::string m_title;
    std::vector<BYTE> m_bytes;
    int m_buffers = 0;
};

} // namespace tdl::test

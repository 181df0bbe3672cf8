// Records the pane forwarders' calls while it lives, oldest first, so that a test can check the order of a
// command's pane steps; `onCall` (when set) runs at each call, before it is recorded.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/ui/PanePointers.h"

namespace tdl::test {

class RecordingPanes : public CPaneCallSink {
public:
    RecordingPanes() { CPanePointers::SetCallSink(this); }
    ~RecordingPanes() override { CPanePointers::SetCallSink(nullptr); }
    RecordingPanes(const RecordingPanes&) = delete;
    RecordingPanes& operator=(const RecordingPanes&) = delete;

    void PaneCall(const char* lpszName, CUSBLog* pDoc) override {
        if (onCall)
            onCall(lpszName);
        names.emplace_back(lpszName);
        documents.push_back(pDoc);
    }
    // The calls so far, and forgets them.
    std::vector<std::string> Take() {
        std::vector<std::string> taken;
        taken.swap(names);
        documents.clear();
        return taken;
    }

    std::vector<std::string> names;
    std::vector<CUSBLog*> documents;
    std::function<void(const std::string&)> onCall;
};

} // namespace tdl::test

// The hex-dump tests' notification owner: a window that records every WM_NOTIFY record the control sends it.
#pragma once

#include <memory>
#include <vector>

#include "app/widgets/PPDumpCtrl.h"
#include "tests/support/UiFixture.h"

namespace tdl::test {

struct DumpNotice {
    UINT code;
    UINT_PTR id;
    int first, second; // the record's two integers; for a menu notice the hot field and element
    HMENU menu;
};

// A top-level window that appends each notice to `notices` (which must outlive it).
inline std::unique_ptr<TestWindow> MakeDumpOwner(std::vector<DumpNotice>& notices) {
    return std::make_unique<TestWindow>(
        WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 520, 320},
        [&notices](HWND, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
            if (msg != WM_NOTIFY)
                return std::nullopt;
            const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
            if (hdr->code == UDM_PPDUMPCTRL_MENU_CALLBACK) {
                const auto* m = reinterpret_cast<const NM_PPDUMP_MENU*>(lParam);
                notices.push_back({hdr->code, hdr->idFrom, m->iArea, m->iAddress, m->hMenu});
            } else {
                const auto* r = reinterpret_cast<const NM_PPDUMP_CTRL*>(lParam);
                notices.push_back({hdr->code, hdr->idFrom, r->iAddress, r->iValue, nullptr});
            }
            return 0;
        });
}

} // namespace tdl::test

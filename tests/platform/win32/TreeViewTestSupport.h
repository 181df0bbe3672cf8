// A tree view under a parent window that records the tree's notifications and can answer them.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/UiFixture.h"

namespace win32::test {

// A copy of a window's own client image (as painted last), read pixel by pixel without composing pictures.
class ClientSnapshot {
public:
    explicit ClientSnapshot(HWND hwnd);
    // The image WM_PAINT draws into a fresh memory DC when given it in wParam.
    static ClientSnapshot PaintedInto(HWND hwnd);
    COLORREF Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + static_cast<size_t>(x)]; }
    int Count(COLORREF colour, const RECT& r) const;
    int Width() const { return static_cast<int>(width_); }
    int Height() const { return static_cast<int>(pixels_.size() / (width_ ? width_ : 1)); }

private:
    ClientSnapshot() = default;
    void Read(HDC source, int width, int height);
    size_t width_ = 0;
    std::vector<COLORREF> pixels_;
};

// Images of one size, each a square of its colour framed in black (state images look like check boxes).
HIMAGELIST MakeImages(int size, const std::vector<COLORREF>& fills);

struct TreeNote {
    UINT code = 0;
    UINT action = 0;
    HTREEITEM oldItem = nullptr;
    HTREEITEM newItem = nullptr;
    LPARAM oldParam = 0;
    LPARAM newParam = 0;
    UINT newState = 0;
    WORD key = 0;
};

class TreeViewTest : public tdl::test::UiTest {
protected:
    static constexpr int kTreeId = 310;

    void SetUp() override;
    void TearDown() override;

    // A tree of the given style in a 240 x 160 parent.
    HWND MakeTree(DWORD style, int width = 200, int height = 150);
    HTREEITEM Insert(HTREEITEM parent, const char* text, LPARAM param, HTREEITEM after = TVI_LAST);
    std::vector<UINT> Codes(std::vector<UINT> only = {}) const;

    std::unique_ptr<tdl::test::TestWindow> parent_;
    HWND tree_ = nullptr;
    std::vector<TreeNote> notes_;
    std::map<UINT, LRESULT> answers_; // by notification code
    std::string infoTip_;             // what the parent answers TVN_GETINFOTIP with (empty: the default)
};

} // namespace win32::test

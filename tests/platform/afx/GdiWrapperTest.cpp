// The drawing wrappers: a memory DC drawn on through CDC, typed results of SelectObject, and objects that are
// released with their wrappers.
#include <gtest/gtest.h>

#include "AfxDC.h"
#include "WinGdiControl.h"

namespace {

TEST(GdiWrappers, DrawOnAMemoryDcAndReleaseEverything) {
    const size_t before = win32::GdiObjectCount();
    {
        CDC dc;
        ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.CreateBitmap(20, 10, 1, 32, nullptr)); // colour: a fresh memory DC is monochrome
        CBitmap* pOldBitmap = dc.SelectObject(&bitmap);
        ASSERT_NE(pOldBitmap, nullptr);

        CRect all(0, 0, 20, 10);
        dc.FillSolidRect(&all, RGB(255, 255, 255));
        CBrush red(RGB(255, 0, 0));
        CRect left(0, 0, 5, 10);
        dc.FillRect(&left, &red);
        dc.Draw3dRect(CRect(10, 2, 16, 8), RGB(0, 0, 255), RGB(0, 255, 0));
        EXPECT_EQ(dc.GetPixel(2, 5), RGB(255, 0, 0));
        EXPECT_EQ(dc.GetPixel(7, 5), RGB(255, 255, 255));
        EXPECT_EQ(dc.GetPixel(10, 2), RGB(0, 0, 255));     // top-left edge
        EXPECT_EQ(dc.GetPixel(15, 7), RGB(0, 255, 0));     // bottom-right edge
        EXPECT_EQ(dc.GetPixel(12, 5), RGB(255, 255, 255)); // inside untouched

        CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
        CPen* pOldPen = dc.SelectObject(&pen);
        ASSERT_NE(pOldPen, nullptr);
        EXPECT_EQ(pOldPen->GetObjectType(), static_cast<UINT>(OBJ_PEN));
        dc.MoveTo(0, 9);
        dc.LineTo(20, 9);
        EXPECT_EQ(dc.GetPixel(8, 9), RGB(0, 0, 0));
        // Selecting back gives the wrapper of what was selected.
        EXPECT_EQ(static_cast<HGDIOBJ>(*dc.SelectObject(pOldPen)), pen.m_hObject);

        CFont font;
        ASSERT_TRUE(font.CreatePointFont(90, "MS Shell Dlg"));
        LOGFONTA lf{};
        ASSERT_GT(font.GetLogFont(&lf), 0);
        EXPECT_EQ(lf.lfHeight, -12); // 9 points at 96 dots per inch
        CFont* pOldFont = dc.SelectObject(&font);
        EXPECT_GT(dc.GetTextExtent("Tindaloft").cx, 0);
        dc.SelectObject(pOldFont);
        dc.SelectObject(pOldBitmap);
        AfxDeleteTempGdiMaps();
    }
    EXPECT_EQ(win32::GdiObjectCount(), before);
}

} // namespace

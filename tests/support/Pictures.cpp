#include "tests/support/Pictures.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include <cairo.h>
#include <gtest/gtest.h>

#include "WinUiControl.h"

namespace tdl::test {

std::string PicturePath(const std::string& fileName) {
    // One flat folder of "name.png" files: a reviewer opens them by name, and a second extension or a folder
    // in the name would hide a picture from them.
    const bool png = fileName.size() > 4 && fileName.ends_with(".png") && !fileName.ends_with(".png.png");
    if (!png || fileName.find_first_of("/\\") != std::string::npos)
        ADD_FAILURE() << "a picture's file name is \"name.png\": " << fileName;
    const char* pszDir = std::getenv("TDL_PICTURE_DIR");
    std::filesystem::path dir =
        (pszDir && *pszDir) ? std::filesystem::path(pszDir) : std::filesystem::path(testing::TempDir());
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    return (dir / fileName).string();
}

bool SavePicture(HWND hwnd, const std::string& fileName) {
    HWND hRoot = ::GetAncestor(hwnd, GA_ROOT);
    return hRoot != nullptr && win32::SavePicturePng(hRoot, PicturePath(fileName).c_str());
}

Picture::Picture(HWND hwnd, const std::string& fileName) {
    if (!SavePicture(hwnd, fileName))
        return;
    cairo_surface_t* pSurface = cairo_image_surface_create_from_png(PicturePath(fileName).c_str());
    if (cairo_surface_status(pSurface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(pSurface);
        return;
    }
    cairo_surface_flush(pSurface);
    m_pSurface = pSurface;
    HWND hRoot = ::GetAncestor(hwnd, GA_ROOT);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    RECT rcRoot;
    ::GetWindowRect(hRoot, &rcRoot);
    m_origin = {origin.x - rcRoot.left, origin.y - rcRoot.top};
}

Picture::~Picture() {
    if (m_pSurface)
        cairo_surface_destroy(static_cast<cairo_surface_t*>(m_pSurface));
}

COLORREF Picture::Client(int x, int y) const {
    auto* pSurface = static_cast<cairo_surface_t*>(m_pSurface);
    if (!pSurface)
        return CLR_INVALID;
    x += m_origin.x;
    y += m_origin.y;
    if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(pSurface) || y >= cairo_image_surface_get_height(pSurface))
        return CLR_INVALID;
    const unsigned char* pRow = cairo_image_surface_get_data(pSurface) + y * cairo_image_surface_get_stride(pSurface);
    uint32_t argb = 0;
    std::memcpy(&argb, pRow + 4 * x, sizeof(argb));
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

int Picture::Count(const RECT& rect, const std::function<bool(COLORREF)>& test) const {
    int nCount = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (test(Client(x, y)))
                ++nCount;
    return nCount;
}

bool SaveScreenPicture(const RECT& area, const std::string& fileName) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return false;
    std::vector<HWND> windows; // topmost first
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) {
            if (::IsWindowVisible(hwnd))
                reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    cairo_surface_t* pSurface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(pSurface);
    auto* pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(pSurface));
    const int stride = cairo_image_surface_get_stride(pSurface);
    const COLORREF desktop = ::GetSysColor(COLOR_DESKTOP);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[y * (stride / 4) + x] = (GetRValue(desktop) << 16) | (GetGValue(desktop) << 8) | GetBValue(desktop);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        ::RedrawWindow(*it, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT window{};
        ::GetWindowRect(*it, &window);
        // The area in the window's own coordinates: what of the window lies outside it is left alone.
        const RECT part{area.left - window.left, area.top - window.top, area.right - window.left,
                        area.bottom - window.top};
        win32::CopyPicture(*it, part, pixels, stride);
    }
    cairo_surface_mark_dirty(pSurface);
    const bool saved = cairo_surface_write_to_png(pSurface, PicturePath(fileName).c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(pSurface);
    return saved;
}

bool IsReddish(COLORREF clr) {
    return GetRValue(clr) >= 160 && GetGValue(clr) <= 90 && GetBValue(clr) <= 90;
}

bool IsDark(COLORREF clr) {
    return GetRValue(clr) < 96 && GetGValue(clr) < 96 && GetBValue(clr) < 96;
}

} // namespace tdl::test

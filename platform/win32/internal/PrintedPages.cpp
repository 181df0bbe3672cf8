#include "PrintedPages.h"

#include <cstring>
#include <vector>

#include "WinGdiControl.h"
#include "WinHandles.h"
#include "winerror.h"

namespace win32 {

namespace {

struct Pages {
    std::mutex lock;
    std::vector<std::shared_ptr<internal::Canvas>> pages;
};

Pages& Printed() {
    static auto* pages = new Pages;
    return *pages;
}

std::shared_ptr<internal::Canvas> Page(size_t index) {
    Pages& p = Printed();
    std::lock_guard guard(p.lock);
    return index < p.pages.size() ? p.pages[index] : nullptr;
}

} // namespace

void internal::KeepPrintedPage(Canvas& page) {
    auto copy = std::make_shared<Canvas>(page.Width(), page.Height(), page.Mono());
    page.BeginPixels();
    for (int y = 0; y < page.Height(); ++y)
        std::memcpy(copy->Row(y), page.Row(y), sizeof(uint32_t) * page.Width());
    copy->EndPixels();
    Pages& p = Printed();
    std::lock_guard guard(p.lock);
    p.pages.push_back(std::move(copy));
}

size_t PrintedPageCount() {
    Pages& p = Printed();
    std::lock_guard guard(p.lock);
    return p.pages.size();
}

COLORREF PrintedPagePixel(size_t page, int x, int y) {
    auto canvas = Page(page);
    if (!canvas || !canvas->Contains(x, y))
        return CLR_INVALID;
    std::lock_guard guard(canvas->Lock());
    canvas->BeginPixels();
    return internal::ColorOf(canvas->Pixel(x, y));
}

BOOL WritePrintedPagePng(size_t page, const char* path) {
    auto canvas = Page(page);
    if (!canvas) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard guard(canvas->Lock());
    return internal::WriteCanvasPng(*canvas, path) ? TRUE : FALSE;
}

void ClearPrintedPages() {
    Pages& p = Printed();
    std::lock_guard guard(p.lock);
    p.pages.clear();
}

} // namespace win32

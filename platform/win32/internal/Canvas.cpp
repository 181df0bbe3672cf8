#include "Canvas.h"

#include <algorithm>

namespace win32::internal {

Canvas::Canvas(int width, int height, bool mono) : mono_(mono) {
    Reset(width, height);
}

Canvas::~Canvas() {
    cairo_surface_destroy(surface_);
}

void Canvas::Allocate(int width, int height) {
    if (surface_)
        cairo_surface_destroy(surface_);
    width_ = std::clamp(width, 1, kLargestCanvas);
    height_ = std::clamp(height, 1, kLargestCanvas);
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_, height_);
    data_ = cairo_image_surface_get_data(surface_);
    stride_ = cairo_image_surface_get_stride(surface_);
}

void Canvas::Reset(int width, int height, uint32_t pixel) {
    Allocate(width, height);
    Fill(pixel);
}

void Canvas::Fill(uint32_t pixel) {
    cairo_surface_flush(surface_);
    for (int y = 0; y < height_; ++y)
        std::fill_n(Row(y), width_, pixel);
    cairo_surface_mark_dirty(surface_);
}

} // namespace win32::internal

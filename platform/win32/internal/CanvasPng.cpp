// PNG files and embedded PNG images to and from canvases.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Canvas.h"
#include "HostFiles.h"
#include "WinHandles.h"

namespace win32::internal {

namespace {

struct PngReader {
    const unsigned char* data;
    size_t size;
    size_t at;
};

cairo_status_t ReadPngBytes(void* closure, unsigned char* buffer, unsigned int length) {
    auto* r = static_cast<PngReader*>(closure);
    if (length > r->size - r->at)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(buffer, r->data + r->at, length);
    r->at += length;
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

bool WriteCanvasPng(Canvas& canvas, const char* path) {
    if (!path) {
        SetLastError(87 /* ERROR_INVALID_PARAMETER */);
        return false;
    }
    std::string host = HostPathFromWindows(path);
    canvas.BeginPixels();
    errno = 0;
    cairo_status_t status = cairo_surface_write_to_png(canvas.Surface(), host.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        SetLastError(errno ? Win32ErrorFromErrno(errno) : 29 /* ERROR_WRITE_FAULT */);
        return false;
    }
    return true;
}

std::shared_ptr<Canvas> ReadCanvasPng(const unsigned char* data, size_t size, std::vector<uint8_t>* alpha) {
    if (!data || size < 8)
        return nullptr;
    PngReader reader{data, size, 0};
    cairo_surface_t* image = cairo_image_surface_create_from_png_stream(ReadPngBytes, &reader);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return nullptr;
    }
    int width = cairo_image_surface_get_width(image);
    int height = cairo_image_surface_get_height(image);
    cairo_format_t format = cairo_image_surface_get_format(image);
    if (width > kLargestCanvas || height > kLargestCanvas) {
        cairo_surface_destroy(image);
        return nullptr;
    }
    auto canvas = std::make_shared<Canvas>(width, height, false);
    if (alpha)
        alpha->assign(static_cast<size_t>(width) * height, 1);
    cairo_surface_flush(image);
    const unsigned char* pixels = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    canvas->BeginPixels();
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(pixels + static_cast<size_t>(y) * stride);
        uint32_t* out = canvas->Row(y);
        for (int x = 0; x < width; ++x) {
            uint32_t p = row[x];
            if (format == CAIRO_FORMAT_ARGB32) {
                // cairo premultiplies: undo it so an opaque pixel keeps its exact colour.
                uint32_t a = p >> 24;
                if (alpha)
                    (*alpha)[static_cast<size_t>(y) * width + x] = a >= 128 ? 1 : 0;
                if (a != 0 && a != 255) {
                    uint32_t r = ((p >> 16) & 0xFF) * 255 / a, g = ((p >> 8) & 0xFF) * 255 / a,
                             b = (p & 0xFF) * 255 / a;
                    p = (std::min(r, 255u) << 16) | (std::min(g, 255u) << 8) | std::min(b, 255u);
                }
            }
            out[x] = p & 0xFFFFFF;
        }
    }
    canvas->EndPixels();
    cairo_surface_destroy(image);
    return canvas;
}

} // namespace win32::internal

#include "ui/cairo/image_surface.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "platform/file_system.hpp"
#include "ui/cairo/cairo_canvas.hpp"

namespace glimmet {

namespace {

constexpr int kMaxSide = 32767;  // cairo's limit for image surfaces

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

struct ReadCursor {
  std::string_view bytes;
  size_t offset = 0;
};

cairo_status_t readFromCursor(void* closure, unsigned char* data, unsigned int length) {
  auto* cursor = static_cast<ReadCursor*>(closure);
  if (cursor->bytes.size() - cursor->offset < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, cursor->bytes.data() + cursor->offset, length);
  cursor->offset += length;
  return CAIRO_STATUS_SUCCESS;
}

int devicePixels(double points, double scale) {
  const double pixels = std::ceil(points * scale - 1e-9);
  if (!std::isfinite(pixels) || pixels < 0) return -1;
  return pixels > kMaxSide ? kMaxSide + 1 : static_cast<int>(pixels);
}

}  // namespace

Result<ImageSurface> ImageSurface::create(int width, int height) {
  if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) {
    return Result<ImageSurface>::failure("An image of " + std::to_string(width) + " x " +
                                         std::to_string(height) + " pixels cannot be made.");
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    std::string reason = cairo_status_to_string(cairo_surface_status(surface));
    cairo_surface_destroy(surface);
    return Result<ImageSurface>::failure("Could not make an image: " + reason);
  }
  return ImageSurface(surface);
}

ImageSurface::ImageSurface(ImageSurface&& other) noexcept : surface_(other.surface_) {
  other.surface_ = nullptr;
}

ImageSurface& ImageSurface::operator=(ImageSurface&& other) noexcept {
  if (this != &other) {
    if (surface_) cairo_surface_destroy(surface_);
    surface_ = other.surface_;
    other.surface_ = nullptr;
  }
  return *this;
}

ImageSurface::~ImageSurface() {
  if (surface_) cairo_surface_destroy(surface_);
}

int ImageSurface::width() const {
  return cairo_image_surface_get_width(surface_);
}
int ImageSurface::height() const {
  return cairo_image_surface_get_height(surface_);
}
int ImageSurface::stride() const {
  return cairo_image_surface_get_stride(surface_);
}

const uint8_t* ImageSurface::data() const {
  cairo_surface_flush(surface_);
  return cairo_image_surface_get_data(surface_);
}

uint8_t* ImageSurface::data() {
  cairo_surface_flush(surface_);
  return cairo_image_surface_get_data(surface_);
}

uint32_t ImageSurface::pixel(int x, int y) const {
  uint32_t value;
  std::memcpy(&value, data() + static_cast<size_t>(y) * stride() + static_cast<size_t>(x) * 4, 4);
  return value;
}

void ImageSurface::setPixel(int x, int y, uint32_t argb) {
  std::memcpy(data() + static_cast<size_t>(y) * stride() + static_cast<size_t>(x) * 4, &argb, 4);
  cairo_surface_mark_dirty(surface_);
}

Result<ImageSurface> renderToImage(Size points, double scale, TextEngine& text,
                                   const std::function<void(Canvas&)>& paint) {
  auto image =
      ImageSurface::create(devicePixels(points.width, scale), devicePixels(points.height, scale));
  if (!image) return image;
  cairo_t* cairo = cairo_create(image.value().cairoSurface());
  {
    CairoCanvas canvas(cairo, scale, text);
    paint(canvas);
  }
  cairo_destroy(cairo);
  cairo_surface_flush(image.value().cairoSurface());
  return image;
}

Result<ImageSurface> renderToImage(Size points, double scale,
                                   const std::function<void(Canvas&)>& paint) {
  auto text = sharedTextEngine();
  if (!text) return Result<ImageSurface>::failure(text.error());
  return renderToImage(points, scale, *text.value(), paint);
}

Status writePng(const std::string& path, const ImageSurface& image) {
  std::string bytes;
  cairo_surface_flush(image.cairoSurface());
  const cairo_status_t status =
      cairo_surface_write_to_png_stream(image.cairoSurface(), appendToString, &bytes);
  if (status != CAIRO_STATUS_SUCCESS) {
    return Status::failure("Could not encode " + path +
                           " as PNG: " + cairo_status_to_string(status));
  }
  return writeFileAtomically(path, bytes);
}

Result<ImageSurface> readPng(const std::string& path) {
  auto bytes = readFile(path);
  if (!bytes) return Result<ImageSurface>::failure("Could not read " + path + ".");
  ReadCursor cursor{*bytes};
  cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(readFromCursor, &cursor);
  if (cairo_surface_status(decoded) != CAIRO_STATUS_SUCCESS) {
    std::string reason = cairo_status_to_string(cairo_surface_status(decoded));
    cairo_surface_destroy(decoded);
    return Result<ImageSurface>::failure(path + " is not a readable PNG: " + reason);
  }
  if (cairo_image_surface_get_format(decoded) == CAIRO_FORMAT_ARGB32) return ImageSurface(decoded);
  // Opaque or grey PNGs decode to other formats; painting converts them.
  auto converted = ImageSurface::create(cairo_image_surface_get_width(decoded),
                                        cairo_image_surface_get_height(decoded));
  if (converted) {
    cairo_t* cairo = cairo_create(converted.value().cairoSurface());
    cairo_set_source_surface(cairo, decoded, 0, 0);
    cairo_set_operator(cairo, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cairo);
    cairo_destroy(cairo);
    cairo_surface_flush(converted.value().cairoSurface());
  }
  cairo_surface_destroy(decoded);
  return converted;
}

}  // namespace glimmet

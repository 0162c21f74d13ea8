// Draws Pebble, Glimmet's own sprite pet, and writes it as a Codex-layout pet folder:
// "pet.json" and a lossless "spritesheet.webp" of 8 columns × 9 rows of 192 × 208 pixel cells.
// Rows follow the Codex layout: 0 idle, 1-4 moving about, 5 error or tired, 6 waiting for
// approval, 7 working, 8 done.
//
// Usage: glimmet_pet_sheet <output folder>

#include <cairo.h>
#include <webp/encode.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kColumns = 8;
constexpr int kRows = 9;
constexpr int kCellWidth = 192;
constexpr int kCellHeight = 208;
constexpr double kPi = 3.14159265358979323846;

struct Pose {
  double squash = 0;   // > 0 flattens the body, < 0 stretches it
  double lift = 0;     // pixels above the ground
  double shiftX = 0;   // pixels sideways
  double lean = 0;     // radians
  double eyeOpen = 1;  // 0 closed .. 1 open
  bool crossEyes = false;
  double armWave = -1;  // raised arm angle in radians; negative: arms down
  double sweat = 0;     // 0 none .. 1 a full drop
  double sparkle = -1;  // phase of the working sparks; negative: none
  double star = -1;     // size of the done star; negative: none
  bool alert = false;   // the "!" above the head
  double mouth = 0;     // 0 flat .. 1 wide smile, negative: frown
};

void setRGB(cairo_t* cr, unsigned rgb, double alpha = 1) {
  cairo_set_source_rgba(cr, ((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0,
                        (rgb & 0xff) / 255.0, alpha);
}

void ellipse(cairo_t* cr, double cx, double cy, double rx, double ry) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
}

void star(cairo_t* cr, double cx, double cy, double r) {
  for (int i = 0; i < 10; ++i) {
    const double angle = -kPi / 2 + i * kPi / 5;
    const double radius = i % 2 == 0 ? r : r * 0.45;
    const double x = cx + radius * std::cos(angle);
    const double y = cy + radius * std::sin(angle);
    if (i == 0) {
      cairo_move_to(cr, x, y);
    } else {
      cairo_line_to(cr, x, y);
    }
  }
  cairo_close_path(cr);
}

// One cell, origin at its top-left corner.
void drawPebble(cairo_t* cr, const Pose& pose) {
  const double ground = 186;
  const double rx = 58 * (1 + pose.squash * 0.5);
  const double ry = 50 * (1 - pose.squash);
  const double cx = kCellWidth / 2.0 + pose.shiftX;
  const double cy = ground - ry - 12 - pose.lift;

  // Shadow, smaller while the pet is in the air.
  setRGB(cr, 0x000000, 0.22);
  const double shadow = std::max(0.45, 1 - pose.lift / 60);
  ellipse(cr, kCellWidth / 2.0 + pose.shiftX, ground, 50 * shadow, 8 * shadow);
  cairo_fill(cr);

  cairo_save(cr);
  cairo_translate(cr, cx, cy + ry);
  cairo_rotate(cr, pose.lean);
  cairo_translate(cr, -cx, -(cy + ry));

  // Feet.
  setRGB(cr, 0x3b4a6b);
  ellipse(cr, cx - 26, cy + ry + 6, 15, 8);
  cairo_fill(cr);
  ellipse(cr, cx + 26, cy + ry + 6, 15, 8);
  cairo_fill(cr);

  // Arms: stubs at the sides, one raised when waving.
  setRGB(cr, 0x5b6f9e);
  ellipse(cr, cx - rx + 4, cy + 16, 11, 15);
  cairo_fill(cr);
  if (pose.armWave >= 0) {
    cairo_save(cr);
    cairo_translate(cr, cx + rx - 10, cy - 4);
    cairo_rotate(cr, -pose.armWave);
    ellipse(cr, 0, -22, 11, 22);
    cairo_fill(cr);
    cairo_restore(cr);
  } else {
    ellipse(cr, cx + rx - 4, cy + 16, 11, 15);
    cairo_fill(cr);
  }

  // Body: a pebble with a lighter belly and an outline.
  ellipse(cr, cx, cy, rx, ry);
  cairo_pattern_t* shade = cairo_pattern_create_linear(cx, cy - ry, cx, cy + ry);
  cairo_pattern_add_color_stop_rgb(shade, 0, 0x8f / 255.0, 0xa8 / 255.0, 0xe0 / 255.0);
  cairo_pattern_add_color_stop_rgb(shade, 1, 0x5b / 255.0, 0x6f / 255.0, 0x9e / 255.0);
  cairo_set_source(cr, shade);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(shade);
  setRGB(cr, 0x2a3552);
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
  setRGB(cr, 0xdfe7fb, 0.9);
  ellipse(cr, cx, cy + ry * 0.42, rx * 0.55, ry * 0.36);
  cairo_fill(cr);
  // A glint, the "glimmer" of Glimmet.
  setRGB(cr, 0xffffff, 0.75);
  ellipse(cr, cx - rx * 0.45, cy - ry * 0.5, 9, 6);
  cairo_fill(cr);

  // Eyes.
  const double eyeY = cy - ry * 0.12;
  for (const double side : {-1.0, 1.0}) {
    const double ex = cx + side * rx * 0.36;
    if (pose.crossEyes) {
      setRGB(cr, 0x1b2238);
      cairo_set_line_width(cr, 5);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      cairo_move_to(cr, ex - 7, eyeY - 7);
      cairo_line_to(cr, ex + 7, eyeY + 7);
      cairo_move_to(cr, ex + 7, eyeY - 7);
      cairo_line_to(cr, ex - 7, eyeY + 7);
      cairo_stroke(cr);
    } else if (pose.eyeOpen < 0.2) {
      setRGB(cr, 0x1b2238);
      cairo_set_line_width(cr, 5);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      cairo_move_to(cr, ex - 8, eyeY);
      cairo_line_to(cr, ex + 8, eyeY);
      cairo_stroke(cr);
    } else {
      setRGB(cr, 0x1b2238);
      ellipse(cr, ex, eyeY, 8, 11 * pose.eyeOpen);
      cairo_fill(cr);
      setRGB(cr, 0xffffff);
      ellipse(cr, ex + 2.5, eyeY - 4 * pose.eyeOpen, 2.8, 2.8);
      cairo_fill(cr);
    }
  }

  // Mouth.
  setRGB(cr, 0x1b2238);
  cairo_set_line_width(cr, 4);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  const double mouthY = cy + ry * 0.2;
  cairo_move_to(cr, cx - 10, mouthY);
  cairo_curve_to(cr, cx - 4, mouthY + 10 * pose.mouth, cx + 4, mouthY + 10 * pose.mouth, cx + 10,
                 mouthY);
  cairo_stroke(cr);
  cairo_restore(cr);

  if (pose.sweat > 0) {
    setRGB(cr, 0x7cc4ff, 0.9);
    const double sx = cx + rx * 0.75;
    const double sy = cy - ry * 0.6 + (1 - pose.sweat) * 10;
    cairo_move_to(cr, sx, sy - 12 * pose.sweat);
    cairo_curve_to(cr, sx + 8, sy, sx + 7, sy + 8, sx, sy + 8);
    cairo_curve_to(cr, sx - 7, sy + 8, sx - 8, sy, sx, sy - 12 * pose.sweat);
    cairo_fill(cr);
  }
  if (pose.sparkle >= 0) {
    for (int i = 0; i < 3; ++i) {
      const double angle = pose.sparkle * 2 * kPi / 3 + i * 2 * kPi / 3;
      setRGB(cr, i == 0 ? 0xffd166 : 0x9ef0c4);
      star(cr, cx + std::cos(angle) * (rx + 18), cy - 30 + std::sin(angle) * 16, 8);
      cairo_fill(cr);
    }
  }
  if (pose.star >= 0) {
    setRGB(cr, 0xffd166);
    star(cr, cx + rx * 0.9, cy - ry - 10, 8 + pose.star * 10);
    cairo_fill(cr);
    setRGB(cr, 0x9ef0c4);
    star(cr, cx - rx * 0.9, cy - ry, 6 + (1 - pose.star) * 8);
    cairo_fill(cr);
  }
  if (pose.alert) {
    setRGB(cr, 0xff9f1c);
    cairo_rectangle(cr, cx - 5, cy - ry - 52, 10, 26);
    cairo_fill(cr);
    ellipse(cr, cx, cy - ry - 16, 6, 6);
    cairo_fill(cr);
  }
}

Pose poseFor(int row, int column) {
  Pose pose;
  const double wave = std::sin(column * kPi / 3);
  switch (row) {
    case 0:  // idle: slow breathing, a blink in the fourth frame
      pose.squash = 0.03 * wave;
      pose.eyeOpen = column == 3 ? 0 : 1;
      pose.mouth = 0.4;
      break;
    case 1:  // walking right
    case 2:  // walking left
      pose.lift = std::abs(std::sin(column * kPi / 4)) * 14;
      pose.shiftX = (row == 1 ? 1 : -1) * (column - 3.5) * 3;
      pose.lean = (row == 1 ? 1 : -1) * 0.08;
      pose.mouth = 0.5;
      break;
    case 3:  // waving
      pose.armWave = 0.6 + 0.5 * std::sin(column * kPi / 2);
      pose.mouth = 0.9;
      break;
    case 4:  // jumping
      pose.lift = std::sin(column * kPi / 7) * 40;
      pose.squash = column == 0 || column == 7 ? 0.12 : -0.05;
      pose.mouth = 0.8;
      break;
    case 5:  // error or tired: drooping, cross-eyed at the low point, sweating
      pose.squash = 0.1 + 0.06 * std::sin(column * kPi / 4);
      pose.lean = 0.06 * std::sin(column * kPi / 4);
      pose.eyeOpen = 0.35;
      pose.crossEyes = column == 4 || column == 5;
      pose.sweat = 0.4 + 0.6 * (column % 4) / 3.0;
      pose.mouth = -0.6;
      break;
    case 6:  // approval: waving for attention under an exclamation mark
      pose.armWave = 0.4 + 0.7 * std::abs(std::sin(column * kPi / 3));
      pose.alert = true;
      pose.lift = column % 2 == 0 ? 0 : 6;
      pose.mouth = 0.2;
      break;
    case 7:  // working: quick hops with sparks circling
      pose.lift = std::abs(std::sin(column * kPi / 3)) * 10;
      pose.squash = column % 3 == 0 ? 0.08 : -0.02;
      pose.sparkle = column / 6.0;
      pose.eyeOpen = 0.8;
      pose.mouth = 0.3;
      break;
    case 8:  // done: a jump for joy with a star
      pose.lift = std::sin(column * kPi / 5) * 34;
      pose.squash = column == 0 ? 0.1 : -0.04;
      pose.star = column / 5.0;
      pose.armWave = 0.9;
      pose.mouth = 1;
      break;
  }
  return pose;
}

// How many cells each row fills; the rest stay transparent.
int framesInRow(int row) {
  return row == 5 || row == 1 || row == 2 || row == 4 ? 8 : 6;
}

bool writeFile(const std::string& path, const void* bytes, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const int width = kColumns * kCellWidth;
  const int height = kRows * kCellHeight;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < framesInRow(row); ++column) {
      cairo_save(cr);
      cairo_translate(cr, column * kCellWidth, row * kCellHeight);
      cairo_rectangle(cr, 0, 0, kCellWidth, kCellHeight);
      cairo_clip(cr);
      drawPebble(cr, poseFor(row, column));
      cairo_restore(cr);
    }
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);

  // cairo keeps premultiplied native-endian ARGB words; the encoder wants straight B, G, R, A
  // bytes.
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  std::vector<uint8_t> bgra(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    const auto* rowWords =
        reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
      const uint32_t p = rowWords[x];
      const uint32_t a = p >> 24;
      uint8_t* out = &bgra[(static_cast<size_t>(y) * width + x) * 4];
      const auto straight = [a](uint32_t c) {
        return static_cast<uint8_t>(a == 0 ? 0 : std::min<uint32_t>(255, (c * 255 + a / 2) / a));
      };
      out[0] = straight(p & 0xff);
      out[1] = straight((p >> 8) & 0xff);
      out[2] = straight((p >> 16) & 0xff);
      out[3] = static_cast<uint8_t>(a);
    }
  }
  cairo_surface_destroy(surface);

  uint8_t* webp = nullptr;
  const size_t size = WebPEncodeLosslessBGRA(bgra.data(), width, height, width * 4, &webp);
  if (size == 0) {
    std::fprintf(stderr, "glimmet_pet_sheet: WebP encoding failed\n");
    return 1;
  }
  const bool sheetWritten = writeFile(folder + "/spritesheet.webp", webp, size);
  WebPFree(webp);
  const std::string manifest =
      "{\n"
      "  \"id\": \"pebble\",\n"
      "  \"displayName\": \"Pebble\",\n"
      "  \"description\": \"A round little pebble that hops along while the agents work.\",\n"
      "  \"spritesheetPath\": \"spritesheet.webp\",\n"
      "  \"glimmet\": {\"source\": \"Glimmet\", \"authorName\": \"Glimmet\"}\n"
      "}\n";
  const bool manifestWritten = writeFile(folder + "/pet.json", manifest.data(), manifest.size());
  if (!sheetWritten || !manifestWritten) {
    std::fprintf(stderr, "glimmet_pet_sheet: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}

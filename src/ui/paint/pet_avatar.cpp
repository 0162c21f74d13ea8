#include "ui/paint/pet_avatar.hpp"

#include <algorithm>
#include <cmath>

#include "pets/pet_image_cache.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The largest square centred in `rect`: pets keep their proportions whatever the slot.
Rect squareIn(const Rect& rect) {
  const double side = std::min(rect.width, rect.height);
  return {rect.midX() - side / 2, rect.midY() - side / 2, side, side};
}

// Maps unit coordinates of the pet's square to the canvas.
struct UnitBox {
  Rect square;
  Point at(double ux, double uy) const {
    return {square.x + ux * square.width, square.y + uy * square.height};
  }
  Rect rect(double ux, double uy, double uw, double uh) const {
    return {square.x + ux * square.width, square.y + uy * square.height, uw * square.width,
            uh * square.height};
  }
};

// A small hop while the agents are busy; none with reduced motion.
double bobOffset(PetState state, int64_t nowMs, bool reduceMotion, double amplitude) {
  if (reduceMotion || state != PetState::working) return 0;
  const double phase = static_cast<double>(nowMs % 600) / 600.0;
  return -amplitude * std::abs(std::sin(phase * 2 * kPi));
}

void drawSpritePet(Canvas& canvas, const PetChoice& choice, const Rect& rect, PetState state,
                   int64_t nowMs, bool reduceMotion) {
  auto sheet = SharedPetImageCache::shared().load(*choice.spritePath, kPetSheetPixelDimension);
  if (!sheet) {
    drawCapybaraPet(canvas, rect, state, nowMs, reduceMotion);
    return;
  }
  const PetImage& image = *sheet.value();
  const CodexSpriteFrame frame = activeCodexSpriteFrame(state, reduceMotion, nowMs);
  const PetImageRect cell = codexSpriteCellRect(image.width, image.height, frame);
  if (cell.width <= 0 || cell.height <= 0) return;
  // Fit the cell into the slot without distorting it.
  const double scale = std::min(rect.width / cell.width, rect.height / cell.height);
  const double width = cell.width * scale;
  const double height = cell.height * scale;
  canvas.drawImage(image, cell, {rect.midX() - width / 2, rect.midY() - height / 2, width, height});
}

}  // namespace

void drawCapybaraPet(Canvas& canvas, const Rect& rect, PetState state, int64_t nowMs,
                     bool reduceMotion) {
  Rect square = squareIn(rect);
  square.y += bobOffset(state, nowMs, reduceMotion, square.height * 0.08);
  const UnitBox u{square};
  constexpr Color fur = Color::rgb(176, 122, 76);
  constexpr Color darkFur = Color::rgb(120, 78, 46);
  constexpr Color snout = Color::rgb(96, 62, 38);
  const Color ink = Color::black(0.85);

  // Body, head and snout: overlapping rounded shapes read as one loaf at 20 points.
  canvas.fillPath(Path().addRoundedRect(u.rect(0.04, 0.34, 0.74, 0.54), square.width * 0.22), fur);
  canvas.fillPath(Path().addRoundedRect(u.rect(0.46, 0.2, 0.5, 0.5), square.width * 0.18), fur);
  canvas.fillPath(Path().addRoundedRect(u.rect(0.74, 0.38, 0.24, 0.26), square.width * 0.09),
                  snout);
  // Ears and legs.
  canvas.fillPath(Path().addEllipse(u.rect(0.5, 0.13, 0.13, 0.13)), darkFur);
  canvas.fillPath(Path().addEllipse(u.rect(0.7, 0.13, 0.13, 0.13)), darkFur);
  for (const double x : {0.12, 0.5}) {
    canvas.fillPath(Path().addRoundedRect(u.rect(x, 0.8, 0.14, 0.16), square.width * 0.05),
                    darkFur);
  }
  // Eye: closed when tired, a dot otherwise.
  if (state == PetState::tired) {
    canvas.strokeRoundPath(Path().moveTo(u.at(0.6, 0.36)).lineTo(u.at(0.7, 0.36)), ink,
                           std::max(1.0, square.width * 0.05));
  } else {
    canvas.fillPath(Path().addEllipse(u.rect(0.62, 0.3, 0.09, 0.11)), ink);
  }
  canvas.fillPath(Path().addEllipse(u.rect(0.88, 0.44, 0.05, 0.05)), ink);
  // The state dot keeps the pet's state readable at a glance.
  if (state != PetState::idle) {
    canvas.fillPath(Path().addEllipse(u.rect(0.02, 0.08, 0.22, 0.22)), petStateColor(state));
  }
}

void drawMascotPet(Canvas& canvas, const Rect& rect, PetState state, int64_t nowMs,
                   bool reduceMotion) {
  // Two poses of an 8 × 8 pixel cat; it swaps between them every 300 ms while dancing.
  static constexpr const char* kPoses[2][8] = {
      {"#......#", "##....##", "########", "#.####.#", "########", "##.##.##", ".######.",
       ".#....#."},
      {"#......#", "##....##", "########", "#.####.#", "########", "##.##.##", ".######.",
       "#......#"},
  };
  const Rect square = squareIn(rect);
  const bool dancing = !reduceMotion && (state == PetState::working || state == PetState::done);
  const int pose = dancing ? static_cast<int>((nowMs / 300) % 2) : 0;
  const double sway = dancing ? (pose == 0 ? -1 : 1) * square.width * 0.04 : 0;
  const double cell = square.width / 8;
  const Color body = state == PetState::idle ? Color::rgb(186, 160, 255) : petStateColor(state);
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 8; ++column) {
      const char pixel = kPoses[pose][row][column];
      if (pixel != '#') continue;
      canvas.fillRect(
          {square.x + column * cell + sway, square.y + row * cell, cell + 0.01, cell + 0.01}, body);
    }
  }
  // Eyes in the holes of row 3, closed to a line when tired.
  const Color ink = Color::black(0.85);
  for (const int column : {1, 6}) {
    const Rect eye{square.x + column * cell + sway, square.y + 3 * cell, cell, cell};
    if (state == PetState::tired) {
      canvas.fillRect({eye.x, eye.midY() - cell * 0.15, eye.width, cell * 0.3}, ink);
    } else {
      canvas.fillRect(eye, ink);
    }
  }
}

void drawPetAvatar(Canvas& canvas, const PetChoice& choice, const Rect& rect, PetState state,
                   int64_t nowMs, bool reduceMotion) {
  if (rect.width <= 0 || rect.height <= 0) return;
  if (choice.isCodexSprite && choice.spritePath) {
    drawSpritePet(canvas, choice, rect, state, nowMs, reduceMotion);
  } else if (choice.id == kGlimCatPetID) {
    drawMascotPet(canvas, rect, state, nowMs, reduceMotion);
  } else {
    drawCapybaraPet(canvas, rect, state, nowMs, reduceMotion);
  }
}

}  // namespace glimmet

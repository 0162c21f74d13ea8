#include "ui/overlay/companion_window.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "ui/overlay/overlay_placement.hpp"
#include "ui/overlay/window_content.hpp"
#include "ui/paint/companion_painter.hpp"

namespace glimmet {

namespace {

// Away from the screen's corner, clear of a bottom panel's edge.
constexpr int kDefaultMargin = 24;

PixelRect pixelRectOf(const Rect& rect) {
  return {static_cast<int>(std::lround(rect.x)), static_cast<int>(std::lround(rect.y)),
          static_cast<int>(std::lround(rect.width)), static_cast<int>(std::lround(rect.height))};
}

}  // namespace

CompanionWindow::CompanionWindow(OverlayHost& host, MainLoop& loop, Environment environment,
                                 LogSink log, Actions actions)
    : host_(host),
      loop_(loop),
      environment_(std::move(environment)),
      log_(std::move(log)),
      actions_(std::move(actions)),
      animation_(loop, [this] { animationTick(); }) {}

CompanionWindow::~CompanionWindow() {
  animation_.invalidate();
  if (window_) host_.destroyWindow(window_);
}

std::vector<Rect> CompanionWindow::workAreas() const {
  std::vector<Rect> areas;
  for (const auto& screen : uniqueLogicalScreens(host_.screens())) {
    Rect area = rectOf(screen.frame);
    area.y += screen.topReservedHeight;
    area.height -= screen.topReservedHeight;
    areas.push_back(area);
  }
  return areas;
}

PixelRect CompanionWindow::defaultFrame(Size size) const {
  const auto areas = workAreas();
  // uniqueLogicalScreens puts the primary screen first.
  const Rect area = areas.empty() ? Rect{0, 0, size.width, size.height} : areas.front();
  return pixelRectOf({area.maxX() - size.width - kDefaultMargin,
                      area.maxY() - size.height - kDefaultMargin, size.width, size.height});
}

void CompanionWindow::show(const CompanionSettings& settings, SnapshotPtr snapshot,
                           bool placementMode) {
  if (window_) return;
  settings_ = settings;
  snapshot_ = std::move(snapshot);
  placementMode_ = placementMode;
  const Size size = companionSize(settings_.mode, settings_.scale);
  if (settings_.origin) {
    frame_ = pixelRectOf(clampCompanionFrame(
        {settings_.origin->x, settings_.origin->y, size.width, size.height}, workAreas()));
  } else {
    frame_ = defaultFrame(size);
  }
  walk_.x = frame_.x;
  window_ = host_.createWindow(frame_);
  lastTickAt_ = systemNow();
  redraw();
  animation_.evaluate(settings_.reduceMotion);
}

void CompanionWindow::update(SnapshotPtr snapshot) {
  snapshot_ = std::move(snapshot);
  redraw();
}

void CompanionWindow::setPet(const PetChoice& pet) {
  if (pet == pet_) return;
  pet_ = pet;
  redraw();
}

void CompanionWindow::applySettings(const CompanionSettings& settings) {
  const bool resized = settings.mode != settings_.mode || settings.scale != settings_.scale;
  settings_.mode = settings.mode;
  settings_.scale = settings.scale;
  settings_.reduceMotion = settings.reduceMotion;
  if (resized && window_) {
    const Size size = companionSize(settings_.mode, settings_.scale);
    // Grows and shrinks about its bottom edge, where the pet stands.
    const Rect grown{static_cast<double>(frame_.x),
                     static_cast<double>(frame_.y + frame_.height) - size.height, size.width,
                     size.height};
    moveTo(clampCompanionFrame(grown, workAreas()));
    walk_.x = frame_.x;
  }
  redraw();
  animation_.evaluate(settings_.reduceMotion);
}

void CompanionWindow::redraw() {
  if (!window_ || !snapshot_) return;
  CompanionViewInput input;
  input.mode = settings_.mode;
  input.scale = settings_.scale;
  input.petState = snapshot_->petState;
  input.status = rotateCompanionTicker(ticker_, snapshot_->tickerItems, snapshot_->companionStatus,
                                       systemNow());
  input.placementMode = placementMode_;
  input.animationStep = animationStep_;
  input.pet = pet_;
  input.reduceMotion = settings_.reduceMotion;
  input.petClockMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
  view_ = layoutCompanion(input);
  const CompanionFrame& view = view_;
  auto image =
      renderToImage(view.size, 1.0, [&view](Canvas& canvas) { paintCompanion(canvas, view); });
  if (!image) {
    writeLog(log_, "[Glimmet] cannot draw the companion: " + image.error());
    return;
  }
  HostWindowContent content = windowContentOf(image.value());
  content.inputRegion = {pixelRectOf(view.petRect), pixelRectOf(view.labelHitRect)};
  content.stateJson = companionStateJson(view);
  host_.present(window_, content);
}

void CompanionWindow::animationTick() {
  const Timestamp now = systemNow();
  const double elapsed = std::min(1.0, secondsBetween(lastTickAt_, now));
  lastTickAt_ = now;
  ++animationStep_;
  if (settings_.mode == CompanionDisplayMode::roaming && !drag_.pressed) {
    const Rect here = rectOf(frame_);
    for (const auto& screen : workAreas()) {
      if (!screen.contains({here.midX(), here.midY()})) continue;
      stepCompanionRoamingWalk(walk_, elapsed, screen.minX(), screen.maxX() - here.width);
      moveTo({std::round(walk_.x), here.y, here.width, here.height});
      break;
    }
  }
  redraw();
}

void CompanionWindow::moveTo(const Rect& frame) {
  const PixelRect next = pixelRectOf(frame);
  if (next == frame_) return;
  frame_ = next;
  if (window_) host_.setFrame(window_, frame_);
}

void CompanionWindow::persistFrame(const Rect& frame) {
  moveTo(clampCompanionFrame(frame, workAreas()));
  walk_.x = frame_.x;
  auto defaults = makeStandardUserDefaults(environment_);
  const Point origin{static_cast<double>(frame_.x), static_cast<double>(frame_.y)};
  if (auto stored = storeCompanionOrigin(*defaults, settings_.mode, origin); !stored)
    writeLog(log_, "[Glimmet] cannot remember the companion's place: " + stored.error());
}

void CompanionWindow::onPointer(const HostPointerEvent& event) {
  const Point global{event.rootX, event.rootY};
  switch (event.kind) {
    case HostPointerEvent::Kind::press:
      if (event.button != 1) return;
      companionMouseDown(drag_, global, rectOf(frame_));
      return;
    case HostPointerEvent::Kind::motion: {
      const auto outcome = companionMouseDragged(drag_, global);
      if (outcome.kind == CompanionPointerOutcome::Kind::moveWindow) moveTo(outcome.frame);
      return;
    }
    case HostPointerEvent::Kind::release: {
      if (event.button != 1) return;
      const Rect labelHit = view_.labelStatusItem ? view_.labelHitRect : Rect{};
      const bool wasPressed = drag_.pressed;
      const auto outcome =
          companionMouseUp(drag_, global, {event.x, event.y}, 1, labelHit, placementMode_);
      // A press that barely moved is a click: the pixel it followed the pointer is undone.
      if (wasPressed && outcome.kind != CompanionPointerOutcome::Kind::persistFrame)
        moveTo(drag_.dragStartFrame);
      switch (outcome.kind) {
        case CompanionPointerOutcome::Kind::persistFrame:
          persistFrame(outcome.frame);
          break;
        case CompanionPointerOutcome::Kind::openStatus:
          if (actions_.openStatus && view_.labelStatusItem)
            actions_.openStatus(*view_.labelStatusItem);
          break;
        case CompanionPointerOutcome::Kind::endPlacement:
          placementMode_ = false;
          redraw();
          break;
        case CompanionPointerOutcome::Kind::openPetSettings:
          if (actions_.openPetSettings) actions_.openPetSettings();
          break;
        case CompanionPointerOutcome::Kind::moveWindow:
        case CompanionPointerOutcome::Kind::none:
          break;
      }
      return;
    }
    case HostPointerEvent::Kind::enter:
    case HostPointerEvent::Kind::leave:
    case HostPointerEvent::Kind::scroll:
      return;
  }
}

}  // namespace glimmet

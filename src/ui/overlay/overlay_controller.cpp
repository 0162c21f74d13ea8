#include "ui/overlay/overlay_controller.hpp"

#include <algorithm>
#include <chrono>

#include <fmt/format.h>

#include "pets/pet_catalog.hpp"
#include "platform/user_defaults.hpp"
#include "ui/overlay/window_content.hpp"
#include "ui/paint/overlay_painter.hpp"
#include "ui/view/collapsed_geometry.hpp"
#include "ui/view/request_matching.hpp"

namespace glimmet {

namespace {

constexpr uint32_t kKeysymEscape = 0xff1b;
constexpr uint32_t kKeysymBackSpace = 0xff08;
constexpr uint32_t kKeysymSpace = 0x20;
constexpr uint32_t kKeysymU = 0x75;
// Screen changes come in bursts (one event per output, then the monitors); one rebuild for all.
constexpr double kScreenChangeSettleSeconds = 0.15;

Seconds untilThen(Timestamp when, Timestamp now) {
  return std::max(Seconds(0), std::chrono::duration_cast<Seconds>(when - now));
}

}  // namespace

OverlayController::OverlayController(Core& core, Environment environment, LogSink log)
    : core_(core), environment_(std::move(environment)), log_(std::move(log)) {}

OverlayController::~OverlayController() {
  shutDown();
}

bool OverlayController::connect(std::string* error) {
  OverlayHost::Callbacks callbacks;
  callbacks.screensChanged = [this] { onScreensChanged(); };
  callbacks.pointer = [this](HostWindowID window, const HostPointerEvent& event) {
    onPointer(window, event);
  };
  callbacks.key = [this](HostWindowID window, const HostKeyEvent& event) { onKey(window, event); };
  callbacks.hotKey = [this](int id) { onHotKey(id); };
  callbacks.closeRequested = [this](HostWindowID window) {
    if (textPanel_ && textPanel_->owns(window)) textPanel_->onCloseRequested();
  };
  callbacks.disconnected = [this](const std::string& reason) {
    // The windows went with the server; nothing may be asked of the host any more.
    for (auto& surface : surfaces_) surface->window = 0;
    if (companion_) companion_->forgetWindow();
    if (textPanel_) textPanel_->forget();
    stop("the window system went away: " + reason);
  };
  host_ = connectOverlayHost(core_.loop(), std::move(callbacks), log_, error);
  if (host_) textPanel_ = std::make_unique<TextPanelWindow>(*host_, core_.loop(), log_);
  return host_ != nullptr;
}

void OverlayController::start(OverlayMode mode) {
  if (!host_ || started_) return;
  started_ = true;
  snapshot_ = core_.snapshot();
  subscription_ = core_.subscribe([this](const SnapshotPtr& snapshot) {
    snapshot_ = snapshot;
    redrawAll();
    if (companion_) companion_->update(snapshot);
  });
  lastDisplayPolicy_ = currentDisplayPolicy();
  loadPetSettings();
  lastFullScreenIDs_ = host_->screensWithFullScreenWindows();
  lastFullScreenScanAt_ = systemNow();
  rebuildSurfaces(mode);
  refreshCompanion();
  host_->registerHotKey({toggleHotKey, kKeysymSpace, true, true, false, false});
  // The Command key of a Mac keyboard is the Super key here.
  host_->registerHotKey({jumpLatestHotKey, kKeysymU, false, false, true, true});
  host_->registerHotKey({cycleHotKey, kKeysymU, true, false, false, true});
  // On the core's own 2-second tick: one wake-up for both.
  core_.addRuntimeTickWork([this, alive = alive_] {
    if (*alive) refreshRuntime();
  });
}

void OverlayController::shutDown() {
  if (stopped_) return;
  stopped_ = true;
  *alive_ = false;
  screensChangedSoon_.cancel();
  if (subscription_) core_.unsubscribe(subscription_);
  subscription_ = 0;
  destroySurfaces();
  companion_.reset();
  textPanel_.reset();
  host_.reset();
}

void OverlayController::showTextPanel(const PendingAction& action) {
  if (!textPanel_ || stopped_) return;
  const std::string requestID = action.requestID;
  TextPanelWindow::Callbacks callbacks;
  callbacks.onSubmit = [this, requestID](const std::string& text) {
    core_.send(Command::Decide{requestID, replyDecision(text)}, [this](const CommandResult& done) {
      if (!done.ok) writeLog(log_, "[Glimmet] text panel: " + done.message);
    });
  };
  callbacks.onJump = [this, requestID] { jumpToRequestAgent(requestID); };
  textPanel_->show(action.payload.prompt.value_or(""), action.payload.multiline.value_or(false),
                   std::move(callbacks));
}

void OverlayController::jumpToRequestAgent(const std::string& requestID) {
  if (!snapshot_) return;
  const auto& waiting = snapshot_->waitingRequests;
  const auto request = std::find_if(waiting.begin(), waiting.end(), [&](const auto& action) {
    return action.requestID == requestID;
  });
  if (request != waiting.end()) {
    for (const auto& message : snapshot_->messages) {
      if (!messageCarriesRequest(message, *request)) continue;
      core_.send(Command::PerformMessageAction{message.event.id, "jump"});
      return;
    }
  }
  writeLog(log_, "[Glimmet] no agent to jump to for request " + requestID);
}

bool OverlayController::openTextPanelFromReply(const Surface& surface, Point point) {
  if (surface.frame.mode != OverlayMode::expanded || !snapshot_) return false;
  const ClickTarget* target = expandedClickTarget(surface.frame, point);
  if (!target || target->role != TargetRole::kSendInput) return false;
  for (const auto& card : panelCards(*snapshot_, systemNow())) {
    if (card.id != target->messageID || !card.textInput || !card.requestID) continue;
    for (const auto& request : snapshot_->waitingRequests) {
      if (request.requestID != *card.requestID) continue;
      showTextPanel(request);
      return true;
    }
  }
  return false;
}

void OverlayController::stop(const std::string& reason) {
  if (stopped_) return;
  if (onStop_) {
    auto onStop = std::move(onStop_);
    onStop_ = nullptr;
    onStop(reason);
  }
}

void OverlayController::loadPetSettings() {
  const auto defaults = makeStandardUserDefaults(environment_);
  const auto choices = refreshLocalPets(petSources(core_.paths(), *defaults), log_);
  selectedPet_ =
      selectedPetChoice(choices, defaults->stringValue("selectedPetID").value_or(kDefaultPetID))
          .value_or(defaultPetChoice());
  reduceMotion_ = defaults->boolValue("reduceMotion", true);
}

DisplayPolicy OverlayController::currentDisplayPolicy() const {
  // Read from disk each time: the settings may be changed by another process or by hand.
  const auto defaults = makeStandardUserDefaults(environment_);
  return displayPolicyFromRaw(defaults->stringValue("displayPolicy"));
}

void OverlayController::rebuildSurfaces(OverlayMode mode) {
  destroySurfaces();
  currentMode_ = mode;
  const auto all = host_->screens();
  lastScreenSignature_ = screenSignature(uniqueLogicalScreens(all));
  for (const auto& screen : screensForPolicy(all, lastDisplayPolicy_, host_->pointerLocation())) {
    auto surface = std::make_unique<Surface>();
    surface->screen = screen;
    surface->displayKind = displayKindFor(screen, environment_);
    surface->state.mode = mode;
    surface->hidden = lastFullScreenIDs_.count(screen.id) > 0;
    surface->frame = layoutOverlay(*snapshot_, surface->state, surface->displayKind,
                                   collapsedHeight(*surface), systemNow());
    surface->windowFrame = overlayWindowFrame(screen, surface->frame.size);
    surface->window = host_->createWindow(surface->windowFrame);
    if (surface->hidden) host_->setVisible(surface->window, false);
    surfaces_.push_back(std::move(surface));
  }
  redrawAll();
}

void OverlayController::destroySurfaces() {
  for (auto& surface : surfaces_) {
    surface->wake.cancel();
    if (host_ && surface->window) host_->destroyWindow(surface->window);
  }
  surfaces_.clear();
}

OverlayController::Surface* OverlayController::surfaceForWindow(HostWindowID window) {
  for (auto& surface : surfaces_) {
    if (surface->window == window) return surface.get();
  }
  return nullptr;
}

OverlayController::Surface* OverlayController::activeSurface() {
  if (surfaces_.empty()) return nullptr;
  if (const auto pointer = host_->pointerLocation()) {
    for (auto& surface : surfaces_) {
      const PixelRect& f = surface->screen.frame;
      if (pointer->first >= f.x && pointer->first < f.x + f.width && pointer->second >= f.y &&
          pointer->second < f.y + f.height)
        return surface.get();
    }
  }
  return surfaces_.front().get();
}

double OverlayController::collapsedHeight(const Surface& surface) const {
  return collapsedHeightOn(surface.screen, surface.displayKind);
}

void OverlayController::redrawAll() {
  for (auto& surface : surfaces_) redraw(*surface);
}

void OverlayController::redraw(Surface& surface) {
  if (!host_ || !surface.window || !snapshot_) return;
  const Timestamp now = systemNow();
  surface.frame =
      layoutOverlay(*snapshot_, surface.state, surface.displayKind, collapsedHeight(surface), now);
  surface.frame.pet = selectedPet_;
  surface.frame.reduceMotion = reduceMotion_;
  surface.frame.petClockMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
  const PixelRect windowFrame = overlayWindowFrame(surface.screen, surface.frame.size);
  if (windowFrame != surface.windowFrame) {
    surface.windowFrame = windowFrame;
    host_->setFrame(surface.window, windowFrame);
  }
  const OverlayFrame& frame = surface.frame;
  auto image =
      renderToImage(frame.size, 1.0, [&frame](Canvas& canvas) { paintOverlay(canvas, frame); });
  if (!image) {
    writeLog(log_, "[Glimmet] cannot draw the overlay: " + image.error());
    return;
  }
  HostWindowContent content = windowContentOf(image.value());
  content.stateJson = overlayStateJson(frame, surface.screen.id);
  host_->present(surface.window, content);
  const bool wantsKeys = frame.mode != OverlayMode::collapsed;
  if (wantsKeys != surface.hasKeyboard) {
    surface.hasKeyboard = wantsKeys;
    host_->setKeyboardFocus(surface.window, wantsKeys);
  }
  scheduleWake(surface);
}

void OverlayController::scheduleWake(Surface& surface) {
  const Timestamp now = systemNow();
  const auto when =
      nextWakeTime(surface.state, surface.frame.tickerCount, now, surface.frame.usageTools.size());
  if (!when) {
    surface.wake.cancel();
    return;
  }
  const HostWindowID window = surface.window;
  surface.wake = core_.loop().schedule(untilThen(*when, now), [this, window] {
    Surface* target = surfaceForWindow(window);
    if (!target) return;
    const auto intent = handle(target->state, Tick{hoverContext(*target), target->frame.usageTools},
                               target->frame.tickerCount, systemNow());
    apply(*target, intent);
    if (!intent.redraw && intent.kind == OverlayIntent::Kind::none) scheduleWake(*target);
  });
}

HoverContext OverlayController::hoverContext(const Surface& surface) {
  HoverContext context;
  context.windowFrame = rectOf(surface.windowFrame);
  if (const auto pointer = host_->pointerLocation()) {
    context.mouseLocation = {static_cast<double>(pointer->first),
                             static_cast<double>(pointer->second)};
  } else {
    // Unknown pointer: far away, so nothing opens or stays open on its account.
    context.mouseLocation = {-1e6, -1e6};
  }
  context.openingPanelSize = expandedSizeFor(*snapshot_, surface.state, systemNow());
  return context;
}

void OverlayController::apply(Surface& surface, const OverlayIntent& intent) {
  switch (intent.kind) {
    case OverlayIntent::Kind::sendCommand:
      if (intent.command) core_.send(*intent.command);
      break;
    case OverlayIntent::Kind::setMode:
      currentMode_ = intent.mode;
      break;
    case OverlayIntent::Kind::openSettings:
      writeLog(log_, "[Glimmet] the settings panel is not available on this desktop yet");
      break;
    case OverlayIntent::Kind::quit:
      stop("quit from the panel");
      return;
    case OverlayIntent::Kind::none:
      break;
  }
  if (intent.redraw || intent.kind == OverlayIntent::Kind::setMode) redraw(surface);
}

void OverlayController::onPointer(HostWindowID window, const HostPointerEvent& event) {
  if (companion_ && window == companion_->window()) {
    companion_->onPointer(event);
    return;
  }
  if (textPanel_ && textPanel_->owns(window)) {
    textPanel_->onPointer(event);
    return;
  }
  Surface* surface = surfaceForWindow(window);
  if (!surface) return;
  const Timestamp now = systemNow();
  OverlayIntent intent;
  switch (event.kind) {
    case HostPointerEvent::Kind::enter:
      intent = handle(surface->state, PointerEntered{}, now);
      break;
    case HostPointerEvent::Kind::leave:
      intent = handle(surface->state, PointerLeft{hoverContext(*surface)}, now);
      break;
    case HostPointerEvent::Kind::motion:
      intent = handle(surface->state, PointerMoved{{event.x, event.y}}, now);
      break;
    case HostPointerEvent::Kind::press:
      if (event.button != 1) return;
      if (openTextPanelFromReply(*surface, {event.x, event.y})) return;
      intent = handle(surface->state, Click{{event.x, event.y}}, surface->frame, now);
      break;
    case HostPointerEvent::Kind::release:
    case HostPointerEvent::Kind::scroll:
      return;
  }
  apply(*surface, intent);
  scheduleWake(*surface);
}

void OverlayController::onKey(HostWindowID window, const HostKeyEvent& event) {
  if (textPanel_ && textPanel_->owns(window)) {
    textPanel_->onKey(event);
    return;
  }
  Surface* surface = surfaceForWindow(window);
  if (!surface) return;
  KeyPress press;
  if (event.keysym == kKeysymEscape) {
    press.key = KeyPress::Key::escape;
  } else if (event.keysym == kKeysymBackSpace) {
    press.key = KeyPress::Key::backspace;
  } else if (!event.text.empty()) {
    press.key = KeyPress::Key::text;
    press.text = event.text;
  }
  press.control = event.control;
  press.command = event.super;
  apply(*surface, handle(surface->state, press, surface->frame, systemNow()));
}

void OverlayController::onHotKey(int id) {
  Surface* surface = activeSurface();
  if (!surface) return;
  // Jumping to an agent's terminal comes with the jump actions; until then both keys open the
  // panel on the waiting requests, and toggle it when none waits.
  if ((id == jumpLatestHotKey || id == cycleHotKey) && snapshot_ &&
      !snapshot_->waitingRequests.empty()) {
    const auto& waiting = snapshot_->waitingRequests;
    if (id == cycleHotKey) {
      auto next = waiting.begin();
      if (lastCycledRequestID_) {
        auto current = std::find_if(waiting.begin(), waiting.end(), [this](const auto& action) {
          return action.requestID == *lastCycledRequestID_;
        });
        if (current != waiting.end() && ++current != waiting.end()) next = current;
      }
      lastCycledRequestID_ = next->requestID;
    }
    if (surface->state.mode != OverlayMode::expanded)
      apply(*surface, setMode(surface->state, OverlayMode::expanded));
    return;
  }
  apply(*surface, handle(surface->state, ToggleRequested{}, systemNow()));
}

void OverlayController::onScreensChanged() {
  screensChangedSoon_ = core_.loop().schedule(Seconds(kScreenChangeSettleSeconds), [this] {
    if (!host_) return;
    if (screenSignature(uniqueLogicalScreens(host_->screens())) != lastScreenSignature_)
      rebuildSurfaces(currentMode_);
  });
}

void OverlayController::refreshFullScreen() {
  lastFullScreenScanAt_ = systemNow();
  auto covered = host_->screensWithFullScreenWindows();
  if (covered == lastFullScreenIDs_) return;
  lastFullScreenIDs_ = std::move(covered);
  for (auto& surface : surfaces_) {
    const bool hidden = lastFullScreenIDs_.count(surface->screen.id) > 0;
    if (hidden == surface->hidden) continue;
    surface->hidden = hidden;
    host_->setVisible(surface->window, !hidden);
  }
}

void OverlayController::refreshRuntime() {
  if (!host_) return;
  const Timestamp now = systemNow();
  if (now - lastFullScreenScanAt_ >= Seconds(kFullScreenScanSeconds)) refreshFullScreen();
  const DisplayPolicy policy = currentDisplayPolicy();
  const auto all = host_->screens();
  bool rebuild = policy != lastDisplayPolicy_ ||
                 screenSignature(uniqueLogicalScreens(all)) != lastScreenSignature_;
  if (!rebuild && policy == DisplayPolicy::mouse && !surfaces_.empty()) {
    const auto wanted = screensForPolicy(all, policy, host_->pointerLocation());
    rebuild = !wanted.empty() && wanted.front().id != surfaces_.front()->screen.id;
  }
  lastDisplayPolicy_ = policy;
  if (rebuild) rebuildSurfaces(currentMode_);
  refreshCompanion();
}

void OverlayController::refreshCompanion() {
  const auto settings = loadCompanionSettings(*makeStandardUserDefaults(environment_));
  if (!settings.enabled) {
    companion_.reset();
    return;
  }
  if (companion_) {
    companion_->applySettings(settings);
    return;
  }
  CompanionWindow::Actions actions;
  actions.openStatus = [this](const CompanionStatusItem& item) { openCompanionStatus(item); };
  actions.openPetSettings = [this] { openCompanionPetSettings(); };
  companion_ = std::make_unique<CompanionWindow>(*host_, core_.loop(), environment_, log_, actions);
  companion_->show(settings, snapshot_, /*placementMode=*/false);
}

void OverlayController::openCompanionStatus(const CompanionStatusItem&) {
  // The message lives in the panel: open it where the user looks.
  Surface* surface = activeSurface();
  if (surface && surface->state.mode != OverlayMode::expanded)
    apply(*surface, setMode(surface->state, OverlayMode::expanded));
}

void OverlayController::openCompanionPetSettings() {
  // The settings panel opens itself on the Pets tab here once it exists on this desktop.
  writeLog(log_, "[Glimmet] the settings panel is not available on this desktop yet");
}

}  // namespace glimmet

#include "ui/overlay/overlay_controller.hpp"

#include <algorithm>
#include <chrono>

#include <fmt/format.h>

#include "pets/pet_catalog.hpp"
#include "platform/detached_process.hpp"
#include "platform/keysyms.hpp"
#include "platform/login_item.hpp"
#include "platform/user_defaults.hpp"
#include "ui/overlay/window_content.hpp"
#include "ui/paint/overlay_painter.hpp"
#include "ui/view/collapsed_geometry.hpp"
#include "ui/view/request_matching.hpp"

namespace glimmet {

namespace {

// Screen changes come in bursts (one event per output, then the monitors); one rebuild for all.
constexpr double kScreenChangeSettleSeconds = 0.15;

Seconds untilThen(Timestamp when, Timestamp now) {
  return std::max(Seconds(0), std::chrono::duration_cast<Seconds>(when - now));
}

}  // namespace

OverlayController::OverlayController(Core& core, Environment environment, LogSink log)
    : core_(core),
      environment_(std::move(environment)),
      log_(std::move(log)),
      settings_(std::make_unique<UserSettings>(core_.userDefaults())) {
  settings_->addObserver([this, alive = alive_](const SettingsPreferences& preferences) {
    if (*alive) settingsDidChange(preferences);
  });
}

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
    if (settingsWindow_ && settingsWindow_->owns(window)) settingsWindow_->onCloseRequested();
    if (alert_ && alert_->owns(window)) alert_->onCloseRequested();
  };
  callbacks.disconnected = [this](const std::string& reason) {
    // The windows went with the server; nothing may be asked of the host any more.
    for (auto& surface : surfaces_) surface->window = 0;
    if (companion_) companion_->forgetWindow();
    if (textPanel_) textPanel_->forget();
    if (settingsWindow_) settingsWindow_->forget();
    if (alert_) alert_->forget();
    stop("the window system went away: " + reason);
  };
  host_ = connectOverlayHost(core_.loop(), std::move(callbacks), log_, error);
  if (host_) {
    textPanel_ = std::make_unique<TextPanelWindow>(*host_, core_.loop(), log_);
    settingsWindow_ = std::make_unique<SettingsWindow>(*host_, core_.loop(), *settings_, log_);
    alert_ = std::make_unique<AlertDialogWindow>(*host_, log_);
    startSettingsServices();
  }
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
  lastShowCapsule_ = showsCapsule();
  // The settings have a window of their own; the capsule waits at rest beside it.
  rebuildSurfaces(mode == OverlayMode::settings ? OverlayMode::collapsed : mode);
  refreshCompanion();
  if (mode == OverlayMode::settings) {
    const auto raw = environment_.nonEmptyString("GLIMMET_SETTINGS_TAB");
    const auto tab = raw ? settingsTabFromRawValue(*raw) : std::nullopt;
    if (raw && !tab) writeLog(log_, "[Glimmet] no settings tab named " + *raw);
    openSettings(tab);
  }
  host_->registerHotKey({toggleHotKey, kKeysymSpace, true, true, false, false});
  // The Command key of a Mac keyboard is the Super key here.
  host_->registerHotKey({jumpLatestHotKey, kKeysymU, false, false, true, true});
  host_->registerHotKey({cycleHotKey, kKeysymU, true, false, false, true});
  // On the core's own 2-second tick: one wake-up for both.
  core_.addRuntimeTickWork([this, alive = alive_] {
    if (*alive) refreshRuntime();
  });
  startStartupPermissionFlow();
}

void OverlayController::startStartupPermissionFlow() {
  StartupPermissionFlow::Actions actions;
  actions.hasSurface = [this] { return activeSurface() != nullptr; };
  actions.refreshPets = [this] {
    // The flow wrote the pets-folder access; the settings window shows it too.
    settings_->reloadSettingsFromDefaults();
    loadPetSettings();
    redrawAll();
  };
  actions.showStatusBanner = [this](const std::string& text) { core_.showStatusBanner(text); };
  startupPermissions_ = std::make_unique<StartupPermissionFlow>(
      core_, *alert_, HookManager(HookManagerLocations::fromPaths(core_.paths()), environment_),
      log_, std::move(actions));
  startupPermissions_->runSoon();
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
  settingsWindow_.reset();
  // Before the chooser and the player it uses: it waits for their running work.
  settingsServices_.reset();
  folderPicker_.reset();
  settingsSoundPlayer_.reset();
  startupPermissions_.reset();
  alert_.reset();
  host_.reset();
}

void OverlayController::startSettingsServices() {
  folderPicker_ = makeStandardFolderPicker();
  settingsSoundPlayer_ = makeSystemSoundPlayer();
  SettingsServicesParts parts = standardSettingsServicesParts(core_, environment_);
  parts.quitForUpdate = [this] { stop("quit: installing an update"); };
  settingsServices_ = std::make_unique<SettingsServices>(
      core_, *settings_, *folderPicker_, *settingsSoundPlayer_, std::move(parts), log_);
  settingsServices_->setOnChange([this] {
    if (settingsWindow_ && settingsWindow_->isOpen())
      settingsWindow_->setContent(settingsServices_->content());
  });
  settingsServices_->setConfirm([this](SettingsConfirmation confirmation) {
    confirmSettingsAction(std::move(confirmation));
  });
  settingsWindow_->setActions(settingsServices_->actions([this] { settingsWindow_->close(); }));
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
  const SettingsPreferences& preferences = settings_->preferences();
  const auto choices = refreshLocalPets(petSources(core_.paths(), core_.userDefaults()), log_);
  selectedPet_ = selectedPetChoice(choices, preferences.selectedPetID).value_or(defaultPetChoice());
  reduceMotion_ = preferences.reduceMotion;
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
  // Without the capsule there is nothing to show on any screen.
  if (!showsCapsule()) return;
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
      // The settings open in a window of their own; the capsule goes back to rest.
      apply(surface, setMode(surface.state, OverlayMode::collapsed));
      openSettings(std::nullopt);
      return;
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
  if (settingsWindow_ && settingsWindow_->owns(window)) {
    settingsWindow_->onPointer(event);
    return;
  }
  if (alert_ && alert_->owns(window)) {
    alert_->onPointer(event);
    return;
  }
  Surface* surface = surfaceForWindow(window);
  if (!surface) return;
  if (handlePetPress(*surface, event)) return;
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
  if (settingsWindow_ && settingsWindow_->owns(window)) {
    settingsWindow_->onKey(event);
    return;
  }
  if (alert_ && alert_->owns(window)) {
    alert_->onKey(event);
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
  // Another process, or the user's editor, may have changed the preferences.
  settings_->reloadSettingsFromDefaults();
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
    companion_->setPet(selectedPet_);
    companion_->applySettings(settings);
    return;
  }
  companion_ = makeCompanionWindow();
  companion_->show(settings, snapshot_, /*placementMode=*/false);
}

std::unique_ptr<CompanionWindow> OverlayController::makeCompanionWindow() {
  CompanionWindow::Actions actions;
  actions.openStatus = [this](const CompanionStatusItem& item) { openCompanionStatus(item); };
  actions.openPetSettings = [this] { openCompanionPetSettings(); };
  auto window =
      std::make_unique<CompanionWindow>(*host_, core_.loop(), environment_, log_, actions);
  window->setPet(selectedPet_);
  return window;
}

bool OverlayController::handlePetPress(Surface& surface, const HostPointerEvent& event) {
  const Point root{event.rootX, event.rootY};
  switch (event.kind) {
    case HostPointerEvent::Kind::press:
      return event.button == 1 && beginPetPress(petPress_, surface.frame, {event.x, event.y}, root);
    case HostPointerEvent::Kind::motion:
      if (!petPress_.pressRoot) return false;
      movePetPress(petPress_, root);
      return true;
    case HostPointerEvent::Kind::release: {
      if (event.button != 1) return false;
      const PetPressOutcome outcome = endPetPress(petPress_, root, rectOf(surface.windowFrame));
      if (outcome == PetPressOutcome::click) openCompanionPetSettings();
      if (outcome == PetPressOutcome::dropOutside) {
        apply(surface, setMode(surface.state, OverlayMode::collapsed));
        dropCompanion(root);
      }
      return outcome != PetPressOutcome::none;
    }
    default:
      return false;
  }
}

void OverlayController::dropCompanion(Point rootPoint) {
  UserDefaults& defaults = core_.userDefaults();
  if (const Status written = applyCompanionDragOutDefaults(defaults); !written)
    writeLog(log_, "[Glimmet] cannot keep the companion on the desktop: " + written.error());
  CompanionSettings settings = loadCompanionSettings(defaults);
  settings.origin = companionDropOrigin(rootPoint, settings.mode, settings.scale);
  // A fresh window where the pet was let go, waiting for a confirming click.
  companion_.reset();
  companion_ = makeCompanionWindow();
  companion_->show(settings, snapshot_, /*placementMode=*/true);
  // The settings window shows the companion switched on.
  settings_->reloadSettingsFromDefaults();
}

void OverlayController::openCompanionStatus(const CompanionStatusItem&) {
  // The message lives in the panel: open it where the user looks.
  Surface* surface = activeSurface();
  if (surface && surface->state.mode != OverlayMode::expanded)
    apply(*surface, setMode(surface->state, OverlayMode::expanded));
}

void OverlayController::openCompanionPetSettings() {
  openSettings(SettingsTab::pets);
}

void OverlayController::confirmSettingsAction(SettingsConfirmation confirmation) {
  AlertDialogSpec spec;
  spec.title = confirmation.title;
  spec.message = confirmation.title;
  spec.informativeText = confirmation.body;
  spec.buttons = {confirmation.confirmTitle, confirmation.cancelTitle};
  spec.defaultButton = 0;
  spec.cancelButton = 1;
  auto onConfirm = std::move(confirmation.onConfirm);
  const bool shown = alert_ && alert_->show(std::move(spec), [onConfirm](int button) {
    if (button == 0 && onConfirm) onConfirm();
  });
  if (!shown) writeLog(log_, "[Glimmet] cannot ask before changing a tool's hooks: no window");
}

void OverlayController::openSettings(std::optional<SettingsTab> tab) {
  if (!settingsWindow_ || stopped_) return;
  if (settingsServices_) settingsWindow_->setContent(settingsServices_->content());
  settingsWindow_->open(tab);
}

void OverlayController::settingsDidChange(const SettingsPreferences& preferences) {
  if (!host_ || !started_) return;
  loadPetSettings();
  const DisplayPolicy policy = currentDisplayPolicy();
  if (policy != lastDisplayPolicy_ || preferences.showCapsuleMode != lastShowCapsule_) {
    lastDisplayPolicy_ = policy;
    lastShowCapsule_ = preferences.showCapsuleMode;
    rebuildSurfaces(currentMode_);
  } else {
    redrawAll();
  }
  refreshCompanion();
  applyOpenAtLogin(preferences.openAtLogin);
}

void OverlayController::applyOpenAtLogin(bool wanted) {
  if (wanted == isOpenAtLogin(environment_)) return;
  const auto program = currentExecutablePath();
  const Status applied = program ? setOpenAtLogin(wanted, *program, environment_)
                                 : Status::failure("the running program's path is unknown");
  if (applied) return;
  writeLog(log_, "[Glimmet] cannot change opening at login: " + applied.error());
}

}  // namespace glimmet

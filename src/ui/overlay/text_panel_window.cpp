#include "ui/overlay/text_panel_window.hpp"

#include "platform/keysyms.hpp"
#include "ui/overlay/window_content.hpp"
#include "ui/paint/text_panel_painter.hpp"

namespace glimmet {

namespace {

std::optional<TextPanelKey> panelKey(const HostKeyEvent& event) {
  TextPanelKey key;
  key.shift = event.shift;
  switch (event.keysym) {
    case kKeysymReturn:
    case kKeysymKeypadEnter:
      key.key = TextPanelKey::Key::enter;
      return key;
    case kKeysymEscape:
      key.key = TextPanelKey::Key::escape;
      return key;
    case kKeysymBackSpace:
      key.key = TextPanelKey::Key::backspace;
      return key;
    case kKeysymDelete:
      key.key = TextPanelKey::Key::deleteForward;
      return key;
    case kKeysymLeft:
      key.key = TextPanelKey::Key::left;
      return key;
    case kKeysymRight:
      key.key = TextPanelKey::Key::right;
      return key;
    case kKeysymHome:
      key.key = TextPanelKey::Key::home;
      return key;
    case kKeysymEnd:
      key.key = TextPanelKey::Key::end;
      return key;
    default:
      break;
  }
  if (event.text.empty() || event.control || event.alt || event.super) return std::nullopt;
  key.key = TextPanelKey::Key::text;
  key.text = event.text;
  return key;
}

}  // namespace

TextPanelWindow::~TextPanelWindow() {
  *alive_ = false;
  close();
}

void TextPanelWindow::show(std::string_view prompt, bool multiline, Callbacks callbacks) {
  close();
  model_ = makeTextPanel(prompt, multiline);
  callbacks_ = std::move(callbacks);
  const Size size = layoutTextPanel(multiline).size;
  window_ = host_.createDialogWindow(
      {model_->title, static_cast<int>(size.width), static_cast<int>(size.height)});
  if (!window_) {
    writeLog(log_, "[Glimmet] cannot open the text panel: no window system");
    model_.reset();
    return;
  }
  redraw();
  host_.setKeyboardFocus(window_, true);
}

void TextPanelWindow::close() {
  if (window_) host_.destroyWindow(window_);
  window_ = 0;
  model_.reset();
  callbacks_ = {};
}

void TextPanelWindow::redrawSoon() {
  if (redrawPosted_) return;
  redrawPosted_ = true;
  loop_.post([this, alive = alive_] {
    if (!*alive) return;
    redrawPosted_ = false;
    redraw();
  });
}

void TextPanelWindow::redraw() {
  if (!window_ || !model_) return;
  const TextPanelModel& model = *model_;
  auto image = renderToImage(layoutTextPanel(model.multiline).size, 1.0,
                             [&model](Canvas& canvas) { paintTextPanel(canvas, model); });
  if (!image) {
    writeLog(log_, "[Glimmet] cannot draw the text panel: " + image.error());
    return;
  }
  HostWindowContent content = windowContentOf(image.value());
  content.stateJson = textPanelStateJson(model);
  host_.present(window_, content);
}

void TextPanelWindow::apply(const TextPanelOutcome& outcome) {
  using Kind = TextPanelOutcome::Kind;
  if (outcome.kind == Kind::none) return;
  if (outcome.kind == Kind::redraw) {
    redrawSoon();
    return;
  }
  // Closed before the callback runs, so that a callback may open the next panel.
  const Callbacks callbacks = std::move(callbacks_);
  close();
  if (outcome.kind == Kind::submit && callbacks.onSubmit) callbacks.onSubmit(outcome.text);
  if (outcome.kind == Kind::cancel && callbacks.onCancel) callbacks.onCancel();
  if (outcome.kind == Kind::jump && callbacks.onJump) callbacks.onJump();
}

void TextPanelWindow::onKey(const HostKeyEvent& event) {
  if (!model_) return;
  if (const auto key = panelKey(event)) apply(handleTextPanelKey(*model_, *key));
}

void TextPanelWindow::onPointer(const HostPointerEvent& event) {
  if (!model_ || event.kind != HostPointerEvent::Kind::press || event.button != 1) return;
  apply(handleTextPanelClick(*model_, {event.x, event.y}));
}

void TextPanelWindow::onCloseRequested() {
  if (model_) apply({TextPanelOutcome::Kind::cancel, {}});
}

}  // namespace glimmet

#include "ui/view/alert_dialog.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "base/json_values.hpp"
#include "ui/view/text_panel_editing.hpp"

namespace glimmet {

namespace {

constexpr double kMargin = 20;
constexpr double kMessageLineHeight = 18;
constexpr double kInformativeLineHeight = 15;
constexpr double kMessageToInformative = 8;
constexpr double kTextToButtons = 20;
constexpr double kButtonHeight = 28;
constexpr double kButtonMinimumWidth = 82;
constexpr double kButtonPadding = 16;
constexpr double kButtonSpacing = 12;
constexpr double kBottomMargin = 16;

// Splits at single spaces, keeping runs of spaces out of the words; a paragraph's words then
// join again with one space each.
std::vector<std::string_view> wordsOf(std::string_view paragraph) {
  std::vector<std::string_view> words;
  size_t start = 0;
  while (start < paragraph.size()) {
    if (paragraph[start] == ' ') {
      ++start;
      continue;
    }
    const size_t end = std::min(paragraph.find(' ', start), paragraph.size());
    words.push_back(paragraph.substr(start, end - start));
    start = end;
  }
  return words;
}

// `word` in pieces that each fit `width` (at least one character each).
std::vector<std::string> brokenWord(std::string_view word, double width, const FontSpec& font,
                                    const AlertTextMeasure& measure) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start < word.size()) {
    size_t end = nextCharacterBoundary(word, start);
    while (end < word.size()) {
      const size_t next = nextCharacterBoundary(word, end);
      if (measure(word.substr(start, next - start), font) > width) break;
      end = next;
    }
    pieces.emplace_back(word.substr(start, end - start));
    start = end;
  }
  return pieces;
}

void wrapParagraph(std::string_view paragraph, double width, const FontSpec& font,
                   const AlertTextMeasure& measure, std::vector<std::string>& lines) {
  std::string line;
  for (const std::string_view word : wordsOf(paragraph)) {
    const std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
    if (measure(candidate, font) <= width) {
      line = candidate;
      continue;
    }
    if (!line.empty()) lines.push_back(std::move(line));
    line.clear();
    if (measure(word, font) <= width) {
      line = std::string(word);
      continue;
    }
    auto pieces = brokenWord(word, width, font, measure);
    line = std::move(pieces.back());
    pieces.pop_back();
    for (auto& piece : pieces) lines.push_back(std::move(piece));
  }
  lines.push_back(std::move(line));
}

std::vector<AlertTextLine> placedLines(const std::vector<std::string>& texts, double top,
                                       double lineHeight) {
  std::vector<AlertTextLine> lines;
  for (size_t i = 0; i < texts.size(); ++i) {
    lines.push_back({texts[i],
                     {kMargin, top + static_cast<double>(i) * lineHeight,
                      kAlertDialogWidth - 2 * kMargin, lineHeight}});
  }
  return lines;
}

}  // namespace

FontSpec alertMessageFont() {
  return {13, FontWeight::semibold, false};
}
FontSpec alertInformativeFont() {
  return {11, FontWeight::regular, false};
}
FontSpec alertButtonFont() {
  return {13, FontWeight::medium, false};
}

std::vector<std::string> wrapAlertText(std::string_view text, double width, const FontSpec& font,
                                       const AlertTextMeasure& measure) {
  std::vector<std::string> lines;
  if (text.empty()) return lines;
  size_t start = 0;
  while (true) {
    const size_t end = text.find('\n', start);
    const std::string_view paragraph =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    wrapParagraph(paragraph, width, font, measure, lines);
    if (end == std::string_view::npos) return lines;
    start = end + 1;
  }
}

AlertDialogLayout layoutAlertDialog(const AlertDialogSpec& spec, const AlertTextMeasure& measure) {
  AlertDialogLayout layout;
  const double textWidth = kAlertDialogWidth - 2 * kMargin;
  double y = kMargin;
  layout.messageLines = placedLines(
      wrapAlertText(spec.message, textWidth, alertMessageFont(), measure), y, kMessageLineHeight);
  y += static_cast<double>(layout.messageLines.size()) * kMessageLineHeight;
  auto informative =
      wrapAlertText(spec.informativeText, textWidth, alertInformativeFont(), measure);
  // A long text (an installer's preview of a large configuration) must not push the buttons off
  // the screen: the window shows its beginning and says how much is left out.
  if (informative.size() > kAlertMaxInformativeLines) {
    const size_t hidden = informative.size() - (kAlertMaxInformativeLines - 1);
    informative.resize(kAlertMaxInformativeLines - 1);
    informative.push_back(fmt::format("… and {} more lines", hidden));
  }
  if (!informative.empty()) {
    if (!layout.messageLines.empty()) y += kMessageToInformative;
    layout.informativeLines = placedLines(informative, y, kInformativeLineHeight);
    y += static_cast<double>(informative.size()) * kInformativeLineHeight;
  }
  y += kTextToButtons;

  double right = kAlertDialogWidth - kMargin;
  for (size_t i = 0; i < spec.buttons.size(); ++i) {
    const double labelWidth = measure(spec.buttons[i], alertButtonFont());
    const double width = std::max(kButtonMinimumWidth, std::ceil(labelWidth) + 2 * kButtonPadding);
    layout.buttons.push_back({static_cast<int>(i), {right - width, y, width, kButtonHeight}});
    right -= width + kButtonSpacing;
  }
  layout.size = {kAlertDialogWidth, y + kButtonHeight + kBottomMargin};
  return layout;
}

std::optional<int> alertButtonForKey(const AlertDialogSpec& spec, AlertDialogKey key) {
  const auto valid = [&spec](int index) -> std::optional<int> {
    if (index < 0 || static_cast<size_t>(index) >= spec.buttons.size()) return std::nullopt;
    return index;
  };
  if (key == AlertDialogKey::returnKey) return valid(spec.defaultButton);
  if (!spec.cancelButton) return std::nullopt;
  return valid(*spec.cancelButton);
}

std::optional<int> alertButtonAt(const AlertDialogLayout& layout, Point point) {
  for (const auto& button : layout.buttons) {
    if (button.rect.contains(point)) return button.index;
  }
  return std::nullopt;
}

std::string alertDialogStateJson(const AlertDialogSpec& spec, const AlertDialogLayout& layout) {
  auto rect = [](const Rect& r) { return Json::array({r.x, r.y, r.width, r.height}); };
  auto texts = [](const std::vector<AlertTextLine>& lines) {
    Json list = Json::array();
    for (const auto& line : lines) list.push_back(line.text);
    return list;
  };
  Json targets = Json::array();
  for (const auto& button : layout.buttons) {
    targets.push_back({{"role", "button"},
                       {"index", button.index},
                       {"label", spec.buttons[static_cast<size_t>(button.index)]},
                       {"default", button.index == spec.defaultButton},
                       {"cancel", spec.cancelButton == button.index},
                       {"rect", rect(button.rect)}});
  }
  const Json state{{"kind", "alert_dialog"},
                   {"title", spec.title},
                   {"message", spec.message},
                   {"informativeText", spec.informativeText},
                   {"messageLines", texts(layout.messageLines)},
                   {"informativeLines", texts(layout.informativeLines)},
                   {"size", Json::array({layout.size.width, layout.size.height})},
                   {"targets", targets}};
  return state.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace glimmet

#include "integrations/property_list_xml.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "base/text.hpp"

namespace glimmet {

namespace {

struct Token {
  enum class Kind { start, end, empty, text, finished, malformed };
  Kind kind = Kind::finished;
  std::string_view name;
  std::string text;  // decoded character data for `text` tokens
};

// Walks the elements and character data of a document, skipping the declaration, the document
// type, comments and processing instructions.
class XmlCursor {
 public:
  explicit XmlCursor(std::string_view xml) : xml_(xml) {}

  Token next() {
    while (position_ < xml_.size()) {
      if (xml_[position_] != '<') return characterData();
      const std::string_view rest = xml_.substr(position_);
      if (rest.starts_with("<!--")) {
        if (!skipPast("-->")) return {Token::Kind::malformed, {}, {}};
      } else if (rest.starts_with("<![CDATA[")) {
        const size_t end = xml_.find("]]>", position_);
        if (end == std::string_view::npos) return {Token::Kind::malformed, {}, {}};
        Token token{
            Token::Kind::text, {}, std::string(xml_.substr(position_ + 9, end - position_ - 9))};
        position_ = end + 3;
        return token;
      } else if (rest.starts_with("<?") || rest.starts_with("<!")) {
        if (!skipPast(">")) return {Token::Kind::malformed, {}, {}};
      } else {
        return tag();
      }
    }
    return {};
  }

 private:
  bool skipPast(std::string_view marker) {
    const size_t end = xml_.find(marker, position_);
    if (end == std::string_view::npos) return false;
    position_ = end + marker.size();
    return true;
  }

  Token characterData() {
    const size_t end = std::min(xml_.find('<', position_), xml_.size());
    auto decoded = decodeXmlText(xml_.substr(position_, end - position_));
    position_ = end;
    if (!decoded) return {Token::Kind::malformed, {}, {}};
    return {Token::Kind::text, {}, std::move(*decoded)};
  }

  Token tag() {
    const size_t close = xml_.find('>', position_);
    if (close == std::string_view::npos) return {Token::Kind::malformed, {}, {}};
    std::string_view inner = xml_.substr(position_ + 1, close - position_ - 1);
    position_ = close + 1;
    Token token;
    token.kind = Token::Kind::start;
    if (inner.starts_with("/")) {
      token.kind = Token::Kind::end;
      inner.remove_prefix(1);
    } else if (inner.ends_with("/")) {
      token.kind = Token::Kind::empty;
      inner.remove_suffix(1);
    }
    const size_t nameEnd = inner.find_first_of(" \t\r\n");
    token.name = inner.substr(0, nameEnd);
    if (token.name.empty()) token.kind = Token::Kind::malformed;
    return token;
  }

  std::string_view xml_;
  size_t position_ = 0;
};

// The next element token, skipping white space between elements.
Token nextElement(XmlCursor& cursor) {
  while (true) {
    Token token = cursor.next();
    if (token.kind != Token::Kind::text) return token;
    if (token.text.find_first_not_of(" \t\r\n") != std::string::npos) {
      return {Token::Kind::malformed, {}, {}};
    }
  }
}

// Consumes the rest of an element whose start tag was just read; its text when it holds only
// character data.
std::optional<std::string> finishElement(XmlCursor& cursor, std::string_view name) {
  std::string text;
  bool onlyText = true;
  int depth = 1;
  while (depth > 0) {
    Token token = cursor.next();
    switch (token.kind) {
      case Token::Kind::text:
        if (depth == 1) text += token.text;
        break;
      case Token::Kind::start:
        ++depth;
        onlyText = false;
        break;
      case Token::Kind::empty:
        onlyText = false;
        break;
      case Token::Kind::end:
        --depth;
        if (depth == 0 && token.name != name) return std::nullopt;
        break;
      case Token::Kind::finished:
      case Token::Kind::malformed:
        return std::nullopt;
    }
  }
  if (!onlyText) return std::string();
  return text;
}

}  // namespace

std::optional<std::string> decodeXmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    const size_t semicolon = text.find(';', i);
    if (semicolon == std::string_view::npos) return std::nullopt;
    const std::string_view entity = text.substr(i + 1, semicolon - i - 1);
    if (entity == "amp") {
      out += '&';
    } else if (entity == "lt") {
      out += '<';
    } else if (entity == "gt") {
      out += '>';
    } else if (entity == "quot") {
      out += '"';
    } else if (entity == "apos") {
      out += '\'';
    } else if (entity.starts_with("#")) {
      const bool hex = entity.starts_with("#x") || entity.starts_with("#X");
      const std::string_view digits = entity.substr(hex ? 2 : 1);
      uint32_t code = 0;
      const auto [end, error] =
          std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
      if (error != std::errc() || end != digits.data() + digits.size() || digits.empty() ||
          code > 0x10FFFF) {
        return std::nullopt;
      }
      appendUtf8(out, code);
    } else {
      return std::nullopt;
    }
    i = semicolon;
  }
  return out;
}

std::optional<std::string> xmlPropertyListString(std::string_view xml, std::string_view key) {
  XmlCursor cursor(xml);
  Token root = nextElement(cursor);
  if (root.kind == Token::Kind::start && root.name == "plist") root = nextElement(cursor);
  if (root.kind != Token::Kind::start || root.name != "dict") return std::nullopt;
  while (true) {
    const Token keyTag = nextElement(cursor);
    if (keyTag.kind != Token::Kind::start || keyTag.name != "key") return std::nullopt;
    const auto name = finishElement(cursor, "key");
    if (!name) return std::nullopt;
    const Token value = nextElement(cursor);
    if (value.kind == Token::Kind::empty) {
      if (*name == key) return std::nullopt;  // <true/>, <string/>… : not a non-empty string
      continue;
    }
    if (value.kind != Token::Kind::start) return std::nullopt;
    auto content = finishElement(cursor, value.name);
    if (!content) return std::nullopt;
    if (*name == key) {
      if (value.name != "string") return std::nullopt;
      return content;
    }
  }
}

}  // namespace glimmet

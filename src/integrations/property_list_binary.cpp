#include "integrations/property_list_binary.hpp"

#include <cstdint>

#include "base/text.hpp"

namespace glimmet {

namespace {

constexpr size_t kHeaderSize = 8;  // "bplist00"
constexpr size_t kTrailerSize = 32;

class BinaryPropertyList {
 public:
  explicit BinaryPropertyList(std::string_view bytes) : bytes_(bytes) {}

  bool open() {
    if (bytes_.size() < kHeaderSize + kTrailerSize) return false;
    const size_t trailer = bytes_.size() - kTrailerSize;
    offsetSize_ = static_cast<uint8_t>(bytes_[trailer + 6]);
    refSize_ = static_cast<uint8_t>(bytes_[trailer + 7]);
    const auto count = unsignedAt(trailer + 8, 8);
    const auto top = unsignedAt(trailer + 16, 8);
    const auto table = unsignedAt(trailer + 24, 8);
    if (!validWidth(offsetSize_) || !validWidth(refSize_) || !count || !top || !table) {
      return false;
    }
    objectCount_ = *count;
    topObject_ = *top;
    offsetTable_ = *table;
    // The offset table lies between the objects and the trailer.
    if (offsetTable_ < kHeaderSize || offsetTable_ > trailer ||
        objectCount_ > (trailer - offsetTable_) / offsetSize_) {
      return false;
    }
    return topObject_ < objectCount_;
  }

  uint64_t topObject() const { return topObject_; }

  // The string stored under `key` in a dictionary object.
  std::optional<std::string> dictionaryString(uint64_t object, std::string_view key) const {
    const auto start = objectOffset(object);
    if (!start) return std::nullopt;
    const auto marker = static_cast<uint8_t>(bytes_[*start]);
    if ((marker >> 4) != 0xD) return std::nullopt;
    size_t position = *start + 1;
    const auto count = objectLength(marker, position);
    if (!count || *count > (offsetTable_ - position) / (size_t{2} * refSize_)) return std::nullopt;
    for (uint64_t i = 0; i < *count; ++i) {
      const auto keyRef = unsignedAt(position + i * refSize_, refSize_);
      if (!keyRef) return std::nullopt;
      const auto name = string(*keyRef);
      if (!name || *name != key) continue;
      const auto valueRef = unsignedAt(position + (*count + i) * refSize_, refSize_);
      if (!valueRef) return std::nullopt;
      return string(*valueRef);
    }
    return std::nullopt;
  }

 private:
  static bool validWidth(uint8_t width) { return width >= 1 && width <= 8; }

  std::optional<uint64_t> unsignedAt(uint64_t position, size_t width) const {
    if (position > bytes_.size() || width > bytes_.size() - position) return std::nullopt;
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) {
      value = (value << 8) | static_cast<uint8_t>(bytes_[position + i]);
    }
    return value;
  }

  std::optional<size_t> objectOffset(uint64_t object) const {
    if (object >= objectCount_) return std::nullopt;
    const auto offset = unsignedAt(offsetTable_ + object * offsetSize_, offsetSize_);
    if (!offset || *offset < kHeaderSize || *offset >= offsetTable_) return std::nullopt;
    return static_cast<size_t>(*offset);
  }

  // The element count of a collection or string: the marker's low nibble, or, when that is
  // 0xF, the integer object that follows. Advances `position` past it.
  std::optional<uint64_t> objectLength(uint8_t marker, size_t& position) const {
    const uint8_t low = marker & 0x0F;
    if (low != 0x0F) return low;
    if (position >= offsetTable_) return std::nullopt;
    const auto intMarker = static_cast<uint8_t>(bytes_[position]);
    if ((intMarker >> 4) != 0x1 || (intMarker & 0x0F) > 3) return std::nullopt;
    const size_t width = size_t{1} << (intMarker & 0x0F);
    const auto value = unsignedAt(position + 1, width);
    if (!value) return std::nullopt;
    position += 1 + width;
    return value;
  }

  std::optional<std::string> string(uint64_t object) const {
    const auto start = objectOffset(object);
    if (!start) return std::nullopt;
    const auto marker = static_cast<uint8_t>(bytes_[*start]);
    size_t position = *start + 1;
    const auto length = objectLength(marker, position);
    if (!length) return std::nullopt;
    const uint8_t type = marker >> 4;
    if (type == 0x5) {  // ASCII
      if (*length > offsetTable_ - position) return std::nullopt;
      return std::string(bytes_.substr(position, *length));
    }
    if (type != 0x6) return std::nullopt;  // only UTF-16 big-endian remains
    if (*length > (offsetTable_ - position) / 2) return std::nullopt;
    std::string out;
    for (uint64_t i = 0; i < *length; ++i) {
      uint32_t unit = static_cast<uint32_t>(*unsignedAt(position + 2 * i, 2));
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < *length) {
        const auto low = static_cast<uint32_t>(*unsignedAt(position + 2 * (i + 1), 2));
        if (low >= 0xDC00 && low <= 0xDFFF) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
      appendUtf8(out, unit);
    }
    return out;
  }

  std::string_view bytes_;
  uint8_t offsetSize_ = 0;
  uint8_t refSize_ = 0;
  uint64_t objectCount_ = 0;
  uint64_t topObject_ = 0;
  uint64_t offsetTable_ = 0;
};

}  // namespace

std::optional<std::string> binaryPropertyListString(std::string_view bytes, std::string_view key) {
  BinaryPropertyList list(bytes);
  if (!list.open()) return std::nullopt;
  return list.dictionaryString(list.topObject(), key);
}

}  // namespace glimmet

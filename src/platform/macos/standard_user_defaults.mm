#include "platform/user_defaults.hpp"

#import <Foundation/Foundation.h>

namespace glimmet {

namespace {

// Converts between JSON values and property-list objects through NSJSONSerialization, which
// handles exactly the types the defaults hold (strings, numbers, booleans, arrays, dictionaries).
id objectFromJson(const Json& value) {
  const std::string text =
      Json::array({value}).dump(-1, ' ', false, Json::error_handler_t::replace);
  NSData* data = [NSData dataWithBytes:text.data() length:text.size()];
  NSArray* wrapped = [NSJSONSerialization JSONObjectWithData:data options:0 error:nil];
  return wrapped.count == 1 ? wrapped.firstObject : nil;
}

std::optional<Json> jsonFromObject(id object) {
  if (object == nil) return std::nullopt;
  if ([object isKindOfClass:NSDate.class]) {
    return Json(static_cast<double>([(NSDate*)object timeIntervalSince1970]));
  }
  if (![NSJSONSerialization isValidJSONObject:@[ object ]]) return std::nullopt;
  NSData* data = [NSJSONSerialization dataWithJSONObject:@[ object ] options:0 error:nil];
  if (data == nil) return std::nullopt;
  Json parsed =
      Json::parse(std::string(static_cast<const char*>(data.bytes), data.length), nullptr, false);
  if (!parsed.is_array() || parsed.size() != 1) return std::nullopt;
  return parsed[0];
}

NSString* keyString(std::string_view key) {
  return [[NSString alloc] initWithBytes:key.data()
                                  length:key.size()
                                encoding:NSUTF8StringEncoding];
}

class StandardUserDefaults final : public UserDefaults {
 public:
  std::optional<Json> value(std::string_view key) const override {
    @autoreleasepool {
      return jsonFromObject([NSUserDefaults.standardUserDefaults objectForKey:keyString(key)]);
    }
  }
  Status setValue(std::string_view key, Json value) override {
    @autoreleasepool {
      id object = objectFromJson(value);
      if (object == nil) return Status::failure("Cannot store this value in user defaults");
      [NSUserDefaults.standardUserDefaults setObject:object forKey:keyString(key)];
      return {};
    }
  }
  Status removeValue(std::string_view key) override {
    @autoreleasepool {
      [NSUserDefaults.standardUserDefaults removeObjectForKey:keyString(key)];
      return {};
    }
  }
};

}  // namespace

std::unique_ptr<UserDefaults> makeStandardUserDefaults(const Environment&) {
  return std::make_unique<StandardUserDefaults>();
}

}  // namespace glimmet

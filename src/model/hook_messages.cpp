#include "model/hook_messages.hpp"

#include <cctype>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "base/json_values.hpp"

namespace glimmet {

namespace {

// "request_id" -> "requestId": the camel-case spelling bridges in other languages use.
std::string camelCase(std::string_view snake) {
  std::string camel;
  bool upper = false;
  for (const char c : snake) {
    if (c == '_') {
      upper = true;
      continue;
    }
    camel += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    upper = false;
  }
  return camel;
}

// The value under the snake-case key, else the camel-case one; null counts as absent.
const Json* lookup(const Json& object, std::string_view key) {
  if (const Json* value = member(object, key); value && !value->is_null()) return value;
  const std::string camel = camelCase(key);
  if (camel == key) return nullptr;
  if (const Json* value = member(object, camel); value && !value->is_null()) return value;
  return nullptr;
}

std::optional<std::string> looseString(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
  if (value.is_number()) return numberText(value);
  return std::nullopt;
}

std::optional<int64_t> looseInt(const Json& value) {
  if (value.is_number_integer()) {
    if (value.is_number_unsigned() &&
        value.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      return std::nullopt;
    }
    return value.get<int64_t>();
  }
  if (value.is_number_float()) {
    const double number = value.get<double>();
    if (!std::isfinite(number) || number != std::floor(number) || std::fabs(number) > 9.0e18) {
      return std::nullopt;
    }
    return static_cast<int64_t>(number);
  }
  if (value.is_string()) return intValue(value);
  return std::nullopt;
}

// Collects the first decoding problem; later reads still run but change nothing.
class Reader {
 public:
  Reader(const Json& object, std::string_view record) : object_(object), record_(record) {}

  std::string requiredString(std::string_view key) {
    const Json* value = lookup(object_, key);
    if (!value) return fail(fmt::format("missing key {}{}", prefix(), key)), std::string();
    auto text = looseString(*value);
    if (!text) return fail(fmt::format("key {}{} is not a string", prefix(), key)), std::string();
    return *text;
  }

  int64_t requiredInt(std::string_view key, int64_t lowest, int64_t highest, const char* what) {
    const Json* value = lookup(object_, key);
    if (!value) return fail(fmt::format("missing key {}{}", prefix(), key)), 0;
    auto number = looseInt(*value);
    if (!number || *number < lowest || *number > highest) {
      return fail(fmt::format("key {}{} is not {}", prefix(), key, what)), 0;
    }
    return *number;
  }

  std::optional<std::string> optionalString(std::string_view key) {
    const Json* value = lookup(object_, key);
    if (!value) return std::nullopt;
    auto text = looseString(*value);
    if (!text) fail(fmt::format("key {}{} is not a string", prefix(), key));
    return text;
  }

  void fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
  }
  const std::string& error() const { return error_; }

 private:
  std::string prefix() const {
    return record_.empty() ? std::string() : std::string(record_) + ".";
  }

  const Json& object_;
  std::string_view record_;
  std::string error_;
};

std::optional<std::vector<HookRequestOption>> readOptions(const Json& payload, Reader& outer) {
  const Json* value = lookup(payload, "options");
  if (!value) return std::nullopt;
  if (!value->is_array()) return outer.fail("key payload.options is not an array"), std::nullopt;
  std::vector<HookRequestOption> options;
  for (const Json& element : *value) {
    if (!element.is_object())
      return outer.fail("an element of payload.options is not an object"), std::nullopt;
    Reader reader(element, "payload.options[]");
    HookRequestOption option;
    option.id = reader.requiredString("id");
    option.label = reader.requiredString("label");
    option.detail = reader.optionalString("detail");
    if (!reader.error().empty()) return outer.fail(reader.error()), std::nullopt;
    options.push_back(std::move(option));
  }
  return options;
}

std::optional<std::map<std::string, std::string>> readExtras(const Json& payload) {
  const Json* value = lookup(payload, "extras");
  if (!value || !value->is_object()) return std::nullopt;
  std::map<std::string, std::string> extras;
  for (const auto& [key, element] : value->items()) {
    // Extras are free text for display; a nested value has no text to show, so it is skipped.
    if (auto text = looseString(element)) extras[key] = *text;
  }
  return extras;
}

HookRequestPayload readPayload(const Json& payload, Reader& outer) {
  Reader reader(payload, "payload");
  HookRequestPayload result;
  result.tool = reader.optionalString("tool");
  result.command = reader.optionalString("command");
  result.cwd = reader.optionalString("cwd");
  result.transcriptPath = reader.optionalString("transcript_path");
  result.prompt = reader.optionalString("prompt");
  if (const Json* multiline = lookup(payload, "multiline")) {
    result.multiline = boolValue(*multiline);
    if (!result.multiline) reader.fail("key payload.multiline is not a boolean");
  }
  result.options = readOptions(payload, reader);
  result.extras = readExtras(payload);
  if (!reader.error().empty()) outer.fail(reader.error());
  return result;
}

Result<Json> parseObject(std::string_view json) {
  Json parsed = Json::parse(json, nullptr, false);
  if (parsed.is_discarded()) return Result<Json>::failure("not valid JSON");
  if (!parsed.is_object()) return Result<Json>::failure("not a JSON object");
  return parsed;
}

Json payloadToJson(const HookRequestPayload& payload) {
  Json object = Json::object();
  auto put = [&](const char* key, const std::optional<std::string>& value) {
    if (value) object[key] = *value;
  };
  put("tool", payload.tool);
  put("command", payload.command);
  put("cwd", payload.cwd);
  put("transcript_path", payload.transcriptPath);
  put("prompt", payload.prompt);
  if (payload.multiline) object["multiline"] = *payload.multiline;
  if (payload.options) {
    Json options = Json::array();
    for (const auto& option : *payload.options) {
      Json entry = {{"id", option.id}, {"label", option.label}};
      if (option.detail) entry["detail"] = *option.detail;
      options.push_back(std::move(entry));
    }
    object["options"] = std::move(options);
  }
  if (payload.extras) object["extras"] = *payload.extras;
  return object;
}

// nlohmann's objects keep their keys sorted, so a plain compact dump is the wire form; text that
// is not valid UTF-8 is replaced rather than failing the whole frame.
std::string compact(const Json& object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

HookReply storeReply(std::string requestID, std::string decision) {
  HookReply reply;
  reply.requestID = std::move(requestID);
  reply.decision = std::move(decision);
  return reply;
}

Result<HookRequest> decodeHookRequest(std::string_view json) {
  auto parsed = parseObject(json);
  if (!parsed) return Result<HookRequest>::failure(parsed.error());
  const Json& object = parsed.value();
  Reader reader(object, "");
  HookRequest request;
  request.v = reader.requiredInt("v", std::numeric_limits<int64_t>::min(),
                                 std::numeric_limits<int64_t>::max(), "an integer");
  request.type = reader.requiredString("type");
  request.requestID = reader.requiredString("request_id");
  request.agent = reader.requiredString("agent");
  request.sessionID = reader.requiredString("session_id");
  request.agentPID = static_cast<int32_t>(
      reader.requiredInt("agent_pid", std::numeric_limits<int32_t>::min(),
                         std::numeric_limits<int32_t>::max(), "a 32-bit integer"));
  request.kind = reader.requiredString("kind");
  request.timeoutSeconds =
      reader.requiredInt("timeout_seconds", std::numeric_limits<int64_t>::min(),
                         std::numeric_limits<int64_t>::max(), "an integer");
  const Json* payload = lookup(object, "payload");
  if (!payload) {
    reader.fail("missing key payload");
  } else if (!payload->is_object()) {
    reader.fail("key payload is not an object");
  } else {
    request.payload = readPayload(*payload, reader);
  }
  if (!reader.error().empty()) return Result<HookRequest>::failure(reader.error());
  return request;
}

Result<HookReply> decodeHookReply(std::string_view json) {
  auto parsed = parseObject(json);
  if (!parsed) return Result<HookReply>::failure(parsed.error());
  Reader reader(parsed.value(), "");
  HookReply reply;
  reply.v = reader.requiredInt("v", std::numeric_limits<int64_t>::min(),
                               std::numeric_limits<int64_t>::max(), "an integer");
  reply.type = reader.requiredString("type");
  reply.requestID = reader.requiredString("request_id");
  reply.decision = reader.requiredString("decision");
  reply.mode = reader.requiredString("mode");
  reply.rawAgentPayload = reader.requiredString("raw_agent_payload");
  if (!reader.error().empty()) return Result<HookReply>::failure(reader.error());
  return reply;
}

std::string encodeHookRequest(const HookRequest& request) {
  return compact({{"v", request.v},
                  {"type", request.type},
                  {"request_id", request.requestID},
                  {"agent", request.agent},
                  {"session_id", request.sessionID},
                  {"agent_pid", request.agentPID},
                  {"kind", request.kind},
                  {"timeout_seconds", request.timeoutSeconds},
                  {"payload", payloadToJson(request.payload)}});
}

std::string encodeHookReply(const HookReply& reply) {
  return compact({{"v", reply.v},
                  {"type", reply.type},
                  {"request_id", reply.requestID},
                  {"decision", reply.decision},
                  {"mode", reply.mode},
                  {"raw_agent_payload", reply.rawAgentPayload}});
}

}  // namespace glimmet

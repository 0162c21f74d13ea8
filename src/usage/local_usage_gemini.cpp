#include "usage/local_usage_gemini.hpp"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "base/text.hpp"
#include "platform/file_system.hpp"
#include "usage/local_usage_values.hpp"
#include "usage/tail_reader.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {

namespace {

constexpr size_t kTranscriptLimit = 64;
// Room for every listed transcript and the ones that just fell off the list.
constexpr size_t kStateEntries = 2 * kTranscriptLimit;
constexpr size_t kProjectHashLength = 64;

std::optional<GeminiTokenCounts> tokensOf(const Json& record) {
  const Json* tokens = localUsageDictionary(record, "tokens");
  if (!tokens) return std::nullopt;
  GeminiTokenCounts counts;
  bool any = false;
  const auto take = [&](const char* key, double& field) {
    if (auto value = firstLocalUsageNumber(*tokens, {key})) {
      field = *value;
      any = true;
    }
  };
  take("input", counts.input);
  take("output", counts.output);
  take("cached", counts.cached);
  take("thoughts", counts.thoughts);
  take("tool", counts.tool);
  take("total", counts.total);
  if (!any) return std::nullopt;
  return counts;
}

// Older Gemini CLI versions named the project folder by a SHA-256 of its path, which says
// nothing to a reader; newer ones use a slug of the folder's name.
std::string projectOf(const std::string& filePath) {
  const size_t chats = filePath.rfind("/chats/");
  if (chats == std::string::npos) return {};
  const size_t start = filePath.rfind('/', chats == 0 ? 0 : chats - 1);
  if (start == std::string::npos) return {};
  std::string name = filePath.substr(start + 1, chats - start - 1);
  const bool isHash =
      name.size() == kProjectHashLength &&
      std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
  return isHash ? std::string() : name;
}

Json tokenUsage(const GeminiTokenCounts& counts) {
  Json usage = Json::object();
  usage["data_source"] = "transcript";
  usage["tool_id"] = "gemini-cli";
  usage["input_tokens"] = counts.input;
  usage["output_tokens"] = counts.output;
  usage["cache_read_tokens"] = counts.cached;
  usage["reasoning_tokens"] = counts.thoughts;
  usage["total_tokens"] = counts.total;
  return usage;
}

// What has been read of one transcript: the fold of its complete lines and where they end.
struct TranscriptState {
  FileStamp stamp;
  uint64_t inode = 0;
  uint64_t consumed = 0;
  GeminiTranscript transcript;
  uint64_t lastUse = 0;
};

struct TranscriptStates {
  std::mutex mutex;
  std::map<std::string, TranscriptState> entries;
  uint64_t clock = 0;
};

TranscriptStates& transcriptStates() {
  static TranscriptStates states;
  return states;
}

std::optional<TranscriptState> storedState(const std::string& path) {
  auto& states = transcriptStates();
  std::lock_guard lock(states.mutex);
  const auto found = states.entries.find(path);
  if (found == states.entries.end()) return std::nullopt;
  found->second.lastUse = ++states.clock;
  return found->second;
}

void storeState(const std::string& path, TranscriptState state) {
  auto& states = transcriptStates();
  std::lock_guard lock(states.mutex);
  if (states.entries.size() >= kStateEntries && !states.entries.count(path)) {
    auto oldest = states.entries.begin();
    for (auto it = states.entries.begin(); it != states.entries.end(); ++it) {
      if (it->second.lastUse < oldest->second.lastUse) oldest = it;
    }
    states.entries.erase(oldest);
  }
  state.lastUse = ++states.clock;
  states.entries[path] = std::move(state);
}

// Applies the complete lines of `text`; a trailing piece without its line feed is a line still
// being written and is left for the next read.
void applyCompleteLines(TranscriptState& state, std::string_view text) {
  const size_t lastNewline = text.rfind('\n');
  if (lastNewline == std::string_view::npos) return;
  for (const auto& record : jsonObjectsFromText(text.substr(0, lastNewline + 1))) {
    state.transcript.apply(record);
  }
  state.consumed += lastNewline + 1;
}

// The transcript as it is on disk now, reading only what was appended since the last call.
// Gemini CLI only ever appends; a file that shrank, was replaced (another inode) or no longer
// has a line end where the last read stopped is read again from the start.
std::optional<std::pair<GeminiTranscript, Timestamp>> currentTranscript(const std::string& path) {
  const auto metadata = fileMetadata(path);
  if (!metadata || metadata->kind != FileKind::regular) return std::nullopt;
  const FileStamp stamp{metadata->modified, metadata->size};
  auto previous = storedState(path);
  if (previous && previous->stamp == stamp && previous->inode == metadata->inode) {
    return std::pair{std::move(previous->transcript), metadata->modified};
  }

  std::optional<TranscriptState> resumed;
  std::optional<std::string> appended;
  if (previous && previous->inode == metadata->inode && previous->consumed > 0 &&
      previous->consumed <= metadata->size) {
    appended = readFileFrom(path, previous->consumed - 1);
    if (appended && !appended->empty() && appended->front() == '\n') {
      appended->erase(0, 1);
      resumed = std::move(previous);
    }
  }
  TranscriptState state;
  if (resumed) {
    state = std::move(*resumed);
    applyCompleteLines(state, *appended);
  } else {
    const auto whole = readFile(path);
    if (!whole) return std::nullopt;
    applyCompleteLines(state, *whole);
  }
  state.stamp = stamp;
  state.inode = metadata->inode;
  auto result = std::pair{state.transcript, metadata->modified};
  storeState(path, std::move(state));
  return result;
}

}  // namespace

GeminiTokenCounts& GeminiTokenCounts::operator+=(const GeminiTokenCounts& other) {
  input += other.input;
  output += other.output;
  cached += other.cached;
  thoughts += other.thoughts;
  tool += other.tool;
  total += other.total;
  return *this;
}

void GeminiTranscript::apply(const Json& record) {
  if (const Json* rewind = member(record, "$rewindTo"); rewind && rewind->is_string()) {
    rewindTo(rewind->get<std::string>());
  } else if (const Json* id = member(record, "id"); id && id->is_string()) {
    putMessage(record);
  } else if (const Json* patch = localUsageDictionary(record, "$set")) {
    if (auto updated = firstString(*patch, {"lastUpdated"})) lastUpdated_ = std::move(updated);
    if (const Json* replaced = member(*patch, "messages"); replaced && replaced->is_array()) {
      messages_.clear();
      positions_.clear();
      for (const auto& message : *replaced) {
        if (const Json* messageID = member(message, "id"); messageID && messageID->is_string()) {
          putMessage(message);
        }
      }
    }
  } else if (firstString(record, {"sessionId"}) && firstString(record, {"projectHash"})) {
    if (auto updated = firstString(record, {"lastUpdated"})) lastUpdated_ = std::move(updated);
  }
}

void GeminiTranscript::putMessage(const Json& record) {
  GeminiMessage message;
  message.id = member(record, "id")->get<std::string>();
  if (auto time = firstString(record, {"timestamp"})) {
    message.time = parseLocalUsageTimestamp(*time);
  }
  if (firstString(record, {"type"}) == "gemini") {
    message.tokens = tokensOf(record);
    message.model = firstString(record, {"model"}).value_or("");
  }
  const auto [position, added] = positions_.try_emplace(message.id, messages_.size());
  if (added) {
    messages_.push_back(std::move(message));
  } else {
    messages_[position->second] = std::move(message);
  }
}

void GeminiTranscript::rewindTo(const std::string& id) {
  const auto found = positions_.find(id);
  // Gemini CLI itself starts the conversation over when the target is unknown.
  const size_t keep = found == positions_.end() ? 0 : found->second;
  for (size_t i = keep; i < messages_.size(); ++i) positions_.erase(messages_[i].id);
  messages_.resize(keep);
}

std::optional<GeminiTokenCounts> geminiSessionTokens(const GeminiTranscript& transcript) {
  std::optional<GeminiTokenCounts> sum;
  for (const auto& message : transcript.messages()) {
    if (!message.tokens) continue;
    if (!sum) sum.emplace();
    *sum += *message.tokens;
  }
  return sum;
}

std::optional<GeminiTokenCounts> geminiTokensOnDay(const GeminiTranscript& transcript,
                                                   Timestamp now, const LabelTimeZone& zone) {
  const auto dayOf = [&zone](Timestamp time) {
    return std::chrono::floor<std::chrono::days>(time + std::chrono::seconds{zone.offsetAt(time)});
  };
  const auto today = dayOf(now);
  std::optional<GeminiTokenCounts> sum;
  for (const auto& message : transcript.messages()) {
    if (!message.tokens || !message.time || dayOf(*message.time) != today) continue;
    if (!sum) sum.emplace();
    *sum += *message.tokens;
  }
  return sum;
}

std::string geminiObservedAt(const GeminiTranscript& transcript, Timestamp fileModified) {
  std::optional<Timestamp> newest;
  if (transcript.lastUpdated()) newest = parseLocalUsageTimestamp(*transcript.lastUpdated());
  for (const auto& message : transcript.messages()) {
    if (message.time && (!newest || *message.time > *newest)) newest = message.time;
  }
  // No record can postdate the file that holds it; a later one has a clock that is off.
  return formatIso8601(newest ? std::min(*newest, fileModified) : fileModified);
}

std::optional<GlimmetEvent> geminiTranscriptUsageEvent(const GeminiTranscript& transcript,
                                                       const std::string& filePath,
                                                       Timestamp fileModified) {
  const auto tokens = geminiSessionTokens(transcript);
  if (!tokens) return std::nullopt;
  Json usage = tokenUsage(*tokens);
  for (auto it = transcript.messages().rbegin(); it != transcript.messages().rend(); ++it) {
    if (!it->model.empty()) {
      usage["model"] = it->model;
      break;
    }
  }
  const std::string observedAt = geminiObservedAt(transcript, fileModified);
  usage["observed_at"] = observedAt;

  UsageOnlyEventFields fields;
  fields.idPrefix = "local-gemini-transcript";
  fields.source = "gemini";
  fields.title = "Gemini CLI usage updated";
  fields.timestamp = observedAt;
  fields.filePath = filePath;
  fields.project = projectOf(filePath);
  fields.usage = std::move(usage);
  return usageOnlyEvent(fields);
}

std::vector<GlimmetEvent> loadGeminiTranscriptUsageEvents(const std::optional<std::string>& root,
                                                          Timestamp now,
                                                          const LabelTimeZone& zone) {
  if (!root) return {};
  UsageFileQuery query;
  query.root = *root;
  query.limit = kTranscriptLimit;
  query.cacheKey = "gemini-transcript";
  query.extensions = {".jsonl"};
  query.include = [](std::string_view name) { return startsWith(name, "session-"); };

  std::vector<GlimmetEvent> sessions;
  std::optional<GeminiTokenCounts> today;
  std::string todayObservedAt;
  for (const auto& path : recentUsageFiles(query, now)) {
    const auto current = currentTranscript(path);
    if (!current) continue;
    const auto& [transcript, modified] = *current;
    if (auto event = geminiTranscriptUsageEvent(transcript, path, modified)) {
      sessions.push_back(std::move(*event));
    }
    if (auto counts = geminiTokensOnDay(transcript, now, zone)) {
      if (!today) today.emplace();
      *today += *counts;
      todayObservedAt = std::max(todayObservedAt, geminiObservedAt(transcript, modified));
    }
  }

  std::vector<GlimmetEvent> events;
  if (today) {
    Json usage = tokenUsage(*today);
    usage["observed_at"] = todayObservedAt;
    UsageOnlyEventFields fields;
    fields.idPrefix = "local-gemini-today";
    fields.source = "gemini";
    fields.title = "Gemini CLI usage today";
    fields.timestamp = todayObservedAt;
    fields.filePath = *root;
    fields.usage = std::move(usage);
    if (auto event = usageOnlyEvent(fields)) events.push_back(std::move(*event));
  }
  for (auto& event : sessions) events.push_back(std::move(event));
  return events;
}

void clearGeminiTranscriptCache() {
  auto& states = transcriptStates();
  std::lock_guard lock(states.mutex);
  states.entries.clear();
}

}  // namespace glimmet

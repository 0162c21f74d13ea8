#include "model/glimmet_event.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "base/text.hpp"
#include "model/event_text.hpp"
#include "model/tool_catalog.hpp"
#include "model/tool_names.hpp"
#include "model/usage_date.hpp"

namespace glimmet {
namespace {

const EventParseContext kParseContext{"/home/dev"};

GlimmetEvent parse(const char* json) {
  auto event = parseGlimmetEventLine(json, kParseContext);
  EXPECT_TRUE(event.has_value()) << json;
  return event.value_or(GlimmetEvent{});
}

TEST(GlimmetEventTest, RejectsLinesWithoutStringEventIDAndReadsOtherTypesLeniently) {
  EXPECT_FALSE(parseGlimmetEventLine(R"({"event_id": 42})", kParseContext));
  EXPECT_FALSE(parseGlimmetEventLine(R"({"source": "codex"})", kParseContext));
  EXPECT_FALSE(parseGlimmetEventLine(R"(["event_id"])", kParseContext));
  EXPECT_FALSE(parseGlimmetEventLine("not json", kParseContext));

  const auto event = parse(R"({"event_id":"a","source":42,"note_enabled":"YES","pid":123})");
  EXPECT_EQ(event.source, "42");
  EXPECT_TRUE(event.noteEnabled);
  EXPECT_EQ(event.pid, "123");
  EXPECT_FALSE(parse(R"({"event_id":"b","note_enabled":"maybe"})").noteEnabled);
  EXPECT_EQ(parse(R"({"event_id":"c","note_max_length":"120"})").noteMaxLength, 120);
  EXPECT_EQ(parse(R"({"event_id":"c","note_max_length":"lots"})").noteMaxLength, 500);
}

TEST(GlimmetEventTest, CopiesOwnTheirUsageAndJumpTargetAndCompareByValue) {
  const GlimmetEvent original =
      parse(R"({"event_id":"a","source":"codex","usage":{"five_hour_percent":40},)"
            R"("jump_target":{"kind":"url","url":"https://example.com"}})");
  ASSERT_TRUE(original.usage && original.typedJumpTarget);
  GlimmetEvent copy = original;
  EXPECT_EQ(copy, original);
  copy.usage->label = "changed";
  copy.typedJumpTarget->url = "https://example.org";
  EXPECT_NE(original.usage->label, "changed");
  EXPECT_EQ(original.typedJumpTarget->url, "https://example.com");
  EXPECT_NE(copy, original);
  copy = original;
  EXPECT_EQ(copy, original);
  copy.usage.reset();
  EXPECT_FALSE(copy.usage);
  EXPECT_NE(copy, original);
  GlimmetEvent moved = std::move(copy);
  EXPECT_FALSE(moved.usage);
  EXPECT_TRUE(moved.typedJumpTarget);
}

TEST(GlimmetEventTest, AppliesDefaultsAndDerivedFields) {
  const auto event = parse(R"({"event_id":"a","source":"codex"})");
  EXPECT_EQ(event.cwd, "/home/dev");
  EXPECT_FALSE(event.hasExplicitCwd);
  EXPECT_EQ(event.notifyPolicy, NotifyPolicy::silent);
  EXPECT_EQ(event.taskKey, "codex cli|/home/dev|dev");
  EXPECT_EQ(event.timestamp, kDistantPast);
  // No jump target, transcript or explicit cwd: nothing to jump to.
  EXPECT_EQ(event.sourceCapabilities, SourceCapabilities{SourceCapability::messages});

  const auto permission =
      parse(R"({"event_id":"p","event_type":"permission_request","cwd":"/w/My Proj",)"
            R"("action":{"risk":"high","kind":"bash","decision_file":"/tmp/d"}})");
  EXPECT_EQ(permission.notifyPolicy, NotifyPolicy::immediate);
  EXPECT_EQ(permission.phase, EventPhase::waitingHuman);
  EXPECT_EQ(permission.project, "My Proj");
  EXPECT_EQ(permission.decisionFile, "/tmp/d");
  EXPECT_EQ(permission.taskKey, "unknown|/w/my proj|my proj");
  EXPECT_EQ(permission.sourceCapabilities,
            (SourceCapabilities{SourceCapability::messages, SourceCapability::approval,
                                SourceCapability::jump}));

  EXPECT_EQ(
      parse(R"({"event_id":"x","event_type":"custom_thing","status":"in_review"})").phase.raw(),
      "inreview");
  EXPECT_EQ(
      parse(R"({"event_id":"x","event_type":"task_updated","status":"completed"})").notifyPolicy,
      NotifyPolicy::milestone);
  EXPECT_EQ(parse(R"({"event_id":"x","notify_policy":"usage_only"})").notifyPolicy,
            NotifyPolicy::usageOnly);
}

TEST(GlimmetEventTest, TaskKeyPrefersSessionTurnThenPid) {
  EXPECT_EQ(parse(R"({"event_id":"a","source":"claude","session_id":"S1","turn_id":"T1"})").taskKey,
            "claude code|s1|t1");
  EXPECT_EQ(parse(R"({"event_id":"a","source":"claude","thread-id":"S1"})").taskKey,
            "claude code|s1");
  EXPECT_EQ(parse(R"({"event_id":"a","source":"claude","nonce":"T9"})").taskKey, "claude code|t9");
  EXPECT_EQ(parse(R"({"event_id":"a","source":"claude","cwd":"/a","process_id":7})").taskKey,
            "claude code|/a|7");
  EXPECT_EQ(parse(R"({"event_id":"a","task_key":"Mine"})").taskKey, "Mine");
  // Parts are trimmed and lower-cased; their " - " and " · " separators become single spaces.
  EXPECT_EQ(
      parse(R"({"event_id":"a","source":"Codex","session_id":" Build - Fix ","turn_id":" T·2"})")
          .taskKey,
      "codex cli|build fix|t·2");
  EXPECT_EQ(parse(R"({"event_id":"a","session_id":"A · B","turn_id":"\tMiXeD\n"})").taskKey,
            "unknown|a b|mixed");
}

TEST(GlimmetEventTest, ReadsPreviewsOptionsChannelAndJumpTargets) {
  const auto event = parse(R"({
    "event_id":"c","event_type":"waiting_input","source":"claude-code",
    "preview":{"prompt":"  fix\n the   build "},"agent_message":"working on it",
    "options":[{"id":"a","label":"Yes","risk":"HIGH"},{"id":"b"},{"id":"c","label":"No",
               "description":"skip","disabled_reason":"not now","risk":"low"}],
    "selection_mode":"multiple",
    "response":{"response_file":"/tmp/r.json","note_enabled":true,"note_max_length":80},
    "note_enabled":false,
    "jump_target":{"kind":"iTerm","session_id":"w0t1p0"}})");
  EXPECT_EQ(event.preview.user, "fix the   build");
  EXPECT_EQ(event.preview.agent, "working on it");
  ASSERT_EQ(event.choiceOptions.size(), 2u);
  EXPECT_FALSE(event.choiceOptions[0].risk);  // risk values are case sensitive here
  EXPECT_EQ(event.choiceOptions[1].detail, "skip");
  EXPECT_EQ(event.choiceOptions[1].disabledReason, "not now");
  EXPECT_EQ(event.choiceOptions[1].risk, MessageRisk::low);
  EXPECT_EQ(event.selectionMode, MessageSelectionMode::multiple);
  EXPECT_EQ(event.responseChannel, ResponseChannel::responseFile("/tmp/r.json"));
  EXPECT_TRUE(event.noteEnabled);  // the response object wins over the top level
  EXPECT_EQ(event.noteMaxLength, 80);
  ASSERT_TRUE(event.typedJumpTarget);
  EXPECT_EQ(event.typedJumpTarget->kind, JumpTarget::Kind::terminalWindow);
  EXPECT_EQ(event.typedJumpTarget->terminal, "iTerm2");
  EXPECT_EQ(event.typedJumpTarget->sessionID, "w0t1p0");
  EXPECT_EQ(event.sourceCapabilities,
            (SourceCapabilities{SourceCapability::messages, SourceCapability::choice,
                                SourceCapability::input, SourceCapability::jump}));

  const auto socket =
      parse(R"({"event_id":"s","socket_path":"/tmp/s.sock","jump_target":"cmux:1"})");
  EXPECT_EQ(socket.responseChannel, ResponseChannel::localSocket("/tmp/s.sock", "line_json"));
  EXPECT_EQ(socket.jumpTarget, "cmux:1");
  const auto app = parse(R"({"event_id":"s","base_url":"http://127.0.0.1:9","endpoint":"/r"})");
  EXPECT_EQ(app.responseChannel, ResponseChannel::appServer("http://127.0.0.1:9", "/r"));
  const auto file =
      parse(R"({"event_id":"f","jump":{"kind":"file","value":"/a.txt","line":"12"}})");
  ASSERT_TRUE(file.typedJumpTarget);
  EXPECT_EQ(file.typedJumpTarget->path, "/a.txt");
  EXPECT_EQ(file.typedJumpTarget->line, 12);
}

TEST(GlimmetEventTest, ReadsReceiptsOnlyWithKnownActionAndStatus) {
  const auto event = parse(R"({"event_id":"r1","event_type":"response_receipt",
    "receipt":{"target_event_id":"c1","action":"choose_option","status":"failed","error":"gone"}})");
  ASSERT_TRUE(event.responseReceipt);
  EXPECT_EQ(event.responseReceipt->eventID, "c1");
  EXPECT_EQ(event.responseReceipt->status, ResponseReceiptStatus::failed);
  EXPECT_EQ(event.responseReceipt->sourceEventID, "r1");
  EXPECT_EQ(event.responseReceipt->error, "gone");
  EXPECT_FALSE(parse(R"({"event_id":"r2","event_type":"response_receipt",
    "receipt":{"target_event_id":"c1","action":"dance","status":"failed"}})")
                   .responseReceipt);
  EXPECT_FALSE(parse(R"({"event_id":"r3","event_type":"task_updated",
    "receipt":{"target_event_id":"c1","action":"approve","status":"failed"}})")
                   .responseReceipt);
  // Without an event type the line's "type" decides.
  EXPECT_TRUE(parse(R"({"event_id":"r4","type":"response_receipt",
    "response_receipt":{"event_id":"c1","action":"approve","receipt_status":"applied"}})")
                  .responseReceipt);
}

TEST(GlimmetEventTest, SourceClassFollowsSourceTypeThenSource) {
  EXPECT_EQ(parse(R"({"event_id":"a","source_type":"local_loader"})").sourceClass,
            SourceEventClass::stableLocalLoader);
  EXPECT_EQ(parse(R"({"event_id":"a","source_type":"webhook"})").sourceClass,
            SourceEventClass::remoteOptIn);
  EXPECT_EQ(parse(R"({"event_id":"a","source":"claude-app"})").sourceClass,
            SourceEventClass::jumpOnly);
  EXPECT_EQ(parse(R"({"event_id":"a","source_type":"wrapper"})").sourceClass,
            SourceEventClass::wrapperExplicit);
  EXPECT_EQ(parse(R"({"event_id":"a"})").sourceClass, SourceEventClass::officialPush);
  // Case does not matter, however long the type.
  EXPECT_EQ(parse(R"({"event_id":"a","source_type":"Local_LOADER"})").sourceClass,
            SourceEventClass::stableLocalLoader);
  EXPECT_EQ(parse(R"({"event_id":"a","source":"Claude-APP"})").sourceClass,
            SourceEventClass::jumpOnly);
  const std::string longType = std::string(80, 'x') + "WebHook";
  EXPECT_EQ(parse((R"({"event_id":"a","source_type":")" + longType + R"("})").c_str()).sourceClass,
            SourceEventClass::remoteOptIn);
}

TEST(GlimmetEventTest, BuildsUsageSnapshotFromUsageObject) {
  const auto event = parse(R"({"event_id":"u","source":"claude-code","notify_policy":"usage_only",
    "timestamp":"2026-05-11T12:00:00Z",
    "usage":{"data_source":"statusline","five_hour_percent":41.6,"weekly_percent":"18",
             "input_tokens":1530,"output_tokens":20,"context_remaining_percent":70}})");
  ASSERT_TRUE(event.usage);
  const auto& usage = *event.usage;
  EXPECT_EQ(usage.toolID, "claude-code");
  EXPECT_EQ(usage.tool, "Claude Code");
  EXPECT_EQ(usage.dataSource, "statusline");
  EXPECT_EQ(usage.observedAt, "2026-05-11T12:00:00Z");
  ASSERT_TRUE(usage.fiveHour);
  EXPECT_EQ(usage.fiveHour->label, "42% used");
  EXPECT_DOUBLE_EQ(*usage.fiveHour->percent, 41.6);
  EXPECT_EQ(usage.label, "5h 42% · 7d 18%");
  ASSERT_TRUE(usage.tokens);
  EXPECT_EQ(usage.tokens->label, "1.5k in");
  EXPECT_EQ(usage.context->label, "Context 70% left");
  EXPECT_EQ(event.sourceCapabilities[1], SourceCapability::usage);

  const auto remaining = parse(R"({"event_id":"v","source":"codex",
    "usage":{"five_hour_remaining_percent":99.6}})");
  EXPECT_EQ(remaining.usage->fiveHour->label, "99% left");  // never a false "100%"
}

TEST(ToolNamesTest, CanonicalIDsAndDisplayNames) {
  // Aliases, spacing and case, a vendor's package name, and an unknown name kept as a slug.
  EXPECT_EQ(canonicalToolID("Claude_App"), "claude-app");
  EXPECT_EQ(canonicalToolID("claude"), "claude-code");
  EXPECT_EQ(canonicalToolID("Trae SOLO CN"), "trae-solo");
  EXPECT_EQ(canonicalToolID("trae-cli"), "trae-agent-cli");
  EXPECT_EQ(canonicalToolID("saoudrizwan.claude-dev"), "cline");
  EXPECT_EQ(canonicalToolID("my tool"), "my-tool");
  EXPECT_EQ(toolDisplayName("codex_cli"), "Codex CLI");
  EXPECT_EQ(toolDisplayName("claude-desktop-app"), "Claude App");
  EXPECT_EQ(toolDisplayName("My Agent"), "My Agent");
  EXPECT_EQ(toolDisplayName(""), "Agent");
}

TEST(ToolNamesTest, IDAndDisplayNameAgreeForDesktopAppsAndCLIVariants) {
  // Each name must land on one catalogue row, whose name is then the display name.
  const std::vector<std::pair<std::string, std::pair<std::string, std::string>>> cases{
      {"codex desktop", {"codex-app", "Codex App"}},
      {"claude desktop", {"claude-app", "Claude App"}},
      {"Trae SOLO CN", {"trae-solo", "Trae SOLO"}},
      {"Trae CLI", {"trae-agent-cli", "Trae Agent CLI"}},
      {"cursor-cli", {"cursor-agent-cli", "Cursor Agent CLI"}},
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(canonicalToolID(name), expected.first) << name;
    EXPECT_EQ(toolDisplayName(name), expected.second) << name;
  }
}

std::string upperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

TEST(ToolNamesTest, EveryAliasShowsTheCatalogueNameOfItsID) {
  for (const auto& alias : toolAliases()) {
    const AIToolCatalogItem* item = catalogItem(alias.id);
    ASSERT_NE(item, nullptr) << alias.id;
    std::vector<std::string> names;
    if (alias.qualifiers.empty()) names.emplace_back(alias.brand);
    for (const auto qualifier : alias.qualifiers) {
      names.push_back(std::string(alias.brand) + " " + std::string(qualifier));
    }
    for (const auto& spaced : names) {
      // The same name as sources spell it: spaced, snake case, kebab case, upper case.
      for (const auto& name : {spaced, replaceAll(spaced, " ", "_"), replaceAll(spaced, " ", "-"),
                               upperCase(spaced)}) {
        EXPECT_EQ(canonicalToolID(name), alias.id) << name;
        EXPECT_EQ(toolDisplayName(name), item->name) << name;
      }
    }
  }
  for (const auto& item : aiToolCatalog()) {
    EXPECT_EQ(canonicalToolID(item.id), item.id);
    EXPECT_EQ(toolDisplayName(item.id), item.name);
    EXPECT_EQ(toolDisplayName(item.name), item.name) << item.name;
  }
}

// 2026-05-11T12:01:00Z as seconds since 1970.
constexpr int64_t kNoonEpoch = 1778500860;

Timestamp noonPlus(std::chrono::milliseconds offset) {
  return Timestamp{std::chrono::seconds{kNoonEpoch}} + offset;
}

Timestamp eventTime(const std::string& timestampJson) {
  const std::string line = R"({"event_id":"t","timestamp":)" + timestampJson + "}";
  return parse(line.c_str()).timestamp;
}

TEST(EventTimestampTest, AcceptsInternetDatesWithVariantsAndEpochNumbers) {
  const Timestamp noon = noonPlus(std::chrono::milliseconds{0});
  for (const char* text :
       {R"("2026-05-11T12:01:00Z")", R"("2026-05-11T12:01:00+00:00")",
        R"("2026-05-11T12:01:00+0000")", R"("2026-05-11T14:01:00+0200")",
        R"("2026-05-11T07:31:00-04:30")", R"("2026-05-11 12:01:00Z")",
        R"("2026-05-11 12:01:00+00:00")", R"("2026-05-11t12:01:00z")", "1778500860",
        "1778500860000", R"("1778500860")", R"("1778500860000")", R"(" 1778500860 ")"}) {
    EXPECT_EQ(eventTime(text), noon) << text;
  }
  const Timestamp quarter = noonPlus(std::chrono::milliseconds{250});
  for (const char* text : {R"("2026-05-11T12:01:00.250Z")", R"("2026-05-11 12:01:00.25+0000")",
                           "1778500860.25", "1778500860250", R"("1778500860250")"}) {
    EXPECT_EQ(eventTime(text), quarter) << text;
  }
}

TEST(EventTimestampTest, InvalidTimesStayMissing) {
  for (const char* text :
       {R"("yesterday")", R"("")", R"("2026-02-30T00:00:00Z")", R"("2026-05-11T12:01")",
        R"("2026-05-11T12:01:00+02")", R"("2026-05-11T12:01:00+02:0")", R"("2026-05-11T25:01:00Z")",
        R"("2026-05-11T12:01:00Zjunk")", R"("2026-05-11  12:01:00Z")", R"("12:01:00")",
        R"("1778500860abc")", R"("0x1A")", "-5", "true", "null", R"({"at":1})"}) {
    EXPECT_EQ(eventTime(text), kDistantPast) << text;
  }
}

// Sets TZ for one test and puts the previous value back afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* previous = std::getenv("TZ")) previous_ = previous;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (previous_) {
      setenv("TZ", previous_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

TEST(EventTimestampTest, TimeWithoutZoneIsLocalTime) {
  {
    // Three hours east of UTC, no daylight saving: local 15:01 is 12:01 UTC.
    const ScopedTimeZone zone("GLM-3");
    EXPECT_EQ(eventTime(R"("2026-05-11T15:01:00")"), noonPlus(std::chrono::milliseconds{0}));
    EXPECT_EQ(eventTime(R"("2026-05-11 15:01:00.500")"), noonPlus(std::chrono::milliseconds{500}));
  }
  {
    // Daylight saving in effect in May: New York is four hours behind UTC.
    const ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(eventTime(R"("2026-05-11T08:02:00")"), noonPlus(std::chrono::minutes{1}));
    EXPECT_EQ(eventTime(R"("2026-01-11T07:01:00")"),
              noonPlus(std::chrono::milliseconds{0}) - std::chrono::days{120});
  }
}

TEST(CodexTitleTurnTest, TitleGenerationTurnsAreNoEvents) {
  // The line a notify bridge writes for Codex's own title side thread (notify.json fixture).
  const std::string titleTurn =
      R"({"source":"codex","source_type":"cli_agent","project":"project","cwd":"/home/dev/project",)"
      R"("event_type":"task_updated","severity":"info","title":"Codex CLI turn finished",)"
      R"("message":"Fake title","status":"running_tool",)"
      R"("session_id":"01a2473e-0878-7422-b235-78505209dd9b","raw_event_name":"agent-turn-complete",)"
      R"("preview":{"user":"Generate a concise, single-line task title of at most 36 characters and )"
      R"(under five words where possible. Start with an imperative verb.","agent":"Fake title"},)"
      R"("event_id":"2b285353-9f0d-4ea9-8ab3-c424785c8222","timestamp":"2026-12-06T02:09:24.152Z"})";
  EXPECT_FALSE(parseGlimmetEventLine(titleTurn, kParseContext));
  // The prompt may also arrive as the top-level user message of a Codex line.
  EXPECT_FALSE(parseGlimmetEventLine(
      R"({"event_id":"t2","source":"codex_cli","event_type":"task_completed",)"
      R"("user_message":"  Generate a concise, single-line task title of at most 36 characters"})",
      kParseContext));

  // The real turn of the same session, and another tool quoting the same words, stay.
  const auto realTurn =
      parseGlimmetEventLine(R"({"event_id":"r","source":"codex","event_type":"task_completed",)"
                            R"("preview":{"user":"write hello to out.txt","agent":"done"}})",
                            kParseContext);
  ASSERT_TRUE(realTurn);
  EXPECT_EQ(realTurn->preview.user, "write hello to out.txt");
  EXPECT_TRUE(parseGlimmetEventLine(
      R"({"event_id":"c","source":"claude_code","event_type":"task_started",)"
      R"("preview":{"user":"Generate a concise, single-line task title for my PR"}})",
      kParseContext));
}

TEST(UsageDateTest, ParsesInternetDatesWithAndWithoutFractionsFromManyThreads) {
  const auto whole = parseUsageDate("2026-05-11T12:01:00Z");
  const auto fractional = parseUsageDate("2026-05-11T12:01:00.250Z");
  ASSERT_TRUE(whole && fractional);
  EXPECT_EQ(*fractional - *whole, std::chrono::milliseconds(250));
  EXPECT_EQ(parseUsageDate("2026-05-11T14:01:00+02:00"), whole);
  EXPECT_EQ(parseUsageDate("2026-05-11t12:01:00z"), whole);
  EXPECT_EQ(parseUsageDate("1778500860"), whole);
  EXPECT_FALSE(parseUsageDate("2026-05-11T12:01:00 Z"));
  EXPECT_FALSE(parseUsageDate("Z"));
  EXPECT_FALSE(parseUsageDate("yesterday"));
  EXPECT_FALSE(parseUsageDate(""));
  EXPECT_FALSE(parseUsageDate("2026-02-30T00:00:00Z"));
  EXPECT_EQ(formatIso8601(*fractional), "2026-05-11T12:01:00Z");

  // The shared cache (for times that name an offset or none) is cleared at 2048 entries;
  // concurrent parses must stay correct.
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 3000; ++i) {
        const int second = (i + t) % 60;
        const auto text = "2026-01-01T00:00:" + std::string(second < 10 ? "0" : "") +
                          std::to_string(second) + "." + std::to_string(i) + "+00:00";
        const auto parsed = parseUsageDate(text);
        if (!parsed ||
            std::chrono::floor<std::chrono::seconds>(*parsed).time_since_epoch().count() % 60 !=
                second) {
          ++wrong;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(EventTextTest, ShortPreviewCutsAtCharactersNotBytes) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += "line é number " + std::to_string(i) + "\r\n";
  const std::string preview = shortPreviewText(text);
  EXPECT_EQ(preview.find('\n'), std::string::npos);
  EXPECT_TRUE(preview.ends_with("…"));
  // 239 characters plus the ellipsis, counted in code points.
  size_t characters = 0;
  for (unsigned char c : preview) characters += (c & 0xC0) != 0x80;
  EXPECT_LE(characters, 240u);
  EXPECT_GE(characters, 236u);  // trailing white space before the ellipsis is trimmed
  EXPECT_EQ(shortPreviewText(std::string(240, 'x')), std::string(240, 'x'));
  EXPECT_EQ(shortPreviewText(std::string(241, 'x')), std::string(239, 'x') + "…");
}

}  // namespace
}  // namespace glimmet

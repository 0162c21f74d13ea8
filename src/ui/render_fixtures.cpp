#include "ui/render_fixtures.hpp"

#include <functional>
#include <map>

#include "base/json_values.hpp"
#include "base/time.hpp"
#include "model/glimmet_event.hpp"
#include "model/island_message.hpp"
#include "model/message_grouping.hpp"
#include "ui/alert_dialog_fixture.hpp"
#include "ui/companion_fixtures.hpp"
#include "ui/settings_render_fixtures.hpp"
#include "ui/text_panel_fixture.hpp"
#include "ui/view/collapsed_geometry.hpp"
#include "ui/view/overlay_events.hpp"

namespace glimmet {

namespace {

constexpr const char* kFixtureTime = "2026-05-11T09:00:00Z";
constexpr const char* kSession = "905ba1cd-b495-4216-b798-971ab74d8163";
constexpr const char* kProject = "/home/dev/project";

Timestamp fixtureNow() {
  return *parseTimestamp(kFixtureTime);
}

// Events as the event bridge writes them, newest last.
std::vector<IslandMessage> messagesFrom(const std::vector<std::string>& lines) {
  std::vector<GlimmetEvent> events;
  const EventParseContext context{"/home/dev"};
  for (const auto& line : lines) {
    if (auto event = parseGlimmetEventLine(line, context)) events.push_back(std::move(*event));
  }
  std::vector<IslandMessage> messages;
  const GroupedEvents grouped = groupVisibleEvents(events, {});
  for (const auto& group : grouped.groups)
    messages.push_back(
        makeIslandMessage(grouped.newestOf(group), grouped.idsOf(group), {}, {}, fixtureNow()));
  return messages;
}

std::string permissionEvent(const std::string& id, const std::string& command,
                            const std::string& risk, const std::string& timestamp) {
  Json event{{"source", "claude_code"},
             {"source_type", "cli_agent"},
             {"project", "project"},
             {"cwd", kProject},
             {"event_type", "permission_request"},
             {"severity", "warning"},
             {"title", "Run: " + command},
             {"message", "Bash"},
             {"tool_name", "Bash"},
             {"status", "waiting_approval"},
             {"session_id", kSession},
             {"raw_event_name", "PermissionRequest"},
             {"action", {{"kind", "shell"}, {"command", command}, {"risk", risk}}},
             {"event_id", id},
             {"timestamp", timestamp}};
  return event.dump();
}

PendingAction waitingPermission(const std::string& requestID, const std::string& command,
                                const std::string& timestamp) {
  PendingAction action;
  action.requestID = requestID;
  action.agent = "claude_code";
  action.sessionID = kSession;
  action.agentPID = 4242;
  action.kind = PendingActionKind::permissionRequest;
  action.createdAt = *parseTimestamp(timestamp);
  action.timeoutSeconds = 120;
  action.payload.tool = "Bash";
  action.payload.command = command;
  action.payload.cwd = kProject;
  return action;
}

void addPermission(AppSnapshot& snapshot, const std::string& command, const std::string& risk) {
  snapshot.messages =
      messagesFrom({permissionEvent("perm-1", command, risk, "2026-05-11T08:59:20Z")});
  snapshot.waitingRequests = {waitingPermission("req-1", command, "2026-05-11T08:59:20Z")};
  snapshot.approvalCount = 1;
  snapshot.petState = PetState::approval;
}

RenderFixture base(std::string name, OverlayMode mode) {
  RenderFixture fixture;
  fixture.name = std::move(name);
  fixture.state.mode = mode;
  fixture.now = fixtureNow();
  return fixture;
}

// Clicks the first target of `role` in the fixture's current frame, as a user would.
void click(RenderFixture& fixture, const std::string& role) {
  const OverlayFrame frame = fixture.layout();
  for (const auto& target : frame.targets) {
    if (target.role != role) continue;
    handle(fixture.state, Click{{target.rect.midX(), target.rect.midY()}}, frame, fixture.now);
    return;
  }
}

UsageMetric metric(std::string label, double percent, std::string suffix = {}) {
  UsageMetric result;
  result.label = std::move(label);
  result.percent = percent;
  result.suffix = std::move(suffix);
  return result;
}

const RenderFixtureMakers& fixtures() {
  static const RenderFixtureMakers all = [] {
    RenderFixtureMakers makers = withCompanionRenderFixtures({
        {"collapsed-idle", [] { return base("collapsed-idle", OverlayMode::collapsed); }},
        {"collapsed-approval",
         [] {
           // A request waits while an ordinary message is on screen: the badge counts it.
           auto fixture = base("collapsed-approval", OverlayMode::collapsed);
           addPermission(fixture.snapshot, "npm test", "low");
           auto progress = messagesFrom({Json{
               {"source", "codex"},
               {"source_type", "cli_agent"},
               {"event_type", "task_failed"},
               {"severity", "error"},
               {"title", "Tests failed in src/login.test.tsx"},
               {"message", "Editing src/login.tsx"},
               {"session_id", "codex-1"},
               {"event_id", "progress-1"},
               {"timestamp",
                "2026-05-11T08:58:00Z"}}.dump()});
           std::vector<IslandMessage> messages = fixture.snapshot.messages;
           messages.insert(messages.end(), progress.begin(), progress.end());
           fixture.snapshot.messages = std::move(messages);
           fixture.state.ticker.index = 1;
           return fixture;
         }},
        {"collapsed-usage",
         [] {
           auto fixture = base("collapsed-usage", OverlayMode::collapsed);
           UsageSnapshot usage;
           usage.tool = "Codex";
           usage.toolID = "codex-cli";
           usage.source = "codex";
           usage.fiveHour = metric("42% used", 42, "12:56 PM");
           usage.weekly = metric("18% used", 18);
           usage.label = "5h 42% used";
           fixture.snapshot.usageCarousel = {{"Codex", usage}};
           return fixture;
         }},
        {"collapsed-macbook",
         [] {
           auto fixture = base("collapsed-macbook", OverlayMode::collapsed);
           fixture.displayKind = DisplayKind::macBookPhysical;
           fixture.collapsedHeight = collapsedOverlayHeight(DisplayKind::macBookPhysical, 0, 38);
           addPermission(fixture.snapshot, "npm test", "low");
           return fixture;
         }},
        {"expanded-empty", [] { return base("expanded-empty", OverlayMode::expanded); }},
        {"text-panel", textPanelFixture},
        {"alert-startup-permissions", startupPermissionAlertFixture},
        {"expanded-1",
         [] {
           auto fixture = base("expanded-1", OverlayMode::expanded);
           addPermission(fixture.snapshot, "git push origin feature/login", "medium");
           return fixture;
         }},
        {"expanded-3",
         [] {
           auto fixture = base("expanded-3", OverlayMode::expanded);
           addPermission(fixture.snapshot, "npm install --save-dev vitest", "medium");
           Json choice{
               {"source", "codex"},
               {"source_type", "cli_agent"},
               {"project", "api"},
               {"cwd", "/home/dev/api"},
               {"event_type", "waiting_input"},
               {"title", "Which database should the tests use?"},
               {"message", "The suite needs a database for the integration tests."},
               {"session_id", "codex-7"},
               {"response_file", "/home/dev/api/.glimmet/choice-1.json"},
               {"options", Json::array({Json{{"id", "sqlite"}, {"label", "SQLite in memory"}},
                                        Json{{"id", "postgres"}, {"label", "Local PostgreSQL"}},
                                        Json{{"id", "skip"}, {"label", "Skip them"}}})},
               {"event_id", "choice-1"},
               {"timestamp", "2026-05-11T08:57:30Z"}};
           Json done{{"source", "gemini"},
                     {"source_type", "cli_agent"},
                     {"project", "docs"},
                     {"cwd", "/home/dev/docs"},
                     {"event_type", "task_completed"},
                     {"title", "Gemini CLI completed"},
                     {"message", "Lifecycle event captured locally."},
                     {"completion_snippet", "Rewrote the install guide and fixed 4 broken links."},
                     {"session_id", "gemini-3"},
                     {"event_id", "done-1"},
                     {"timestamp", "2026-05-11T08:41:00Z"}};
           auto more = messagesFrom({done.dump(), choice.dump()});
           std::vector<IslandMessage> messages = fixture.snapshot.messages;
           messages.insert(messages.end(), more.begin(), more.end());
           fixture.snapshot.messages = std::move(messages);
           return fixture;
         }},
        {"expanded-high-risk-armed",
         [] {
           auto fixture = base("expanded-high-risk-armed", OverlayMode::expanded);
           addPermission(fixture.snapshot, "rm -rf build dist node_modules", "high");
           click(fixture, "authorize");
           return fixture;
         }},
        {"expanded-hostile-text",
         [] {
           // What agents may send: very long text, control characters, right-to-left script and
           // emoji. All of it stays inside its box.
           auto fixture = base("expanded-hostile-text", OverlayMode::expanded);
           std::string longTitle = "Run: ";
           for (int i = 0; i < 40; ++i)
             longTitle += "very-long-argument-" + std::to_string(i) + " ";
           Json event{{"source", "claude_code"},
                      {"event_type", "task_failed"},
                      {"severity", "error"},
                      {"title", longTitle},
                      {"message",
                       "line one\nline two\ttabbed\x1b[31m red \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d "
                       "\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 \xf0\x9f\x9a\x80 done"},
                      {"session_id", "hostile"},
                      {"event_id", "hostile-1"},
                      {"timestamp", "2026-05-11T08:59:50Z"}};
           fixture.snapshot.messages = messagesFrom({event.dump()});
           return fixture;
         }},
    });
    addSettingsRenderFixtures(makers);
    return makers;
  }();
  return all;
}

}  // namespace

OverlayFrame RenderFixture::layout() const {
  return layoutOverlay(snapshot, state, displayKind, collapsedHeight, now);
}

std::vector<std::string> renderFixtureNames() {
  std::vector<std::string> names;
  for (const auto& [name, make] : fixtures()) names.push_back(name);
  return names;
}

std::optional<RenderFixture> renderFixture(const std::string& name) {
  const auto found = fixtures().find(name);
  if (found == fixtures().end()) return std::nullopt;
  return found->second();
}

}  // namespace glimmet

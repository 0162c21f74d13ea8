#include "ui/companion_fixtures.hpp"

#include "base/json_values.hpp"
#include "model/glimmet_event.hpp"
#include "ui/paint/companion_painter.hpp"
#include "ui/view/companion_frame.hpp"

namespace glimmet {

namespace {

constexpr const char* kFixtureTime = "2026-05-11T09:00:00Z";

GlimmetEvent event(const Json& object) {
  return parseGlimmetEvent(object, EventParseContext{"/home/dev"}).value_or(GlimmetEvent{});
}

RenderFixture still(const std::string& name, const CompanionViewInput& input) {
  RenderFixture fixture;
  fixture.name = name;
  fixture.now = *parseTimestamp(kFixtureTime);
  const CompanionFrame frame = layoutCompanion(input);
  fixture.still =
      RenderFixture::Still{frame.size, [frame](Canvas& canvas) { paintCompanion(canvas, frame); },
                           companionStateJson(frame)};
  return fixture;
}

}  // namespace

RenderFixtureMakers withCompanionRenderFixtures(RenderFixtureMakers fixtures) {
  fixtures["companion-bubble"] = [] {
    const GlimmetEvent request = event({{"source", "claude_code"},
                                        {"project", "glimmet"},
                                        {"event_type", "permission_request"},
                                        {"title", "Run: npm test"},
                                        {"event_id", "companion-approval"},
                                        {"timestamp", "2026-05-11T08:59:58Z"}});
    CompanionViewInput input;
    input.mode = CompanionDisplayMode::bubble;
    input.petState = PetState::approval;
    input.status = CompanionStatusItem{CompanionStatusKind::approval, "Run: npm test", request};
    return still("companion-bubble", input);
  };
  fixtures["companion-roaming"] = [] {
    const GlimmetEvent working = event({{"source", "codex"},
                                        {"project", "notes-app"},
                                        {"event_type", "working"},
                                        {"event_id", "companion-working"},
                                        {"timestamp", "2026-05-11T08:59:50Z"}});
    CompanionViewInput input;
    input.mode = CompanionDisplayMode::roaming;
    input.petState = PetState::working;
    input.status = CompanionStatusItem{CompanionStatusKind::working, "Codex working", working};
    return still("companion-roaming", input);
  };
  return fixtures;
}

}  // namespace glimmet

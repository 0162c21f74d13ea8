#include "ui/render_command.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>

#include "base/json_values.hpp"
#include "platform/file_system.hpp"
#include "ui/cairo/image_surface.hpp"
#include "ui/paint/overlay_painter.hpp"
#include "ui/render_fixtures.hpp"

namespace glimmet {

namespace {

constexpr const char* kRenderUsage =
    "Usage: glimmet render --list\n"
    "       glimmet render --out DIR [NAME...] [--scale N]\n"
    "\n"
    "Draws the overlay in known states (all of them when no NAME is given) to DIR/NAME.png,\n"
    "with DIR/NAME.json giving the mode, the size in points and the click targets (role,\n"
    "messageID where one applies, rect [x, y, width, height] in window pixels). --scale 2\n"
    "draws at twice the pixels, as on a dense screen.\n";

int fail(const std::string& text) {
  std::fprintf(stderr, "glimmet render: %s\n", text.c_str());
  return 1;
}

// The description of a still: the state text without the screen it was shown on, and the
// target rectangles in pixels.
std::string describe(const OverlayFrame& frame, double scale) {
  Json description = Json::parse(overlayStateJson(frame, ""));
  description.erase("screen");
  if (auto* targets = description.contains("targets") ? &description["targets"] : nullptr) {
    for (auto& target : *targets) {
      for (auto& value : target["rect"]) value = value.get<double>() * scale;
    }
  }
  description["scale"] = scale;
  return description.dump(2) + "\n";
}

int renderStill(const std::string& name, const RenderFixture::Still& still,
                const std::string& directory, double scale) {
  auto image = renderToImage(still.size, scale, still.paint);
  if (!image) return fail(image.error());
  const std::string base = directory + "/" + name;
  if (auto written = writePng(base + ".png", image.value()); !written) return fail(written.error());
  Json description = Json::parse(still.stateJson);
  description["scale"] = scale;
  if (auto written = writeFileAtomically(base + ".json", description.dump(2) + "\n", 0644);
      !written)
    return fail(written.error());
  return 0;
}

int renderOne(const std::string& name, const std::string& directory, double scale) {
  const auto fixture = renderFixture(name);
  if (!fixture) return fail("no fixture named " + name + " (see --list)");
  if (fixture->still) return renderStill(name, *fixture->still, directory, scale);
  const OverlayFrame frame = fixture->layout();
  auto image =
      renderToImage(frame.size, scale, [&frame](Canvas& canvas) { paintOverlay(canvas, frame); });
  if (!image) return fail(image.error());
  const std::string base = directory + "/" + name;
  if (auto written = writePng(base + ".png", image.value()); !written) return fail(written.error());
  if (auto written = writeFileAtomically(base + ".json", describe(frame, scale), 0644); !written)
    return fail(written.error());
  return 0;
}

}  // namespace

int runRenderCommand(const std::vector<std::string_view>& args) {
  std::string directory;
  double scale = 1;
  bool list = false;
  std::vector<std::string> names;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kRenderUsage, stdout);
      return 0;
    }
    if (arg == "--list") {
      list = true;
    } else if (arg == "--out" && i + 1 < args.size()) {
      directory = std::string(args[++i]);
    } else if (arg == "--scale" && i + 1 < args.size()) {
      const std::string_view text = args[++i];
      int value = 0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 4)
        return fail("--scale takes a whole number from 1 to 4");
      scale = value;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "glimmet render: unknown option %.*s\n\n%s",
                   static_cast<int>(arg.size()), arg.data(), kRenderUsage);
      return 2;
    } else {
      names.emplace_back(arg);
    }
  }
  if (list) {
    for (const auto& name : renderFixtureNames()) std::printf("%s\n", name.c_str());
    return 0;
  }
  if (directory.empty()) {
    std::fputs(kRenderUsage, stderr);
    return 2;
  }
  if (auto created = createDirectories(directory); !created) return fail(created.error());
  if (names.empty()) names = renderFixtureNames();
  int status = 0;
  for (const auto& name : names) status = std::max(status, renderOne(name, directory, scale));
  return status;
}

}  // namespace glimmet

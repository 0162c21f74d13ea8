#include "ui/alert_dialog_fixture.hpp"

#include "ui/cairo/text_width.hpp"
#include "ui/paint/alert_dialog_painter.hpp"
#include "ui/view/startup_permission_alert.hpp"

namespace glimmet {

RenderFixture startupPermissionAlertFixture() {
  RenderFixture fixture;
  fixture.name = "alert-startup-permissions";
  StartupPermissionNeeds needs;
  needs.codexPetsDirectory = true;
  needs.aiToolHooks = true;
  needs.hookToolIDs = {"claude-code"};
  const AlertDialogSpec spec = startupPermissionAlert(needs);
  auto measure = sharedTextWidthMeasure();
  // Without fonts nothing can be drawn either; the render then reports the missing fonts.
  const AlertTextMeasure widths =
      measure ? measure.value() : [](std::string_view, const FontSpec&) { return 0.0; };
  const AlertDialogLayout layout = layoutAlertDialog(spec, widths);
  fixture.still = RenderFixture::Still{
      layout.size, [spec, layout](Canvas& canvas) { paintAlertDialog(canvas, spec, layout); },
      alertDialogStateJson(spec, layout)};
  return fixture;
}

}  // namespace glimmet

#include "ui/text_panel_fixture.hpp"

#include "ui/paint/text_panel_painter.hpp"

namespace glimmet {

RenderFixture textPanelFixture() {
  RenderFixture fixture;
  fixture.name = "text-panel";
  TextPanelModel model = makeTextPanel("Which branch should the fix go to?", false);
  model.editor.insert("release/2.4, then tag it naïvely");
  // The caret inside the text, where Left put it.
  for (int i = 0; i < 8; ++i) model.editor.moveLeft();
  fixture.still = RenderFixture::Still{layoutTextPanel(model.multiline).size,
                                       [model](Canvas& canvas) { paintTextPanel(canvas, model); },
                                       textPanelStateJson(model)};
  return fixture;
}

}  // namespace glimmet

#pragma once

#include "ui/paint/canvas.hpp"
#include "ui/view/text_panel_view.hpp"

namespace glimmet {

// Draws the text panel's whole window: the prompt, the editor with its text (or the
// placeholder) and caret, and the Cancel, Jump and Submit buttons.
void paintTextPanel(Canvas& canvas, const TextPanelModel& model);

}  // namespace glimmet

#pragma once

#include "ui/paint/canvas.hpp"
#include "ui/view/alert_dialog.hpp"

namespace glimmet {

// Draws the alert's whole window from its layout: the message, the explanation and the
// buttons, the default one in the accent colour.
void paintAlertDialog(Canvas& canvas, const AlertDialogSpec& spec, const AlertDialogLayout& layout);

}  // namespace glimmet

#include "ui/view/startup_permission_alert.hpp"

namespace glimmet {

AlertDialogSpec startupPermissionAlert(const StartupPermissionNeeds& needs) {
  const StartupPermissionPrompt prompt = startupPermissionPrompt(needs);
  AlertDialogSpec spec;
  spec.title = "Glimmet";
  spec.message = prompt.message;
  spec.informativeText = prompt.informativeText;
  spec.buttons = prompt.buttons;
  spec.defaultButton = prompt.continueButton;
  spec.cancelButton = prompt.laterButton;
  return spec;
}

}  // namespace glimmet

#pragma once

#include "app/startup_permissions.hpp"
#include "ui/view/alert_dialog.hpp"

namespace glimmet {

// The first-run question as an alert: Continue answers with Return, Later with Escape or the
// close box.
AlertDialogSpec startupPermissionAlert(const StartupPermissionNeeds& needs);

}  // namespace glimmet

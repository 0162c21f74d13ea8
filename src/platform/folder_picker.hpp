#pragma once

#include <memory>
#include <optional>
#include <string>

namespace glimmet {

struct FolderPickerRequest {
  std::string title;
  std::string message;
  std::optional<std::string> startDirectory;
};

// Asks the user for one folder. Blocks until the user chooses or cancels, so it runs where
// waiting is allowed.
class FolderPicker {
 public:
  virtual ~FolderPicker() = default;
  // The chosen folder, or absent when the user cancelled or no picker could be shown.
  virtual std::optional<std::string> pickFolder(const FolderPickerRequest& request) = 0;
  // The chosen file, or absent as above. A chooser that can offer only folders asks for one.
  virtual std::optional<std::string> pickFile(const FolderPickerRequest& request) {
    return pickFolder(request);
  }
  // From any thread: closes a chooser open now and every later one (the application is
  // quitting), so that their picks give nothing at once.
  virtual void cancelPending() {}
};

// The desktop's folder chooser.
std::unique_ptr<FolderPicker> makeStandardFolderPicker();

}  // namespace glimmet

#include "base/text.hpp"
#include "platform/captured_process.hpp"
#include "platform/folder_picker.hpp"

namespace glimmet {

namespace {

// zenity's file and directory chooser: present on GNOME and most other desktops, and unlike the
// portal it needs no D-Bus conversation.
class ZenityFolderPicker final : public FolderPicker {
 public:
  std::optional<std::string> pickFolder(const FolderPickerRequest& request) override {
    return choose(request, true);
  }
  std::optional<std::string> pickFile(const FolderPickerRequest& request) override {
    return choose(request, false);
  }
  void cancelPending() override { cancelled_->store(true); }

 private:
  std::optional<std::string> choose(const FolderPickerRequest& request, bool directory) const {
    if (cancelled_->load()) return std::nullopt;
    ProcessRequest process;
    process.cancel = cancelled_;
    process.argv = {"zenity", "--file-selection", "--title", request.title};
    if (directory) process.argv.emplace_back("--directory");
    if (request.startDirectory) {
      process.argv.push_back("--filename=" + *request.startDirectory + "/");
    }
    // The user may browse for a while; a forgotten dialog still closes eventually.
    process.timeout = std::chrono::minutes(10);
    const CapturedProcessResult result = runCapturedProcess(process);
    if (!result.success) return std::nullopt;
    std::string chosen = trim(result.stdoutText);
    if (chosen.empty()) return std::nullopt;
    return chosen;
  }

  std::shared_ptr<std::atomic<bool>> cancelled_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace

std::unique_ptr<FolderPicker> makeStandardFolderPicker() {
  return std::make_unique<ZenityFolderPicker>();
}

}  // namespace glimmet

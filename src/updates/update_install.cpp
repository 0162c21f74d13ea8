#include "updates/update_install.hpp"

#include <filesystem>

#include <fmt/format.h>

#include "base/text.hpp"
#include "platform/detached_process.hpp"
#include "platform/file_replacement.hpp"
#include "platform/file_system.hpp"
#include "platform/private_files.hpp"
#include "updates/update_download.hpp"
#include "updates/update_install_script.hpp"

namespace glimmet {

namespace {

std::string parentOf(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

#ifdef __APPLE__
constexpr bool kAppBundles = true;
#else
constexpr bool kAppBundles = false;
#endif

bool isReplaceableTarget(const std::string& target) {
  if (kAppBundles) return std::filesystem::path(target).extension() == ".app";
  // Replacing anything but a whole program tree could delete a folder that is not ours.
  return isDirectory(target) && fileExists(target + "/bin/glimmet") &&
         !isDirectory(target + "/bin/glimmet");
}

std::string shellQuoted(const std::string& text) {
  return "'" + replaceAll(text, "'", "'\\''") + "'";
}

}  // namespace

UpdateInstallContext currentUpdateInstallContext(const Environment& environment) {
  return {updatesDirectory(environment), currentLoginName()};
}

std::string adminAppleScript(const std::vector<std::string>& scriptArguments) {
  std::vector<std::string> quoted;
  quoted.reserve(scriptArguments.size());
  for (const auto& argument : scriptArguments) quoted.push_back(shellQuoted(argument));
  const std::string command = join(quoted, " ") + " >/dev/null 2>&1 &";
  std::string escaped;
  escaped.reserve(command.size());
  for (const char c : command) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '"') {
      escaped += "\\\"";
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += c;
    }
  }
  return "do shell script \"" + escaped + "\" with administrator privileges";
}

Result<std::string> installAndRelaunch(const PendingUpdateInstallRequest& request,
                                       int64_t waitForPid, const UpdateScriptLauncher& launch,
                                       const UpdateInstallContext& context) {
  using R = Result<std::string>;
  if (!fileExists(request.artifactPath) || isDirectory(request.artifactPath)) {
    return R::failure("Downloaded update artifact is missing at " + request.artifactPath);
  }
  if (!isReplaceableTarget(request.targetPath)) {
    return R::failure("Current app bundle is not replaceable: " + request.targetPath);
  }
  const std::string parent = parentOf(request.targetPath);
  const bool parentWritable = isWritableDirectory(parent);
  // Linux has no system-wide password prompt to borrow; an installation in a system folder is
  // updated by the package manager that put it there.
  if (!parentWritable && !kAppBundles) {
    return R::failure("Current app location is not writable: " + parent);
  }
  if (auto created = createPrivateDirectories(context.updatesDirectory); !created) {
    return R::failure("Could not start updater: " + created.error());
  }
  const std::string name = "install-" + freshUUID();
  const std::string scriptPath = context.updatesDirectory + "/" + name + ".sh";
  const std::string logPath = context.updatesDirectory + "/" + name + ".log";
  if (auto written = writeFileAtomically(scriptPath, updateInstallScript(), 0755); !written) {
    return R::failure("Could not start updater: " + written.error());
  }
  const std::vector<std::string> scriptArguments = {scriptPath,
                                                    std::to_string(waitForPid),
                                                    request.artifactPath,
                                                    request.targetPath,
                                                    logPath,
                                                    request.relaunchAfterInstall ? "1" : "0",
                                                    context.loginName};
  std::vector<std::string> argv;
  if (parentWritable) {
    argv.emplace_back("/bin/sh");
    argv.insert(argv.end(), scriptArguments.begin(), scriptArguments.end());
  } else {
    argv = {"/usr/bin/osascript", "-e", adminAppleScript(scriptArguments)};
  }
  if (auto started = launch(argv); !started) {
    (void)removeFile(scriptPath);
    return R::failure("Could not start updater: " + started.error());
  }
  return logPath;
}

std::optional<std::string> installedProgramTarget(const std::string& executablePath) {
  const std::filesystem::path executable(executablePath);
  if (kAppBundles) {
    for (auto path = executable.parent_path(); path.has_relative_path();
         path = path.parent_path()) {
      if (path.extension() == ".app") return path.string();
    }
    return std::nullopt;
  }
  const auto bin = executable.parent_path();
  if (bin.filename() != "bin" || !bin.parent_path().has_relative_path()) return std::nullopt;
  return bin.parent_path().string();
}

std::string_view updateInstallScript() {
  for (const auto& script : embeddedUpdateScripts()) {
    if (script.name == "glimmet-update-install.sh") return script.text;
  }
  return {};
}

}  // namespace glimmet

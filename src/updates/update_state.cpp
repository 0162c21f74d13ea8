#include "updates/update_state.hpp"

#include <cmath>
#include <type_traits>

#include <fmt/format.h>

#include "base/text.hpp"

namespace glimmet {

namespace {

template <class... Cases>
struct Overloaded : Cases... {
  using Cases::operator()...;
};
template <class... Cases>
Overloaded(Cases...) -> Overloaded<Cases...>;

}  // namespace

std::string humanReadableByteSize(int64_t bytes) {
  if (bytes < 1024) return fmt::format("{} B", bytes);
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  if (value == std::floor(value)) return fmt::format("{:.0f} {}", value, kUnits[unit]);
  return fmt::format("{:.1f} {}", value, kUnits[unit]);
}

std::string aboutUpdateAvailableDetail(const UpgradeCheckResponse& response) {
  std::string kind;
  int64_t size = 0;
  if (response.artifact) {
    kind = toLower(trim(response.artifact->kind));
    size = response.artifact->sizeBytes;
  }
  if (kind.empty()) kind = "artifact";
  return fmt::format("v{} · {} · {}", response.latest.version, kind, humanReadableByteSize(size));
}

std::vector<AboutUpdateDisplayRow> aboutUpdateRows(const UpdateState& state,
                                                   std::string_view currentVersion) {
  const std::string current(currentVersion);
  return std::visit(
      Overloaded{
          [&](const UpdateUpToDate& upToDate) -> std::vector<AboutUpdateDisplayRow> {
            return {{"Current", current},
                    {"Status", "Glimmet is up to date"},
                    {"Checked", upToDate.checkedAt}};
          },
          [](const UpdateAvailable& available) -> std::vector<AboutUpdateDisplayRow> {
            const auto& latest = available.response.latest;
            std::vector<AboutUpdateDisplayRow> rows{
                {"Available", aboutUpdateAvailableDetail(available.response)},
                {"Released", latest.releaseDate.value_or("Unknown")}};
            for (const auto& note : latest.releaseNotes) rows.push_back({"Changelog", note, true});
            return rows;
          },
          [](const UpdateDownloading& downloading) -> std::vector<AboutUpdateDisplayRow> {
            return {{"Downloading", "v" + downloading.response.latest.version}};
          },
          [](const UpdateVerified& verified) -> std::vector<AboutUpdateDisplayRow> {
            return {{"Verified", "v" + verified.response.latest.version + " is ready"}};
          },
          [](const UpdateReadyToRestart& ready) -> std::vector<AboutUpdateDisplayRow> {
            return {{"Ready", "Restart to install v" + ready.response.latest.version}};
          },
          [](const UpdateError& error) -> std::vector<AboutUpdateDisplayRow> {
            return {{"Error", error.message}};
          },
          [&](const UpdateIdle&) -> std::vector<AboutUpdateDisplayRow> {
            return {{"Current", current}, {"Status", "No remote update feed configured"}};
          },
          [&](const UpdateChecking&) -> std::vector<AboutUpdateDisplayRow> {
            return {{"Current", current}, {"Status", "Checking for updates..."}};
          },
      },
      state);
}

AboutUpdatePrimaryAction aboutUpdatePrimaryAction(const UpdateState& state) {
  return std::visit(
      Overloaded{
          [](const UpdateAvailable&) { return AboutUpdatePrimaryAction::download; },
          [](const UpdateReadyToRestart&) { return AboutUpdatePrimaryAction::restartAndInstall; },
          [](const UpdateDownloading&) { return AboutUpdatePrimaryAction::busy; },
          [](const UpdateVerified&) { return AboutUpdatePrimaryAction::busy; },
          [](const UpdateChecking&) { return AboutUpdatePrimaryAction::busy; },
          [](const auto&) { return AboutUpdatePrimaryAction::checkForUpdates; },
      },
      state);
}

std::string_view aboutUpdatePrimaryActionTitle(const UpdateState& state) {
  switch (aboutUpdatePrimaryAction(state)) {
    case AboutUpdatePrimaryAction::checkForUpdates:
      return "Check now";
    case AboutUpdatePrimaryAction::download:
      return "Download Update";
    case AboutUpdatePrimaryAction::busy:
      return "Working...";
    case AboutUpdatePrimaryAction::restartAndInstall:
      return "Restart to Update";
  }
  return "Check now";
}

UpdateState updateStateAfterVerification(const UpgradeCheckResponse& response,
                                         const std::string& filePath) {
  const std::string channel =
      toLower(trim(response.policy ? response.policy->channel : std::string("stable")));
  const bool signedAndNotarized =
      response.security && response.security->isSigned && response.security->notarized;
  const bool allowTestInstall = response.policy && response.policy->allowTestInstall;
  if (channel == "stable" && !signedAndNotarized && !allowTestInstall) {
    return UpdateError{kNotSignedForProduction};
  }
  return UpdateReadyToRestart{response, filePath};
}

}  // namespace glimmet

#include "updates/update_download.hpp"

#include <cstdint>
#include <filesystem>
#include <random>

#include <fmt/format.h>

#include "base/text.hpp"
#include "jump/url_parts.hpp"
#include "platform/file_replacement.hpp"
#include "platform/file_system.hpp"
#include "platform/http_download.hpp"
#include "platform/private_files.hpp"
#include "platform/system_paths.hpp"
#include "updates/update_verify.hpp"

namespace glimmet {

namespace {

// A server may round the announced size or add a signature block; anything far beyond it is
// not the artifact the feed described.
constexpr uint64_t kSizeSlackBytes = 64 << 10;
// Without an announced size a hostile or broken server still cannot fill the disk.
constexpr uint64_t kUnknownSizeLimitBytes = uint64_t{4} << 30;

#ifdef __APPLE__
constexpr bool kTarArtifacts = false;
#else
constexpr bool kTarArtifacts = true;
#endif

// Decodes one UTF-8 sequence at `text[index]`; an invalid byte decodes as itself with length 1
// and counts as "other".
uint32_t nextCodePoint(std::string_view text, size_t index, size_t& length) {
  const auto byte = static_cast<unsigned char>(text[index]);
  length = 1;
  if (byte < 0x80) return byte;
  size_t extra = 0;
  uint32_t code = 0;
  if ((byte & 0xE0) == 0xC0) {
    extra = 1;
    code = byte & 0x1F;
  } else if ((byte & 0xF0) == 0xE0) {
    extra = 2;
    code = byte & 0x0F;
  } else if ((byte & 0xF8) == 0xF0) {
    extra = 3;
    code = byte & 0x07;
  } else {
    return 0xFFFD;
  }
  if (index + extra >= text.size()) return 0xFFFD;
  for (size_t i = 1; i <= extra; ++i) {
    const auto next = static_cast<unsigned char>(text[index + i]);
    if ((next & 0xC0) != 0x80) return 0xFFFD;
    code = (code << 6) | (next & 0x3F);
  }
  length = extra + 1;
  return code;
}

// Letters and digits of any script. Without a Unicode database this keeps every code point
// outside the blocks of punctuation, symbols, spaces, controls and private use, which is what
// matters for a file name: nothing kept can separate paths or hide the file.
bool isAlphanumeric(uint32_t code) {
  if (code < 0x80) {
    return (code >= '0' && code <= '9') || (code >= 'a' && code <= 'z') ||
           (code >= 'A' && code <= 'Z');
  }
  struct Range {
    uint32_t first;
    uint32_t last;
  };
  static constexpr Range kExcluded[] = {
      {0x0080, 0x00BF}, {0x00D7, 0x00D7}, {0x00F7, 0x00F7}, {0x2000, 0x2BFF},   {0x2E00, 0x2E7F},
      {0x3000, 0x303F}, {0xD800, 0xF8FF}, {0xFE00, 0xFE6F}, {0xFEFF, 0xFF0F},   {0xFF1A, 0xFF20},
      {0xFF3B, 0xFF40}, {0xFF5B, 0xFF65}, {0xFFF0, 0xFFFF}, {0x1F000, 0x1FAFF}, {0xE0000, 0x10FFFF},
  };
  for (const auto& range : kExcluded) {
    if (code >= range.first && code <= range.last) return false;
  }
  return code <= 0x10FFFF;
}

std::string parentOf(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

std::string hiddenSibling(const std::string& path, std::string_view suffix) {
  const std::filesystem::path target(path);
  return fmt::format("{}/.{}{}{}", parentOf(path), target.filename().string(), freshUUID(), suffix);
}

// Moves a verified staging file over the destination, or removes it: the staging file never
// outlives the call.
Status verifyAndPlace(const std::string& staging, const std::string& to,
                      std::string_view expectedSha256) {
  if (!verifyArtifactChecksum(staging, expectedSha256)) {
    (void)removeFile(staging);
    return Status::failure(std::string(kChecksumMismatchMessage));
  }
  if (auto moved = moveReplacing(staging, to); !moved) {
    (void)removeFile(staging);
    return moved;
  }
  return {};
}

bool isSupportedKind(std::string_view kind) {
  const std::string normalized = toLower(trim(kind));
  return normalized == "dmg" || normalized == "zip" || (kTarArtifacts && normalized == "tar.gz");
}

}  // namespace

std::string freshUUID() {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  uint64_t high = random();
  uint64_t low = random();
  high = (high & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull;  // version 4
  low = (low & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;    // RFC 4122 variant
  return fmt::format("{:08X}-{:04X}-{:04X}-{:04X}-{:012X}", high >> 32, (high >> 16) & 0xFFFF,
                     high & 0xFFFF, low >> 48, low & 0xFFFFFFFFFFFFull);
}

std::string sanitizedNameComponent(std::string_view text, std::string_view fallback) {
  std::string result;
  bool inRun = false;
  for (size_t index = 0; index < text.size();) {
    size_t length = 1;
    const uint32_t code = nextCodePoint(text, index, length);
    if (isAlphanumeric(code) || code == '.' || code == '_' || code == '-') {
      result.append(text.substr(index, length));
      inRun = false;
    } else if (!inRun) {
      result += '-';
      inRun = true;
    }
    index += length;
  }
  const size_t first = result.find_first_not_of(".-_");
  if (first == std::string::npos) return std::string(fallback);
  const size_t last = result.find_last_not_of(".-_");
  return result.substr(first, last - first + 1);
}

std::string safeArtifactExtension(std::string_view extension) {
  std::string normalized = toLower(trim(extension));
  if (normalized == "dmg" || normalized == "zip") return normalized;
  if (kTarArtifacts && normalized == "tar.gz") return normalized;
  return "artifact";
}

std::string artifactURLExtension(std::string_view url) {
  std::string path;
  if (const auto parts = parseURLParts(trim(url))) {
    path = parts->path;
  } else {
    path = std::string(url.substr(0, url.find_first_of("?#")));
  }
  const std::string name = toLower(std::filesystem::path(path).filename().string());
  if (endsWith(name, ".tar.gz")) return "tar.gz";
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string artifactFileName(std::string_view version, std::string_view url) {
  return fmt::format("Glimmet-{}.{}", sanitizedNameComponent(version, "update"),
                     safeArtifactExtension(artifactURLExtension(url)));
}

std::string updatesDirectory(const Environment& environment) {
  return applicationSupportDirectory(environment) + "/Updates";
}

Status copyLocalArtifact(const std::string& from, const std::string& to) {
  if (auto created = createPrivateDirectories(parentOf(to)); !created) return created;
  const std::string temporary = hiddenSibling(to, ".tmp");
  Status result = copyFileExclusive(from, temporary);
  if (result) result = moveReplacing(temporary, to);
  if (!result) (void)removeFile(temporary);
  return result;
}

Status stageVerifiedLocalArtifact(const std::string& from, const std::string& to,
                                  std::string_view expectedSha256) {
  if (auto created = createPrivateDirectories(parentOf(to)); !created) return created;
  const std::string staging = hiddenSibling(to, ".staging");
  if (auto copied = copyFileExclusive(from, staging); !copied) return copied;
  return verifyAndPlace(staging, to, expectedSha256);
}

Result<std::string> downloadRemoteArtifact(const UpdateDownloadRequest& request,
                                           const std::string& directory,
                                           const UpdateDownloadProgress& progress) {
  if (auto created = createPrivateDirectories(directory); !created) {
    return Result<std::string>::failure(created.error());
  }
  const std::string file = fmt::format("{}/.{}-{}.download", directory,
                                       artifactFileName(request.version, request.url), freshUUID());
  HttpDownloadRequest download;
  download.url = request.url;
  download.destination = file;
  download.maxBytes = request.sizeBytes > 0
                          ? request.sizeBytes + request.sizeBytes / 20 + kSizeSlackBytes
                          : kUnknownSizeLimitBytes;
  if (progress) {
    download.progress = [&progress, expected = request.sizeBytes](uint64_t received,
                                                                  uint64_t total) {
      const uint64_t size = total > 0 ? total : expected;
      if (size == 0) return;
      progress(received >= size ? 1.0 : static_cast<double>(received) / static_cast<double>(size));
    };
  }
  const Result<long> status = downloadToFile(download);
  if (!status) return Result<std::string>::failure(status.error());
  if (status.value() < 200 || status.value() > 299) {
    (void)removeFile(file);
    return Result<std::string>::failure(
        fmt::format("Update server returned HTTP {}", status.value()));
  }
  return file;
}

Status stageVerifiedRemoteArtifact(const UpdateDownloadRequest& request, const std::string& to,
                                   const UpdateDownloadProgress& progress) {
  const std::string directory = parentOf(to);
  const Result<std::string> downloaded = downloadRemoteArtifact(request, directory, progress);
  if (!downloaded) return Status::failure(downloaded.error());
  const std::string staging = hiddenSibling(to, ".staging");
  if (auto moved = moveReplacing(downloaded.value(), staging); !moved) {
    (void)removeFile(downloaded.value());
    return moved;
  }
  return verifyAndPlace(staging, to, request.sha256);
}

Result<std::string> fetchVerifiedArtifact(const UpdateDownloadRequest& request,
                                          const std::string& directory,
                                          const UpdateDownloadProgress& progress) {
  using R = Result<std::string>;
  if (!isSupportedKind(request.kind)) {
    return R::failure(
        fmt::format("Update v{} uses an unsupported artifact type.", request.version));
  }
  const auto url = parseURLParts(trim(request.url));
  if (!url || url->scheme.empty()) {
    return R::failure(fmt::format("Update v{} has an invalid artifact URL.", request.version));
  }
  const bool remote = url->scheme == "http" || url->scheme == "https";
  if (!remote && url->scheme != "file") {
    return R::failure(fmt::format("Update v{} has an unsupported artifact URL.", request.version));
  }
  const std::string destination = directory + "/" + artifactFileName(request.version, request.url);
  const Status staged =
      remote ? stageVerifiedRemoteArtifact(request, destination, progress)
             : stageVerifiedLocalArtifact(url->decodedPath(), destination, request.sha256);
  if (staged) return destination;
  if (staged.error() == kChecksumMismatchMessage) return R::failure(staged.error());
  return R::failure(fmt::format("Could not {} update artifact: {}", remote ? "download" : "copy",
                                staged.error()));
}

}  // namespace glimmet

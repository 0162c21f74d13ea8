#include "platform/private_files.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "platform/file_system.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::TempDir;

std::optional<unsigned> modeOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return info.st_mode & 07777;
}

// Runs `body` with the process umask set to `mask`, then puts the old one back.
template <typename Body>
void withUmask(mode_t mask, Body body) {
  const mode_t old = ::umask(mask);
  body();
  ::umask(old);
}

TEST(PrivateFilesTest, CreatedFoldersAreOwnerOnlyWhateverTheUmaskAndOldOnesKeepTheirMode) {
  TempDir dir;
  const std::string existing = dir.file("existing");
  std::filesystem::create_directories(existing);
  ASSERT_EQ(::chmod(existing.c_str(), 0755), 0);
  for (const mode_t mask : {mode_t{0}, mode_t{002}, mode_t{022}, mode_t{077}}) {
    SCOPED_TRACE(mask);
    const std::string deepest = existing + "/a/b/c";
    withUmask(mask, [&] { ASSERT_TRUE(createPrivateDirectories(deepest + "/").ok()); });
    EXPECT_EQ(modeOf(existing + "/a"), 0700u);
    EXPECT_EQ(modeOf(existing + "/a/b"), 0700u);
    EXPECT_EQ(modeOf(deepest), 0700u);
    EXPECT_EQ(modeOf(existing), 0755u);
    // Creating again changes nothing.
    ASSERT_EQ(::chmod(deepest.c_str(), 0750), 0);
    EXPECT_TRUE(createPrivateDirectories(deepest).ok());
    EXPECT_EQ(modeOf(deepest), 0750u);
    std::filesystem::remove_all(existing + "/a");
  }
  testing::writeText(dir.file("file"), "x");
  const auto blocked = createPrivateDirectories(dir.file("file") + "/below");
  ASSERT_FALSE(blocked.ok());
  EXPECT_NE(blocked.error().find(dir.file("file")), std::string::npos) << blocked.error();
}

TEST(PrivateFilesTest, OnlyARealFolderOfTheUserThatOthersCannotWriteIsTrusted) {
  TempDir dir;
  const std::string folder = dir.file("gh");
  std::filesystem::create_directories(folder);
  for (const unsigned mode : {0700u, 0755u, 0750u, 0500u}) {
    ASSERT_EQ(::chmod(folder.c_str(), mode), 0);
    EXPECT_EQ(untrustedDirectoryReason(folder), std::nullopt) << std::oct << mode;
  }
  ASSERT_EQ(::chmod(folder.c_str(), 0720), 0);
  EXPECT_EQ(untrustedDirectoryReason(folder),
            folder + " can be written by its group (mode 0720; chmod go-w fixes it)");
  ASSERT_EQ(::chmod(folder.c_str(), 01777), 0);
  EXPECT_EQ(untrustedDirectoryReason(folder),
            folder + " can be written by other users (mode 1777; chmod go-w fixes it)");
  ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);
  std::filesystem::create_directory_symlink(folder, dir.file("link"));
  EXPECT_EQ(untrustedDirectoryReason(dir.file("link")), dir.file("link") + " is a symbolic link");
  EXPECT_EQ(untrustedDirectoryReason(dir.file("link") + "//"),
            dir.file("link") + "// is a symbolic link");
  testing::writeText(dir.file("file"), "");
  EXPECT_EQ(untrustedDirectoryReason(dir.file("file")), dir.file("file") + " is not a directory");
  EXPECT_NE(untrustedDirectoryReason(dir.file("missing")), std::nullopt);
  if (const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr) {
    ASSERT_EQ(::chown(folder.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    EXPECT_EQ(untrustedDirectoryReason(folder),
              folder + " belongs to another user (uid " + std::to_string(nobody->pw_uid) + ")");
  }
}

TEST(PrivateFilesTest, RemovingOthersAccessChangesOnlyOwnWideFilesNeverThroughLinks) {
  TempDir dir;
  const std::string wideFile = dir.file("wide.jsonl");
  const std::string privateFile = dir.file("private.jsonl");
  const std::string folder = dir.file("folder");
  const std::string target = dir.file("target");
  const std::string link = dir.file("link");
  testing::writeText(wideFile, "");
  testing::writeText(privateFile, "");
  testing::writeText(target, "");
  std::filesystem::create_directories(folder);
  std::filesystem::create_symlink(target, link);
  ASSERT_EQ(::chmod(wideFile.c_str(), 0664), 0);
  ASSERT_EQ(::chmod(privateFile.c_str(), 0600), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0775), 0);
  ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
  const auto changed =
      removeOthersAccess({wideFile, privateFile, folder, link, dir.file("missing")});
  EXPECT_EQ(changed, (std::vector<std::string>{wideFile, folder}));
  EXPECT_EQ(modeOf(wideFile), 0600u);
  EXPECT_EQ(modeOf(privateFile), 0600u);
  EXPECT_EQ(modeOf(folder), 0700u);
  EXPECT_EQ(modeOf(target), 0644u);
  if (const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr) {
    ASSERT_EQ(::chown(target.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    EXPECT_TRUE(removeOthersAccess({target}).empty());
    EXPECT_EQ(modeOf(target), 0644u);
  }
}

TEST(PrivateFilesTest, BackupCopyKeepsModeOwnerAndGroup) {
  TempDir dir;
  const std::string original = dir.file("settings.json");
  testing::writeText(original, "{}");
  ASSERT_EQ(::chmod(original.c_str(), 0640), 0);
  const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
  if (nobody) {
    ASSERT_EQ(::chown(original.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  }
  withUmask(077, [&] { ASSERT_TRUE(copyFileExclusive(original, original + ".backup").ok()); });
  struct stat before {};
  struct stat after {};
  ASSERT_EQ(::stat(original.c_str(), &before), 0);
  ASSERT_EQ(::stat((original + ".backup").c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(testing::readText(original + ".backup"), "{}");
}

}  // namespace
}  // namespace glimmet

// File helpers on real files in a temporary directory.

#include "platform/file_system.hpp"
#include "platform/file_range_read.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace glimmet {
namespace {

using glimmet::testing::readText;
using glimmet::testing::TempDir;
using glimmet::testing::writeText;

unsigned permissions(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

std::vector<std::string> entries(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileSystemTest, WriteFileAtomicallySetsModeReplacesContentAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string secret = dir.file("secret.json");
  const std::string script = dir.file("bin/tool");  // the directory is created on the way

  ASSERT_TRUE(writeFileAtomically(secret, "{\"v\":1}\n", 0600));
  ASSERT_TRUE(writeFileAtomically(script, "#!/bin/sh\necho hi\n", 0755));
  EXPECT_EQ(permissions(secret), 0600u);
  EXPECT_EQ(permissions(script), 0755u);
  EXPECT_TRUE(isExecutableFile(script));
  EXPECT_FALSE(isExecutableFile(secret));
  EXPECT_EQ(readText(secret), "{\"v\":1}\n");

  // Replacing: new content whole, shorter than before, a new inode (readers of the old file
  // keep the old content), and the mode of the new write.
  const auto before = fileMetadata(secret);
  ASSERT_TRUE(before);
  ASSERT_TRUE(writeFileAtomically(secret, "{}", 0644));
  EXPECT_EQ(readText(secret), "{}");
  EXPECT_EQ(permissions(secret), 0644u);
  const auto after = fileMetadata(secret);
  ASSERT_TRUE(after);
  EXPECT_NE(after->inode, before->inode);
  EXPECT_EQ(after->size, 2u);

  // Empty content is a valid file.
  ASSERT_TRUE(writeFileAtomically(secret, "", 0600));
  EXPECT_EQ(readText(secret), "");
  EXPECT_TRUE(fileExists(secret));

  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"bin", "secret.json"}));
  EXPECT_EQ(entries(dir.file("bin")), (std::vector<std::string>{"tool"}));
}

TEST(FileSystemTest, WriteFileAtomicallyReportsFailuresAndLeavesNothingBehind) {
  TempDir dir;
  // A path below a regular file cannot exist, even for root.
  const std::string blocker = dir.file("plain-file");
  writeText(blocker, "not a directory");
  const Status status = writeFileAtomically(blocker + "/config.json", "x");
  ASSERT_FALSE(status);
  EXPECT_NE(status.error().find(blocker), std::string::npos) << status.error();
  EXPECT_NE(status.error().find("Not a directory"), std::string::npos) << status.error();
  EXPECT_EQ(readText(blocker), "not a directory");

  // The final rename fails when a non-empty directory sits at the target, again even for root:
  // the temporary file written before must not stay behind.
  const std::string occupied = dir.file("occupied");
  std::filesystem::create_directories(occupied + "/child");
  const Status replaced = writeFileAtomically(occupied, "x");
  ASSERT_FALSE(replaced);
  EXPECT_NE(replaced.error().find(occupied), std::string::npos) << replaced.error();
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"occupied", "plain-file"}));
  EXPECT_TRUE(isDirectory(occupied + "/child"));
}

TEST(FileSystemTest, WriteFileAtomicallyInAReadOnlyDirectoryKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
  TempDir dir;
  const std::string locked = dir.file("locked");
  std::filesystem::create_directories(locked);
  const std::string target = locked + "/settings.json";
  ASSERT_TRUE(writeFileAtomically(target, "old", 0600));
  ::chmod(locked.c_str(), 0555);
  const Status denied = writeFileAtomically(target, "new", 0600);
  ::chmod(locked.c_str(), 0755);
  ASSERT_FALSE(denied);
  EXPECT_NE(denied.error().find(target), std::string::npos) << denied.error();
  EXPECT_NE(denied.error().find("ermission denied"), std::string::npos) << denied.error();
  EXPECT_EQ(readText(target), "old");
  EXPECT_EQ(entries(locked), (std::vector<std::string>{"settings.json"}));
}

TEST(FileSystemTest, AppendToFileCreatesAndAppends) {
  TempDir dir;
  const std::string path = dir.file("events.jsonl");
  ASSERT_TRUE(appendToFile(path, "one\n"));
  ASSERT_TRUE(appendToFile(path, "two\n"));
  ASSERT_TRUE(appendToFile(path, ""));
  ASSERT_TRUE(appendToFile(path, "three"));
  EXPECT_EQ(readText(path), "one\ntwo\nthree");
  EXPECT_EQ(permissions(path) & 0600u, 0600u);

  // A directory in the way.
  const Status status = appendToFile(dir.path(), "x");
  ASSERT_FALSE(status);
  EXPECT_NE(status.error().find(dir.path()), std::string::npos) << status.error();
}

TEST(FileSystemTest, ReadFileFromHonoursOffsetAndLimit) {
  TempDir dir;
  const std::string path = dir.file("data.bin");
  // Larger than one read buffer, with every byte value including NUL.
  std::string content;
  for (int i = 0; i < 200000; ++i) content.push_back(static_cast<char>((i * 7 + i / 256) % 256));
  writeText(path, content);

  EXPECT_EQ(readFile(path), content);
  EXPECT_EQ(readFileFrom(path, 65535), content.substr(65535));
  EXPECT_EQ(readFileFrom(path, 70000, 100000), content.substr(70000, 100000));
  EXPECT_EQ(readFileFrom(path, 3, 0), std::string());
  // At or past the end: nothing, but the file was readable.
  EXPECT_EQ(readFileFrom(path, 200000), std::string());
  EXPECT_EQ(readFileFrom(path, 199990, 1000), content.substr(199990));

  EXPECT_FALSE(readFileFrom(dir.file("missing"), 0).has_value());
  EXPECT_FALSE(readFile(dir.path()).has_value()) << "a directory is not a file";
}

TEST(FileSystemTest, RemovalAndDirectoriesAreIdempotent) {
  TempDir dir;
  const std::string path = dir.file("a.txt");
  writeText(path, "12345");
  ASSERT_TRUE(removeFile(path));
  EXPECT_FALSE(fileExists(path));
  EXPECT_TRUE(removeFile(path)) << "removing a missing file is not an error";
  ASSERT_TRUE(createDirectories(dir.file("x/y/z")));
  EXPECT_TRUE(isDirectory(dir.file("x/y/z")));
  EXPECT_TRUE(createDirectories(dir.file("x/y/z"))) << "existing directories are fine";
}

}  // namespace
}  // namespace glimmet

namespace glimmet {
namespace {

// The kilobytes of transparent huge pages behind the mapping that holds `address`.
long hugePageKilobytesAt(const void* address) {
  std::ifstream smaps("/proc/self/smaps");
  const auto at = reinterpret_cast<uintptr_t>(address);
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    uintptr_t from = 0;
    uintptr_t to = 0;
    char dash = 0;
    std::istringstream header(line);
    if (header >> std::hex >> from >> dash >> to && dash == '-') {
      inside = from <= at && at < to;
    } else if (inside && line.rfind("AnonHugePages:", 0) == 0) {
      return std::stol(line.substr(14));
    }
  }
  return 0;
}

TEST(FileRangeReadTest, AReadBufferOfMegabytesGetsLargePagesWhereTheSystemOffersThem) {
  std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(setting, modes);
  if (modes.find("[never]") != std::string::npos || modes.empty()) {
    GTEST_SKIP() << "transparent huge pages are off here";
  }
  // Eight and a bit megabytes, as a read window is: three or four whole 2 MiB blocks inside.
  constexpr size_t kLength = (size_t{8} << 20) + 64;
  auto buffer = std::make_unique_for_overwrite<char[]>(kLength);
  preferLargePages(buffer.get(), kLength);
  std::fill(buffer.get(), buffer.get() + kLength, 'x');
  EXPECT_GE(hugePageKilobytesAt(buffer.get() + (size_t{4} << 20)), 2048);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(buffer[kLength - 1], 'x');
  // A buffer smaller than one large page is left as it is, wherever it lies.
  auto small = std::make_unique<char[]>(4096);
  preferLargePages(small.get(), 4096);
  preferLargePages(small.get() + 1, 0);
}

}  // namespace
}  // namespace glimmet

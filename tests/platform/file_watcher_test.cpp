// File watches on real files in a temporary directory, driven by the real main loop.

#include "platform/file_watcher.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/file_system.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using glimmet::testing::appendText;
using glimmet::testing::TempDir;
using glimmet::testing::writeText;

constexpr Seconds kWatchDeadline{10.0};

struct Recorder {
  std::vector<FileEventKind> events;
  FileWatcher::Callback callback() {
    return [this](FileEventKind kind) { events.push_back(kind); };
  }
  bool saw(FileEventKind kind) const {
    for (const auto event : events) {
      if (event == kind) return true;
    }
    return false;
  }
};

std::unique_ptr<FileWatcher> watchOrFail(MainLoop& loop, const std::string& path,
                                         FileWatcher::Callback callback) {
  auto watcher = FileWatcher::watch(loop, path, std::move(callback));
  EXPECT_TRUE(watcher.ok()) << (watcher.ok() ? "" : watcher.error());
  return watcher.ok() ? std::move(watcher.value()) : nullptr;
}

TEST(FileWatcherTest, WritingToAWatchedFileReportsChanged) {
  MainLoop loop;
  TempDir dir;
  const std::string path = dir.file("events.jsonl");
  writeText(path, "first\n");
  Recorder recorder;
  auto watcher = watchOrFail(loop, path, recorder.callback());
  ASSERT_TRUE(watcher);

  appendText(path, "second\n");
  ASSERT_TRUE(loop.runUntil([&] { return !recorder.events.empty(); }, kWatchDeadline));
  EXPECT_TRUE(recorder.saw(FileEventKind::changed));
  EXPECT_FALSE(recorder.saw(FileEventKind::removed)) << "an append is not a removal";

  // The watch keeps working for later writes.
  recorder.events.clear();
  ASSERT_TRUE(appendToFile(path, "third\n"));
  ASSERT_TRUE(loop.runUntil([&] { return recorder.saw(FileEventKind::changed); }, kWatchDeadline));
}

TEST(FileWatcherTest, DeletingOrRenamingAWatchedFileReportsRemoved) {
  MainLoop loop;
  TempDir dir;
  const std::string deleted = dir.file("deleted.jsonl");
  const std::string renamed = dir.file("renamed.jsonl");
  writeText(deleted, "x\n");
  writeText(renamed, "y\n");
  Recorder deleteRecorder;
  Recorder renameRecorder;
  auto deleteWatcher = watchOrFail(loop, deleted, deleteRecorder.callback());
  auto renameWatcher = watchOrFail(loop, renamed, renameRecorder.callback());
  ASSERT_TRUE(deleteWatcher && renameWatcher);

  std::filesystem::remove(deleted);
  std::filesystem::rename(renamed, dir.file("moved-away.jsonl"));
  ASSERT_TRUE(loop.runUntil(
      [&] {
        return deleteRecorder.saw(FileEventKind::removed) &&
               renameRecorder.saw(FileEventKind::removed);
      },
      kWatchDeadline));

  // Replacing the file by renaming another over it removes the watched file too.
  const std::string replaced = dir.file("replaced.jsonl");
  writeText(replaced, "old\n");
  Recorder replaceRecorder;
  auto replaceWatcher = watchOrFail(loop, replaced, replaceRecorder.callback());
  ASSERT_TRUE(writeFileAtomically(replaced, "new\n"));
  ASSERT_TRUE(
      loop.runUntil([&] { return replaceRecorder.saw(FileEventKind::removed); }, kWatchDeadline));
}

TEST(FileWatcherTest, DirectoryWatchSeesAFileAppear) {
  MainLoop loop;
  TempDir dir;
  Recorder recorder;
  auto watcher = watchOrFail(loop, dir.path(), recorder.callback());
  ASSERT_TRUE(watcher);
  EXPECT_TRUE(recorder.events.empty());

  writeText(dir.file("events.jsonl"), "{}\n");
  ASSERT_TRUE(loop.runUntil([&] { return !recorder.events.empty(); }, kWatchDeadline));
}

TEST(FileWatcherTest, OnlyTheWatchedDirectoryGoingAwayReportsRemoved) {
  MainLoop loop;
  TempDir dir;
  const std::string watched = dir.file("Glimmet");
  std::filesystem::create_directory(watched);
  Recorder recorder;
  auto watcher = watchOrFail(loop, watched, recorder.callback());
  ASSERT_TRUE(watcher);

  // Entries created, renamed and deleted: the directory watch itself goes on.
  writeText(watched + "/events.jsonl", "{}\n");
  std::filesystem::rename(watched + "/events.jsonl", watched + "/moved.jsonl");
  std::filesystem::remove(watched + "/moved.jsonl");
  writeText(watched + "/witness", "");
  ASSERT_TRUE(loop.runUntil([&] { return recorder.events.size() >= 4; }, kWatchDeadline));
  EXPECT_FALSE(recorder.saw(FileEventKind::removed)) << "an entry's change is not a removal";

  // The directory deleted: the watch is gone, and says so.
  std::filesystem::remove_all(watched);
  ASSERT_TRUE(loop.runUntil([&] { return recorder.saw(FileEventKind::removed); }, kWatchDeadline));
}

TEST(FileWatcherTest, WatchingAMissingPathFailsWithItsName) {
  MainLoop loop;
  TempDir dir;
  const std::string missing = dir.file("not-there/events.jsonl");
  auto watcher = FileWatcher::watch(loop, missing, [](FileEventKind) {});
  ASSERT_FALSE(watcher.ok());
  EXPECT_NE(watcher.error().find(missing), std::string::npos) << watcher.error();
  EXPECT_NE(watcher.error().find("no such file"), std::string::npos) << watcher.error();
}

TEST(FileWatcherTest, StoppedWatchesReportNothingEvenWhenStoppedFromTheirCallback) {
  MainLoop loop;
  TempDir dir;
  const std::string path = dir.file("events.jsonl");
  writeText(path, "a\n");

  // The event store drops and reinstalls its watcher from inside the watcher's own callback.
  int calls = 0;
  std::unique_ptr<FileWatcher> selfDestroying;
  selfDestroying = watchOrFail(loop, path, [&](FileEventKind) {
    ++calls;
    selfDestroying.reset();
  });
  // A second watch of the same file, to tell when later writes were delivered.
  Recorder witness;
  auto witnessWatcher = watchOrFail(loop, path, witness.callback());
  ASSERT_TRUE(selfDestroying && witnessWatcher);

  appendText(path, "b\n");
  ASSERT_TRUE(loop.runUntil([&] { return calls > 0 && !witness.events.empty(); }, kWatchDeadline));
  EXPECT_EQ(selfDestroying, nullptr);
  EXPECT_EQ(calls, 1);

  witness.events.clear();
  appendText(path, "c\n");
  ASSERT_TRUE(loop.runUntil([&] { return !witness.events.empty(); }, kWatchDeadline));
  EXPECT_EQ(calls, 1) << "a destroyed watcher still reported";

  // Destroyed from outside, before anything happened.
  int droppedCalls = 0;
  auto dropped = watchOrFail(loop, path, [&](FileEventKind) { ++droppedCalls; });
  dropped.reset();
  witness.events.clear();
  appendText(path, "d\n");
  ASSERT_TRUE(loop.runUntil([&] { return !witness.events.empty(); }, kWatchDeadline));
  EXPECT_EQ(droppedCalls, 0);
}

}  // namespace
}  // namespace glimmet

// Files opened ahead of a run on threads of their own: the run gets the right file or none, never
// waits, and nothing stays open once the run lets go; and the list of a script's rule files is
// the order the run reaches them in.
#include "job/files_opened_ahead.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "job/entry_rules.h"
#include "testing/locked_file_system.h"
#include "testing/memory_file_system.h"

namespace velmora {
namespace {

std::string ReadAll(Stream& file) {
  std::string bytes;
  char buffer[256];
  for (size_t got; (got = file.Read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, got);
  return bytes;
}

// Waits up to 10 s for `done`.
template <typename Done>
bool Eventually(Done done) {
  for (int k = 0; k < 10000 && !done(); ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

// A run over random lists of files, some missing, some named twice, taking each when it comes
// and opening it itself when it is not yet open: every file reads as it is, and none is open once
// the run has let go.
TEST(FilesOpenedAheadTest, EveryFileReadsAsItIsAndNoneStaysOpen) {
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    MemoryFileSystem memory;
    LockedFileSystem files(memory);
    std::vector<std::string> paths;
    for (int k = 0; k < 120; ++k) {
      const std::string path = "/d/f" + std::to_string(random() % 90) + ".bin";
      if (random() % 5 != 0) memory.PutFile(path, "bytes of " + path);
      paths.push_back(path);
    }
    size_t opened_here = 0;
    {
      FilesOpenedAhead ahead(files, paths);
      // Once a file is open ahead, the run takes at least that one from the threads.
      ASSERT_TRUE(Eventually([&] { return files.MostOpenAtOnce() > 0; }));
      for (const std::string& path : paths) {
        if (random() % 4 == 0)
          std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
        std::unique_ptr<Stream> file = ahead.Take(path);
        bool present = true;
        if (!file) {
          file = files.OpenSharedIfPresent(path, &present);
          ++opened_here;
        }
        ASSERT_EQ(present, files.FileIsPresent(path)) << path;
        if (!present) continue;
        ASSERT_TRUE(file) << path;
        EXPECT_EQ(ReadAll(*file), "bytes of " + path);
        ahead.GiveBack(std::move(file));
      }
    }
    EXPECT_EQ(memory.OpenStreamCount(), 0) << "round " << round;
    EXPECT_LT(opened_here, paths.size()) << "no file was opened ahead";
  }
}

TEST(FilesOpenedAheadTest, OnlyTheNextPathIsGivenAndAnotherPassesNothing) {
  MemoryFileSystem memory;
  LockedFileSystem files(memory);
  const std::vector<std::string> paths = {"/a.bin", "/b.bin", "/a.bin"};
  for (const char* path : {"/a.bin", "/b.bin", "/c.bin"}) memory.PutFile(path, path);
  FilesOpenedAhead ahead(files, paths);
  ASSERT_TRUE(Eventually([&] { return files.MostOpenAtOnce() == 3; }));
  EXPECT_EQ(ahead.Take("/b.bin"), nullptr);  // not the next one
  EXPECT_EQ(ahead.Take("/c.bin"), nullptr);  // not on the list at all
  std::unique_ptr<Stream> first = ahead.Take("/a.bin");
  ASSERT_TRUE(first);
  EXPECT_EQ(ReadAll(*first), "/a.bin");
  ahead.GiveBack(std::move(first));
  std::unique_ptr<Stream> second = ahead.Take("/b.bin");
  ASSERT_TRUE(second);
  EXPECT_EQ(ReadAll(*second), "/b.bin");
  // The file given back before is closed once the run has gone past it.
  ASSERT_TRUE(Eventually([&] {
    const std::unique_lock<std::mutex> hold = files.Hold();
    return memory.OpenStreamCount() == 2;
  }));
}

TEST(FilesOpenedAheadTest, NoMoreThanTheirShareAreOpenedBeforeTheRunComes) {
  MemoryFileSystem memory;
  LockedFileSystem files(memory);
  std::vector<std::string> paths;
  for (int k = 0; k < 100; ++k) {
    paths.push_back("/f" + std::to_string(k));
    memory.PutFile(paths.back(), "x");
  }
  FilesOpenedAhead ahead(files, paths);
  const int most = static_cast<int>(FilesOpenedAhead::kMostAhead);
  ASSERT_TRUE(Eventually([&] { return files.MostOpenAtOnce() == most; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(files.MostOpenAtOnce(), most);
}

// The run's walk: rule files in the order of the source index (not of the script's lines), a
// duplicated id's file once per entry, lines of ids the archive lacks left out, other kinds left
// out, and nothing from the rule that names the target on, where the run ends.
TEST(RuleFilesInWalkOrderTest, ListsTheFilesInTheOrderTheRunReachesThem) {
  JobState job;
  job.ScriptDir = "/mods/";
  job.TargetPath = "/mods/ui-new.wdf";
  job.Script = std::make_unique<ScriptLines>(
      "#SrcFile=ui.wdf\r\n"
      "@00000003=three.bin ; comment\r\n"
      "@00000001=art\\one.png\r\n"
      "@00000002=@00000001\r\n"
      "@00000004=@Delete\r\n"
      "@00000005=other.wdf/@00000009\r\n"
      "@00000009=nine.bin\r\n"
      "@00000006=UI-NEW.WDF\r\n"
      "@00000007=seven.bin\r\n");
  for (uint32_t id : {1u, 2u, 3u, 4u, 3u, 5u, 6u, 7u}) job.SourceIndex.push_back({id, 0, 0, 0});
  EntryRuleLines lines;
  EXPECT_EQ(RuleFilesInWalkOrder(job, lines),
            (std::vector<std::string>{"/mods/art\\one.png", "/mods/three.bin", "/mods/three.bin"}));
}

}  // namespace
}  // namespace velmora

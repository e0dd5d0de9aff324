// A mod's parts written together on two threads over the real disk: a failure or a cancel in
// any part while the others run stops them all and leaves every archive as it was; a mod that
// succeeds shows one progress over all the parts' entries, counted once each and in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "job/mod_parts.h"
#include "job/program_entry.h"
#include "testing/archive_bytes.h"
#include "testing/packing_front_end.h"
#include "testing/recording_view.h"
#include "testing/scratch_directory.h"

namespace velmora {
namespace {

constexpr int kParts = 3;
constexpr uint32_t kEntries = 64;  // per archive: enough for the parts' runs to overlap

std::string Archive(int part, char fill) {
  std::vector<TestResource> entries;
  for (uint32_t id = 1; id <= kEntries; ++id) {
    entries.push_back({id, std::string(4096, static_cast<char>(fill + part))});
  }
  return ArchiveOf(entries);
}

// The game's archives and a mod whose part `broken` names, late in its archive, an entry file
// that does not exist (-1: none does).
void PutGame(const ScratchDirectory& dir, int broken) {
  std::string mod = "#ModBase=..\\\r\n";
  for (int k = 0; k < kParts; ++k) {
    const std::string name = "a" + std::to_string(k) + ".wdf";
    dir.Put("game/" + name, Archive(k, 'a'));
    std::string part = "#SrcPath=..\\..\\\r\n#SrcFile=" + name + "\r\n#DestPath=..\\..\\\r\n" +
                       "#DestFile=" + name + "\r\n#InPlace=yes\r\n@00000001=new.bin\r\n";
    if (k == broken) part += "@0000003C=missing.bin\r\n";
    dir.Put("game/mod/" + std::to_string(k) + "/part.vlm", part);
    dir.Put("game/mod/" + std::to_string(k) + "/new.bin", "new");
    mod += "#ModPart" + std::to_string(k + 1) + "=" + std::to_string(k) + "\\part.vlm\r\n";
  }
  dir.Put("game/mod/mod.vlm", mod);
}

// The mod's script as a run names it: every separator a backslash.
std::string ScriptPath(const ScratchDirectory& dir) {
  std::string path = dir.Path("game/mod/mod.vlm");
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::vector<std::string> FileNames(const ScratchDirectory& dir) {
  std::vector<std::string> names;
  for (const auto& file : std::filesystem::directory_iterator(dir.Path("game"))) {
    names.push_back(file.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ModPartsTest, AFailureOrCancelOfAnyPartWhileTheOthersRunLeavesEveryArchiveAsItWas) {
  struct Case {
    const char* Name;
    int Broken;         // the part with a missing entry file
    int64_t StopAfter;  // entries of all parts begun before the person cancels
  };
  const Case cases[] = {
      {"a missing file in the first part", 0, -1},
      {"a missing file in the second part", 1, -1},
      {"a missing file in the last part", 2, -1},
      {"a cancel early", -1, 5},
      {"a cancel halfway", -1, kParts * kEntries / 2},
      {"a cancel before the last entry", -1, kParts * kEntries - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ScratchDirectory dir("mod-parts");
    PutGame(dir, c.Broken);
    const std::vector<std::string> before = FileNames(dir);
    RecordingView view;
    view.StopAfterReports = c.StopAfter;
    PackingFrontEnd front(SystemFileSystem(), view);
    front.PartThreads = 2;
    JobState job;
    job.ScriptPath = ScriptPath(dir);
    RunScriptEntry(job, SystemFileSystem(), view, front);
    EXPECT_FALSE(front.ModChanged);
    EXPECT_EQ(FileNames(dir), before) << "a new archive or a backup was left";
    for (int k = 0; k < kParts; ++k) {
      EXPECT_EQ(dir.Get("game/a" + std::to_string(k) + ".wdf"), Archive(k, 'a'));
    }
    ASSERT_GE(view.Boxes.size(), 2u);
    // The failure reported is the failing part's, whatever the others were doing meanwhile.
    const std::string& failure = view.Boxes[view.Boxes.size() - 2].Text;
    EXPECT_EQ(failure.find("missing.bin") != std::string::npos, c.Broken >= 0) << failure;
    if (c.StopAfter >= 0) {
      // Each of the two threads may have passed its stop check just before the cancel.
      EXPECT_LE(view.Progress.size(), static_cast<size_t>(c.StopAfter) + 1);
    }
  }
}

TEST(ModPartsTest, PartsWrittenTogetherShowOneProgressOverAllTheirEntries) {
  ScratchDirectory dir("mod-parts");
  PutGame(dir, -1);
  RecordingView view;
  PackingFrontEnd front(SystemFileSystem(), view);
  front.PartThreads = 2;
  JobState job;
  job.ScriptPath = ScriptPath(dir);
  RunScriptEntry(job, SystemFileSystem(), view, front);
  ASSERT_TRUE(front.ModChanged) << (view.Boxes.empty() ? "" : view.Boxes.back().Text);
  std::vector<uint32_t> every(size_t{kParts} * kEntries);
  std::iota(every.begin(), every.end(), 0u);
  EXPECT_EQ(view.Progress, every);
  EXPECT_EQ(view.FinishedCalls, 1);
  for (int k = 0; k < kParts; ++k) {
    const std::string archive = dir.Get("game/a" + std::to_string(k) + ".wdf");
    EXPECT_NE(archive, Archive(k, 'a'));
    EXPECT_NE(archive.find("new"), std::string::npos);
    EXPECT_EQ(dir.Get("game/a" + std::to_string(k) + ".wdf.1.bak"), Archive(k, 'a'));
  }
}

}  // namespace
}  // namespace velmora

// The Studio's document against the run itself, over the random archives and scripts of the
// differential test: what the document says a rebuild writes is what the run writes, and what
// it saves reads back as the same changes with every other line left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "job/program_entry.h"
#include "studio/studio_document.h"
#include "testing/packing_front_end.h"
#include "testing/gbk_lead_bytes.h"
#include "testing/letter_case_reading_file_system.h"
#include "testing/memory_file_system.h"
#include "testing/random_pack_case.h"
#include "testing/recording_view.h"
#include "testing/studio_edits.h"
#include "wdf/archive_index.h"

namespace velmora {
namespace {

using random_pack_case::Case;
using random_pack_case::CaseMaker;
using random_pack_case::kDataDir;
using random_pack_case::kDir;

const std::string kScript = kDir + "ui.vlm";
const studio_edits::EditFiles kEditFiles{kDir + "pic.bin", kDir + "pics\\a.bmp",
                                         kDataDir + "other.wdf"};

struct WrittenEntry {
  uint32_t Id;
  std::string Bytes;
  bool operator==(const WrittenEntry& o) const { return Id == o.Id && Bytes == o.Bytes; }
};

std::ostream& operator<<(std::ostream& out, const WrittenEntry& e) {
  return out << "@" << std::hex << e.Id << std::dec << " (" << e.Bytes.size() << " bytes)";
}

// A case of the differential test as a script of its own: the keys that lead to its source and
// target, then its lines. Faults that happen during a run are left out: no reading beforehand
// can foresee them.
std::string CaseScript(Case* c, std::mt19937& random) {
  c->StopAfter = -1;
  c->WriteLimit = -1;
  c->FailReadsOf.clear();
  c->ChangeAt = -1;
  const bool in_place = random() % 5 == 0;
  return std::string("#SrcFile=data\\ui.wdf\r\n") +
         (in_place ? "#DestFile=data\\ui.wdf\r\n#InPlace=yes\r\n" : "#DestFile=data\\new.wdf\r\n") +
         c->Script;
}

// The files rules read, kept under names in another letter case: a run finds them there where
// the system tells cases apart, and so must the document.
void ShiftLetterCase(Case* c) {
  for (auto& file : c->Files) {
    if (file.first == kDataDir + "other.wdf") file.first = kDataDir + "OTHER.wdf";
    if (file.first == kDir + "pic.bin") file.first = kDir + "Pic.BIN";
  }
}

void PutCase(MemoryFileSystem& files, const Case& c, const std::string& script) {
  files.SetHeldFilesStayInPlace(c.HeldFilesStay);
  for (const auto& file : c.Files) files.PutFile(file.first, file.second);
  files.PutFile(kScript, script);
}

std::vector<WrittenEntry> PredictedEntries(StudioDocument& document) {
  std::vector<WrittenEntry> entries;
  for (uint32_t position : document.Rows(RowFilter(), EntryColumn::kPosition, false)) {
    const RowFacts row = document.Row(position);
    if (row.State != RowState::kUnchanged && row.State != RowState::kChanged &&
        row.State != RowState::kAdded) {
      continue;
    }
    WrittenEntry entry{row.Id, {}};
    EXPECT_TRUE(document.ReadRowBytes(position, row.Size, &entry.Bytes));
    EXPECT_EQ(entry.Bytes.size(), row.Size);
    entries.push_back(entry);
  }
  return entries;
}

std::vector<WrittenEntry> ArchiveEntries(MemoryFileSystem& files, const std::string& path) {
  std::vector<WrittenEntry> entries;
  std::unique_ptr<Stream> stream = files.OpenShared(path);
  ArchiveIndex index;
  if (!stream || ReadArchiveIndex(*stream, &index) != ArchiveFault::kNone) {
    ADD_FAILURE() << "the run wrote no archive at " << path;
    return entries;
  }
  const std::string bytes = files.FileBytes(path);
  for (const WdfEntry& entry : index.Entries) {
    entries.push_back({entry.Id, bytes.substr(entry.Offset, entry.Size)});
  }
  return entries;
}

TEST(StudioDocumentPropertyTest, WhatTheDocumentPredictsIsWhatTheRunWrites) {
  [[maybe_unused]] GbkLeadBytes gbk;
#if defined(_WIN32)
  const uint32_t cases = 150;
#else
  const uint32_t cases = 1000;
#endif
  int succeeded = 0;
  int failed = 0;
  for (uint32_t seed = 1; seed <= cases; ++seed) {
    Case c = CaseMaker(seed).Make(false);
    std::mt19937 random(seed);
    const std::string script = CaseScript(&c, random);
    SCOPED_TRACE("case seed " + std::to_string(seed) + ", script:\n" + script);
    if (seed % 3 == 0) ShiftLetterCase(&c);
    MemoryFileSystem stored;
    LetterCaseReadingFileSystem files(stored);
    PutCase(stored, c, script);
    if (c.TargetExists) stored.PutFile(random_pack_case::kTarget, "the old archive");

    std::vector<WrittenEntry> predicted;
    std::vector<PlannedFailure> failures;
    EntryPlan plan;
    std::string target;
    {
      // Closed before the run, as the window closes it for a rebuild in place.
      StudioDocument document(files);
      std::string problem;
      ASSERT_TRUE(document.Open(kScript, &problem)) << problem;
      predicted = PredictedEntries(document);
      failures = document.RebuildFailures();
      plan = document.Plan();
      target = document.TargetPath();
    }

    JobState job;
    job.ScriptPath = kScript;
    RecordingView view;
    PackingFrontEnd front(files, view);
    RunScriptEntry(job, files, view, front);
    const bool refused = std::any_of(
        view.Boxes.begin(), view.Boxes.end(),
        [](const RecordingView::Box& box) { return box.Kind == RecordingView::Box::kError; });
    if (job.ErrorText.empty() && refused) continue;  // refused before it began
    if (job.ErrorText.empty()) {
      ++succeeded;
      EXPECT_TRUE(failures.empty()) << failures.front().Reason;
      EXPECT_EQ(predicted, ArchiveEntries(stored, target));
    } else {
      ++failed;
      ASSERT_FALSE(plan.Failures.empty()) << "the run failed: " << job.ErrorText << " / "
                                          << (view.Boxes.empty() ? "" : view.Boxes.back().Text);
      EXPECT_EQ(plan.Failures.front().Reason, job.ErrorText);
    }
    if (::testing::Test::HasFailure()) break;  // one case in full is enough to read
  }
  // Both outcomes are common enough to be compared.
  EXPECT_GT(succeeded, static_cast<int>(cases / 10));
  EXPECT_GT(failed, static_cast<int>(cases / 10));
}

TEST(StudioDocumentPropertyTest, SavedEditsReadBackAsTheSameChangesAndLeaveOtherLinesAlone) {
  [[maybe_unused]] GbkLeadBytes gbk;
#if defined(_WIN32)
  const uint32_t cases = 100;
#else
  const uint32_t cases = 400;
#endif
  for (uint32_t seed = 1; seed <= cases; ++seed) {
    Case c = CaseMaker(seed).Make(false);
    std::mt19937 random(seed * 7919);
    const std::string script = CaseScript(&c, random);
    SCOPED_TRACE("case seed " + std::to_string(seed) + ", script:\n" + script);
    MemoryFileSystem files;
    PutCase(files, c, script);
    StudioDocument document(files);
    std::string problem;
    std::string unwritable;
    ASSERT_TRUE(document.Open(kScript, &problem)) << problem;
    for (int round = 0; round < 3; ++round) {
      const studio_edits::ChangesByEntry read = studio_edits::ChangesOf(document);
      const int edits = 1 + static_cast<int>(random() % 6);
      for (int k = 0; k < edits; ++k) studio_edits::MakeRandomEdit(document, random, kEditFiles);
      const std::vector<uint32_t> moved_ids =
          studio_edits::MovedIds(document, read, studio_edits::ChangesOf(document));
      const std::string before = files.FileBytes(kScript);
      ASSERT_TRUE(document.SaveScript(kScript, ScriptTarget(), &unwritable, &problem))
          << problem << unwritable;
      EXPECT_FALSE(document.Changes().Modified());
      EXPECT_EQ(studio_edits::LostLines(before, files.FileBytes(kScript), moved_ids), "");

      StudioDocument reopened(files);
      ASSERT_TRUE(reopened.Open(kScript, &problem)) << problem;
      EXPECT_EQ(studio_edits::ChangesOf(reopened), studio_edits::ChangesOf(document))
          << "saved as:\n"
          << files.FileBytes(kScript);
      if (::testing::Test::HasFailure()) return;
    }
  }
}

}  // namespace

}  // namespace velmora

// The Studio's document against the run itself, over the random archives and scripts of the
// differential test: what the document says a rebuild writes is what the run writes, and what
// it saves reads back as the same changes with every other line left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "job/program_entry.h"
#include "studio/studio_document.h"
#include "testing/packing_front_end.h"
#include "testing/gbk_lead_bytes.h"
#include "testing/memory_file_system.h"
#include "testing/random_pack_case.h"
#include "testing/recording_view.h"
#include "wdf/archive_index.h"

namespace velmora {
namespace {

using random_pack_case::Case;
using random_pack_case::CaseMaker;
using random_pack_case::kDataDir;
using random_pack_case::kDir;

const std::string kScript = kDir + "ui.vlm";

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
    MemoryFileSystem files;
    PutCase(files, c, script);
    if (c.TargetExists) files.PutFile(random_pack_case::kTarget, "the old archive");

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
      EXPECT_EQ(predicted, ArchiveEntries(files, target));
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

// Random edits as the window makes them: on the first entry of an id, or a new entry.
void RandomEdit(StudioDocument& document, std::mt19937& random) {
  PendingChanges& changes = document.Changes();
  StudioArchive& archive = document.Archive();
  const auto pick = [&random](uint32_t n) {
    return n == 0 ? 0u : static_cast<uint32_t>(random() % n);
  };
  switch (pick(8)) {
    case 0:
      changes.Undo();
      return;
    case 1:
      changes.Redo();
      return;
    case 2: {
      const uint32_t id = pick(80);
      if (document.IdIsFree(id)) changes.Add(id, kDir + (pick(2) ? "pic.bin" : "pics\\a.bmp"));
      return;
    }
    default:
      break;
  }
  std::vector<uint32_t> positions;
  for (uint32_t k = 0; k < archive.Count(); ++k) {
    if (!archive.IsLaterOccurrence(k) && pick(3) == 0) positions.push_back(k);
  }
  for (uint32_t position : changes.AddedPositions()) {
    if (pick(4) == 0) positions.push_back(position);
  }
  PendingChange change;
  switch (pick(5)) {
    case 0:
      break;  // restored
    case 1:
      change = {ChangeKind::kDelete, 0, {}};
      break;
    case 2:
      change = {ChangeKind::kEntry, pick(64), {}};
      break;
    case 3:
      change = {ChangeKind::kFile, 0, kDir + "pic.bin"};
      break;
    default:
      change = {ChangeKind::kOtherArchive, pick(64), kDataDir + "other.wdf"};
      break;
  }
  changes.Set(positions, change);
}

// The pending changes by what they stand for: source entries by position, added ones by id.
std::map<std::pair<bool, uint32_t>, PendingChange> ChangesOf(const StudioDocument& document) {
  std::map<std::pair<bool, uint32_t>, PendingChange> all;
  const PendingChanges& changes = document.Changes();
  for (const auto& change : changes.All()) {
    const bool added = changes.IsAdded(change.first);
    all[{added, added ? changes.AddedId(change.first) : change.first}] = change.second;
  }
  return all;
}

// The lines of `before` that no edit may touch are found, byte for byte and in their order, in
// `after`. Rule lines of an id whose change moved and header keys a save sets may differ.
void ExpectUntouchedLinesKept(const std::string& before, const std::string& after,
                              const std::vector<uint32_t>& moved_ids) {
  const ScriptDocument old_script(before);
  const ScriptDocument new_script(after);
  size_t next = 0;
  for (size_t k = 0; k < old_script.Count(); ++k) {
    const ScriptDocumentLine& line = old_script.Line(k);
    if (line.Kind == ScriptLineKind::kRule &&
        std::find(moved_ids.begin(), moved_ids.end(), line.Id) != moved_ids.end()) {
      continue;
    }
    const std::string name = ScriptNameAt(old_script.Lines(), static_cast<int>(k));
    if (EqualFoldingAscii(name, "#AddEntries")) continue;
    const std::string text = old_script.TextAt(k);
    while (next < new_script.Count() && new_script.TextAt(next) != text) ++next;
    ASSERT_LT(next, new_script.Count()) << "line " << k + 1 << " is gone: " << text;
    const ScriptDocumentLine& kept = new_script.Line(next);
    const bool had_break = line.Next > line.Start + line.Length;
    if (had_break) {
      EXPECT_EQ(after.substr(kept.Start + kept.Length, kept.Next - kept.Start - kept.Length),
                before.substr(line.Start + line.Length, line.Next - line.Start - line.Length))
          << "the break of line " << k + 1;
    }
    ++next;
  }
  // Whatever follows the byte 0 that ends a script stays behind it.
  const size_t zero = before.find('\0');
  if (zero != std::string::npos) {
    EXPECT_EQ(after.substr(after.size() - (before.size() - zero)), before.substr(zero));
  }
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
      const std::map<std::pair<bool, uint32_t>, PendingChange> read = ChangesOf(document);
      const int edits = 1 + static_cast<int>(random() % 6);
      for (int k = 0; k < edits; ++k) RandomEdit(document, random);
      std::vector<uint32_t> moved_ids;
      const auto now = ChangesOf(document);
      for (const auto* side : {&read, &now}) {
        for (const auto& change : *side) {
          const auto& other = side == &read ? now : read;
          auto found = other.find(change.first);
          if (found != other.end() && found->second == change.second) continue;
          moved_ids.push_back(change.first.first
                                  ? change.first.second
                                  : document.Archive().Entry(change.first.second).Id);
        }
      }
      const std::string before = files.FileBytes(kScript);
      ASSERT_TRUE(document.SaveScript(kScript, ScriptTarget(), &unwritable, &problem))
          << problem << unwritable;
      EXPECT_FALSE(document.Changes().Modified());
      ExpectUntouchedLinesKept(before, files.FileBytes(kScript), moved_ids);

      StudioDocument reopened(files);
      ASSERT_TRUE(reopened.Open(kScript, &problem)) << problem;
      EXPECT_EQ(ChangesOf(reopened), ChangesOf(document)) << "saved as:\n"
                                                          << files.FileBytes(kScript);
      if (::testing::Test::HasFailure()) return;
    }
  }
}

}  // namespace

}  // namespace velmora

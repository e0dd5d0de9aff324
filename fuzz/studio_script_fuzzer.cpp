// Fuzzes opening a script in the Studio's document, showing what a rebuild writes, editing and
// saving it.
//
// Input: one byte of flags (bit 0: the double-byte code page of the target systems; bits 1-7:
// the edits made before saving), then the script file's bytes. Opening never crashes; every row
// has its facts; a script saved after the edits opens again with the same changes, and every line
// the edits do not name is still in it, in its order.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "plain_model.h"
#include "studio/studio_document.h"
#include "sys/code_page.h"
#include "testing/memory_file_system.h"
#include "testing/pack_run_fixture.h"

using namespace velmora;

namespace {

const char kScript[] = "D:\\mod\\ui.vlm";

std::map<std::pair<bool, uint32_t>, PendingChange> ChangesOf(const StudioDocument& document) {
  std::map<std::pair<bool, uint32_t>, PendingChange> all;
  const PendingChanges& changes = document.Changes();
  for (const auto& change : changes.All()) {
    const bool added = changes.IsAdded(change.first);
    all[{added, added ? changes.AddedId(change.first) : change.first}] = change.second;
  }
  return all;
}

void Edit(StudioDocument& document, uint8_t edits) {
  PendingChanges& changes = document.Changes();
  const uint32_t count = document.Archive().Count();
  for (int k = 0; k < 7; ++k) {
    // An archive that opens damaged may have no entries: only an added one can be edited.
    if ((edits >> k & 1) == 0 || (count == 0 && k != 3 && k != 6)) continue;
    const uint32_t position = count == 0 ? 0 : static_cast<uint32_t>(k) % count;
    switch (k) {
      case 0:
      case 4:
        changes.Set({position}, {ChangeKind::kDelete, 0, {}});
        break;
      case 1:
        changes.Set({position}, PendingChange());
        break;
      case 2:
        changes.Set({position}, {ChangeKind::kEntry, 3, {}});
        break;
      case 3:
        if (document.IdIsFree(0x40)) changes.Add(0x40, "D:\\mod\\pic.bin");
        break;
      case 5:
        changes.Set({position}, {ChangeKind::kOtherArchive, 2, "D:\\mod\\data\\other.wdf"});
        break;
      default:
        changes.Undo();
        break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  SetActiveCodePage((data[0] & 1) != 0 ? CodePage::kGbk : CodePage::kUtf8);
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  MemoryFileSystem files;
  files.PutFile("D:\\mod\\data\\ui.wdf",
                pack_run_testing::MakeArchive({{1, "one"}, {2, "two"}, {3, "three"}, {2, "x"}}));
  files.PutFile("D:\\mod\\data\\other.wdf", pack_run_testing::MakeArchive({{2, "other two"}}));
  files.PutFile("D:\\mod\\pic.bin", "picture");
  files.PutFile(kScript, bytes);

  StudioDocument document(files);
  std::string problem;
  if (!document.Open(kScript, &problem)) {
    FUZZ_CHECK(!problem.empty(), "a script that does not open says why");
    return 0;
  }
  const auto look = [&document] {
    for (uint32_t position : document.Rows(RowFilter(), EntryColumn::kKind, true)) {
      const RowFacts row = document.Row(position);
      std::string head;
      document.ReadRowBytes(position, 16, &head);
      FUZZ_CHECK(row.State != RowState::kFails || !row.Reason.empty(), "a failing row says why");
    }
    document.RebuildFailures();
  };
  look();

  Edit(document, static_cast<uint8_t>(data[0] >> 1));
  look();
  const std::map<std::pair<bool, uint32_t>, PendingChange> edited = ChangesOf(document);
  std::string unwritable;
  if (!document.SaveScript(kScript, ScriptTarget(), &unwritable, &problem)) return 0;
  FUZZ_CHECK(!document.Changes().Modified(), "a saved document is not modified");
  const std::string saved = files.FileBytes(kScript);
  // Lines the edits name (their ids' rule lines and #AddEntries) may change; no other line.
  const ScriptDocument before(bytes);
  const ScriptDocument after(saved);
  size_t next = 0;
  for (size_t k = 0; k < before.Count(); ++k) {
    const ScriptDocumentLine& line = before.Line(k);
    if (line.Kind == ScriptLineKind::kRule && (line.Id <= 3 || line.Id == 0x40)) continue;
    if (line.Kind == ScriptLineKind::kKey) continue;
    while (next < after.Count() && after.TextAt(next) != before.TextAt(k)) ++next;
    FUZZ_CHECK(next < after.Count(), "line %zu is kept", k + 1);
    ++next;
  }

  StudioDocument reopened(files);
  FUZZ_CHECK(reopened.Open(kScript, &problem), "the saved script opens again: %s", problem.c_str());
  FUZZ_CHECK(ChangesOf(reopened) == ChangesOf(document), "the saved changes read back");
  (void)edited;
  return 0;
}

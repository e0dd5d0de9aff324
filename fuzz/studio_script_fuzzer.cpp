// Fuzzes opening a script in the Studio's document, showing what a rebuild writes, editing and
// saving it.
//
// Input: one byte of flags (bit 0: the double-byte code page of the target systems; bits 1-7:
// the seed of the random edits made before saving, as the property test makes them), then the
// script file's bytes. Opening never crashes; every row has its facts; a script saved after the
// edits opens again with the same changes, and every line the edits do not name is still in it,
// in its order, with its line break.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "plain_model.h"
#include "studio/studio_document.h"
#include "sys/code_page.h"
#include "testing/memory_file_system.h"
#include "testing/pack_run_fixture.h"
#include "testing/studio_edits.h"

using namespace velmora;

namespace {

const char kScript[] = "D:\\mod\\ui.vlm";
const studio_edits::EditFiles kEditFiles{"D:\\mod\\pic.bin", "D:\\mod\\pics\\a.bmp",
                                         "D:\\mod\\data\\other.wdf"};

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
  files.PutFile("D:\\mod\\pics\\a.bmp", "BM");
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

  const studio_edits::ChangesByEntry read = studio_edits::ChangesOf(document);
  std::mt19937 random(data[0] >> 1);
  const int edits = 1 + static_cast<int>(random() % 4);
  for (int k = 0; k < edits; ++k) studio_edits::MakeRandomEdit(document, random, kEditFiles);
  look();
  const std::vector<uint32_t> moved_ids =
      studio_edits::MovedIds(document, read, studio_edits::ChangesOf(document));
  std::string unwritable;
  if (!document.SaveScript(kScript, ScriptTarget(), &unwritable, &problem)) return 0;
  FUZZ_CHECK(!document.Changes().Modified(), "a saved document is not modified");
  const std::string lost = studio_edits::LostLines(bytes, files.FileBytes(kScript), moved_ids);
  FUZZ_CHECK(lost.empty(), "%s", lost.c_str());

  StudioDocument reopened(files);
  FUZZ_CHECK(reopened.Open(kScript, &problem), "the saved script opens again: %s", problem.c_str());
  FUZZ_CHECK(studio_edits::ChangesOf(reopened) == studio_edits::ChangesOf(document),
             "the saved changes read back");
  return 0;
}

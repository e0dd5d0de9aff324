#include "testing/studio_edits.h"

#include <algorithm>

#include "job/script_document.h"
#include "sys/code_page.h"

namespace velmora {
namespace studio_edits {

void MakeRandomEdit(StudioDocument& document, std::mt19937& random, const EditFiles& files) {
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
      if (document.IdIsFree(id)) changes.Add(id, pick(2) ? files.File : files.OtherFile);
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
      change = {ChangeKind::kFile, 0, files.File};
      break;
    default:
      change = {ChangeKind::kOtherArchive, pick(64), files.OtherArchive};
      break;
  }
  changes.Set(positions, change);
}

ChangesByEntry ChangesOf(const StudioDocument& document) {
  ChangesByEntry all;
  const PendingChanges& changes = document.Changes();
  for (const auto& change : changes.All()) {
    const bool added = changes.IsAdded(change.first);
    all[{added, added ? changes.AddedId(change.first) : change.first}] = change.second;
  }
  return all;
}

std::vector<uint32_t> MovedIds(StudioDocument& document, const ChangesByEntry& before,
                               const ChangesByEntry& after) {
  std::vector<uint32_t> moved;
  for (const auto* side : {&before, &after}) {
    const ChangesByEntry& other = side == &before ? after : before;
    for (const auto& change : *side) {
      const auto found = other.find(change.first);
      if (found != other.end() && found->second == change.second) continue;
      // Added entries are known by id; source entries by position.
      moved.push_back(change.first.first ? change.first.second
                                         : document.Archive().Entry(change.first.second).Id);
    }
  }
  return moved;
}

std::string LostLines(const std::string& before, const std::string& after,
                      const std::vector<uint32_t>& moved_ids) {
  const ScriptDocument old_script(before);
  const ScriptDocument new_script(after);
  const auto break_of = [](const std::string& bytes, const ScriptDocumentLine& line) {
    return bytes.substr(line.Start + line.Length, line.Next - line.Start - line.Length);
  };
  size_t next = 0;
  for (size_t k = 0; k < old_script.Count(); ++k) {
    const ScriptDocumentLine& line = old_script.Line(k);
    if (line.Kind == ScriptLineKind::kRule &&
        std::find(moved_ids.begin(), moved_ids.end(), line.Id) != moved_ids.end()) {
      continue;
    }
    if (EqualFoldingAscii(ScriptNameAt(old_script.Lines(), static_cast<int>(k)), "#AddEntries")) {
      continue;
    }
    const std::string text = old_script.TextAt(k);
    while (next < new_script.Count() && new_script.TextAt(next) != text) ++next;
    const std::string named = "line " + std::to_string(k + 1) + " (" + text + ")";
    if (next == new_script.Count()) return named + " is gone";
    // A line that had a break keeps it; the last line may gain one. A lone CR may become CR LF
    // where an empty line ended by LF now follows it: the CR alone would take that LF as its own
    // and the empty line would be lost.
    if (line.Next > line.Start + line.Length) {
      const std::string was = break_of(before, line);
      const std::string is = break_of(after, new_script.Line(next));
      const bool kept_apart = was == "\r" && is == "\r\n" && next + 1 < new_script.Count() &&
                              new_script.Line(next + 1).Length == 0 &&
                              after[new_script.Line(next + 1).Start] == '\n';
      if (is != was && !kept_apart) return "the break of " + named + " changed";
    }
    ++next;
  }
  const size_t zero = before.find('\0');
  if (zero != std::string::npos &&
      (after.size() < before.size() - zero ||
       after.compare(after.size() - (before.size() - zero), std::string::npos, before, zero,
                     std::string::npos) != 0)) {
    return "what follows the byte 0 that ends the script moved";
  }
  return std::string();
}

}  // namespace studio_edits
}  // namespace velmora

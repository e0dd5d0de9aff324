// Random edits of a script open in the Studio's document, made as the window makes them, and
// what a save of them must keep: one generator for the property test and the fuzz target, so
// that both try the same edits and judge a saved script by the same rule.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "studio/studio_document.h"

namespace velmora {
namespace studio_edits {

// The files an edit may make an entry take.
struct EditFiles {
  std::string File;          // a file of the script's folder
  std::string OtherFile;     // another one, for added entries
  std::string OtherArchive;  // an archive beside the source
};

// One random edit: undo, redo, an entry added under a free id, or a change (restore, delete,
// another entry's bytes, a file, another archive's entry) of random entries, each the first of
// its id, and of random added entries.
void MakeRandomEdit(StudioDocument& document, std::mt19937& random, const EditFiles& files);

// The pending changes by what they stand for: source entries by position, added ones by id.
using ChangesByEntry = std::map<std::pair<bool, uint32_t>, PendingChange>;
ChangesByEntry ChangesOf(const StudioDocument& document);

// The ids whose change differs between `before` and `after`: their rule lines may move.
std::vector<uint32_t> MovedIds(StudioDocument& document, const ChangesByEntry& before,
                               const ChangesByEntry& after);

// What a save that changed only the rule lines of `moved_ids` (and #AddEntries) lost of the
// script `before` when it wrote `after`: every other line, byte for byte, in its order, with its
// line break, and whatever follows a byte 0 that ends the script. Empty when nothing was lost.
std::string LostLines(const std::string& before, const std::string& after,
                      const std::vector<uint32_t>& moved_ids);

}  // namespace studio_edits
}  // namespace velmora

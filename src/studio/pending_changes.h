// The changes a modder has made to an open archive and not yet rebuilt, with their history for
// undo and redo. Entries are known by their position in the source index; added entries take
// positions behind the source's, in the order they were added. Only changed entries cost
// memory, so an archive of a million entries with three changes holds three.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "studio/entry_change.h"

namespace velmora {

class PendingChanges {
 public:
  explicit PendingChanges(uint32_t source_count = 0) : source_count_(source_count) {}

  // The change of the entry at `position`; kUnchanged for an entry without one. An added
  // entry's change is kAdded, with its id in `AddedId`.
  const PendingChange& ChangeAt(uint32_t position) const;
  uint32_t AddedId(uint32_t position) const;
  bool IsAdded(uint32_t position) const { return position >= source_count_; }

  // One undoable edit: every position gets `change` (kUnchanged restores the original). Entries
  // whose change is already that are left out; an edit that changes nothing is not recorded.
  // Returns whether anything changed.
  bool Set(const std::vector<uint32_t>& positions, const PendingChange& change);
  // An undoable edit that adds an entry with `id` holding the file at `path`; returns its
  // position. Restoring an added entry (Set with kUnchanged) removes it again.
  uint32_t Add(uint32_t id, const std::string& path);

  bool CanUndo() const { return done_ > 0; }
  bool CanRedo() const { return done_ < history_.size(); }
  // Each returns the positions it touched (empty when there was nothing to undo or redo).
  std::vector<uint32_t> Undo();
  std::vector<uint32_t> Redo();

  // Changed source entries and live added entries, by position.
  const std::map<uint32_t, PendingChange>& All() const { return changes_; }
  size_t Count() const { return changes_.size(); }
  size_t AddedCount() const;
  // The positions of the live added entries, in order.
  std::vector<uint32_t> AddedPositions() const;

  // A change the modder has not saved: false right after MarkSaved until the next edit, undo
  // or redo that moves away from the saved state.
  bool Modified() const { return saved_ != done_; }
  void MarkSaved() { saved_ = done_; }

  // Sets a change without history: the state a script was read in, before any edit.
  void Load(uint32_t position, const PendingChange& change, uint32_t added_id = 0);
  // The position the next added entry takes.
  uint32_t NextAddedPosition() const { return source_count_ + next_added_; }
  // Counts every change of state, so that what is worked out from the changes knows when it is
  // out of date.
  uint64_t Revision() const { return revision_; }

 private:
  struct Step {
    uint32_t Position = 0;
    PendingChange Before;
    PendingChange After;
    uint32_t Id = 0;  // the id of an added entry
  };
  void Put(uint32_t position, const PendingChange& change, uint32_t added_id);
  void Record(std::vector<Step> steps);

  uint32_t source_count_;
  uint32_t next_added_ = 0;
  std::map<uint32_t, PendingChange> changes_;
  std::map<uint32_t, uint32_t> added_ids_;
  std::vector<std::vector<Step>> history_;
  size_t done_ = 0;  // history_[0, done_) is applied
  uint64_t revision_ = 0;
  // The history length at the last save; history that was cut off never comes back, so a saved
  // state beyond it cannot be reached again.
  size_t saved_ = 0;
};

}  // namespace velmora

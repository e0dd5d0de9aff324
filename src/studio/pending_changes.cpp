#include "studio/pending_changes.h"

#include <limits>

namespace velmora {

namespace {

const PendingChange& Unchanged() {
  static const PendingChange unchanged;
  return unchanged;
}

}  // namespace

const PendingChange& PendingChanges::ChangeAt(uint32_t position) const {
  auto found = changes_.find(position);
  return found == changes_.end() ? Unchanged() : found->second;
}

uint32_t PendingChanges::AddedId(uint32_t position) const {
  auto found = added_ids_.find(position);
  return found == added_ids_.end() ? 0 : found->second;
}

void PendingChanges::Put(uint32_t position, const PendingChange& change, uint32_t added_id) {
  ++revision_;
  if (change.Kind == ChangeKind::kUnchanged) {
    changes_.erase(position);
    added_ids_.erase(position);
    return;
  }
  changes_[position] = change;
  if (IsAdded(position)) added_ids_[position] = added_id;
}

void PendingChanges::Load(uint32_t position, const PendingChange& change, uint32_t added_id) {
  if (IsAdded(position) && position - source_count_ >= next_added_) {
    next_added_ = position - source_count_ + 1;
  }
  Put(position, change, added_id);
}

void PendingChanges::Record(std::vector<Step> steps) {
  history_.resize(done_);
  if (saved_ > done_) saved_ = std::numeric_limits<size_t>::max();
  history_.push_back(std::move(steps));
  ++done_;
}

bool PendingChanges::Set(const std::vector<uint32_t>& positions, const PendingChange& change) {
  std::vector<Step> steps;
  for (uint32_t position : positions) {
    const PendingChange& before = ChangeAt(position);
    // An added entry is only ever restored (removed); it cannot take a source entry's change.
    if (IsAdded(position) &&
        (before.Kind == ChangeKind::kUnchanged || change.Kind != ChangeKind::kUnchanged)) {
      continue;
    }
    if (before == change) continue;
    steps.push_back({position, before, change, AddedId(position)});
  }
  if (steps.empty()) return false;
  for (const Step& step : steps) Put(step.Position, step.After, step.Id);
  Record(std::move(steps));
  return true;
}

uint32_t PendingChanges::Add(uint32_t id, const std::string& path) {
  const uint32_t position = source_count_ + next_added_++;
  PendingChange change;
  change.Kind = ChangeKind::kAdded;
  change.Path = path;
  Put(position, change, id);
  Record({{position, PendingChange(), change, id}});
  return position;
}

std::vector<uint32_t> PendingChanges::Undo() {
  std::vector<uint32_t> touched;
  if (!CanUndo()) return touched;
  const std::vector<Step>& steps = history_[--done_];
  for (const Step& step : steps) {
    Put(step.Position, step.Before, step.Id);
    touched.push_back(step.Position);
  }
  return touched;
}

std::vector<uint32_t> PendingChanges::Redo() {
  std::vector<uint32_t> touched;
  if (!CanRedo()) return touched;
  const std::vector<Step>& steps = history_[done_++];
  for (const Step& step : steps) {
    Put(step.Position, step.After, step.Id);
    touched.push_back(step.Position);
  }
  return touched;
}

size_t PendingChanges::AddedCount() const { return added_ids_.size(); }

std::vector<uint32_t> PendingChanges::AddedPositions() const {
  std::vector<uint32_t> positions;
  for (const auto& added : added_ids_) positions.push_back(added.first);
  return positions;
}

}  // namespace velmora

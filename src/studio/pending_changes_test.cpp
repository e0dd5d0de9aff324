#include "studio/pending_changes.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

PendingChange Deleted() { return {ChangeKind::kDelete, 0, {}}; }
PendingChange FromFile(const std::string& path) { return {ChangeKind::kFile, 0, path}; }

TEST(PendingChangesTest, EditsUndoAndRedoAsOneStepEachAndTrackTheSavedState) {
  PendingChanges changes(10);
  EXPECT_FALSE(changes.Modified());
  EXPECT_TRUE(changes.Set({1, 2}, Deleted()));
  EXPECT_FALSE(changes.Set({1, 2}, Deleted())) << "a change to what is already there is no edit";
  EXPECT_TRUE(changes.Set({2}, FromFile("C:\\a.bmp")));
  EXPECT_EQ(changes.Count(), 2u);
  changes.MarkSaved();
  EXPECT_FALSE(changes.Modified());

  EXPECT_EQ(changes.Undo(), std::vector<uint32_t>{2});
  EXPECT_EQ(changes.ChangeAt(2), Deleted());
  EXPECT_TRUE(changes.Modified());
  EXPECT_EQ(changes.Undo(), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(changes.Count(), 0u);
  EXPECT_FALSE(changes.CanUndo());
  EXPECT_TRUE(changes.Undo().empty());
  EXPECT_EQ(changes.Redo(), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(changes.Redo(), std::vector<uint32_t>{2});
  EXPECT_FALSE(changes.Modified()) << "back at the saved state";
  EXPECT_EQ(changes.ChangeAt(2), FromFile("C:\\a.bmp"));

  // A new edit after an undo drops the redo history, and the saved state with it.
  changes.Undo();
  EXPECT_TRUE(changes.Set({5}, Deleted()));
  EXPECT_FALSE(changes.CanRedo());
  EXPECT_TRUE(changes.Modified()) << "as many steps as at the save, but not the same";
  changes.Undo();
  EXPECT_TRUE(changes.Modified()) << "the saved state can no longer be reached";
}

TEST(PendingChangesTest, AddedEntriesTakePositionsBehindTheSourceAndAreRemovedByRestoring) {
  PendingChanges changes(3);
  const uint32_t first = changes.Add(0x77, "C:\\new.png");
  const uint32_t second = changes.Add(0x78, "C:\\new2.png");
  EXPECT_EQ(first, 3u);
  EXPECT_EQ(second, 4u);
  EXPECT_TRUE(changes.IsAdded(first));
  EXPECT_EQ(changes.AddedId(second), 0x78u);
  EXPECT_FALSE(changes.Set({first}, Deleted())) << "an added entry is removed, not deleted";
  EXPECT_TRUE(changes.Set({first}, PendingChange()));
  EXPECT_EQ(changes.AddedPositions(), std::vector<uint32_t>{second});
  changes.Undo();
  EXPECT_EQ(changes.AddedPositions(), (std::vector<uint32_t>{first, second}));
  EXPECT_EQ(changes.AddedId(first), 0x77u);
  changes.Undo();
  changes.Undo();
  EXPECT_EQ(changes.AddedCount(), 0u);
  changes.Redo();
  EXPECT_EQ(changes.AddedId(first), 0x77u) << "redo brings the entry back at its position";
}

}  // namespace
}  // namespace velmora

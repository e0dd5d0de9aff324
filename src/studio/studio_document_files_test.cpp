#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>

#include "job/job_state.h"
#include "job/pack_run.h"
#include "studio/entry_kinds.h"
#include "studio/studio_document.h"
#include "sys/system_error.h"
#include "testing/packing_front_end.h"
#include "testing/archive_bytes.h"
#include "testing/memory_file_system.h"
#include "testing/recording_view.h"

namespace velmora {
namespace {

const char kArchive[] = "C:\\mod\\ui.wdf";
const char kScript[] = "C:\\mod\\ui.vlm";
const char kOther[] = "C:\\mod\\icons.wdf";

class StudioDocumentFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.PutFile(kArchive, ArchiveOf({{1, "one"}, {2, "two"}, {3, "three"}}));
    files_.PutFile(kOther, ArchiveOf({{0x10, "icon bytes"}}));
    files_.PutDirectory("C:\\out");
  }
  StudioDocument::RebuildResult Rebuild() {
    JobState job;
    RecordingView view;
    PackingFrontEnd front(files_, view);
    return document_.RunRebuild(job, view, front);
  }
  MemoryFileSystem files_;
  StudioDocument document_{files_};
  StudioDocument::FileFailure failure_;
  std::string problem_;
};

TEST_F(StudioDocumentFiles, ExtractWritesEveryEntryOrNothing) {
  ASSERT_TRUE(document_.Open(kArchive, &problem_)) << problem_;
  ASSERT_TRUE(document_.ExtractEntries({0, 2}, "C:\\out", &failure_));
  EXPECT_EQ(files_.FileBytes("C:\\out\\00000001.txt"), "one");
  EXPECT_EQ(files_.FileBytes("C:\\out\\00000003.txt"), "three");

  // A second extract into the same folder: the first name in the way refuses before any write.
  EXPECT_FALSE(document_.ExtractEntries({1, 2}, "C:\\out", &failure_));
  EXPECT_EQ(failure_.What, StudioDocument::FileFailure::Kind::kExists);
  EXPECT_EQ(failure_.Path, "C:\\out\\00000003.txt");
  EXPECT_FALSE(files_.HasFile("C:\\out\\00000002.txt"));

  // A write that fails leaves no part of its file.
  files_.LimitWrittenBytes(1);
  EXPECT_FALSE(document_.ExtractEntries({1}, "C:\\out", &failure_));
  EXPECT_EQ(failure_.What, StudioDocument::FileFailure::Kind::kWriteFailed);
  EXPECT_FALSE(files_.HasFile("C:\\out\\00000002.txt"));
}

TEST_F(StudioDocumentFiles, TakenBytesComeFromTheFileOrTheOtherArchive) {
  files_.PutFile("C:\\mod\\new.bmp", "BM and more");
  ASSERT_TRUE(document_.Open(kArchive, &problem_)) << problem_;
  std::string bytes;
  uint64_t size = 0;
  EntryKind kind = EntryKind::kData;
  ASSERT_TRUE(document_.ReadTakenBytes({ChangeKind::kFile, 0, "C:\\mod\\new.bmp"}, 4, &bytes, &size,
                                       &kind, &failure_));
  EXPECT_EQ(bytes, "BM a");
  EXPECT_EQ(size, 11u);
  ASSERT_TRUE(document_.ReadTakenBytes({ChangeKind::kOtherArchive, 0x10, kOther}, 100, &bytes,
                                       &size, &kind, &failure_));
  EXPECT_EQ(bytes, "icon bytes");
  EXPECT_EQ(kind, EntryKind::kText);

  EXPECT_FALSE(document_.OtherArchiveHas(kOther, 0x11, &failure_));
  EXPECT_EQ(failure_.What, StudioDocument::FileFailure::Kind::kNoSuchId);
  EXPECT_FALSE(document_.OtherArchiveHas(kScript, 0x10, &failure_));
  EXPECT_EQ(failure_.What, StudioDocument::FileFailure::Kind::kOpenFailed);
  files_.PutFile(kScript, "not an archive");
  EXPECT_FALSE(document_.OtherArchiveHas(kScript, 0x10, &failure_));
  EXPECT_EQ(failure_.What, StudioDocument::FileFailure::Kind::kNotWdf);
}

TEST_F(StudioDocumentFiles, AnArchiveInsideOpensFromItsBytesWithoutAFile) {
  files_.PutFile(kArchive, ArchiveOf({{1, "one"}, {0xA, ArchiveOf({{7, "seven"}, {8, ""}})}}));
  ASSERT_TRUE(document_.Open(kArchive, &problem_)) << problem_;
  const std::vector<std::string> before = files_.FilePaths();
  StudioDocument nested(files_);
  ASSERT_TRUE(nested.OpenNested(document_, 1, &failure_));
  EXPECT_TRUE(nested.IsNested());
  EXPECT_EQ(nested.Archive().Path(), "ui.wdf @0000000A");
  ASSERT_EQ(nested.Archive().Count(), 2u);
  std::string bytes;
  ASSERT_TRUE(nested.Archive().ReadHead(0, 100, &bytes));
  EXPECT_EQ(bytes, "seven");
  EXPECT_EQ(nested.Archive().KindAt(1), EntryKind::kEmpty);
  // It outlives its parent's archive.
  ASSERT_TRUE(document_.Open(kOther, &problem_));
  ASSERT_TRUE(nested.ExtractEntries({0}, "C:\\out", &failure_));
  EXPECT_EQ(files_.FileBytes("C:\\out\\00000007.txt"), "seven");
  std::vector<std::string> after = files_.FilePaths();
  after.erase(std::remove(after.begin(), after.end(), "C:\\out\\00000007.txt"), after.end());
  EXPECT_EQ(after, before);
}

TEST_F(StudioDocumentFiles, ARebuildInPlaceKeepsABackupAndShowsTheNewArchiveEveryTime) {
  files_.PutFile(kScript,
                 "#SrcFile=ui.wdf\r\n#DestFile=ui.wdf\r\n#InPlace=yes\r\n"
                 "@00000002=@Delete\r\n");
  const std::string original = files_.FileBytes(kArchive);
  ASSERT_TRUE(document_.Open(kScript, &problem_)) << problem_;
  StudioDocument::RebuildResult result = Rebuild();
  EXPECT_TRUE(result.Problem.empty()) << result.Problem;
  EXPECT_TRUE(result.Written);
  EXPECT_EQ(result.BackupPath, "C:\\mod\\ui.wdf.1.bak");
  EXPECT_EQ(files_.FileBytes(result.BackupPath), original);
  ASSERT_EQ(document_.Archive().Count(), 2u) << "the list shows the new archive";
  EXPECT_FALSE(document_.HasScript());
  EXPECT_EQ(document_.Changes().Count(), 0u);

  // The second time, from the script again: a second backup, the first one kept.
  ASSERT_TRUE(document_.Open(kScript, &problem_)) << problem_;
  result = Rebuild();
  EXPECT_EQ(result.BackupPath, "C:\\mod\\ui.wdf.2.bak");
  EXPECT_EQ(files_.FileBytes("C:\\mod\\ui.wdf.1.bak"), original);
}

TEST_F(StudioDocumentFiles, ABackupIsListedAndRestoredWithTheArchiveItReplacesKept) {
  files_.PutFile(kScript,
                 "#SrcFile=ui.wdf\r\n#DestFile=ui.wdf\r\n#InPlace=yes\r\n"
                 "@00000002=@Delete\r\n");
  const std::string original = files_.FileBytes(kArchive);
  ASSERT_TRUE(document_.Open(kScript, &problem_)) << problem_;
  Rebuild();
  const std::string rebuilt = files_.FileBytes(kArchive);
  std::vector<StudioDocument::Backup> backups;
  ASSERT_TRUE(document_.Backups(&backups));
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(backups[0].Path, "C:\\mod\\ui.wdf.1.bak");
  EXPECT_EQ(backups[0].Size, original.size());
  EXPECT_EQ(backups[0].Entries, 3);

  std::string kept;
  ASSERT_TRUE(document_.RestoreBackup(backups[0].Path, &kept, &problem_)) << problem_;
  EXPECT_EQ(files_.FileBytes(kArchive), original);
  EXPECT_EQ(kept, "C:\\mod\\ui.wdf.2.bak");
  EXPECT_EQ(files_.FileBytes(kept), rebuilt);
  EXPECT_TRUE(files_.HasFile(backups[0].Path)) << "every backup stays a state to go back to";
  EXPECT_EQ(document_.Archive().Count(), 3u);

  // Not an archive: refused, nothing changed.
  files_.PutFile("C:\\mod\\ui.wdf.3.bak", "junk");
  EXPECT_FALSE(document_.RestoreBackup("C:\\mod\\ui.wdf.3.bak", &kept, &problem_));
  EXPECT_EQ(files_.FileBytes(kArchive), original);
  ASSERT_TRUE(document_.Backups(&backups));
  ASSERT_EQ(backups.size(), 3u);
  EXPECT_EQ(backups[2].Entries, -1);
}

TEST_F(StudioDocumentFiles, ARebuildThatCannotSwapLeavesTheArchiveOpenAndReadable) {
  files_.PutFile(kScript,
                 "#SrcFile=ui.wdf\r\n#DestFile=ui.wdf\r\n#InPlace=yes\r\n"
                 "@00000002=@Delete\r\n");
  ASSERT_TRUE(document_.Open(kScript, &problem_)) << problem_;
  {
    std::unique_ptr<Stream> other_program = files_.OpenShared(kArchive);
    const StudioDocument::RebuildResult result = Rebuild();
    EXPECT_FALSE(result.Written);
    EXPECT_TRUE(result.BackupPath.empty());
  }
  std::string bytes;
  ASSERT_TRUE(document_.Archive().ReadHead(1, 10, &bytes));
  EXPECT_EQ(bytes, "two");
  EXPECT_TRUE(document_.HasScript());
  EXPECT_EQ(document_.Changes().ChangeAt(1).Kind, ChangeKind::kDelete);
}

// The kinds found in one pass are the kinds found entry by entry, whatever the layout: entries
// out of order, sharing bytes, empty, beyond the file, and larger than a piece.
TEST(EntryKindsInOnePass, AgreeWithTheKindOfEachEntry) {
  std::mt19937 random(7);
  const std::string samples[] = {"BM",
                                 "\x89PNG\r\n\x1a\n",
                                 "plain text\r\n",
                                 std::string(3, '\0'),
                                 "RIFF\0\0\0\0WAVE",
                                 std::string(5000, 'a') + '\x01'};
  for (int round = 0; round < 30; ++round) {
    std::string bytes(12, '\0');
    std::vector<WdfEntry> entries;
    const int count = 1 + static_cast<int>(random() % 60);
    bool large_made = false;
    for (int k = 0; k < count; ++k) {
      const std::string& sample = samples[random() % 6];
      WdfEntry entry{static_cast<uint32_t>(k), static_cast<uint32_t>(bytes.size()), 0, 0};
      switch (random() % 6) {
        case 0:  // the bytes of an earlier entry
          if (!entries.empty()) entry = entries[random() % entries.size()];
          break;
        case 1:
          entry.Size = 0;
          break;
        case 2:  // reaching beyond the file
          entry.Size = 0x7FFFFFF0;
          break;
        case 3:  // larger than a piece, once a round
          if (large_made) break;
          large_made = true;
          bytes += sample + std::string((1u << 20) + random() % 5000, 'x');
          entry.Size = static_cast<uint32_t>(bytes.size() - entry.Offset);
          break;
        default:
          bytes += sample;
          entry.Size = static_cast<uint32_t>(sample.size());
      }
      entries.push_back(entry);
    }
    std::shuffle(entries.begin(), entries.end(), random);
    MemoryFileSystem files;
    files.PutFile("C:\\a.wdf", bytes);
    std::unique_ptr<Stream> stream = files.OpenShared("C:\\a.wdf");
    const std::vector<uint8_t> kinds = ReadEntryKinds(*stream, entries, bytes.size());
    ASSERT_EQ(kinds.size(), entries.size());
    for (size_t k = 0; k < entries.size(); ++k) {
      EntryKind expected = EntryKind::kData;
      ASSERT_TRUE(ReadEntryKind(*stream, entries[k], bytes.size(), &expected));
      EXPECT_EQ(static_cast<EntryKind>(kinds[k]), expected) << "round " << round << " entry " << k;
    }
  }
}

TEST(EntryKindsInOnePass, StopsWhenAskedAndLeavesTheRestUnknown) {
  MemoryFileSystem files;
  files.PutFile("C:\\a.wdf", ArchiveOf({{1, "BM"}, {2, "text"}}));
  std::unique_ptr<Stream> stream = files.OpenShared("C:\\a.wdf");
  const std::vector<WdfEntry> entries = {{1, 12, 2, 0}, {2, 14, 4, 0}};
  const std::atomic<bool> stop{true};
  EXPECT_EQ(ReadEntryKinds(*stream, entries, 30, &stop), std::vector<uint8_t>(2, kKindUnknown));
  files.FailReadsOfFrom("C:\\a.wdf", 0);
  EXPECT_EQ(ReadEntryKinds(*stream, entries, 30), std::vector<uint8_t>(2, kKindUnknown));
}

}  // namespace
}  // namespace velmora

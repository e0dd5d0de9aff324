// The pack run: writes the new archive of a prepared job on the worker thread, and leaves
// either a complete archive in place of the target or no trace of the attempt.
#include "job/paths.h"
#include "job/pack_run.h"

#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "job/added_entries.h"
#include "job/entry_rules.h"
#include "job/new_archive.h"
#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

// Entries walked between two questions for the source's size, at most. Asking the system costs
// as much as a small entry's bytes; the bytes themselves are read in pieces that a file cut
// short meanwhile fails, whenever the size was last asked.
constexpr uint32_t kEntriesPerSizeCheck = 256;

static_assert(sizeof(WdfEntry) == kWdfEntrySize && std::is_trivially_copyable<WdfEntry>::value,
              "the source index is read straight into its entries");

// Stores a failure's message made by `make_text`. The dialog tells failure from success by a
// non-empty text, so a message that cannot be made still leaves one behind.
template <typename MakeText>
void RecordFailure(JobState& job, MakeText make_text) noexcept {
  try {
    job.ErrorText = make_text();
  } catch (...) {
  }
  if (!job.ErrorText.empty()) return;
  try {
    job.ErrorText = "Velmora failure";
  } catch (...) {
    job.ErrorText.assign(1, '!');  // fits the string's own storage: cannot fail
  }
}

void RecordTargetWriteFailure(JobState& job) noexcept {
  RecordFailure(job, [&job] {
    return Message(MessageKey::MsgTargetWriteFailed,
                   {ShownPath(job.TargetPath), LastSystemErrorText()});
  });
}

// Words a failure that arrived as an exception: a lack of memory, or anything else, which is
// reported against the file being written.
void RecordUnexpectedFailure(JobState& job, const std::exception_ptr& failure) noexcept {
  RecordFailure(job, [&job, &failure] {
    try {
      std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
      return Message(MessageKey::MsgOutOfMemory, {ShownPath(job.SourcePath)});
    } catch (const std::exception& other) {
      return Message(MessageKey::MsgTargetWriteFailed, {ShownPath(job.TargetPath), other.what()});
    } catch (...) {
      return Message(MessageKey::MsgTargetWriteFailed,
                     {ShownPath(job.TargetPath), LastSystemErrorText()});
    }
  });
}

// Both index buffers, SourceCount entries each. An index too large for the address space is
// as much a lack of memory as a failed allocation.
void AllocateIndexBuffers(JobState& job) {
  try {
    job.TargetIndex.assign(job.SourceCount, WdfEntry{});
    job.SourceIndex.assign(job.SourceCount, WdfEntry{});
  } catch (const std::length_error&) {
    throw std::bad_alloc();
  }
}

void ReleaseIndexBuffers(JobState& job) noexcept {
  std::vector<WdfEntry>().swap(job.SourceIndex);
  std::vector<WdfEntry>().swap(job.TargetIndex);
  std::vector<std::pair<uint32_t, uint32_t>>().swap(job.SourceIds.FirstIndexOfId);
  job.SourceIds.Built = false;
}

// Reads the whole source index in one piece, straight into SourceIndex, then turns each record
// from its on-disk byte order into the entry.
bool ReadSourceIndex(JobState& job) {
  if (job.SourceCount == 0) return true;
  Stream& source = *job.SourceStream;
  const size_t bytes = job.SourceIndex.size() * kWdfEntrySize;
  if (!source.Seek(job.SourceIndexOffset)) return false;
  if (source.Read(job.SourceIndex.data(), bytes) != bytes) return false;
  for (WdfEntry& entry : job.SourceIndex) {
    unsigned char record[kWdfEntrySize];
    std::memcpy(record, &entry, kWdfEntrySize);
    entry = DecodeWdfEntry(record);
  }
  return true;
}

// Where opens cost many times a small file's read, the files the rules name are opened ahead of
// the walk. Without memory for their list the run opens each itself, as it would anyway.
void OpenRuleFilesAhead(const JobState& job, FileSystem& files, RunBuffers& buffers) {
  try {
    std::vector<std::string> paths = RuleFilesInWalkOrder(job, buffers.Lines);
    if (!paths.empty())
      buffers.FilesAhead = std::make_unique<FilesOpenedAhead>(files, std::move(paths));
  } catch (const std::bad_alloc&) {
  }
}

// Placeholder header, source index, walk, then index and header counts: true when the new
// archive is complete in the file being written. Every false result has ErrorText set, except
// after a stop request.
bool WriteNewArchive(JobState& job, FileSystem& files, RunView& view) {
  if (!job.SourceStream || !job.TargetStream) {
    RecordTargetWriteFailure(job);
    return false;
  }
  WdfWriter writer(*job.TargetStream);
  if (!writer.WritePlaceholderHeader()) {
    RecordTargetWriteFailure(job);
    return false;
  }
  AllocateIndexBuffers(job);
  if (!ReadSourceIndex(job)) {
    RecordFailure(
        job, [&job] { return Message(MessageKey::MsgSourceNotWdf, {ShownPath(job.SourcePath)}); });
    return false;
  }
  BuildSourceIdLookup(job);

  // New entries (#AddEntries=yes) go in among the source's entries, or behind them all.
  NewEntries added;
  if (job.Script && ScriptKeySaysYes(*job.Script, "#AddEntries")) {
    added = FindNewEntries(*job.Script, job.SourceIndex, job.SourceIds);
  }
  size_t next_added = 0;
  RunBuffers buffers(*job.TargetStream);
  if (files.OpensPayAhead()) OpenRuleFilesAhead(job, files, buffers);
  const auto add_before = [&](Stream& source, uint32_t count, const WdfEntry* entry) {
    while (next_added < added.Ids.size() &&
           (!entry || NewEntryGoesBefore(added, added.Ids[next_added], entry->Id))) {
      if (!ResolveNewEntry(job, files, buffers, source, count, added.Ids[next_added++])) {
        return false;
      }
    }
    return true;
  };
  const EntryStep step = [&job, &files, &view, &buffers, &add_before](
                             Stream& source, uint32_t count, uint32_t i, WdfEntry& entry) {
    return add_before(source, count, &entry) &&
           ResolveEntry(job, files, view, buffers, source, count, i, entry);
  };
  const bool walked = WalkSourceIndex(job, view, step, job.SourceCount) &&
                      add_before(*job.SourceStream, job.SourceCount, nullptr);
  // Whatever ended the walk, bytes it held back are written first: a write that fails then is
  // the run's failure, as it would have been at the entry those bytes belong to. No rule line
  // has been reached since they were taken, so the failing rule stays the same.
  if (!WriteHeldBytes(job, buffers)) return false;
  if (!walked) return false;

  bool too_large = false;
  if (!writer.Finish(job.TargetIndex.data(), job.TargetCount, &too_large)) {
    if (too_large) {
      RecordFailure(job, [&job] {
        return Message(MessageKey::MsgTargetTooLarge, {ShownPath(job.TargetPath)});
      });
    } else {
      RecordTargetWriteFailure(job);
    }
    return false;
  }
  return true;
}

// Closes the file being written and settles it: a complete archive durably takes the target's
// place; anything else is removed and the old target left as it was.
void SettleTargetFile(JobState& job, FileSystem& files, bool complete) noexcept {
  if (!complete) {
    DiscardNewArchive(job, files);
    return;
  }
  try {
    std::string failure;
    if (!CommitNewArchive(job, files, &failure)) RecordFailure(job, [&failure] { return failure; });
  } catch (...) {
    RecordUnexpectedFailure(job, std::current_exception());
    DiscardNewArchive(job, files);
  }
}

}  // namespace

bool WalkSourceIndex(JobState& job, RunView& view, const EntryStep& step, uint32_t count) {
  if (count == 0) return true;
  const auto source_not_wdf = [&job] {
    return Message(MessageKey::MsgSourceNotWdf, {ShownPath(job.SourcePath)});
  };
  if (!job.SourceStream || job.SourceIndex.size() < count) {
    RecordFailure(job, source_not_wdf);
    return false;
  }
  Stream& source = *job.SourceStream;
  // The source may change while the run goes on, so its size is asked anew: before an entry the
  // size known so far puts out of bounds, and every kEntriesPerSizeCheck entries.
  uint64_t file_size = 0;
  uint32_t asked_at = 0;
  bool known = false;
  for (uint32_t i = 0; i < count; ++i) {
    if (view.StopRequested()) return false;
    const WdfEntry& entry = job.SourceIndex[i];
    if (!known || i - asked_at >= kEntriesPerSizeCheck || !EntryInBounds(entry, file_size, count)) {
      known = source.Size(&file_size);
      asked_at = i;
      if (!known || !EntryInBounds(entry, file_size, count)) {
        RecordFailure(job, source_not_wdf);
        return false;
      }
    }
    if (step && !step(source, count, i, job.SourceIndex[i])) return false;
  }
  return true;
}

void RunPack(JobState& job, FileSystem& files, RunView& view) {
  bool complete = false;
  try {
    complete = WriteNewArchive(job, files, view);
  } catch (...) {
    RecordUnexpectedFailure(job, std::current_exception());
  }
  ReleaseIndexBuffers(job);
  SettleTargetFile(job, files, complete);
  try {
    view.RunFinished();
  } catch (...) {
  }
}

}  // namespace velmora

// Fuzzes a whole run: preparation and the pack run over a script, a source archive, another
// archive and an external file, all held in the memory file system.
//
// Input: a byte of flags, a byte of parameter, then up to four parts separated by "\0part\0":
// the script D:\p\ui.vlm, then D:\p\a.wdf, D:\p\b.wdf and D:\p\c.bin (a part that is not there
// is a file that does not exist). Flags:
//   bit 0  the double-byte code page of the target systems
//   bit 1  a target D:\p\ui.wdf exists already (the default target of a script naming a.wdf)
//   bit 2  the person stops the run once `parameter` entries have been begun
//   bit 3  the disk is full after `parameter` * 8 bytes have been written
// A refused preparation must leave every file as it was. A prepared run must end with exactly
// the archive that the plain model builds from the rules, or, when the model finds the run
// failing or stopped, with every file as it was; the rule lines reached must be marked; and no
// stream may stay open. Scripts that switch on new entries or a run in place are left out: the
// model does not know them.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "job/job_state.h"
#include "job/pack_run.h"
#include "job/prepare.h"
#include "testing/recording_view.h"
#include "job/script.h"
#include "plain_model.h"
#include "sys/code_page.h"
#include "testing/memory_file_system.h"

using namespace velmora;
using namespace velmora::fuzzing;

namespace {

const char kScriptPath[] = "D:\\p\\ui.vlm";
const char kScriptDir[] = "D:\\p\\";
const char* const kDataPaths[] = {"D:\\p\\a.wdf", "D:\\p\\b.wdf", "D:\\p\\c.bin"};
const char kDefaultTarget[] = "D:\\p\\ui.wdf";
const char kOldTarget[] = "the archive that was there before";

using Files = std::map<std::string, std::string>;

Files Snapshot(const MemoryFileSystem& files) {
  Files snapshot;
  for (const std::string& path : files.FilePaths()) snapshot[path] = files.FileBytes(path);
  return snapshot;
}

std::vector<std::string> SplitParts(const std::string& bytes) {
  static const std::string kSeparator("\0part\0", 6);
  std::vector<std::string> parts;
  size_t pos = 0;
  for (;;) {
    const size_t next = bytes.find(kSeparator, pos);
    parts.push_back(bytes.substr(pos, next == std::string::npos ? next : next - pos));
    if (next == std::string::npos || parts.size() == 4) return parts;
    pos = next + kSeparator.size();
  }
}

// What the rules say a prepared run ends with.
struct Expected {
  enum Result { kWritten, kFailed, kStopped } result = kWritten;
  std::string Archive;       // when written
  std::set<size_t> Reached;  // rule lines marked as used
};

// The plain model of the run, from the rules as stated: the walk over the source index with the
// stop and bounds checks before each entry, the rule line of each entry, and the bytes each
// kind of rule takes. `readable` holds the files a rule may open, by their exact paths.
class PlainRun {
 public:
  PlainRun(const PlainText& text, const Files& readable, const std::string& source_path,
           const std::vector<std::string>& lines, int64_t stop_after, uint64_t write_limit)
      : text_(text),
        readable_(readable),
        source_path_(source_path),
        source_(readable.at(source_path)),
        stop_after_(stop_after),
        write_limit_(write_limit) {
    for (const std::string& line : lines) {
      std::string name, value;
      const bool named = text.NameAndValue(line, &name, &value);
      names_.push_back(named ? name : std::string());
      values_.push_back(value);
      named_.push_back(named);
    }
  }

  Expected Run() {
    Expected expected;
    uint32_t count = 0, index_offset = 0;
    FUZZ_CHECK(PlainHeader(source_, &count, &index_offset), "prepared a source that is no archive");
    std::vector<PlainEntry> index;
    for (uint32_t k = 0; k < count; ++k)
      index.push_back(PlainRecord(source_, index_offset + 16ull * k));

    std::vector<std::pair<uint32_t, std::string>> written;
    uint64_t bytes_written = 12;  // the placeholder header
    for (uint32_t i = 0; i < count; ++i) {
      if (bytes_written > write_limit_) return Failed(expected);
      if (stop_after_ >= 0 && static_cast<int64_t>(i) >= stop_after_) {
        expected.result = Expected::kStopped;
        return expected;
      }
      if (!PlainInBounds(index[i], source_.size(), count)) return Failed(expected);
      std::string value;
      const int line = RuleLine(index[i].Id);
      if (line >= 0) {
        expected.Reached.insert(static_cast<size_t>(line));
        value = text_.Clean(values_[static_cast<size_t>(line)], true);
      }
      std::string id_text, bytes;
      uint32_t id = 0;
      bool taken = false;
      switch (ClassifyPlainRule(value, &id_text)) {
        case PlainRule::kKeep:
          taken = PlainSlice(source_, index[i].Offset, index[i].Size, &bytes);
          break;
        case PlainRule::kInternalReference:
          PlainHexId(id_text, &id);
          for (const PlainEntry& other : index) {
            if (other.Id != id) continue;
            index[i].Offset = other.Offset;
            index[i].Size = other.Size;
            taken = PlainSlice(source_, index[i].Offset, index[i].Size, &bytes);
            break;
          }
          break;
        case PlainRule::kDelete:
          continue;
        case PlainRule::kInternalIdInvalid:
        case PlainRule::kEndsWithSlash:
          break;
        case PlainRule::kArchiveEntry:
          taken = PlainHexId(id_text, &id) && TakeFromArchive(text_.DirectoryPart(source_path_) +
                                                                  value.substr(0, value.rfind('/')),
                                                              id, &bytes);
          break;
        case PlainRule::kExternalFile: {
          const auto file = readable_.find(kScriptDir + value);
          taken = file != readable_.end();
          if (taken) bytes = file->second;
          break;
        }
      }
      if (!taken) return Failed(expected);
      bytes_written += bytes.size();
      written.emplace_back(index[i].Id, bytes);
    }
    expected.Archive = PlainArchive(written);
    if (expected.Archive.size() + 8 > write_limit_) return Failed(expected);  // the header patch
    return expected;
  }

 private:
  static Expected Failed(Expected& expected) {
    expected.result = Expected::kFailed;
    return expected;
  }

  // The first line whose name is the entry key, letter case aside.
  int RuleLine(uint32_t id) const {
    const std::string key = PlainEntryKey(id);
    for (size_t i = 0; i < names_.size(); ++i) {
      if (named_[i] && text_.EqualFoldingAscii(names_[i], key)) return static_cast<int>(i);
    }
    return -1;
  }

  bool TakeFromArchive(const std::string& path, uint32_t id, std::string* bytes) const {
    const auto file = readable_.find(path);
    uint32_t count = 0, index_offset = 0;
    if (file == readable_.end() || !PlainHeader(file->second, &count, &index_offset)) return false;
    for (uint32_t k = 0; k < count; ++k) {
      const PlainEntry entry = PlainRecord(file->second, index_offset + 16ull * k);
      if (entry.Id == id) return PlainSlice(file->second, entry.Offset, entry.Size, bytes);
    }
    return false;
  }

  const PlainText& text_;
  const Files& readable_;
  std::string source_path_;
  const std::string& source_;
  int64_t stop_after_;
  uint64_t write_limit_;
  std::vector<std::string> names_, values_;
  std::vector<bool> named_;
};

std::string Describe(const Files& files) {
  std::string out;
  for (const auto& file : files) out += "\n    " + file.first + ": " + Shown(file.second);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t flags = data[0];
  const uint8_t parameter = data[1];
  const bool double_byte = (flags & 1) != 0;
  SetActiveCodePage(double_byte ? CodePage::kGbk : CodePage::kUtf8);
  const PlainText text(double_byte);
  const std::vector<std::string> parts =
      SplitParts(std::string(reinterpret_cast<const char*>(data) + 2, size - 2));

  MemoryFileSystem files;
  files.PutFile(kScriptPath, parts[0]);
  for (size_t k = 1; k < parts.size(); ++k) files.PutFile(kDataPaths[k - 1], parts[k]);
  if (flags & 2) files.PutFile(kDefaultTarget, kOldTarget);
  const int64_t stop_after = (flags & 4) ? parameter : -1;
  const uint64_t write_limit = (flags & 8) ? parameter * 8u : UINT64_MAX;
  if (flags & 8) files.LimitWrittenBytes(write_limit);
  const Files before = Snapshot(files);

  RecordingView view;
  view.StopAfterReports = stop_after;
  {
    JobState job;
    job.ScriptPath = kScriptPath;
    job.ScriptDir = kScriptDir;
    job.Script = std::make_unique<ScriptLines>(LoadScript(files, kScriptPath));
    // The plain model knows the rules of a run without the switches of new behaviour: new
    // entries and runs in place have their own tests and the differential test.
    if (ScriptKeySaysYes(*job.Script, "#AddEntries") || ScriptKeySaysYes(*job.Script, "#InPlace")) {
      return 0;
    }
    if (!PrepareJob(job, files, view)) {
      FUZZ_CHECK(Snapshot(files) == before, "a refused preparation changed the files:%s",
                 Describe(Snapshot(files)).c_str());
      FUZZ_CHECK(!view.Boxes.empty() && view.Boxes.back().Kind == RecordingView::Box::kError,
                 "refused without a message");
      return 0;
    }
    FUZZ_CHECK(before.count(job.SourcePath) == 1, "prepared the source %s, which is no file",
               Shown(job.SourcePath).c_str());
    Files readable = before;
    readable.erase(job.TargetPath);  // held by the run without sharing
    const Expected expected =
        PlainRun(text, readable, job.SourcePath, text.Lines(parts[0]), stop_after, write_limit)
            .Run();

    RunPack(job, files, view);
    FUZZ_CHECK(view.FinishedCalls == 1, "the view was told %d times", view.FinishedCalls);
    Files wanted = before;
    if (expected.result == Expected::kWritten) wanted[job.TargetPath] = expected.Archive;
    const Files after = Snapshot(files);
    FUZZ_CHECK(after == wanted,
               "run ended as %d (expected %d), error \"%s\"; files:%s\n  expected:%s",
               job.ErrorText.empty() ? 0 : 1, static_cast<int>(expected.result),
               Shown(job.ErrorText).c_str(), Describe(after).c_str(), Describe(wanted).c_str());
    FUZZ_CHECK(job.ErrorText.empty() == (expected.result != Expected::kFailed),
               "error \"%s\" where the run %s", Shown(job.ErrorText).c_str(),
               expected.result == Expected::kFailed ? "fails" : "does not fail");
    for (size_t i = 0; i < job.Script->Count(); ++i) {
      FUZZ_CHECK(job.Script->UsedMarkAt(i) == (expected.Reached.count(i) ? 1 : 0),
                 "mark of line %zu is %d", i, job.Script->UsedMarkAt(i));
    }
  }
  FUZZ_CHECK(files.OpenStreamCount() == 0, "%d streams left open", files.OpenStreamCount());
  return 0;
}

// Fuzzes the classification of rule values and the reading of hexadecimal ids.
//
// Input: one byte of flags (bit 0: the double-byte code page of the target systems), then a
// rule value. The hexadecimal id, the split at the last '/', the cleaning and, for a value
// that fits on one line, what a run does with it as the rule of the source's first entry
// (the entries it writes, or its exact message) must be those of the plain model.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "job/entry_rules.h"
#include "job/job_state.h"
#include "job/pack_run.h"
#include "testing/recording_view.h"
#include "job/script.h"
#include "msg/format.h"
#include "plain_model.h"
#include "sys/code_page.h"
#include "testing/memory_file_system.h"
#include "wdf/resource_id.h"
#include "sys/system_error.h"

using namespace velmora;
using namespace velmora::fuzzing;

namespace {

using Entries = std::vector<std::pair<uint32_t, std::string>>;

const char kDir[] = "D:\\p\\";
const char kSource[] = "D:\\p\\a.wdf";
const char kOther[] = "D:\\p\\b.wdf";
const char kFile[] = "D:\\p\\c.bin";
const char kTarget[] = "D:\\p\\out.wdf";

const Entries kSourceEntries = {{1, "one"}, {2, "second"}, {0xDE, "de"}};
const Entries kOtherEntries = {{0x10, "ten"}, {1, "other one"}};
const std::string kFileBytes = "whole file";

// What the run gives with `value` as the rule of entry 1: the entries written, or the message.
struct Outcome {
  Entries Written;
  std::string Error;
};

Outcome WithFirstEntry(const std::string& bytes) {
  Entries written = kSourceEntries;
  written[0].second = bytes;
  return {written, ""};
}

Outcome Failure(MessageKey key, std::initializer_list<FormatArg> args) {
  return {{}, Message(key, args)};
}

// A path with wildcards is found by the directory search and then cannot be opened; which of
// the two messages it gets depends on what the folder holds, so only "some message" is expected.
bool HasWildcards(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

// The target's name is held for the whole run, in whatever ASCII letter case a rule writes it.
Outcome PlainOutcome(const std::string& raw_value, bool double_byte) {
  const auto names_target = [double_byte](const std::string& path) {
    return PlainText(double_byte).EqualFoldingAscii(path, kTarget);
  };
  const std::string value = PlainText(false).Clean(raw_value, true);
  std::string id_text;
  uint32_t id = 0;
  switch (ClassifyPlainRule(value, &id_text)) {
    case PlainRule::kKeep:
      return {kSourceEntries, ""};
    case PlainRule::kInternalReference:
      PlainHexId(id_text, &id);
      for (const auto& entry : kSourceEntries) {
        if (entry.first == id) return WithFirstEntry(entry.second);
      }
      return Failure(MessageKey::MsgInternalIdNotFound, {id_text});
    case PlainRule::kDelete:
      return {Entries(kSourceEntries.begin() + 1, kSourceEntries.end()), ""};
    case PlainRule::kInternalIdInvalid:
      return Failure(MessageKey::MsgInternalIdInvalid, {id_text});
    case PlainRule::kEndsWithSlash:
      return Failure(MessageKey::MsgExternalRefInvalid, {value});
    case PlainRule::kArchiveEntry: {
      const std::string path = kDir + value.substr(0, value.rfind('/'));
      if (!PlainHexId(id_text, &id))
        return Failure(MessageKey::MsgExternalIdInvalid, {path, id_text});
      if (HasWildcards(path)) return {{}, "?"};
      if (names_target(path)) {
        SetLastSystemError(SystemErrorSharingViolation());
        return Failure(MessageKey::MsgRefArchiveOpenFailed, {path, LastSystemErrorText()});
      }
      if (path == kFile) return Failure(MessageKey::MsgRefArchiveNotWdf, {path});
      if (path != kSource && path != kOther) {
        return Failure(MessageKey::MsgRefArchiveNotFound, {path});
      }
      for (const auto& entry : path == kSource ? kSourceEntries : kOtherEntries) {
        if (entry.first == id) return WithFirstEntry(entry.second);
      }
      return Failure(MessageKey::MsgRefArchiveIdNotFound, {path, id_text});
    }
    case PlainRule::kExternalFile: {
      const std::string path = kDir + value;
      if (HasWildcards(path)) return {{}, "?"};
      if (names_target(path)) {
        SetLastSystemError(SystemErrorSharingViolation());
        return Failure(MessageKey::MsgRefFileOpenFailed, {path, LastSystemErrorText()});
      }
      if (path == kSource) return WithFirstEntry(PlainArchive(kSourceEntries));
      if (path == kOther) return WithFirstEntry(PlainArchive(kOtherEntries));
      if (path == kFile) return WithFirstEntry(kFileBytes);
      return Failure(MessageKey::MsgRefFileNotFound, {path});
    }
  }
  return {{}, "?"};
}

// Runs a job whose script gives entry 1 the rule `value`, as preparation would leave it.
void CheckRun(const std::string& value, bool double_byte) {
  MemoryFileSystem files;
  files.PutFile(kSource, PlainArchive(kSourceEntries));
  files.PutFile(kOther, PlainArchive(kOtherEntries));
  files.PutFile(kFile, kFileBytes);
  RecordingView view;
  JobState job;
  job.ScriptPath = std::string(kDir) + "ui.vlm";
  job.ScriptDir = kDir;
  job.Script = std::make_unique<ScriptLines>("#SrcFile=a.wdf\r\n@00000001=" + value + "\r\n");
  job.SourcePath = kSource;
  job.TargetPath = job.TargetWritePath = kTarget;
  job.SourceStream = files.OpenShared(kSource);
  job.TargetStream = files.CreateExclusive(kTarget);
  FUZZ_CHECK(ReadWdfHeader(*job.SourceStream, &job.SourceCount, &job.SourceIndexOffset),
             "the source is an archive");
  RunPack(job, files, view);

  const Outcome expected = PlainOutcome(value, double_byte);
  const std::string shown_value = Shown(value);
  if (expected.Error == "?") {
    FUZZ_CHECK(!job.ErrorText.empty() && !files.HasFile(kTarget), "\"%s\" must fail",
               shown_value.c_str());
  } else if (!expected.Error.empty()) {
    FUZZ_CHECK(job.ErrorText == expected.Error, "\"%s\" gave \"%s\", expected \"%s\"",
               shown_value.c_str(), Shown(job.ErrorText).c_str(), Shown(expected.Error).c_str());
    FUZZ_CHECK(!files.HasFile(kTarget), "\"%s\" failed and left its target", shown_value.c_str());
  } else {
    FUZZ_CHECK(job.ErrorText.empty(), "\"%s\" gave \"%s\"", shown_value.c_str(),
               Shown(job.ErrorText).c_str());
    FUZZ_CHECK(files.FileBytes(kTarget) == PlainArchive(expected.Written),
               "\"%s\" wrote \"%s\", expected \"%s\"", shown_value.c_str(),
               Shown(files.FileBytes(kTarget)).c_str(),
               Shown(PlainArchive(expected.Written)).c_str());
  }
  FUZZ_CHECK(job.Script->UsedMarkAt(1) == 1, "the rule line was not marked");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool double_byte = (data[0] & 1) != 0;
  SetActiveCodePage(double_byte ? CodePage::kGbk : CodePage::kUtf8);
  const std::string value(reinterpret_cast<const char*>(data) + 1, size - 1);

  uint32_t id = 0xDEADBEEF, plain_id = 0;
  const bool is_id = ParseHexId(value, &id);
  FUZZ_CHECK(is_id == PlainHexId(value, &plain_id), "\"%s\" read as an id: %d",
             Shown(value).c_str(), is_id);
  FUZZ_CHECK(is_id ? id == plain_id : id == 0xDEADBEEF, "\"%s\" read as %08X, expected %08X",
             Shown(value).c_str(), id, plain_id);

  const size_t slash = value.rfind('/');
  const std::string plain_last = slash == std::string::npos ? value : value.substr(slash + 1);
  const std::string plain_before = slash == std::string::npos ? value : value.substr(0, slash);
  FUZZ_CHECK(LastPathSegment(value) == plain_last, "last segment of \"%s\"", Shown(value).c_str());
  FUZZ_CHECK(PathBeforeLastSlash(value) == plain_before, "path before the last slash of \"%s\"",
             Shown(value).c_str());

  // The whole run takes the value from a script line, which ends at a line break or byte 0.
  if (value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos) {
    CheckRun(value, double_byte);
  }
  return 0;
}

#include "cli/all_or_nothing_files.h"

#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

// Files to be flushed are flushed in groups, not one by one as they are written: the system
// writes a group's bytes together, and no more files are held open at once than it allows.
constexpr size_t kHeldAtOnce = 64;

}  // namespace

AllOrNothingFiles::~AllOrNothingFiles() {
  held_.clear();  // closed before they are removed
  for (const Written& file : written_) files_.RemoveFile(file.Temporary);
  for (const std::string& path : named_) files_.RemoveFile(path);
  // The files replaced before the commit failed go back to their names.
  for (const Written& old : kept_) files_.RenameReplacing(old.Temporary, old.Path);
}

bool AllOrNothingFiles::Write(const std::string& path, bool replaces,
                              const std::function<bool(Stream&)>& write) {
  const std::string written = replaces ? path + ".vlmtmp" : path;
  std::unique_ptr<Stream> out =
      replaces ? files_.CreateExclusive(written) : files_.CreateNewExclusive(written);
  if (!out) return Fail(MessageKey::MsgTargetCreateFailed, path);
  written_.push_back({written, path});
  failure_.clear();
  if (!write(*out)) {
    return failure_.empty() ? Fail(MessageKey::MsgTargetWriteFailed, path) : false;
  }
  if (!flush_all_ && !replaces) return true;
  // The disk starts on it now, while the next files are made: the group's flush then waits for
  // little.
  out->FlushAhead();
  held_.push_back({std::move(out), path});
  return held_.size() < kHeldAtOnce || FlushHeld();
}

bool AllOrNothingFiles::Commit() {
  if (!FlushHeld()) return false;
  for (const Written& file : written_) {
    if (file.Temporary != file.Path && !force_ && files_.FileIsPresent(file.Path)) {
      SetLastSystemError(SystemErrorAlreadyExists());
      return Fail(MessageKey::MsgTargetCreateFailed, file.Path);
    }
  }
  for (size_t k = 0; k < written_.size(); ++k) {
    const Written file = written_[k];
    const auto fail_here = [&] {
      written_.erase(written_.begin(), written_.begin() + static_cast<std::ptrdiff_t>(k));
      return Fail(MessageKey::MsgTargetWriteFailed, file.Path);
    };
    // Each rename makes the folder's names durable, those created under their own names too.
    // A file replaced is kept aside until every file has its name, so that a rename that fails
    // later can give it back.
    if (file.Temporary != file.Path) {
      if (files_.FileIsPresent(file.Path)) {
        const std::string aside = file.Path + ".vlmold";
        if (!files_.RenameReplacing(file.Path, aside)) return fail_here();
        kept_.push_back({aside, file.Path});
      }
      if (!files_.RenameReplacing(file.Temporary, file.Path)) return fail_here();
    }
    named_.push_back(file.Path);
  }
  written_.clear();
  named_.clear();
  for (const Written& old : kept_) files_.RemoveFile(old.Temporary);
  kept_.clear();
  return true;
}

bool AllOrNothingFiles::FlushHeld() {
  for (Held& file : held_) {
    if (!file.Out->Flush()) return Fail(MessageKey::MsgTargetWriteFailed, file.Path);
    file.Out.reset();
  }
  held_.clear();
  return true;
}

bool AllOrNothingFiles::Fail(MessageKey key, const std::string& path) {
  failure_ = Message(key, {path, LastSystemErrorText()});
  return false;
}

}  // namespace velmora

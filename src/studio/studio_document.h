// What the Studio has open: an archive, or a script with the archive it rebuilds; the pending
// changes; and the script they are saved to. Everything the window does to the data goes
// through here, so that it can be tested without a window.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "studio/studio_archive.h"
#include "studio/pending_changes.h"
#include "studio/studio_script.h"
#include "sys/file_system.h"
#include "wdf/archive_diff.h"

namespace velmora {

// What a comparison with another archive found for the entries of the open one, paired as
// `velmora diff` pairs them (the k-th entry of an id with the k-th entry of that id there).
struct ComparisonMarks {
  std::vector<EntryChange> Entries;  // per entry: kSame, kChanged, or kRemoved (no partner there)
  size_t Differing = 0;              // entries that are not kSame
  size_t OnlyThere = 0;              // entries only the other archive has
};

class StudioDocument {
 public:
  explicit StudioDocument(FileSystem& files) : files_(files) {}

  // Opens an archive, or a script (a name ending in .vlm) with its source archive and its
  // rules as pending changes. False with `*problem` in the catalogue's words; what was open
  // stays open then.
  bool Open(const std::string& path, std::string* problem);

  bool IsOpen() const { return archive_ != nullptr; }
  StudioArchive& Archive() { return *archive_; }
  PendingChanges& Changes() { return changes_; }
  const PendingChanges& Changes() const { return changes_; }
  bool HasScript() const { return !places_.ScriptPath.empty(); }
  const std::string& ScriptPath() const { return places_.ScriptPath; }
  // The archive a run of the saved script writes; empty before the first save.
  const std::string& TargetPath() const { return places_.TargetPath; }
  bool InPlace() const { return places_.InPlace; }

  // Writes the script to `script_path` (the open script rewritten when it is the same file, a
  // new script otherwise), through a temporary file beside it so that a failed write leaves the
  // old script whole. False with either `*unwritable` (a path that no script can hold) or
  // `*problem` (the catalogue's words with the system's reason) set.
  bool SaveScript(const std::string& script_path, const ScriptTarget& target,
                  std::string* unwritable, std::string* problem);

  // An id no entry has yet and that no added entry has: an entry may be added with it.
  bool IdIsFree(uint32_t id) const;

  // Compares the open archive with the archive at `path`; false with `*problem` in the
  // catalogue's words when either cannot be read as a whole (an entry outside its file stops the
  // comparison, as it stops `velmora diff`).
  bool CompareWith(const std::string& path, std::string* problem);
  const ComparisonMarks* Comparison() const { return comparison_.get(); }
  const std::string& ComparedPath() const { return compared_path_; }

 private:
  FileSystem& files_;
  std::unique_ptr<StudioArchive> archive_;
  PendingChanges changes_;
  ScriptPlaces places_;
  std::string script_text_;
  std::map<uint32_t, RuleLine> rules_;
  std::unique_ptr<ComparisonMarks> comparison_;
  std::string compared_path_;
};

// True when `path` names a script (its name ends in .vlm in any letter case).
bool IsScriptPath(const std::string& path);

}  // namespace velmora

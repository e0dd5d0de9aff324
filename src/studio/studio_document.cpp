#include "studio/studio_document.h"

#include "msg/format.h"
#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

bool ReadWholeFile(FileSystem& files, const std::string& path, std::string* bytes) {
  std::unique_ptr<Stream> stream = files.OpenShared(path);
  uint64_t size = 0;
  if (!stream || !stream->Size(&size)) return false;
  // A script is text a person wrote; anything beyond this is no script.
  if (size > 64u * 1024 * 1024) return false;
  bytes->resize(static_cast<size_t>(size));
  return stream->Read(&(*bytes)[0], bytes->size()) == bytes->size();
}

}  // namespace

bool IsScriptPath(const std::string& path) {
  return path.size() >= 4 && EqualFoldingAscii(path.substr(path.size() - 4), ".vlm");
}

bool StudioDocument::Open(const std::string& path, std::string* problem) {
  auto archive = std::make_unique<StudioArchive>();
  ScriptPlaces places;
  std::string text;
  if (IsScriptPath(path)) {
    if (!ReadWholeFile(files_, path, &text)) {
      *problem = Message(MessageKey::MsgScriptNotFound, {path}) + "\r" + LastSystemErrorText();
      return false;
    }
    if (!LocateScriptPlaces(ScriptLines(text), path, &places, problem)) return false;
    if (!files_.FileIsPresent(places.SourcePath)) {
      *problem = Message(MessageKey::MsgSourceNotFound, {places.SourcePath});
      return false;
    }
    if (!archive->Open(files_, places.SourcePath)) {
      *problem =
          Message(MessageKey::MsgSourceOpenFailed, {places.SourcePath, LastSystemErrorText()});
      return false;
    }
  } else if (!archive->Open(files_, path)) {
    *problem = Message(MessageKey::MsgSourceOpenFailed, {path, LastSystemErrorText()});
    return false;
  }
  archive_ = std::move(archive);
  nested_ = false;
  places_ = places;
  script_text_ = text;
  changes_ = PendingChanges(archive_->Count());
  rules_.clear();
  comparison_.reset();
  compared_path_.clear();
  if (HasScript()) {
    std::map<uint32_t, uint32_t> added;
    rules_ = ReadScriptRules(ScriptLines(text), places_, *archive_, &added);
    for (const auto& rule : rules_) {
      auto id = added.find(rule.first);
      changes_.Load(rule.first, rule.second.Change, id == added.end() ? 0 : id->second);
    }
  }
  return true;
}

bool StudioDocument::SaveScript(const std::string& script_path, const ScriptTarget& target,
                                std::string* unwritable, std::string* problem) {
  unwritable->clear();
  problem->clear();
  std::string text;
  const bool rewrite = HasScript() && EqualFoldingAscii(script_path, places_.ScriptPath);
  const bool made =
      rewrite ? RewriteScriptText(script_text_, places_, rules_, *archive_, changes_, target, &text,
                                  unwritable)
              : NewScriptText(script_path, *archive_, changes_, target, &text, unwritable);
  if (!made) return false;
  const std::string temporary = script_path + ".vlmtmp";
  std::unique_ptr<Stream> out = files_.CreateExclusive(temporary);
  if (!out) {
    *problem = Message(MessageKey::MsgTargetCreateFailed, {temporary, LastSystemErrorText()});
    return false;
  }
  if (!out->Write(text.data(), text.size()) || !out->Flush()) {
    *problem = Message(MessageKey::MsgTargetWriteFailed, {temporary, LastSystemErrorText()});
    out.reset();
    files_.RemoveFile(temporary);
    return false;
  }
  out.reset();
  if (!files_.RenameReplacing(temporary, script_path)) {
    *problem = Message(MessageKey::MsgTargetWriteFailed, {script_path, LastSystemErrorText()});
    files_.RemoveFile(temporary);
    return false;
  }

  // The saved script is now the one open: its rules are what the changes are measured against.
  const ScriptLines script(text);
  ScriptPlaces places;
  std::string refused;
  if (!LocateScriptPlaces(script, script_path, &places, &refused)) {
    *problem = refused;
    return false;
  }
  std::map<uint32_t, uint32_t> added;
  std::map<uint32_t, RuleLine> rules = ReadScriptRules(script, places, *archive_, &added);
  // Added entries are read back in order; they keep the positions the list knows them by.
  std::map<uint32_t, uint32_t> position_of_added_id;
  for (uint32_t position : changes_.AddedPositions()) {
    position_of_added_id[changes_.AddedId(position)] = position;
  }
  rules_.clear();
  for (auto& rule : rules) {
    auto id = added.find(rule.first);
    const uint32_t position = id == added.end() ? rule.first : position_of_added_id[id->second];
    rules_[position] = rule.second;
  }
  places_ = places;
  script_text_ = text;
  changes_.MarkSaved();
  return true;
}

bool StudioDocument::IdIsFree(uint32_t id) const {
  uint32_t position = 0;
  if (archive_->FirstWithId(id, &position)) return false;
  for (uint32_t added : changes_.AddedPositions()) {
    if (changes_.AddedId(added) == id) return false;
  }
  return true;
}

bool StudioDocument::CompareWith(const std::string& path, std::string* problem) {
  std::unique_ptr<Stream> other = files_.OpenShared(path);
  if (!other) {
    *problem = Message(MessageKey::MsgRefArchiveOpenFailed, {path, LastSystemErrorText()});
    return false;
  }
  ArchiveIndex other_index;
  ArchiveIndex mine;
  if (ReadArchiveIndex(*other, &other_index) != ArchiveFault::kNone) {
    *problem = Message(MessageKey::MsgRefArchiveNotWdf, {path});
    return false;
  }
  std::unique_ptr<Stream> my_stream = files_.OpenShared(archive_->Path());
  if (!my_stream || ReadArchiveIndex(*my_stream, &mine) != ArchiveFault::kNone) {
    *problem = Message(MessageKey::MsgSourceNotWdf, {archive_->Path()});
    return false;
  }
  const DiffResult result = CompareArchives(*my_stream, mine, *other, other_index);
  switch (result.Fault) {
    case DiffFault::kNone:
      break;
    case DiffFault::kOldEntryOutside:
    case DiffFault::kOldReadFailed:
      *problem = Message(MessageKey::MsgSourceNotWdf, {archive_->Path()});
      return false;
    case DiffFault::kNewEntryOutside:
    case DiffFault::kNewReadFailed:
      *problem = Message(MessageKey::MsgRefArchiveNotWdf, {path});
      return false;
  }
  auto marks = std::make_unique<ComparisonMarks>();
  marks->Entries.assign(mine.Entries.size(), EntryChange::kSame);
  for (const EntryPair& pair : result.Difference.Pairs) {
    if (pair.Change != EntryChange::kSame) marks->Differences.push_back(pair);
    if (pair.OldEntry == EntryPair::kNoEntry) {
      ++marks->OnlyThere;
      continue;
    }
    marks->Entries[pair.OldEntry] = pair.Change;
    if (pair.Change != EntryChange::kSame) ++marks->Differing;
  }
  comparison_ = std::move(marks);
  compared_path_ = path;
  return true;
}

}  // namespace velmora

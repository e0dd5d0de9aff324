// velmora restore [--list | --to N | --original | --prune [--keep K] [--force]] ARCHIVE
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/terminal_texts.h"
#include "cli/command_support.h"
#include "cli/terminal_view.h"
#include "job/paths.h"
#include "job/archive_backups.h"
#include "job/mod_run.h"
#include "msg/format.h"
#include "sys/system_error.h"
#include "wdf/wdf.h"

namespace velmora {

namespace {

int64_t Signed(uint64_t n) { return static_cast<int64_t>(n); }

// Seconds since 1970 as UTC "YYYY-MM-DD HH:MM".
std::string UtcText(int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
#if defined(_WIN32)
  if (gmtime_s(&parts, &time) != 0) return "?";
#else
  if (gmtime_r(&time, &parts) == nullptr) return "?";
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
  return text;
}

// When the file was last written, from the system's own measure: for a backup without a note.
std::string WrittenText(Stream& stream) {
  FileVersion version;
  if (!stream.Version(&version)) return "?";
#if defined(_WIN32)
  // 100-nanosecond steps since 1601.
  return UtcText(static_cast<int64_t>(version.Written / 10000000u) - 11644473600LL);
#else
  return UtcText(static_cast<int64_t>(version.Written / 1000000000u));
#endif
}

// What made a backup, in the tool's words: the script whose run replaced the archive, or the
// restore that did.
std::string MadeByText(const Console& console, const ArchiveBackup& backup) {
  const BackupNote& note = backup.Note;
  switch (MadeBy(backup)) {
    case BackupMaker::kUnknown:
      break;
    case BackupMaker::kRestore:
      return ToolText(console, TextKey::TxtRestoreMadeByRestore,
                      {static_cast<int64_t>(note.Restored)});
    case BackupMaker::kUndo:
      return ToolText(console, TextKey::TxtRestoreMadeByUndo, {ShownPath(note.Script)});
    case BackupMaker::kPatch:
      return ToolText(console, TextKey::TxtRestoreMadeByPatch, {ShownPath(note.Script)});
    case BackupMaker::kScript:
      return ToolText(console, TextKey::TxtRestoreMadeByScript, {ShownPath(note.Script)});
  }
  return ToolText(console, TextKey::TxtRestoreMadeByUnknown);
}

int ListArchiveBackups(CommandCall& call, const std::string& archive,
                       const std::vector<ArchiveBackup>& backups) {
  Console& console = call.Terminal;
  if (backups.empty()) {
    console.Out(FormatText(ToolText(console, TextKey::TxtRestoreSHasNoBackupsN), {archive}));
    return kExitOk;
  }
  std::string out;
  for (const ArchiveBackup& backup : backups) {
    std::unique_ptr<Stream> stream = call.Files.OpenShared(backup.Path);
    std::string made = backup.HasNote && backup.Note.Made > 0 ? UtcText(backup.Note.Made) : "?";
    std::string entries = "?";
    uint32_t count = 0;
    if (stream) {
      if (made == "?") made = WrittenText(*stream);
      if (ReadWdfHeader(*stream, &count, nullptr)) entries = std::to_string(count);
    }
    out += ToolText(console, TextKey::TxtRestoreListLine,
                    {static_cast<int64_t>(backup.Number), backup.Path, made, Signed(backup.Size),
                     entries, MadeByText(console, backup)});
  }
  console.Out(out);
  return kExitOk;
}

int Fail(Console& console, const std::string& problem) {
  PrintError(console, problem);
  return kExitFailed;
}

// Puts `backup` back in the archive's place; the archive it replaces is kept as a backup itself.
int RestoreChosen(CommandCall& call, const std::string& archive, const ArchiveBackup& backup) {
  Console& console = call.Terminal;
  BackupNote note = NoteMadeNow(std::string());
  note.Restored = backup.Number;
  std::string kept;
  std::string failure;
  if (!RestoreBackup(call.Files, archive, backup, note, &kept, &failure)) {
    return Fail(console, TerminalText(failure));
  }
  std::string text =
      FormatText(ToolText(console, TextKey::TxtRestoreSRestoredFromSN), {archive, backup.Path});
  if (!kept.empty()) {
    text += FormatText(ToolText(console, TextKey::TxtRestoreTheArchiveItReplacedIs), {kept});
  }
  console.Out(text);
  return kExitOk;
}

int Prune(CommandCall& call, const std::string& archive, const std::vector<ArchiveBackup>& backups,
          size_t keep, bool with_original) {
  Console& console = call.Terminal;
  std::vector<std::string> removed;
  std::string failure;
  const bool pruned = PruneBackups(call.Files, backups, keep, with_original, &removed, &failure);
  std::string text;
  for (const std::string& path : removed) {
    text += ToolText(console, TextKey::TxtRestoreRemoved, {path});
  }
  if (removed.empty() && pruned)
    text = ToolText(console, TextKey::TxtRestoreNothingToPrune, {archive});
  if (!with_original && !backups.empty() && backups.size() > keep) {
    text += ToolText(console, TextKey::TxtRestoreOriginalKept, {backups.front().Path});
  }
  console.Out(text);
  return pruned ? kExitOk : Fail(console, TerminalText(failure));
}

// A whole number from 1 to `max`.
bool ParseCount(const std::string& text, uint64_t max, uint64_t* number) {
  if (text.empty() || text.size() > 10) return false;
  *number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    *number = *number * 10 + static_cast<uint64_t>(c - '0');
  }
  return *number <= max;
}

int RunRestore(CommandCall& call) {
  if (ShowHelpWhenAsked(call, kRestoreCommand)) return kExitOk;
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(call.Args,
                      {{0, "list", false},
                       {0, "to", true},
                       {0, "original", false},
                       {0, "prune", false},
                       {0, "keep", true},
                       {0, "force", false}},
                      call.Terminal, &parsed, &error)) {
    return UsageError(call.Terminal, "restore", error);
  }
  Console& console = call.Terminal;
  const int choices =
      parsed.Has("list") + parsed.Has("to") + parsed.Has("original") + parsed.Has("prune");
  if (choices > 1) {
    return UsageError(console, "restore", ToolText(console, TextKey::TxtRestoreOneOfListToPrune));
  }
  if ((parsed.Has("keep") || parsed.Has("force")) && !parsed.Has("prune")) {
    return UsageError(console, "restore", ToolText(console, TextKey::TxtRestoreKeepGoesWithPrune));
  }
  uint64_t number = 0;
  if (parsed.Has("to") &&
      (!ParseCount(parsed.Options.at("to"), 0xFFFFFFFFu, &number) || number == 0)) {
    return UsageError(
        console, "restore",
        ToolText(console, TextKey::TxtRestoreNotABackupNumber, {parsed.Options.at("to")}));
  }
  uint64_t keep = 0;
  if (parsed.Has("keep") && !ParseCount(parsed.Options.at("keep"), 0xFFFFFFFFu, &keep)) {
    return UsageError(
        console, "restore",
        ToolText(console, TextKey::TxtRestoreNotABackupNumber, {parsed.Options.at("keep")}));
  }
  if (parsed.Operands.size() != 1) {
    return UsageError(console, "restore", ToolText(console, TextKey::TxtRestoreGiveOneArchive));
  }
  const std::string& archive = parsed.Operands[0];
  std::string mod_message;  // a mod's transaction in progress around the archive comes first
  if (CompleteModAround(call.Files, archive, &mod_message)) {
    console.Err(TerminalText(mod_message) + "\n");
  }
  std::string completed;
  if (RecoverInterruptedSwap(call.Files, archive, &completed)) {
    console.Err(FormatText(ToolText(console, TextKey::TxtRestoreAnInterruptedPatchWasCompleted),
                           {completed, archive}));
  }
  std::vector<ArchiveBackup> backups;
  if (!ListBackups(call.Files, archive, &backups)) {
    return Fail(console,
                Message(MessageKey::MsgSourceOpenFailed, {archive, LastSystemErrorText()}));
  }
  if (parsed.Has("list")) return ListArchiveBackups(call, archive, backups);
  if (parsed.Has("prune")) {
    return Prune(call, archive, backups, static_cast<size_t>(keep), parsed.Has("force"));
  }
  if (backups.empty()) {
    return Fail(console,
                FormatText(ToolText(console, TextKey::TxtRestoreSHasNoBackupTo), {archive}));
  }
  const ArchiveBackup* chosen = &backups.back();
  if (parsed.Has("original")) chosen = &backups.front();
  if (parsed.Has("to")) {
    chosen = FindBackup(backups, static_cast<uint32_t>(number));
    if (!chosen) {
      return Fail(console, ToolText(console, TextKey::TxtRestoreNoBackupNumbered,
                                    {archive, static_cast<int64_t>(number)}));
    }
  }
  return RestoreChosen(call, archive, *chosen);
}

}  // namespace

extern const CommandInfo kRestoreCommand = {
    "restore",
    RunRestore,
    texts_en::TxtSummaryRestore,
    texts_zh::TxtSummaryRestore,
    texts_en::TxtHelpRestore,
    texts_zh::TxtHelpRestore,
};

}  // namespace velmora

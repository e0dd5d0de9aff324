// velmora restore [--list] ARCHIVE
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/terminal_texts.h"
#include "cli/command_support.h"
#include "cli/terminal_view.h"
#include "job/archive_backups.h"
#include "job/mod_run.h"
#include "msg/format.h"
#include "sys/system_error.h"
#include "wdf/wdf.h"

namespace velmora {

namespace {

int64_t Signed(uint64_t n) { return static_cast<int64_t>(n); }

// When the file was last written, as UTC "YYYY-MM-DD HH:MM", from the system's own measure.
std::string WrittenText(Stream& stream) {
  FileVersion version;
  if (!stream.Version(&version)) return "?";
#if defined(_WIN32)
  // 100-nanosecond steps since 1601.
  const int64_t seconds = static_cast<int64_t>(version.Written / 10000000u) - 11644473600LL;
#else
  const int64_t seconds = static_cast<int64_t>(version.Written / 1000000000u);
#endif
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
    std::string written = "?";
    std::string entries = "?";
    uint32_t count = 0;
    if (stream) {
      written = WrittenText(*stream);
      if (ReadWdfHeader(*stream, &count, nullptr)) entries = std::to_string(count);
    }
    out += FormatText(ToolText(console, TextKey::TxtRestoreSSDBytesS),
                      {backup.Path, written, Signed(backup.Size), entries});
  }
  console.Out(out);
  return kExitOk;
}

int Fail(Console& console, const std::string& problem) {
  PrintError(console, problem);
  return kExitFailed;
}

// Copies the backup beside the archive under a free temporary name.
bool CopyBackupBeside(FileSystem& files, const std::string& archive, const std::string& backup,
                      std::string* copy) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::string name = TemporaryArchiveName(archive, attempt);
    if (files.FileIsPresent(name) || files.DirectoryExists(name)) continue;
    if (!CopyWholeFile(files, backup, name)) return false;
    *copy = name;
    return true;
  }
  return false;
}

// The newest backup goes back in the archive's place; the archive it replaces is kept as a
// backup itself. The backup is copied first, so that every step can be cut short without loss.
int RestoreNewest(CommandCall& call, const std::string& archive,
                  const std::vector<ArchiveBackup>& backups) {
  Console& console = call.Terminal;
  FileSystem& files = call.Files;
  if (backups.empty()) {
    return Fail(console,
                FormatText(ToolText(console, TextKey::TxtRestoreSHasNoBackupTo), {archive}));
  }
  const ArchiveBackup& newest = backups.back();
  {
    std::unique_ptr<Stream> stream = files.OpenShared(newest.Path);
    if (!stream || !ReadWdfHeader(*stream, nullptr, nullptr)) {
      return Fail(console, Message(MessageKey::MsgSourceNotWdf, {newest.Path}));
    }
  }
  std::string copy;
  if (!CopyBackupBeside(files, archive, newest.Path, &copy)) {
    return Fail(console, Message(MessageKey::MsgTargetWriteFailed,
                                 {TemporaryArchiveName(archive, 0), LastSystemErrorText()}));
  }
  std::string kept;
  if (files.FileIsPresent(archive)) {
    SwapStep failed = SwapStep::kNone;
    if (!SwapInNewArchive(files, archive, copy, &kept, &failed)) {
      const std::string reason = LastSystemErrorText();
      files.RemoveFile(copy);
      return Fail(console, failed == SwapStep::kPlaceNew
                               ? Message(MessageKey::MsgTargetReplaceFailed, {archive, reason})
                               : Message(MessageKey::MsgBackupFailed, {archive, reason}));
    }
  } else if (!files.RenameReplacing(copy, archive)) {
    const std::string reason = LastSystemErrorText();
    files.RemoveFile(copy);
    return Fail(console, Message(MessageKey::MsgTargetReplaceFailed, {archive, reason}));
  }
  // The backup's bytes are the archive's now; should the removal fail, a copy too many remains.
  files.RemoveFile(newest.Path);
  std::string text =
      FormatText(ToolText(console, TextKey::TxtRestoreSRestoredFromSN), {archive, newest.Path});
  if (!kept.empty()) {
    text += FormatText(ToolText(console, TextKey::TxtRestoreTheArchiveItReplacedIs), {kept});
  }
  console.Out(text);
  return kExitOk;
}

int RunRestore(CommandCall& call) {
  if (ShowHelpWhenAsked(call, kRestoreCommand)) return kExitOk;
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(call.Args, {{0, "list", false}}, call.Terminal, &parsed, &error)) {
    return UsageError(call.Terminal, "restore", error);
  }
  if (parsed.Operands.size() != 1) {
    return UsageError(call.Terminal, "restore",
                      ToolText(call.Terminal, TextKey::TxtRestoreGiveOneArchive));
  }
  const std::string& archive = parsed.Operands[0];
  Console& console = call.Terminal;
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
  return RestoreNewest(call, archive, backups);
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

// velmora restore [--list] ARCHIVE
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/command_support.h"
#include "job/archive_backups.h"
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
    console.Out(FormatText(Localized(console, "%s has no backups\n", "%s 没有备份\n"), {archive}));
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
    out += FormatText(
        Localized(console, "%s  %s  %d bytes  %s entries\n", "%s  %s  %d 字节  %s 个条目\n"),
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
                FormatText(Localized(console, "%s has no backup to restore", "%s 没有可恢复的备份"),
                           {archive}));
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
  std::string text = FormatText(Localized(console, "%s restored from %s\n", "%s 已从 %s 恢复\n"),
                                {archive, newest.Path});
  if (!kept.empty()) {
    text += FormatText(
        Localized(console, "the archive it replaced is kept as %s (restore again to undo)\n",
                  "被替换的归档保留为 %s（再次执行 restore 可撤销）\n"),
        {kept});
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
                      Localized(call.Terminal, "give one archive", "需要一个归档文件"));
  }
  const std::string& archive = parsed.Operands[0];
  Console& console = call.Terminal;
  std::string completed;
  if (RecoverInterruptedSwap(call.Files, archive, &completed)) {
    console.Err(
        FormatText(Localized(console, "an interrupted patch was completed: %s took the name %s\n",
                             "已完成被中断的修补：%s 已改名为 %s\n"),
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
    "put back the archive that a patch in place kept as a backup",
    "恢复原地修补时保留的备份归档",
    "Usage: {tool} restore [--list] ARCHIVE\n"
    "\n"
    "A script with #InPlace=yes (as '{tool} diff --patch' writes one) keeps the archive it\n"
    "patches as ARCHIVE.N.bak beside it, N one above every backup already there. restore\n"
    "puts the newest backup back in ARCHIVE's place; the archive it replaces becomes a backup\n"
    "itself, so a second restore undoes the first. A patch that was cut short between its two\n"
    "renames (a kill, a power cut) is completed first.\n"
    "\n"
    "  --list    list the backups: name, date written (UTC), size and entry count\n"
    "\n"
    "Exit status: 0 done; 1 no backup, or it could not be put back (the archive is then as it\n"
    "was); 2 wrong command line.\n",
    "用法：{tool} restore [--list] 归档\n"
    "\n"
    "带 #InPlace=yes 的脚本（'{tool} diff --patch' 写出的就是）在修补归档时，会把原归档保留在\n"
    "旁边，名为 归档.N.bak，N 比已有的所有备份编号都大。restore 把最新的备份放回归档的位置；\n"
    "被替换的归档本身成为一个备份，因此再执行一次 restore 即可撤销。若修补在两次改名之间被\n"
    "中断（被终止、断电），会先完成它。\n"
    "\n"
    "  --list    列出备份：名称、写入时间（UTC）、大小和条目数\n"
    "\n"
    "退出码：0 成功；1 没有备份，或无法放回（归档保持原样）；2 命令行有误。\n",
};

}  // namespace velmora

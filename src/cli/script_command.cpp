// velmora script --from-dir DIR [--all] [--dest TARGET] -o SCRIPT ARCHIVE
#include <algorithm>
#include <map>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/script_from_dir.h"
#include "cli/script_job.h"
#include "cli/terminal_texts.h"
#include "job/path_route.h"
#include "job/paths.h"
#include "msg/format.h"
#include "sys/cp936_text.h"
#include "sys/process.h"
#include "sys/system_error.h"
#include "wdf/resource_id.h"

namespace velmora {

namespace {

// The names of a route converted to code page 936; false when one has no form there.
bool Cp936Names(const std::vector<std::string>& names, std::vector<std::string>* converted) {
  converted->clear();
  for (const std::string& name : names) {
    std::string cp936;
    if (!Cp936FromPathText(name, &cp936)) return false;
    converted->push_back(cp936);
  }
  return true;
}

// True in `*same` when the file at `path` holds exactly the entry's bytes. False when the file
// cannot be read (the system's reason stays in the last error).
bool FileHoldsEntry(FileSystem& files, const std::string& path, Stream& archive,
                    const WdfEntry& entry, uint64_t archive_size, bool* same) {
  std::unique_ptr<Stream> file = files.OpenShared(path);
  uint64_t size = 0;
  if (!file || !file->Size(&size)) return false;
  *same = false;
  if (size != entry.Size || !EntryBytesInFile(entry, archive_size)) return true;
  std::vector<char> mine(std::min<size_t>(entry.Size, kEntryReadPiece));
  bool equal = true;
  bool file_read = true;
  const bool read = ReadEntryBytes(archive, entry, [&](const char* data, size_t n) {
    file_read = file->Read(mine.data(), n) == n;
    equal = file_read && std::equal(data, data + n, mine.begin());
    return equal;
  });
  if (!file_read) return false;
  if (!read && equal) return false;  // the archive could not be read
  *same = equal;
  return true;
}

std::string ReasonText(const Console& console, const UnusableFile& file) {
  switch (file.Reason) {
    case UnusableReason::kNotAnId:
      return ToolText(console, TextKey::TxtItsNameIsNotAnEntry);
    case UnusableReason::kNotInArchive:
      return ToolText(console, TextKey::TxtTheArchiveHasNoSuchEntry);
    case UnusableReason::kUnreachable:
      return ToolText(console, TextKey::TxtALaterEntryOfARepeated);
    case UnusableReason::kSecondFile:
      return ToolText(console, TextKey::TxtNamesTheSameEntryAs) + file.Other;
    case UnusableReason::kNoCp936Form:
      return ToolText(console, TextKey::TxtItsNameHasCharactersThatCode);
    case UnusableReason::kNotWritable:
      return ToolText(console, TextKey::TxtItsPathCannotStandInA);
  }
  return std::string();
}

// Where a script in `script_dir` finds `target`: the keys' values for the levels up and the
// path down, in code page 936. False with `*problem` set when no script can name it.
bool ScriptPathTo(const Console& console, const PathParts& script_dir, const PathParts& target,
                  const std::string& shown, std::string* up, std::string* down,
                  std::string* problem) {
  switch (ScriptKeyPath(script_dir, target, up, down)) {
    case ScriptPathResult::kNamed:
      return true;
    case ScriptPathResult::kUnreachable:
      *problem = FormatText(ToolText(console, TextKey::TxtCannotBeReachedFromTheScript), {shown});
      return false;
    case ScriptPathResult::kUnwritable:
      break;
  }
  *problem = FormatText(ToolText(console, TextKey::TxtThePathOfCannotBeWritten), {shown});
  return false;
}

PathParts DirectoryOf(PathParts path) {
  if (!path.Names.empty()) path.Names.pop_back();
  return path;
}

bool SamePath(const PathParts& a, const PathParts& b) {
  PathRoute route;
  return RouteBetween(a, b, &route) && route.Ups == 0 && route.Down.empty() &&
         a.Names.size() == b.Names.size();
}

// Files that name one entry: whichever a script took, the edit in the others would be lost
// without a word, so no script is written. The text names every such file, by entry; empty when
// each entry has one file at most.
std::string SameEntryFilesText(const Console& console, const std::string& dir,
                               const FolderSorting& sorting) {
  std::map<std::string, std::vector<std::string>> files_of;  // by the first file of the entry
  for (const UnusableFile& file : sorting.Unusable) {
    if (file.Reason == UnusableReason::kSecondFile) files_of[file.Other].push_back(file.Name);
  }
  if (files_of.empty()) return std::string();
  std::string text = ToolText(console, TextKey::TxtFilesForOneEntry, {dir});
  for (const auto& entry : files_of) {
    EditedFileName id;
    ParseEditedFileName(entry.first, &id);
    text += "\r  " + FormatId(id.Id) + ": " + JoinPath(dir, entry.first);
    for (const std::string& name : entry.second) text += ", " + JoinPath(dir, name);
  }
  return text;
}

int Fail(Console& console, const std::string& message) {
  PrintError(console, message);
  return kExitFailed;
}

int RunScript(CommandCall& call) {
  if (ShowHelpWhenAsked(call, kScriptCommand)) return kExitOk;
  Console& console = call.Terminal;
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(call.Args,
                      {{0, "from-dir", true},
                       {0, "all", false},
                       {0, "add", false},
                       {0, "dest", true},
                       {'o', "output", true},
                       {0, "force", false}},
                      call.Terminal, &parsed, &error)) {
    return UsageError(console, "script", error);
  }
  if (!parsed.Has("from-dir")) {
    return UsageError(console, "script", ToolText(console, TextKey::TxtFromDirDIRIsRequired));
  }
  if (!parsed.Has("output") || parsed.Options.at("output").empty() ||
      parsed.Options.at("output") == "-") {
    return UsageError(console, "script", ToolText(console, TextKey::TxtOSCRIPTIsRequired));
  }
  if (parsed.Operands.size() != 1) {
    return UsageError(console, "script", ToolText(console, TextKey::TxtGiveOneArchive));
  }
  const std::string& script_path = parsed.Options.at("output");
  const std::string& dir = parsed.Options.at("from-dir");
  const bool force = parsed.Has("force");

  OpenedArchive archive;
  if (!OpenReadableArchive(call, parsed.Operands[0], &archive)) return kExitFailed;
  if (call.Files.DirectoryExists(script_path)) {
    return Fail(console, FormatText(ToolText(console, TextKey::TxtIsAFolder), {script_path}));
  }
  if (!force && call.Files.FileIsPresent(script_path)) {
    return Fail(console,
                FormatText(ToolText(console, TextKey::TxtExistsForceReplacesIt), {script_path}));
  }

  const std::string current = CurrentDirectory();
  const PathParts script = AbsolutePathParts(script_path, current);
  const PathParts script_dir = DirectoryOf(script);
  const PathParts source = AbsolutePathParts(archive.Path, current);
  ScriptHeader header;
  std::string problem;
  if (!ScriptPathTo(console, script_dir, source, archive.Path, &header.SrcPath, &header.SrcFile,
                    &problem)) {
    return Fail(console, problem);
  }
  // The run's target: --dest, or without it (no #DestFile) the script's name with the source's
  // extension beside the script. A run refuses a target that is its own source.
  PathParts target = script_dir;
  if (parsed.Has("dest")) {
    target = AbsolutePathParts(parsed.Options.at("dest"), current);
    if (!ScriptPathTo(console, script_dir, target, parsed.Options.at("dest"), &header.DestPath,
                      &header.DestFile, &problem)) {
      return Fail(console, problem);
    }
  } else if (!script.Names.empty() && !source.Names.empty()) {
    target.Names.push_back(ReplaceExtension(script.Names.back(), Extension(source.Names.back())));
  }
  if (SamePath(target, source)) {
    return Fail(console,
                FormatText(ToolText(console, TextKey::TxtARunOfThisScriptWould), {archive.Path}));
  }

  std::vector<std::string> names;
  if (!call.Files.ListFiles(dir, &names)) {
    return Fail(console, FormatText(ToolText(console, TextKey::TxtTheFolderCannotBeRead), {dir}) +
                             LastSystemErrorText());
  }
  const PathParts folder = AbsolutePathParts(dir, current);
  PathRoute folder_route;
  std::vector<std::string> folder_names;
  if (!RouteBetween(script_dir, folder, &folder_route) ||
      !Cp936Names(folder_route.Down, &folder_names)) {
    return Fail(console,
                FormatText(ToolText(console, TextKey::TxtTheFolderCannotBeNamedIn), {dir}));
  }

  FolderSorting sorting = SortFolderFiles(archive.Index, names, parsed.Has("add"));
  const std::string clash = SameEntryFilesText(console, dir, sorting);
  if (!clash.empty()) return Fail(console, clash);
  std::vector<ScriptRule> rules;
  size_t unchanged = 0;
  for (const EditedFile& file : sorting.Files) {
    const std::string path = JoinPath(dir, file.Name);
    if (!parsed.Has("all") && !file.Added) {
      bool same = false;
      if (!FileHoldsEntry(call.Files, path, *archive.File, archive.Index.Entries[file.Entry],
                          archive.Index.FileSize, &same)) {
        return Fail(console,
                    Message(MessageKey::MsgRefFileOpenFailed, {path, LastSystemErrorText()}));
      }
      if (same) {
        ++unchanged;
        continue;
      }
    }
    std::string name;
    if (!Cp936FromPathText(file.Name, &name)) {
      sorting.Unusable.push_back({file.Name, UnusableReason::kNoCp936Form, {}});
      continue;
    }
    std::vector<std::string> route_names = folder_names;
    route_names.push_back(name);
    ScriptRule rule{file.Id, {}};
    if (!RulePathValue(ScriptRouteText(folder_route.Ups, route_names), &rule.Value)) {
      sorting.Unusable.push_back({file.Name, UnusableReason::kNotWritable, {}});
      continue;
    }
    rules.push_back(rule);
    header.AddEntries = header.AddEntries || file.Added;
  }
  for (const UnusableFile& file : sorting.Unusable) {
    console.Err(ToolText(console, TextKey::TxtNotUsable) + JoinPath(dir, file.Name) + ": " +
                ReasonText(console, file) + "\n");
  }

  const std::string text = WriteScriptText(header, rules);
  const size_t name_at = script_path.size() - LastPathName(script_path).size();
  const std::string script_folder = script_path.substr(0, name_at);
  if (!MakeDirectories(call.Files, script_folder)) {
    return Fail(console,
                Message(MessageKey::MsgTargetDirFailed, {script_folder, LastSystemErrorText()}));
  }
  std::unique_ptr<Stream> out =
      force ? call.Files.CreateExclusive(script_path) : call.Files.CreateNewExclusive(script_path);
  if (!out) {
    return Fail(console,
                Message(MessageKey::MsgTargetCreateFailed, {script_path, LastSystemErrorText()}));
  }
  if (!out->Write(text.data(), text.size())) {
    const std::string reason = LastSystemErrorText();
    out.reset();
    call.Files.RemoveFile(script_path);
    return Fail(console, Message(MessageKey::MsgTargetWriteFailed, {script_path, reason}));
  }
#if !defined(_WIN32)
  // A run on Linux steps a script that is valid UTF-8 as UTF-8; code page 936 bytes that happen
  // to form UTF-8 would then name other files.
  const bool has_cp936 =
      std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
  if (has_cp936 && IsValidUtf8(text)) {
    console.Err(ToolText(console, TextKey::TxtNoteTheScriptSCodePage));
  }
#endif
  console.Out(
      FormatText(ToolText(console, TextKey::TxtWrittenRulesFilesUnchangedNotUsable),
                 {script_path, static_cast<int64_t>(rules.size()), static_cast<int64_t>(unchanged),
                  static_cast<int64_t>(sorting.Unusable.size())}) +
      "\n");
  return kExitOk;
}

}  // namespace

extern const CommandInfo kScriptCommand = {
    "script",
    RunScript,
    texts_en::TxtSummaryScript,
    texts_zh::TxtSummaryScript,
    texts_en::TxtHelpScript,
    texts_zh::TxtHelpScript,
};

}  // namespace velmora

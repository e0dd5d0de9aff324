#include "cli/command_support.h"

#include <cstdio>
#include <new>

#include "cli/arguments.h"
#include "cli/terminal_texts.h"
#include "cli/terminal_view.h"

#include "msg/ansi_text.h"
#include "msg/file_failure.h"
#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

int64_t Signed(uint64_t value) { return static_cast<int64_t>(value); }

}  // namespace

bool ShowHelpWhenAsked(CommandCall& call, const CommandInfo& command) {
  if (!AsksForHelp(call.Args)) return false;
  call.Terminal.Out(
      AnsiFromUtf8(WithToolName(call.Terminal.Chinese() ? command.HelpZh : command.HelpEn)));
  return true;
}

void PrintError(Console& console, const std::string& message) {
  std::string lines = TerminalText(message);
  if (lines.empty() || lines.back() != '\n') lines += '\n';
  console.Err(lines + LetterCaseNote(console));
}

bool OpenArchive(CommandCall& call, const std::string& path, OpenedArchive* archive) {
  archive->Path = path;
  if (call.Files.DirectoryExists(path)) {
    PrintError(call.Terminal, ToolText(call.Terminal, TextKey::TxtArchiveIsFolder, {path}));
    return false;
  }
  if (!call.Files.FileIsPresentForReading(path)) {
    PrintError(call.Terminal, Message(MessageKey::MsgSourceNotFound, {path}));
    return false;
  }
  archive->File = call.Files.OpenShared(path);
  if (!archive->File) {
    PrintError(call.Terminal,
               Message(MessageKey::MsgSourceOpenFailed, {path, FileFailureReason(path)}));
    return false;
  }
  try {
    archive->Fault = ReadArchiveIndex(*archive->File, &archive->Index);
  } catch (const std::bad_alloc&) {
    archive->Index = ArchiveIndex();
    PrintError(call.Terminal, Message(MessageKey::MsgOutOfMemory, {path}));
    return false;
  }
  return true;
}

std::string ArchiveFaultText(const Console& console, const OpenedArchive& archive) {
  const ArchiveIndex& index = archive.Index;
  switch (archive.Fault) {
    case ArchiveFault::kNone:
      return std::string();
    case ArchiveFault::kNoMagic:
      return ToolText(console, TextKey::TxtTheFileDoesNotBeginWith);
    case ArchiveFault::kHeaderTruncated:
      return FormatText(ToolText(console, TextKey::TxtTheFileEndsWithinIts12),
                        {Signed(index.FileSize)});
    case ArchiveFault::kIndexBeyondEnd:
      return ToolText(
          console, TextKey::TxtIndexBeyondEnd,
          {CountText(console, index.Header.EntryCount, TextKey::TxtEntryOne, TextKey::TxtEntryMany),
           Signed(index.Header.IndexOffset),
           Signed(index.Header.IndexOffset + uint64_t{16} * index.Header.EntryCount),
           CountText(console, Signed(index.FileSize), TextKey::TxtByteOne, TextKey::TxtByteMany)});
    case ArchiveFault::kReadFailed:
      return ToolText(console, TextKey::TxtTheFileCouldNotBeRead) + LastSystemErrorText();
  }
  return std::string();
}

bool OpenReadableArchive(CommandCall& call, const std::string& path, OpenedArchive* archive) {
  if (!OpenArchive(call, path, archive)) return false;
  if (archive->Fault == ArchiveFault::kNone) return true;
  PrintError(call.Terminal, Message(MessageKey::MsgSourceNotWdf, {path}) + "\r" +
                                ArchiveFaultText(call.Terminal, *archive));
  return false;
}

std::string EntryOutsideFileText(const Console& console, const OpenedArchive& archive,
                                 size_t entry) {
  const WdfEntry& e = archive.Index.Entries[entry];
  return FormatText(ToolText(console, TextKey::TxtEntryIdOffsetSizeDoesNot),
                    {archive.Path, Signed(entry + 1), FormatId(e.Id), Signed(e.Offset),
                     Signed(e.Size), Signed(archive.Index.FileSize)});
}

std::string EntryUnreadableText(const Console& console, const OpenedArchive& archive,
                                size_t entry) {
  return FormatText(ToolText(console, TextKey::TxtEntryIdCouldNotBeRead),
                    {archive.Path, Signed(entry + 1), FormatId(archive.Index.Entries[entry].Id)}) +
         LastSystemErrorText();
}

}  // namespace velmora

// velmora list [--format text|tsv|json] ARCHIVE
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/listing_format.h"
#include "cli/terminal_texts.h"
#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

int RunList(CommandCall& call) {
  if (ShowHelpWhenAsked(call, kListCommand)) return kExitOk;
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(call.Args, {{0, "format", true}}, call.Terminal, &parsed, &error)) {
    return UsageError(call.Terminal, "list", error);
  }
  ListingForm form = ListingForm::kText;
  if (parsed.Has("format")) {
    const std::string& name = parsed.Options.at("format");
    if (name == "tsv") {
      form = ListingForm::kTsv;
    } else if (name == "json") {
      form = ListingForm::kJson;
    } else if (name != "text") {
      return UsageError(call.Terminal, "list",
                        ToolText(call.Terminal, TextKey::TxtUnknownListFormat, {name}));
    }
  }
  if (parsed.Operands.size() != 1) {
    return UsageError(call.Terminal, "list", ToolText(call.Terminal, TextKey::TxtGiveOneArchive));
  }
  OpenedArchive archive;
  if (!OpenReadableArchive(call, parsed.Operands[0], &archive)) return kExitFailed;

  const ArchiveIndex& index = archive.Index;
  std::vector<EntryKind> kinds(index.Entries.size());
  for (size_t k = 0; k < index.Entries.size(); ++k) {
    if (!ReadEntryKind(*archive.File, index.Entries[k], index.FileSize, &kinds[k])) {
      PrintError(call.Terminal, Message(MessageKey::MsgSourceNotWdf, {archive.Path}) + "\r" +
                                    ToolText(call.Terminal, TextKey::TxtAnEntryCouldNotBeRead) +
                                    FormatId(index.Entries[k].Id) + " " + LastSystemErrorText());
      return kExitFailed;
    }
  }
  const std::string summary =
      ToolText(call.Terminal, TextKey::TxtListingSummary,
               {CountText(call.Terminal, static_cast<int64_t>(index.Entries.size()),
                          TextKey::TxtEntryOne, TextKey::TxtEntryMany),
                static_cast<int64_t>(index.Header.IndexOffset),
                CountText(call.Terminal, static_cast<int64_t>(index.FileSize), TextKey::TxtByteOne,
                          TextKey::TxtByteMany)});
  call.Terminal.Out(FormatListing(form, index, kinds, call.Terminal, summary));
  return kExitOk;
}

}  // namespace

extern const CommandInfo kListCommand = {
    "list",
    RunList,
    texts_en::TxtSummaryList,
    texts_zh::TxtSummaryList,
    texts_en::TxtHelpList,
    texts_zh::TxtHelpList,
};

}  // namespace velmora

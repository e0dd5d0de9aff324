// velmora verify ARCHIVE...
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/json_text.h"
#include "cli/terminal_texts.h"
#include "msg/ansi_text.h"
#include "msg/format.h"
#include "wdf/archive_check.h"

namespace velmora {

namespace {

int64_t Signed(uint64_t value) { return static_cast<int64_t>(value); }

// "entry 3 (id 0000A1B3)", "the header" or "the index", with the bytes it covers.
std::string RegionText(const Console& console, const OpenedArchive& archive,
                       const ArchiveRegion& region) {
  std::string what;
  if (region.Entry == ArchiveRegion::kHeader) {
    what = ToolText(console, TextKey::TxtTheHeader);
  } else if (region.Entry == ArchiveRegion::kIndex) {
    what = ToolText(console, TextKey::TxtTheIndex);
  } else {
    what = FormatText(ToolText(console, TextKey::TxtEntryId),
                      {region.Entry + 1, FormatId(archive.Index.Entries[region.Entry].Id)});
  }
  return what + FormatText(ToolText(console, TextKey::TxtAtBytes),
                           {Signed(region.Start), Signed(region.End)});
}

std::string FindingText(const Console& console, const OpenedArchive& archive,
                        const ArchiveFinding& f) {
  const ArchiveIndex& index = archive.Index;
  const uint64_t index_room = uint64_t{16} * index.Entries.size();
  switch (f.Kind) {
    case ArchiveFinding::Type::kFault:
      return Message(MessageKey::MsgSourceNotWdf, {archive.Path}) + ": " +
             ArchiveFaultText(console, archive);
    case ArchiveFinding::Type::kEntryBeyondFile:
      return FormatText(ToolText(console, TextKey::TxtEntryIdEndsAtByteWith),
                        {f.Region.Entry + 1, FormatId(index.Entries[f.Region.Entry].Id),
                         Signed(f.Region.End), Signed(index.FileSize)});
    case ArchiveFinding::Type::kEntryInIndexRoom:
      return FormatText(
          ToolText(console, TextKey::TxtEntryIdEndsAtByteWith2),
          {f.Region.Entry + 1, FormatId(index.Entries[f.Region.Entry].Id), Signed(f.Region.End),
           Signed(index_room), Signed(index.FileSize - index_room)});
    case ArchiveFinding::Type::kDuplicateId:
      return FormatText(ToolText(console, TextKey::TxtEntryRepeatsIdOfEntryRules),
                        {f.Region.Entry + 1, FormatId(index.Entries[f.Other.Entry].Id),
                         f.Other.Entry + 1, f.Other.Entry + 1});
    case ArchiveFinding::Type::kOverlap:
      return ToolText(
          console, TextKey::TxtRegionsOverlap,
          {RegionText(console, archive, f.Region), RegionText(console, archive, f.Other)});
    case ArchiveFinding::Type::kUncovered:
      return FormatText(
          ToolText(console, TextKey::TxtBytesBytesBelongToNoEntry),
          {Signed(f.Region.Start), Signed(f.Region.End), Signed(f.Region.End - f.Region.Start)});
  }
  return std::string();
}

// Judges one archive, printing the details and its summary line (or, for `json`, appending its
// verdict to the document); true when it is valid. An archive that cannot be read at all has
// been reported on standard error, once.
bool VerifyArchive(CommandCall& call, const std::string& path, std::string* json) {
  OpenedArchive archive;
  if (!OpenArchive(call, path, &archive)) {
    if (json)
      *json += "{\"path\":" + JsonString(Utf8FromAnsi(path)) + ",\"verdict\":\"unreadable\"}";
    return false;
  }
  const ArchiveCheck check = CheckArchive(archive.Index, archive.Fault);
  std::string out;
  std::string findings;
  for (const ArchiveFinding& finding : check.Findings) {
    const std::string text = FindingText(call.Terminal, archive, finding);
    out += ToolText(call.Terminal,
                    finding.IsError() ? TextKey::TxtVerifyError : TextKey::TxtVerifyWarning,
                    {path, text}) +
           "\n";
    findings += std::string(findings.empty() ? "" : ",") + "{\"severity\":\"" +
                (finding.IsError() ? "error" : "warning") +
                "\",\"message\":" + JsonString(Utf8FromAnsi(text)) + "}";
  }
  std::string verdict = ToolText(call.Terminal, TextKey::TxtVerifyOk, {path});
  if (check.Errors > 0) {
    verdict = ToolText(call.Terminal, TextKey::TxtVerifyInvalid, {path});
  } else if (check.Warnings > 0) {
    verdict = ToolText(call.Terminal, TextKey::TxtVerifyOkWithWarnings,
                       {path, CountText(call.Terminal, static_cast<int64_t>(check.Warnings),
                                        TextKey::TxtWarningOne, TextKey::TxtWarningMany)});
  }
  if (json) {
    *json +=
        "{\"path\":" + JsonString(Utf8FromAnsi(path)) + ",\"verdict\":\"" +
        (check.Errors > 0 ? "invalid" : "ok") + "\",\"errors\":" + std::to_string(check.Errors) +
        ",\"warnings\":" + std::to_string(check.Warnings) + ",\"findings\":[" + findings + "]}";
  } else {
    call.Terminal.Out(out + verdict + "\n");
  }
  return check.Errors == 0;
}

int RunVerify(CommandCall& call) {
  if (ShowHelpWhenAsked(call, kVerifyCommand)) return kExitOk;
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(call.Args, {{0, "format", true}}, call.Terminal, &parsed, &error)) {
    return UsageError(call.Terminal, "verify", error);
  }
  bool as_json = false;
  if (parsed.Has("format")) {
    const std::string& form = parsed.Options["format"];
    if (form != "text" && form != "json") {
      return UsageError(call.Terminal, "verify",
                        ToolText(call.Terminal, TextKey::TxtUnknownFormat, {AnsiFromUtf8(form)}));
    }
    as_json = form == "json";
  }
  if (parsed.Operands.empty()) {
    return UsageError(call.Terminal, "verify", ToolText(call.Terminal, TextKey::TxtGiveArchives));
  }
  bool all_valid = true;
  std::string json;
  for (const std::string& path : parsed.Operands) {
    if (as_json) json += json.empty() ? "{\"archives\":[" : ",";
    all_valid = VerifyArchive(call, path, as_json ? &json : nullptr) && all_valid;
  }
  if (as_json) {
    json += "]}\n";
    call.Terminal.OutBytes(json.data(), json.size());
  }
  return all_valid ? kExitOk : kExitFailed;
}

}  // namespace

extern const CommandInfo kVerifyCommand = {
    "verify",
    RunVerify,
    texts_en::TxtSummaryVerify,
    texts_zh::TxtSummaryVerify,
    texts_en::TxtHelpVerify,
    texts_zh::TxtHelpVerify,
};

}  // namespace velmora

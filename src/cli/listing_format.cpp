#include "cli/listing_format.h"

#include <algorithm>
#include <cstdio>

#include "cli/command_support.h"
#include "cli/json_text.h"
#include "cli/terminal_texts.h"
#include "msg/ansi_text.h"

namespace velmora {

namespace {

std::string Number(uint64_t value) { return std::to_string(value); }

std::string TextTable(const ArchiveIndex& index, const std::vector<EntryKind>& kinds,
                      const Console& console, const std::string& summary) {
  const std::string heads[] = {
      ToolText(console, TextKey::TxtListHeadId), ToolText(console, TextKey::TxtListHeadOffset),
      ToolText(console, TextKey::TxtListHeadSize), ToolText(console, TextKey::TxtListHeadSpace),
      ToolText(console, TextKey::TxtListHeadKind)};
  size_t widths[4] = {8, TextColumns(heads[1]), TextColumns(heads[2]), TextColumns(heads[3])};
  for (const WdfEntry& e : index.Entries) {
    widths[1] = std::max(widths[1], Number(e.Offset).size());
    widths[2] = std::max(widths[2], Number(e.Size).size());
    widths[3] = std::max(widths[3], Number(e.Space).size());
  }
  std::string out = PadRight(heads[0], widths[0]);
  for (int column = 1; column < 4; ++column) out += "  " + PadLeft(heads[column], widths[column]);
  out += "  " + heads[4] + "\n";
  for (size_t k = 0; k < index.Entries.size(); ++k) {
    const WdfEntry& e = index.Entries[k];
    out += FormatId(e.Id) + "  " + PadLeft(Number(e.Offset), widths[1]) + "  " +
           PadLeft(Number(e.Size), widths[2]) + "  " + PadLeft(Number(e.Space), widths[3]) + "  " +
           AnsiFromUtf8(EntryKindDisplayName(kinds[k], console.Chinese())) + "\n";
  }
  return out + summary + "\n";
}

std::string Tsv(const ArchiveIndex& index, const std::vector<EntryKind>& kinds) {
  std::string out = "id\toffset\tsize\tspace\tkind\n";
  for (size_t k = 0; k < index.Entries.size(); ++k) {
    const WdfEntry& e = index.Entries[k];
    out += FormatId(e.Id) + "\t" + Number(e.Offset) + "\t" + Number(e.Size) + "\t" +
           Number(e.Space) + "\t" + EntryKindName(kinds[k]) + "\n";
  }
  return out;
}

std::string Json(const ArchiveIndex& index, const std::vector<EntryKind>& kinds) {
  std::string out = "{\"count\":" + Number(index.Entries.size()) +
                    ",\"index_offset\":" + Number(index.Header.IndexOffset) +
                    ",\"file_size\":" + Number(index.FileSize) + ",\"entries\":[";
  for (size_t k = 0; k < index.Entries.size(); ++k) {
    const WdfEntry& e = index.Entries[k];
    out += (k ? ",{\"id\":" : "{\"id\":") + JsonString(FormatId(e.Id)) +
           ",\"offset\":" + Number(e.Offset) + ",\"size\":" + Number(e.Size) +
           ",\"space\":" + Number(e.Space) + ",\"kind\":" + JsonString(EntryKindName(kinds[k])) +
           "}";
  }
  return out + "]}\n";
}

}  // namespace

std::string FormatListing(ListingForm form, const ArchiveIndex& index,
                          const std::vector<EntryKind>& kinds, const Console& console,
                          const std::string& summary) {
  switch (form) {
    case ListingForm::kTsv:
      return Tsv(index, kinds);
    case ListingForm::kJson:
      return Json(index, kinds);
    case ListingForm::kText:
      break;
  }
  return TextTable(index, kinds, console, summary);
}

}  // namespace velmora

#include "cli/listing_format.h"

#include <algorithm>
#include <cstdio>

#include "cli/command_support.h"

namespace velmora {

namespace {

std::string Number(uint64_t value) { return std::to_string(value); }

std::string PadLeft(const std::string& text, size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

std::string TextTable(const ArchiveIndex& index, const std::vector<EntryKind>& kinds,
                      const std::string& summary) {
  size_t widths[3] = {6, 4, 5};  // "offset", "size", "space"
  for (const WdfEntry& e : index.Entries) {
    widths[0] = std::max(widths[0], Number(e.Offset).size());
    widths[1] = std::max(widths[1], Number(e.Size).size());
    widths[2] = std::max(widths[2], Number(e.Space).size());
  }
  std::string out = "id        " + PadLeft("offset", widths[0]) + "  " +
                    PadLeft("size", widths[1]) + "  " + PadLeft("space", widths[2]) + "  kind\n";
  for (size_t k = 0; k < index.Entries.size(); ++k) {
    const WdfEntry& e = index.Entries[k];
    out += FormatId(e.Id) + "  " + PadLeft(Number(e.Offset), widths[0]) + "  " +
           PadLeft(Number(e.Size), widths[1]) + "  " + PadLeft(Number(e.Space), widths[2]) + "  " +
           EntryKindName(kinds[k]) + "\n";
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
                          const std::vector<EntryKind>& kinds, const std::string& summary) {
  switch (form) {
    case ListingForm::kTsv:
      return Tsv(index, kinds);
    case ListingForm::kJson:
      return Json(index, kinds);
    case ListingForm::kText:
      break;
  }
  return TextTable(index, kinds, summary);
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace velmora

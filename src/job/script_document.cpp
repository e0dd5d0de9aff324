#include "job/script_document.h"

#include <algorithm>
#include <utility>

#include "job/added_entries.h"

namespace velmora {

ScriptDocument::ScriptDocument(std::string bytes) : bytes_(std::move(bytes)), lines_(bytes_) {
  // Split as a run's loading splits (CR LF, CR and LF end a line; the first byte 0 ends the
  // text), keeping where each line's break lies.
  size_t pos = 0;
  bool break_known = false;
  while (pos < bytes_.size() && bytes_[pos] != '\0') {
    ScriptDocumentLine line;
    line.Start = pos;
    while (pos < bytes_.size() && bytes_[pos] != '\0' && bytes_[pos] != '\n' &&
           bytes_[pos] != '\r') {
      ++pos;
    }
    line.Length = pos - line.Start;
    if (pos < bytes_.size() && bytes_[pos] == '\r') ++pos;
    if (pos < bytes_.size() && bytes_[pos] == '\n') ++pos;
    line.Next = pos;
    if (!break_known && line.Next > line.Start + line.Length) {
      line_break_ = bytes_.substr(line.Start + line.Length, line.Next - line.Start - line.Length);
      break_known = true;
    }
    raw_.push_back(line);
  }
  tail_ = pos;
  for (size_t k = 0; k < raw_.size() && k < lines_.Count(); ++k) {
    ScriptDocumentLine& line = raw_[k];
    const int index = static_cast<int>(k);
    const std::string name = ScriptNameAt(lines_, index);
    const std::string trimmed = TrimBlanksAndControls(lines_.TextAt(k));
    if (RuleLineId(name, &line.Id)) {
      line.Kind = ScriptLineKind::kRule;
      line.Taken = TakenLine(line.Id) == index;
    } else if (trimmed.empty() || trimmed[0] == ';') {
      line.Kind = ScriptLineKind::kComment;
    } else if (!name.empty() && name[0] == '#') {
      line.Kind = ScriptLineKind::kKey;
    }
  }
}

size_t ScriptDocument::RuleLinesOf(uint32_t id) const {
  return static_cast<size_t>(std::count_if(raw_.begin(), raw_.end(), [id](const auto& line) {
    return line.Kind == ScriptLineKind::kRule && line.Id == id;
  }));
}

std::string ScriptDocument::Edited(const ScriptEdit& edit) const {
  size_t insert_before = raw_.size();
  for (size_t k = 0; k < raw_.size(); ++k) {
    if (raw_[k].Kind == ScriptLineKind::kRule) {
      insert_before = k;
      break;
    }
  }
  const auto ends_unbroken = [this](size_t k) {
    return raw_[k].Next == raw_[k].Start + raw_[k].Length;
  };
  std::string text;
  for (size_t k = 0; k < raw_.size(); ++k) {
    if (k == insert_before) {
      for (const std::string& line : edit.BeforeRules) text += line + line_break_;
    }
    auto found = edit.Replaced.find(k);
    if (found == edit.Replaced.end()) {
      // An empty line ended by LF behind a lone CR (a removed line stood between them) would be
      // read as one CR LF break, and the empty line lost: the CR gets its LF of its own.
      if (!text.empty() && text.back() == '\r' && raw_[k].Length == 0 &&
          raw_[k].Next > raw_[k].Start && bytes_[raw_[k].Start] == '\n') {
        text += '\n';
      }
      text.append(bytes_, raw_[k].Start, raw_[k].Next - raw_[k].Start);
      // The last line had no break of its own: it gets one before anything follows it.
      if (k + 1 == raw_.size() && ends_unbroken(k) &&
          (!edit.Appended.empty() || (insert_before == raw_.size() && !edit.BeforeRules.empty()))) {
        text += line_break_;
      }
    } else if (found->second) {
      text += *found->second;
      // A replaced line keeps its own break, or has none when it had none and ends the text.
      if (!ends_unbroken(k)) {
        text.append(bytes_, raw_[k].Start + raw_[k].Length,
                    raw_[k].Next - raw_[k].Start - raw_[k].Length);
      } else if (k + 1 < raw_.size() || !edit.Appended.empty() ||
                 (insert_before == raw_.size() && !edit.BeforeRules.empty())) {
        text += line_break_;
      }
    }
  }
  if (insert_before == raw_.size()) {
    for (const std::string& line : edit.BeforeRules) text += line + line_break_;
  }
  for (const std::string& line : edit.Appended) text += line + line_break_;
  text.append(bytes_, tail_, std::string::npos);
  return text;
}

}  // namespace velmora

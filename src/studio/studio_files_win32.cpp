// Opening and saving, extracting entries, and opening an archive found inside the archive.
#include "studio/studio_window_win32.h"

#include <commctrl.h>

#include <memory>

#include "job/paths.h"
#include "job/program_entry.h"
#include "studio/studio_window_parts_win32.h"
#include "wdf/resource_id.h"

namespace velmora {

namespace {

bool HeldByCodePage936(const std::wstring& name) {
  CodePageScope gbk_texts(CodePage::kGbk);
  std::string text;
  return TextFromWide(name, &text);
}

// The code page of the texts of what `path` names: a script's own, by the one rule of every
// program; for an archive alone code page 936 where it holds the archive's name, as the scripts
// made for it are written in it, and UTF-8 otherwise.
CodePage CodePageToOpen(FileSystem& files, const std::wstring& path) {
  CodePageScope utf8_texts(CodePage::kUtf8);
  if (NamesScript(path)) return CodePageOfScriptFile(files, Utf8FromWide(path));
  return HeldByCodePage936(path) ? CodePage::kGbk : CodePage::kUtf8;
}

}  // namespace

void StudioWindow::OpenPath(const std::wstring& path) {
  if (!OfferToSave()) return;
  const CodePage code_page = CodePageToOpen(document_.Files(), path);
  std::string narrow;
  {
    CodePageScope texts(code_page);
    if (!TextFromWide(path, &narrow)) {
      ShowNameOutsideCodePage(path);
      return;
    }
  }
  // What is open now stays open, in its own code page, should the new one fail to open.
  const CodePage before = code_page_;
  code_page_ = code_page;
  SetActiveCodePage(code_page);
  std::string problem;
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  const bool opened = document_.Open(narrow, &problem);
  SetCursor(old);
  if (!opened) {
    const std::wstring shown = WideText(problem);
    code_page_ = before;
    SetActiveCodePage(before);
    MessageBoxW(window_, shown.c_str(), WideText(Text(StudioText::TxtTitle)).c_str(),
                MB_OK | MB_ICONERROR);
    return;
  }
  RememberPath(narrow);
  StoreSettings();
  ShowOpened();
}

void StudioWindow::ReopenIfWrittenInAnotherCodePage(const std::string& path) {
  // A new script is written in code page 936. A window of UTF-8 texts cannot read it; one of
  // code page 936 reads a script of nothing but ASCII (UTF-8 by the rule) just as well.
  if (code_page_ == CodePage::kGbk ||
      CodePageOfScriptFile(document_.Files(), path) != CodePage::kGbk) {
    return;
  }
  OpenPath(WideText(path));
}

void StudioWindow::ShowOpened() {
  SetWindowTextW(filter_, L"");
  filter_value_ = RowFilter();
  sort_column_ = EntryColumn::kPosition;
  sort_descending_ = false;

  const ArchiveCheck& check = document_.Archive().Check();
  if (!check.Findings.empty()) {
    // The first finding named: errors come first, then repeated ids, shared bytes and bytes of
    // nothing.
    const ArchiveFinding& first = check.Findings.front();
    std::string what;
    if (first.Kind == ArchiveFinding::Type::kFault) {
      what = Message(MessageKey::MsgSourceNotWdf, {document_.Archive().Path()});
    } else if (first.Region.Entry >= 0 && first.Kind != ArchiveFinding::Type::kUncovered &&
               static_cast<uint64_t>(first.Region.Entry) < document_.Archive().Count()) {
      const uint32_t position = static_cast<uint32_t>(first.Region.Entry);
      what = "@" + FormatId(document_.Archive().Entry(position).Id) + " (" +
             std::to_string(position) + ")";
    } else {
      what = Grouped(first.Region.Start) + "-" + Grouped(first.Region.End);
    }
    SetText(findings_,
            TextOf(StudioText::TxtDamaged, {Grouped(check.Errors), Grouped(check.Warnings), what}));
    ShowWindow(findings_, SW_SHOW);
  } else {
    ShowWindow(findings_, SW_HIDE);
  }
  Layout();
  RefreshRows();
  UpdateTitle();
  StartKinds();
}

bool StudioWindow::OfferToSave() {
  if (!document_.IsOpen() || !document_.Changes().Modified()) return true;
  const std::string name =
      document_.HasScript() ? document_.ScriptPath() : Text(StudioText::TxtUntitled);
  const int answer =
      ShowBox(window_, TextOf(StudioText::TxtAskSave, {name}), MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL) return false;
  if (answer == IDNO) return true;
  return Save(false);
}

bool StudioWindow::Save(bool choose_name) {
  if (!document_.IsOpen()) return false;
  std::string path = document_.ScriptPath();
  if (choose_name || path.empty()) {
    path = ChooseFile(true, Text(StudioText::TxtScriptFiles), "vlm");
    if (path.empty()) return false;
  }
  if (!SaveScriptTo(path, ScriptTarget())) return false;
  UpdateTitle();
  return true;
}

bool StudioWindow::SaveScriptTo(const std::string& path, const ScriptTarget& target) {
  // A new script is written in code page 936 and read again in it: its own name must be one
  // that code page holds, or the window could not open what it wrote.
  const bool new_script =
      !document_.HasScript() || !EqualFoldingAscii(path, document_.ScriptPath());
  if (new_script && code_page_ != CodePage::kGbk) {
    const std::wstring wide = WideText(path);
    if (!HeldByCodePage936(wide)) {
      ShowNameOutsideCodePage(wide);
      return false;
    }
  }
  std::string unwritable;
  std::string problem;
  if (document_.SaveScript(path, target, &unwritable, &problem)) {
    RememberPath(path);
    ReopenIfWrittenInAnotherCodePage(path);
    return true;
  }
  ShowError(unwritable.empty() ? problem : TextOf(StudioText::TxtPathUnwritable, {unwritable}));
  return false;
}

void StudioWindow::Extract(bool all) {
  if (!document_.IsOpen()) return;
  StudioArchive& archive = document_.Archive();
  std::vector<uint32_t> positions;
  if (all) {
    for (uint32_t k = 0; k < archive.Count(); ++k) positions.push_back(k);
  } else {
    for (uint32_t position : SelectedPositions()) {
      if (!document_.Changes().IsAdded(position)) positions.push_back(position);
    }
  }
  if (positions.empty()) return;
  const std::string folder = ChooseFolder();
  if (folder.empty()) return;
  StudioDocument::FileFailure failure;
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  const bool extracted = document_.ExtractEntries(positions, folder, &failure);
  SetCursor(old);
  if (!extracted) {
    ShowError(FailureText(failure));
    return;
  }
  ShowBox(window_, TextOf(StudioText::TxtExtracted, {Grouped(positions.size()), folder}),
          MB_OK | MB_ICONINFORMATION);
}

void StudioWindow::OpenNested() {
  const int row = FocusedRow();
  if (row < 0 || document_.Changes().IsAdded(rows_[row])) return;
  // A window of its own, so that what is open here stays open; it reads the entry's bytes from
  // this archive and writes no file.
  auto nested = std::make_unique<StudioWindow>();
  nested->LoadSettings();
  nested->code_page_ = code_page_;  // its texts come from this archive's
  StudioDocument::FileFailure failure;
  if (!nested->document_.OpenNested(document_, rows_[row], &failure)) {
    ShowError(FailureText(failure));
    return;
  }
  RECT here;
  GetWindowRect(window_, &here);
  const int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME) * 2;
  if (nested->CreateWindowAt(here.left + step, here.top + step, here.right - here.left,
                             here.bottom - here.top)) {
    nested->ShowOpened();
    ShowWindow(nested->window_, SW_SHOWNORMAL);
    nested.release()->owns_itself_ = true;  // deleted when its window is gone
  }
}

std::string StudioWindow::FailureText(const StudioDocument::FileFailure& failure) const {
  using Kind = StudioDocument::FileFailure::Kind;
  switch (failure.What) {
    case Kind::kNone:
      break;
    case Kind::kUnreadableEntry:
      return "@" + FormatId(failure.Id) + ": " + Text(StudioText::TxtUnreadableEntry);
    case Kind::kExists:
      return TextOf(StudioText::TxtExtractExists, {failure.Path});
    case Kind::kWriteFailed:
      return TextOf(StudioText::TxtWriteFailed, {failure.Path, failure.Reason});
    case Kind::kOpenFailed:
      return TextOf(StudioText::TxtOpenFailed, {failure.Path, failure.Reason});
    case Kind::kNotWdf:
      return Message(MessageKey::MsgRefArchiveNotWdf, {failure.Path});
    case Kind::kNoSuchId:
      return Message(MessageKey::MsgRefArchiveIdNotFound, {failure.Path, FormatId(failure.Id)});
  }
  return std::string();
}

}  // namespace velmora

// Opening and saving, extracting entries, and opening an archive found inside the archive.
#include "studio/studio_window_win32.h"

#include <commctrl.h>

#include <memory>

#include "job/paths.h"
#include "studio/studio_window_parts_win32.h"
#include "wdf/resource_id.h"

namespace velmora {

void StudioWindow::OpenPath(const std::string& path) {
  if (!OfferToSave()) return;
  std::string problem;
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  const bool opened = document_.Open(path, &problem);
  SetCursor(old);
  if (!opened) {
    ShowError(problem);
    return;
  }
  settings_.Remember(path);
  settings_.LastFolder = DirectoryPart(path);
  settings_.Store();
  ShowOpened();
}

void StudioWindow::ShowOpened() {
  SetWindowTextA(filter_, "");
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
    SetWindowTextA(findings_, TextOf(StudioText::TxtDamaged,
                                     {Grouped(check.Errors), Grouped(check.Warnings), what})
                                  .c_str());
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
      MessageBoxA(window_, TextOf(StudioText::TxtAskSave, {name}).c_str(),
                  Text(StudioText::TxtTitle).c_str(), MB_YESNOCANCEL | MB_ICONQUESTION);
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
  settings_.Remember(path);
  UpdateTitle();
  return true;
}

bool StudioWindow::SaveScriptTo(const std::string& path, const ScriptTarget& target) {
  std::string unwritable;
  std::string problem;
  if (document_.SaveScript(path, target, &unwritable, &problem)) return true;
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
  MessageBoxA(window_,
              TextOf(StudioText::TxtExtracted, {Grouped(positions.size()), folder}).c_str(),
              Text(StudioText::TxtTitle).c_str(), MB_OK | MB_ICONINFORMATION);
}

void StudioWindow::OpenNested() {
  const int row = FocusedRow();
  if (row < 0 || document_.Changes().IsAdded(rows_[row])) return;
  // A window of its own, so that what is open here stays open; it reads the entry's bytes from
  // this archive and writes no file.
  auto nested = std::make_unique<StudioWindow>();
  nested->settings_.Load();
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
